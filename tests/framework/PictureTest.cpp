// Pictures that hold and store a graphic of any class, and the bitmap edits and transparent
// drawing they pass on.
#include "framework/Bitmap.h"
#include "framework/Canvas.h"
#include "framework/Colors.h"
#include "framework/Graphic.h"
#include "framework/Picture.h"

#include <gtest/gtest.h>

#include <memory>

#include "support/Gui.h"
#include "framework/Errors.h"
#include "support/MemoryStreams.h"
#include "support/Pixels.h"

namespace {

using namespace framework;
using testing_support::ReadPixels;

TEST(BitmapEditing, ResizingKeepsTheTopLeftAndConversionKeepsExactColours) {
  TBitmap bitmap;
  bitmap.SetSize(4, 3);
  bitmap.Canvas().SetPixel(1, 1, clRed);
  bitmap.Canvas().SetPixel(3, 2, clBlue);
  bitmap.SetSize(2, 5);
  std::vector<uint32_t> pixels = ReadPixels(bitmap.Handle(), 2, 5);
  EXPECT_EQ(pixels[1 * 2 + 1], 0xFF0000u);
  EXPECT_EQ(pixels[4 * 2 + 1], 0u);  // new pixels are black
  bitmap.SetPixelFormat(TPixelFormat::pf8bit);
  EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::pf8bit);
  EXPECT_EQ(ReadPixels(bitmap.Handle(), 2, 5)[1 * 2 + 1], 0xFF0000u);
  EXPECT_THROW(bitmap.ScanLine(5), EInvalidGraphicOperation);
  EXPECT_THROW(bitmap.ScanLine(-1), EInvalidGraphicOperation);
  bitmap.SetSize(0, 5);
  EXPECT_TRUE(bitmap.Empty());
}

TEST(BitmapEditing, ChangesAreNotified) {
  TBitmap bitmap;
  int changes = 0;
  bitmap.OnChange = [&](TObject* sender) {
    EXPECT_EQ(sender, &bitmap);
    ++changes;
  };
  bitmap.SetSize(3, 3);
  EXPECT_EQ(changes, 1);
  bitmap.Canvas().SetPixel(0, 0, clWhite);
  EXPECT_EQ(changes, 2);
  bitmap.SetTransparent(true);
  EXPECT_EQ(changes, 3);
  bitmap.SetSize(3, 3);  // no change
  EXPECT_EQ(changes, 3);
}

TEST(TransparentDrawing, LeavesTheTransparentColoursPixelsUntouched) {
  TBitmap glyph;
  glyph.LoadFromResourceName(GetModuleHandleW(nullptr), "GLYPH8");
  glyph.SetTransparent(true);
  TBitmap dest;
  dest.SetSize(20, 20);
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 20; ++x) dest.Canvas().SetPixel(x, y, static_cast<TColor>(RGB(x * 12, 100, y * 12)));
  }
  dest.Canvas().Draw(2, 3, glyph);
  std::vector<uint32_t> pixels = ReadPixels(dest.Handle(), 20, 20);
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 20; ++x) {
      int gx = x - 2;
      int gy = y - 3;
      uint32_t background = (static_cast<uint32_t>(x * 12) << 16) | (100u << 8) | static_cast<uint32_t>(y * 12);
      uint32_t expected = background;
      if (gx >= 4 && gx < 12 && gy >= 4 && gy < 12) expected = gy == 7 ? 0x0000FFu : 0xFF0000u;
      ASSERT_EQ(pixels[static_cast<std::size_t>(y * 20 + x)], expected) << x << "," << y;
    }
  }
}

TEST(TransparentDrawing, AnOpaqueBitmapCoversItsRectangle) {
  TBitmap glyph;
  glyph.LoadFromResourceName(GetModuleHandleW(nullptr), "GLYPH8");
  TBitmap dest;
  dest.SetSize(16, 16);
  dest.Canvas().Draw(0, 0, glyph);
  EXPECT_EQ(ReadPixels(dest.Handle(), 16, 16), ReadPixels(glyph.Handle(), 16, 16));
}

