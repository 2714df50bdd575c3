#include "framework/Bitmap.h"
#include "framework/Canvas.h"
#include "framework/Colors.h"
#include "framework/Graphic.h"
#include "framework/Picture.h"

#include <gtest/gtest.h>

#include <memory>

#include "TestSupport.h"
#include "framework/Errors.h"
#include "rtl/Exception.h"
#include "support/MemoryStreams.h"
#include "support/Pixels.h"

namespace {

using namespace framework;
using test::MakeBmp;
using testing_support::Fill;
using testing_support::Pixels;
using testing_support::ReadPixels;

std::vector<RGBQUAD> Grey(int count) {
  std::vector<RGBQUAD> colors;
  for (int i = 0; i < count; ++i) {
    auto v = static_cast<BYTE>(count == 1 ? 0 : i * 255 / (count - 1));
    colors.push_back({v, v, v, 0});
  }
  return colors;
}

uint32_t Rgb(const RGBQUAD& q) { return (uint32_t{q.rgbRed} << 16) | (uint32_t{q.rgbGreen} << 8) | q.rgbBlue; }

// A pattern that differs in every pixel of a small picture.
uint32_t Pattern(int x, int y) { return (static_cast<uint32_t>(x * 40) << 16) | (static_cast<uint32_t>(y * 30) << 8) | 0x5A; }

class BitmapLoading : public ::testing::Test {
 protected:
  static void Load(TBitmap& bitmap, const std::vector<uint8_t>& file) {
    rtl::TMemoryStream stream;
    Fill(stream, file);
    bitmap.LoadFromStream(stream);
  }
  static void ExpectPattern(TBitmap& bitmap, const std::function<uint32_t(int, int)>& expected) {
    std::vector<uint32_t> pixels = Pixels(bitmap);
    for (int y = 0; y < bitmap.Height(); ++y) {
      for (int x = 0; x < bitmap.Width(); ++x) {
        ASSERT_EQ(pixels[static_cast<std::size_t>(y * bitmap.Width() + x)], expected(x, y)) << x << "," << y;
      }
    }
  }
};

TEST_F(BitmapLoading, Reads24BitPixelsWithRowPadding) {
  TBitmap bitmap;
  Load(bitmap, MakeBmp(5, 3, 24, {}, Pattern));
  EXPECT_EQ(bitmap.Width(), 5);
  EXPECT_EQ(bitmap.Height(), 3);
  EXPECT_EQ(bitmap.Palette(), nullptr);
  ExpectPattern(bitmap, Pattern);
}

TEST_F(BitmapLoading, ReadsTopDown24BitPixels) {
  TBitmap bitmap;
  Load(bitmap, MakeBmp(4, 3, 24, {}, Pattern, true));
  ExpectPattern(bitmap, Pattern);
  EXPECT_EQ(static_cast<uint8_t*>(bitmap.ScanLine(0))[2], (Pattern(0, 0) >> 16) & 0xFF);  // row 0 is the top row
}

TEST_F(BitmapLoading, Reads8BitPixelsThroughTheirColourTableAndMakesAPalette) {
  std::vector<RGBQUAD> colors = Grey(256);
  colors[7] = {0, 0, 255, 0};    // red
  colors[200] = {255, 0, 0, 0};  // blue
  auto index = [](int x, int y) -> uint32_t { return (x + y) % 2 ? 7 : 200; };
  TBitmap bitmap;
  Load(bitmap, MakeBmp(7, 2, 8, colors, index));
  EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::pf8bit);
  ExpectPattern(bitmap, [&](int x, int y) { return Rgb(colors[index(x, y)]); });
  ASSERT_NE(bitmap.Palette(), nullptr);
  EXPECT_EQ(GetPaletteEntries(bitmap.Palette(), 0, 0, nullptr), 256u);
  PALETTEENTRY entry{};
  GetPaletteEntries(bitmap.Palette(), 7, 1, &entry);
  EXPECT_EQ(entry.peRed, 255);
  EXPECT_EQ(entry.peBlue, 0);
}

