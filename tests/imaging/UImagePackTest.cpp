#include "imaging/UImagePack.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "support/Painting.h"
#include "rtl/Exception.h"
#include "support/MessageOf.h"
#include "support/Pixels.h"

namespace {

using framework::TRect;
using imaging::EImagePack;
using imaging::TImagePack;

// Three images side by side in one row of 50 x 40 cells; image i is a solid colour.
class TRowPack : public TImagePack {
 public:
  using TImagePack::TImagePack;
  static constexpr uint32_t kColors[3] = {0xFF0000, 0x00FF00, 0x0000FF};

  int32_t GetCount() const override { return 3; }
  void GetImageRect(int32_t index, TRect& rect) const override { rect = {100 + 50 * index, 0, 150 + 50 * index, 40}; }
  void GetImage(framework::TPicture& picture, int32_t index) override {
    if (IsInvalidIndex(index)) {
      picture.SetGraphic(nullptr);
      return;
    }
    framework::TBitmap bitmap;
    testing_support::Fill24(bitmap, 2, 2, kColors[index]);
    picture.SetGraphic(&bitmap);
  }
};

// Records where it is asked to stretch-draw.
class TRecordingPack : public TRowPack {
 public:
  using TRowPack::TRowPack;
  void StretchDraw(framework::TCanvas&, const TRect& rect, int32_t index) override {
    drawn.push_back(rect);
    indexes.push_back(index);
  }
  std::vector<TRect> drawn;
  std::vector<int32_t> indexes;
};

// A pack whose rectangles can be set.
class TMovablePack : public TRowPack {
 public:
  using TRowPack::TRowPack;
  void GetImageRect(int32_t, TRect& out) const override { out = rect; }
  void SetImageRect(int32_t, const TRect& value) override { rect = value; }
  TRect rect{10, 20, 40, 60};
};

class ImagePack : public ::testing::Test {
 protected:
  TRowPack pack{nullptr};
};

TEST_F(ImagePack, ListenersAreToldInTheirOrderThenOnChange) {
  EXPECT_NO_THROW(pack.Changed()) << "nobody listening";
  std::vector<std::string> calls;
  pack.NotifyList().Add([&](framework::TObject* sender) {
    calls.push_back("first");
    EXPECT_EQ(sender, &pack);
    // Added while a notification runs: not told by this one.
    pack.NotifyList().Add([&](framework::TObject*) { calls.push_back("late"); });
  });
  pack.NotifyList().Add([&](framework::TObject*) { calls.push_back("second"); });
  pack.OnChange = [&](framework::TObject* sender) {
    calls.push_back("OnChange");
    EXPECT_EQ(sender, &pack);
  };
  pack.Changed();
  EXPECT_EQ(calls, (std::vector<std::string>{"first", "second", "OnChange"}));
  calls.clear();
  pack.Changed();
  EXPECT_EQ(calls, (std::vector<std::string>{"first", "second", "late", "OnChange"}));
}

TEST_F(ImagePack, TheBaseSettersRaiseAndTheGettersReadTheRectangle) {
  const std::string rectMessage = "Cannot set ImageRect of ImagePack";
  auto message = [](const std::function<void()>& action) { return testing_support::MessageOf<EImagePack>(action); };
  EXPECT_EQ(message([&] { pack.SetCount(4); }), "Cannot set count of ImagePack");
  EXPECT_EQ(message([&] { pack.SetImageRect(0, {}); }), rectMessage);
  EXPECT_EQ(message([&] { pack.SetImageLeft(0, 1); }), rectMessage);
  EXPECT_EQ(message([&] { pack.SetImageTop(0, 1); }), rectMessage);
  EXPECT_EQ(message([&] { pack.SetImageWidth(0, 1); }), rectMessage);
  EXPECT_EQ(message([&] { pack.SetImageHeight(0, 1); }), rectMessage);
  // The getters read the rectangle; invalid indexes are those outside the count.
  EXPECT_EQ(pack.Count(), 3);
  EXPECT_EQ(pack.ImageRect(1), (TRect{150, 0, 200, 40}));
  EXPECT_EQ(pack.ImageLeft(1), 150);
  EXPECT_EQ(pack.ImageTop(1), 0);
  EXPECT_EQ(pack.ImageWidth(1), 50);
  EXPECT_EQ(pack.ImageHeight(1), 40);
  EXPECT_TRUE(pack.IsInvalidIndex(-1));
  EXPECT_TRUE(pack.IsInvalidIndex(3));
  EXPECT_FALSE(pack.IsInvalidIndex(0));
  EXPECT_FALSE(pack.IsInvalidIndex(2));
}

TEST(ImagePackSetters, MoveKeepingTheSizeOrResizeKeepingTheCorner) {
  TMovablePack pack(nullptr);
  pack.SetImageLeft(0, 100);
  EXPECT_EQ(pack.rect, (TRect{100, 20, 130, 60}));
  pack.SetImageTop(0, -5);
  EXPECT_EQ(pack.rect, (TRect{100, -5, 130, 35}));
  pack.SetImageWidth(0, 7);
  EXPECT_EQ(pack.rect, (TRect{100, -5, 107, 35}));
  pack.SetImageHeight(0, 0);
  EXPECT_EQ(pack.rect, (TRect{100, -5, 107, -5}));
  pack.rect = {10, 0, 20, 10};
  EXPECT_THROW(pack.SetImageLeft(0, INT_MAX), rtl::EIntOverflow);
  EXPECT_THROW(pack.SetImageWidth(0, INT_MAX), rtl::EIntOverflow);
  EXPECT_EQ(pack.rect, (TRect{10, 0, 20, 10}));
  pack.rect = {0, 5, 10, 10};
  EXPECT_THROW(pack.SetImageHeight(0, INT_MAX), rtl::EIntOverflow);
  pack.SetImageWidth(0, INT_MAX);
  EXPECT_EQ(pack.rect, (TRect{0, 5, INT_MAX, 10}));
}

TEST(ImagePackDraw, DrawsAtTheImagesOwnSizeThroughStretchDrawWhichDrawsGetImage) {
  TRecordingPack pack(nullptr);
  framework::TCanvas canvas;
  pack.Draw(canvas, 10, 20, 0);  // the image at (100, 0, 150, 40)
  ASSERT_EQ(pack.drawn.size(), 1u);
  EXPECT_EQ(pack.drawn[0], (TRect{10, 20, 60, 60}));
  EXPECT_EQ(pack.indexes[0], 0);
  EXPECT_THROW(pack.Draw(canvas, INT_MIN, 0, 0), rtl::EIntOverflow);
  EXPECT_THROW(pack.Draw(canvas, INT_MAX - 20, 0, 0), rtl::EIntOverflow);
  EXPECT_EQ(pack.drawn.size(), 1u);
  // The base stretch draw draws the image GetImage gives, and no image draws nothing.
  TRowPack base(nullptr);
  framework::TBitmap target;
  testing_support::Fill24(target, 4, 4, 0xFFFFFF);
  base.StretchDraw(target.Canvas(), {1, 1, 3, 3}, 2);
  base.Draw(target.Canvas(), 0, 0, 7);
  const uint32_t W = 0xFFFFFF, B = 0x0000FF;
  EXPECT_EQ(testing_support::Pixels(target),
            (std::vector<uint32_t>{W, W, W, W, W, B, B, W, W, B, B, W, W, W, W, W}));
}

TEST(ImagePackClass, IsAnAbstractComponentWithAPublishedOnChange) {
  const framework::TClass& info = TImagePack::StaticClass();
  EXPECT_EQ(info.Name(), "TImagePack");
  EXPECT_TRUE(info.InheritsFrom(framework::TComponent::StaticClass()));
  EXPECT_FALSE(info.CanCreate());
  const framework::TPropInfo* onChange = info.FindProperty("OnChange");
  ASSERT_NE(onChange, nullptr);
  EXPECT_EQ(onChange->Kind, framework::TPropKind::Event);
}

}  // namespace