// A graphic of another kind than a bitmap.
class TMark : public TGraphic {
 public:
  static const TClass& StaticClass() {
    static const TClass info = TClassBuilder<TMark>("TMark", &TGraphic::StaticClass());
    return info;
  }
  const TClass& ClassType() const override { return StaticClass(); }
  void Assign(const TPersistent* source) override {
    if (auto* mark = dynamic_cast<const TMark*>(source)) {
      size = mark->size;
      return;
    }
    TGraphic::Assign(source);
  }
  bool Empty() const override { return size == 0; }
  int32_t Width() const override { return size; }
  int32_t Height() const override { return size; }
  void SetWidth(int32_t width) override { size = width; }
  void SetHeight(int32_t height) override { size = height; }
  void Draw(TCanvas&, const TRect&) override {}
  void LoadFromStream(rtl::TStream& stream) override { stream.ReadBuffer(&size, 4); }
  void SaveToStream(rtl::TStream& stream) const override { stream.WriteBuffer(&size, 4); }
  int32_t size = 0;
};

// A bitmap class of its own, to see that copies keep the class.
class TMyBitmap : public TBitmap {
 public:
  static const TClass& StaticClass() {
    static const TClass info = TClassBuilder<TMyBitmap>("TMyBitmap", &TBitmap::StaticClass());
    return info;
  }
  const TClass& ClassType() const override { return StaticClass(); }
};

class Pictures : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { RegisterClasses({&TMark::StaticClass(), &TMyBitmap::StaticClass()}); }
};

TEST_F(Pictures, HoldACopyOfTheSameClass) {
  TMyBitmap mine;
  mine.SetSize(3, 2);
  mine.Canvas().SetPixel(2, 1, clLime);
  TPicture picture;
  int changes = 0;
  picture.OnChange = [&](TObject*) { ++changes; };
  picture.SetGraphic(&mine);
  ASSERT_NE(picture.Graphic(), nullptr);
  EXPECT_NE(picture.Graphic(), &mine);
  EXPECT_EQ(picture.Graphic()->ClassName(), "TMyBitmap");
  EXPECT_EQ(ReadPixels(picture.Bitmap().Handle(), 3, 2), ReadPixels(mine.Handle(), 3, 2));
  EXPECT_EQ(picture.Width(), 3);
  EXPECT_EQ(changes, 1);
  picture.Bitmap().Canvas().SetPixel(0, 0, clWhite);  // a change of the graphic is the picture's
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(picture.Graphic()->ClassName(), "TMyBitmap");  // Bitmap() keeps a bitmap of a derived class

  TMark mark;
  mark.size = 9;
  picture.SetGraphic(&mark);
  EXPECT_EQ(picture.Graphic()->ClassName(), "TMark");
  EXPECT_EQ(picture.Width(), 9);
  TBitmap& bitmap = picture.Bitmap();  // another kind is replaced by an empty bitmap
  EXPECT_EQ(picture.Graphic(), &bitmap);
  EXPECT_TRUE(bitmap.Empty());
  picture.Assign(nullptr);
  EXPECT_EQ(picture.Graphic(), nullptr);
  EXPECT_EQ(picture.Width(), 0);
}

TEST_F(Pictures, StoreTheirGraphicWithItsClassName) {
  TPicture picture;
  TMyBitmap mine;
  mine.SetSize(2, 2);
  mine.Canvas().SetPixel(1, 0, clYellow);
  picture.SetGraphic(&mine);
  rtl::TMemoryStream data;
  picture.WriteData(data);
  EXPECT_EQ(static_cast<uint8_t*>(data.Memory())[0], 9);
  EXPECT_EQ(std::string(static_cast<char*>(data.Memory()) + 1, 9), "TMyBitmap");
  data.SetPosition(0);
  TPicture copy;
  copy.ReadData(data);
  ASSERT_NE(copy.Graphic(), nullptr);
  EXPECT_EQ(copy.Graphic()->ClassName(), "TMyBitmap");
  EXPECT_EQ(ReadPixels(copy.Bitmap().Handle(), 2, 2), ReadPixels(mine.Handle(), 2, 2));

  rtl::TMemoryStream unknown;
  unknown.WriteBuffer("\x07TNoSuch", 8);
  unknown.SetPosition(0);
  EXPECT_THROW(copy.ReadData(unknown), ELayoutError);
}

}  // namespace
