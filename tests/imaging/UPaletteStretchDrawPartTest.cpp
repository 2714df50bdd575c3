// Drawing part of a bitmap.
#include <gtest/gtest.h>

#include "support/Painting.h"
#include "framework/Errors.h"
#include "imaging/UPalette.h"
#include "support/Pixels.h"

namespace {

using framework::TBitmap;
using framework::TRect;
using testing_support::Pixels;

// Column x of the 40 x 10 source has a colour of its own.
uint32_t Column(int x) { return static_cast<uint32_t>((x * 6) << 16 | (255 - x * 6) << 8 | (x % 2) * 200); }

struct TMapping {
  int mode;
  POINT viewportOrigin;
  SIZE viewportExtent;
  SIZE windowExtent;
  POINT windowOrigin;

  static TMapping Of(HDC dc) {
    TMapping m{};
    m.mode = GetMapMode(dc);
    GetViewportOrgEx(dc, &m.viewportOrigin);
    GetViewportExtEx(dc, &m.viewportExtent);
    GetWindowExtEx(dc, &m.windowExtent);
    GetWindowOrgEx(dc, &m.windowOrigin);
    return m;
  }
  bool operator==(const TMapping& o) const {
    return mode == o.mode && viewportOrigin.x == o.viewportOrigin.x && viewportOrigin.y == o.viewportOrigin.y &&
           viewportExtent.cx == o.viewportExtent.cx && viewportExtent.cy == o.viewportExtent.cy &&
           windowExtent.cx == o.windowExtent.cx && windowExtent.cy == o.windowExtent.cy &&
           windowOrigin.x == o.windowOrigin.x && windowOrigin.y == o.windowOrigin.y;
  }
};

class StretchDrawPart : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::Paint24(source, 40, 10, [](int x, int) { return Column(x); });
    testing_support::Fill24(target, 30, 30, 0x123456);
  }
  TBitmap source;
  TBitmap target;
};

TEST_F(StretchDrawPart, ColumnsTenToNineteenFillTheDestination) {
  const TMapping before = TMapping::Of(source.Canvas().Handle());
  imaging::StretchDrawPart(target.Canvas(), {0, 0, 30, 30}, source, {10, 0, 20, 10});
  const std::vector<uint32_t> pixels = Pixels(target);
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 30; ++x) ASSERT_EQ(pixels[y * 30 + x], Column(10 + x / 3)) << x << ',' << y;
  }
  EXPECT_TRUE(TMapping::Of(source.Canvas().Handle()) == before);
  EXPECT_EQ(GetMapMode(source.Canvas().Handle()), MM_TEXT);
}

TEST_F(StretchDrawPart, APartOfADeviceBitmapToo) {
  source.SetHandleType(framework::TBitmapHandleType::bmDDB);
  // A device bitmap holds the screen's colours (on an 8-bit screen, not exactly the columns'):
  // what the whole bitmap draws as is the measure.
  TBitmap whole;
  testing_support::Fill24(whole, 40, 10, 0);
  whole.Canvas().Draw(0, 0, source);
  const std::vector<uint32_t> columns = Pixels(whole);
  imaging::StretchDrawPart(target.Canvas(), {5, 5, 10, 15}, source, {30, 2, 35, 4});
  const std::vector<uint32_t> pixels = Pixels(target);
  for (int y = 5; y < 15; ++y) {
    for (int x = 5; x < 10; ++x) ASSERT_EQ(pixels[y * 30 + x], columns[30 + x - 5]) << x << ',' << y;
  }
  EXPECT_EQ(pixels[4 * 30 + 5], 0x123456u);
  EXPECT_EQ(pixels[5 * 30 + 10], 0x123456u);
}

TEST_F(StretchDrawPart, AMappingTheBitmapHadIsPutBackAlsoWhenTheDrawRaises) {
  HDC dc = source.Canvas().Handle();
  SetMapMode(dc, MM_ANISOTROPIC);
  SetWindowExtEx(dc, 80, 20, nullptr);
  SetViewportExtEx(dc, 40, 10, nullptr);
  SetViewportOrgEx(dc, 3, 4, nullptr);
  const TMapping before = TMapping::Of(dc);
  imaging::StretchDrawPart(target.Canvas(), {0, 0, 30, 30}, source, {10, 0, 20, 10});
  EXPECT_TRUE(TMapping::Of(dc) == before);
  framework::TCanvas noDevice;  // has no DC to draw on
  EXPECT_THROW(imaging::StretchDrawPart(noDevice, {0, 0, 30, 30}, source, {10, 0, 20, 10}),
               framework::EInvalidOperation);
  EXPECT_TRUE(TMapping::Of(dc) == before) << "also when the draw raises";
}

TEST_F(StretchDrawPart, TheWholeBitmapDrawsAsTheCanvasStretchDraw) {
  TBitmap expected;
  testing_support::Fill24(expected, 30, 30, 0x123456);
  expected.Canvas().StretchDraw({2, 3, 25, 17}, source);
  imaging::StretchDrawPart(target.Canvas(), {2, 3, 25, 17}, source, {0, 0, 40, 10});
  EXPECT_EQ(Pixels(target), Pixels(expected));
}

TEST_F(StretchDrawPart, AnEmptyRectangleDrawsNothing) {
  const std::vector<uint32_t> before = Pixels(target);
  imaging::StretchDrawPart(target.Canvas(), {5, 5, 5, 20}, source, {10, 0, 20, 10});
  imaging::StretchDrawPart(target.Canvas(), {0, 0, 30, 30}, source, {10, 3, 20, 3});
  EXPECT_EQ(Pixels(target), before);
}

TEST_F(StretchDrawPart, TheCanvasCopyModeIsHonoured) {
  target.Canvas().SetCopyMode(NOTSRCCOPY);
  imaging::StretchDrawPart(target.Canvas(), {0, 0, 10, 10}, source, {10, 0, 20, 10});
  EXPECT_EQ(Pixels(target)[0], Column(10) ^ 0xFFFFFFu);
}

}  // namespace