TEST_F(BitmapLoading, ReadsOneFourAnd32BitPixels) {
  std::vector<RGBQUAD> two = {{0, 0, 0, 0}, {10, 200, 30, 0}};
  TBitmap bitmap;
  Load(bitmap, MakeBmp(9, 2, 1, two, [](int x, int) -> uint32_t { return x % 3 == 0; }));
  EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::pf1bit);
  ExpectPattern(bitmap, [&](int x, int) { return x % 3 == 0 ? Rgb(two[1]) : 0u; });

  std::vector<RGBQUAD> sixteen = Grey(16);
  Load(bitmap, MakeBmp(3, 3, 4, sixteen, [](int x, int y) -> uint32_t { return static_cast<uint32_t>(x * 3 + y); }));
  EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::pf4bit);
  ExpectPattern(bitmap, [&](int x, int y) { return Rgb(sixteen[static_cast<std::size_t>(x * 3 + y)]); });

  Load(bitmap, MakeBmp(3, 2, 32, {}, Pattern));
  EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::pf32bit);
  ExpectPattern(bitmap, Pattern);
}

TEST_F(BitmapLoading, ReadsAnOs2HeaderWithThreeByteColours) {
  // File header, 12-byte header of a 2 x 1 bitmap of 1 bit, two RGB triples, one padded row.
  std::vector<uint8_t> file = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                               12, 0, 0, 0, 2, 0, 1, 0, 1, 0, 1, 0,
                               0, 0, 0, 0x33, 0x66, 0x99,
                               0x40, 0, 0, 0};
  TBitmap bitmap;
  Load(bitmap, file);
  EXPECT_EQ(Pixels(bitmap), (std::vector<uint32_t>{0, 0x996633}));
}

TEST_F(BitmapLoading, DecodesRunLengthEncodedPixels) {
  std::vector<RGBQUAD> colors = Grey(256);
  colors[1] = {0, 0, 255, 0};
  colors[2] = {0, 255, 0, 0};
  // 4 x 2, bottom row first: four of 1; then two of 2, two of 0; end of bitmap.
  std::vector<uint8_t> packed = {4, 1, 0, 0, 2, 2, 2, 0, 0, 1};
  std::vector<uint8_t> file = MakeBmp(4, 2, 8, colors, [](int, int) -> uint32_t { return 0; });
  file.resize(file.size() - 8);
  uint32_t compression = BI_RLE8;
  uint32_t sizeImage = static_cast<uint32_t>(packed.size());
  std::memcpy(&file[14 + 16], &compression, 4);
  std::memcpy(&file[14 + 20], &sizeImage, 4);
  file.insert(file.end(), packed.begin(), packed.end());
  TBitmap bitmap;
  Load(bitmap, file);
  EXPECT_EQ(Pixels(bitmap), (std::vector<uint32_t>{0x00FF00, 0x00FF00, 0, 0, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000}));
}

TEST_F(BitmapLoading, ToleratesMorePixelBytesButNotACutHeader) {
  std::vector<uint8_t> file = MakeBmp(3, 2, 24, {}, Pattern);
  TBitmap bitmap;
  std::vector<uint8_t> longer = file;
  longer.push_back(0);
  Load(bitmap, longer);
  ExpectPattern(bitmap, Pattern);
  // A file cut inside its headers is refused and leaves the bitmap as it was.
  std::vector<uint8_t> headerOnly(file.begin(), file.begin() + 30);
  EXPECT_THROW(Load(bitmap, headerOnly), EInvalidGraphic);
  ExpectPattern(bitmap, Pattern);
}

TEST_F(BitmapLoading, RejectsWhatIsNotABitmapWithTheGraphicError) {
  std::vector<uint8_t> good = MakeBmp(2, 2, 8, Grey(256), [](int, int) -> uint32_t { return 1; });
  auto broken = [&](int offset, std::vector<uint8_t> bytes) {
    std::vector<uint8_t> file = good;
    std::copy(bytes.begin(), bytes.end(), file.begin() + offset);
    TBitmap bitmap;
    try {
      Load(bitmap, file);
    } catch (const EInvalidGraphic& error) {
      EXPECT_EQ(error.Message, test::S("ﾋﾞｯﾄﾏｯﾌﾟｲﾒｰｼﾞが不正です"));
      return true;
    }
    return false;
  };
  EXPECT_TRUE(broken(0, {'M', 'B'}));
  EXPECT_TRUE(broken(14, {13}));                  // header size
  EXPECT_TRUE(broken(14 + 4, {0, 0, 0, 0}));      // width 0
  EXPECT_TRUE(broken(14 + 8, {0, 0, 0, 0}));      // height 0
  EXPECT_TRUE(broken(14 + 12, {2}));              // planes
  EXPECT_TRUE(broken(14 + 14, {7}));              // bits per pixel
  EXPECT_TRUE(broken(14 + 16, {9}));              // compression
  EXPECT_FALSE(broken(14 + 32, {0, 1, 0, 0}));    // 256 colours: fine
  EXPECT_TRUE(broken(14 + 4, {0xFF, 0xFF, 0xFF, 0x7F}));  // 2^31-1 wide: more pixels than the file holds
  EXPECT_TRUE(broken(14 + 8, {0, 0, 0, 0x80}));   // height -2^31
}

TEST_F(BitmapLoading, AnEmptyStreamGivesAnEmptyBitmap) {
  TBitmap bitmap;
  Load(bitmap, MakeBmp(2, 2, 24, {}, Pattern));
  Load(bitmap, {});
  EXPECT_TRUE(bitmap.Empty());
  EXPECT_EQ(bitmap.Width(), 0);
}

TEST_F(BitmapLoading, SavesWhatItLoads) {
  std::vector<RGBQUAD> colors = Grey(256);
  colors[3] = {1, 2, 3, 0};
  TBitmap bitmap;
  Load(bitmap, MakeBmp(5, 4, 8, colors, [](int x, int y) -> uint32_t { return static_cast<uint32_t>(x * y); }));
  rtl::TMemoryStream saved;
  bitmap.SaveToStream(saved);
  EXPECT_EQ(saved.GetSize(), 14 + 40 + 256 * 4 + 8 * 4);
  saved.SetPosition(0);
  TBitmap copy;
  copy.LoadFromStream(saved);
  EXPECT_EQ(copy.PixelFormat(), TPixelFormat::pf8bit);
  EXPECT_EQ(Pixels(copy), Pixels(bitmap));
  EXPECT_EQ(static_cast<uint8_t*>(copy.ScanLine(1))[3], 3);  // the indexes themselves survive

  Load(bitmap, MakeBmp(3, 3, 24, {}, Pattern, true));
  rtl::TMemoryStream saved24;
  bitmap.SaveToStream(saved24);
  saved24.SetPosition(0);
  copy.LoadFromStream(saved24);
  ExpectPattern(copy, Pattern);
}

TEST_F(BitmapLoading, LoadsBitmapResourcesOfTheModule) {
  TBitmap glyph;
  glyph.LoadFromResourceName(GetModuleHandleW(nullptr), "GLYPH8");
  EXPECT_EQ(glyph.Width(), 16);
  EXPECT_EQ(glyph.Height(), 16);
  EXPECT_EQ(glyph.PixelFormat(), TPixelFormat::pf8bit);
  std::vector<uint32_t> pixels = Pixels(glyph);
  EXPECT_EQ(pixels[0], 0xFF00FFu);
  EXPECT_EQ(pixels[5 * 16 + 5], 0xFF0000u);
  EXPECT_EQ(pixels[7 * 16 + 5], 0x0000FFu);
  EXPECT_EQ(glyph.TransparentColor(), static_cast<TColor>(RGB(255, 0, 255)));  // the bottom-left pixel

  try {
    glyph.LoadFromResourceName(GetModuleHandleW(nullptr), "NOPE");
    FAIL() << "no exception";
  } catch (const rtl::EResNotFound& error) {
    EXPECT_EQ(error.Message, test::S("NOPE ﾘｿｰｽが見つかりません"));
  }
  EXPECT_EQ(glyph.Width(), 16);
}

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

TEST(GdiHandles, AreNotLeakedByLoadingDrawingAndCopying) {
  DWORD before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (before == 0) GTEST_SKIP() << "this system does not count GDI objects";
  std::vector<uint8_t> file = MakeBmp(8, 8, 8, Grey(256), [](int x, int y) -> uint32_t { return x ^ y; });
  for (int i = 0; i < 200; ++i) {
    TBitmap bitmap;
    rtl::TMemoryStream stream;
    Fill(stream, file);
    bitmap.LoadFromStream(stream);
    bitmap.SetTransparent(true);
    TBitmap dest;
    dest.SetSize(10, 10);
    dest.Canvas().Draw(1, 1, bitmap);
    TPicture picture;
    picture.SetGraphic(&bitmap);
  }
  EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), before + 5);
}

}  // namespace
