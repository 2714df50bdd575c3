// Bitmaps: their kinds and formats, palettes, transparency, copies, stored data and clipboard
// formats, checked by their pixels read back with GetDIBits; and no GDI object left behind.
#include "framework/Bitmap.h"
#include "framework/Canvas.h"
#include "framework/Colors.h"
#include "framework/Errors.h"
#include "framework/Picture.h"
#include "rtl/Sjis.h"
#include "rtl/Stream.h"
#include "support/Bmp.h"
#include "support/GdiObjects.h"
#include "support/Graphics.h"
#include "support/Gui.h"
#include "support/MemoryStreams.h"
#include "support/MessageOf.h"
#include "support/Pixels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>


namespace {

using namespace framework;
using Bytes = std::vector<uint8_t>;
using testing_support::S;
using testing_support::LoadFrom;
using testing_support::Pixels;

constexpr uint32_t W = 0xFFFFFF;
constexpr uint32_t R = 0xFF0000;  // 0x00RRGGBB as ReadPixels gives them
constexpr uint32_t G = 0x00FF00;
constexpr uint32_t B = 0x0000FF;

// 4 x 2 at 24 bits: red, green, blue, white over white, white, white, black.
Bytes Small24() {
  const uint32_t colors[8] = {R, G, B, W, W, W, W, 0};
  return testing_support::MakeBmp(4, 2, 24, {}, [&](int x, int y) { return colors[y * 4 + x]; });
}
const std::vector<uint32_t> kSmall24 = {R, G, B, W, W, W, W, 0};

// 8-bit: index i has colour (i, 255 - i, 7).
std::vector<RGBQUAD> Ramp() {
  std::vector<RGBQUAD> colors;
  for (int i = 0; i < 256; ++i) colors.push_back({7, static_cast<BYTE>(255 - i), static_cast<BYTE>(i), 0});
  return colors;
}
uint32_t RampColor(int index) { return static_cast<uint32_t>(index << 16 | (255 - index) << 8 | 7); }

TEST(BitmapKinds, ANewBitmapIsAnEmptyDeviceBitmapAndAFormatChosenWhileEmptyMakesThatDib) {
  TBitmap bitmap;
  EXPECT_TRUE(bitmap.Empty());
  EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::pfDevice);
  EXPECT_EQ(bitmap.HandleType(), TBitmapHandleType::bmDDB);
  bitmap.SetWidth(5);
  EXPECT_TRUE(bitmap.Empty());
  EXPECT_EQ(bitmap.Width(), 5);
  bitmap.SetHeight(3);
  ASSERT_FALSE(bitmap.Empty());
  DIBSECTION ds{};
  EXPECT_EQ(GetObjectW(bitmap.Handle(), sizeof ds, &ds), static_cast<int>(sizeof(BITMAP)));
  EXPECT_EQ(ds.dsBm.bmBits, nullptr);
  EXPECT_EQ(ds.dsBm.bmWidth, 5);
  EXPECT_EQ(ds.dsBm.bmHeight, 3);
  // A pixel format chosen while empty makes that DIB.
  TBitmap chosen;
  chosen.SetPixelFormat(TPixelFormat::pf8bit);
  chosen.SetSize(3, 2);
  ASSERT_EQ(GetObjectW(chosen.Handle(), sizeof ds, &ds), static_cast<int>(sizeof ds));
  EXPECT_EQ(ds.dsBmih.biBitCount, 8);
  EXPECT_EQ(chosen.HandleType(), TBitmapHandleType::bmDIB);
  EXPECT_EQ(chosen.Palette(), nullptr);
  chosen.PaletteNeeded();
  ASSERT_NE(chosen.Palette(), nullptr);
  EXPECT_EQ(GetPaletteEntries(chosen.Palette(), 0, 0, nullptr), 256u);
}

TEST(BitmapKinds, ConversionsBetweenFormatsKeepTheColours) {
  TBitmap bitmap;
  LoadFrom(bitmap, Small24());
  for (TPixelFormat format : {TPixelFormat::pf32bit, TPixelFormat::pfDevice, TPixelFormat::pf24bit,
                              TPixelFormat::pf8bit, TPixelFormat::pfDevice, TPixelFormat::pf8bit,
                              TPixelFormat::pf24bit}) {
    bitmap.SetPixelFormat(format);
    EXPECT_EQ(bitmap.PixelFormat(), format);
    EXPECT_EQ(Pixels(bitmap), kSmall24) << static_cast<int>(format);
  }
  bitmap.SetHandleType(TBitmapHandleType::bmDDB);
  EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::pfDevice);
  bitmap.SetHandleType(TBitmapHandleType::bmDIB);
  EXPECT_EQ(bitmap.HandleType(), TBitmapHandleType::bmDIB);
  EXPECT_EQ(Pixels(bitmap), kSmall24);
  EXPECT_THROW(bitmap.SetPixelFormat(TPixelFormat::pfCustom), EInvalidGraphicOperation);
}

TEST(BitmapKinds, MonochromeMakesWhiteWhiteAndEverythingElseBlack) {
  TBitmap bitmap;
  LoadFrom(bitmap, Small24());
  bitmap.SetMonochrome(true);
  EXPECT_TRUE(bitmap.Monochrome());
  BITMAP bm{};
  GetObjectW(bitmap.Handle(), sizeof bm, &bm);
  EXPECT_EQ(bm.bmBitsPixel, 1);
  EXPECT_EQ(bm.bmBits, nullptr);
  EXPECT_EQ(bm.bmWidthBytes % 2, 0);
  EXPECT_EQ(Pixels(bitmap), (std::vector<uint32_t>{0, 0, 0, W, W, W, W, 0}));
  EXPECT_EQ(bitmap.TransparentColor(), clWhite);
  bitmap.SetMonochrome(false);
  EXPECT_FALSE(bitmap.Monochrome());
  EXPECT_EQ(Pixels(bitmap), (std::vector<uint32_t>{0, 0, 0, W, W, W, W, 0}));
}

TEST(BitmapKinds, AnEmptyMonochromeBitmapTakesItsBitsWhole) {
  TBitmap mask;
  mask.SetMonochrome(true);
  mask.SetWidth(16);
  mask.SetHeight(2);
  BITMAP bm{};
  GetObjectW(mask.Handle(), sizeof bm, &bm);
  ASSERT_EQ(bm.bmBitsPixel, 1);
  std::vector<uint8_t> bits(static_cast<std::size_t>(bm.bmWidthBytes) * 2);
  bits[0] = 0x80;                  // top row, pixel 0
  bits[bm.bmWidthBytes + 1] = 0x01;  // second row, pixel 15
  SetBitmapBits(mask.Handle(), static_cast<LONG>(bits.size()), bits.data());
  std::vector<uint32_t> pixels = Pixels(mask);
  EXPECT_EQ(pixels[0], W);
  EXPECT_EQ(pixels[1], 0u);
  EXPECT_EQ(pixels[16 + 15], W);
  EXPECT_EQ(pixels[16 + 14], 0u);
}

TEST(BitmapKinds, ScanLinesAreRowsFromTheTopAndADeviceBitmapBecomesADib) {
  TBitmap bitmap;
  LoadFrom(bitmap, Small24());
  bitmap.SetHandleType(TBitmapHandleType::bmDDB);
  bitmap.SetPixelFormat(TPixelFormat::pf24bit);
  auto* top = static_cast<uint8_t*>(bitmap.ScanLine(0));
  EXPECT_EQ(top[2], 0xFF);  // red's red byte
  EXPECT_EQ(top[3 + 1], 0xFF);
  top[0] = 0xFF;  // red becomes magenta
  EXPECT_EQ(Pixels(bitmap)[0], 0xFF00FFu);
  EXPECT_THROW(bitmap.ScanLine(2), EInvalidGraphicOperation);
  EXPECT_THROW(bitmap.ScanLine(-1), EInvalidGraphicOperation);

  TBitmap device;
  device.SetSize(2, 2);
  device.Canvas().SetPixel(1, 1, clBlue);
  ASSERT_EQ(device.HandleType(), TBitmapHandleType::bmDDB);
  device.SetSize(2, 3);  // a device bitmap, too, keeps its top-left and grows black
  device.ScanLine(1);
  EXPECT_EQ(device.HandleType(), TBitmapHandleType::bmDIB);
  EXPECT_EQ(Pixels(device), (std::vector<uint32_t>{0, 0, 0, B, 0, 0}));
}

TEST(BitmapKinds, ResizingKeepsTheTopLeftAndNewPixelsAreBlack) {
  TBitmap bitmap;
  LoadFrom(bitmap, Small24());
  bitmap.SetSize(5, 3);
  EXPECT_EQ(Pixels(bitmap), (std::vector<uint32_t>{R, G, B, W, 0, W, W, W, 0, 0, 0, 0, 0, 0, 0}));
  bitmap.SetWidth(2);
  EXPECT_EQ(Pixels(bitmap), (std::vector<uint32_t>{R, G, W, W, 0, 0}));
  bitmap.SetHeight(0);
  EXPECT_TRUE(bitmap.Empty());
  EXPECT_EQ(bitmap.Width(), 2);
  bitmap.SetSize(0, 3);
  EXPECT_TRUE(bitmap.Empty());
}

TEST(BitmapPalettes, AGivenPaletteReRendersAnIndexedDibWithTheSameColours) {
  TBitmap bitmap;
  LoadFrom(bitmap, testing_support::MakeBmp(4, 1, 8, Ramp(), [](int x, int) { return static_cast<uint32_t>(x * 60); }));
  const std::vector<uint32_t> before = Pixels(bitmap);
  // The ramp backwards: index i of the new palette is index 255 - i of the old.
  std::vector<uint8_t> record(4 + 256 * 4);
  const WORD header[2] = {0x300, 256};
  std::memcpy(record.data(), header, 4);
  for (int i = 0; i < 256; ++i) {
    const int old = 255 - i;
    PALETTEENTRY e{static_cast<BYTE>(old), static_cast<BYTE>(255 - old), 7, 0};
    std::memcpy(&record[4 + 4 * i], &e, 4);
  }
  HPALETTE reversed = CreatePalette(reinterpret_cast<LOGPALETTE*>(record.data()));
  bitmap.SetPalette(reversed);
  EXPECT_EQ(bitmap.Palette(), reversed);
  EXPECT_EQ(Pixels(bitmap), before);
  EXPECT_EQ(static_cast<uint8_t*>(bitmap.ScanLine(0))[1], 255 - 60);
  EXPECT_EQ(before[1], RampColor(60));
}

TEST(BitmapPalettes, APaletteGivenIsOwnedAndFreedWithTheBitmap) {
  HPALETTE palette = nullptr;
  {
    TBitmap bitmap;
    LoadFrom(bitmap, Small24());
    palette = CreateHalftonePalette(bitmap.Canvas().Handle());
    bitmap.SetPalette(palette);
    EXPECT_EQ(GetObjectType(palette), static_cast<DWORD>(OBJ_PAL));
    HPALETTE replaced = CreateHalftonePalette(bitmap.Canvas().Handle());
    bitmap.SetPalette(replaced);
    EXPECT_EQ(GetObjectType(palette), 0u);
    palette = replaced;
  }
  EXPECT_EQ(GetObjectType(palette), 0u);
}

TEST(BitmapPalettes, IgnoringThePaletteMakesNone) {
  TBitmap bitmap;
  bitmap.SetIgnorePalette(true);
  bitmap.SetPixelFormat(TPixelFormat::pf8bit);
  bitmap.SetSize(2, 2);
  bitmap.PaletteNeeded();
  EXPECT_EQ(bitmap.Palette(), nullptr);
  bitmap.SetIgnorePalette(false);
  bitmap.PaletteNeeded();
  EXPECT_NE(bitmap.Palette(), nullptr);
}

// The transparent colour is the bottom-left pixel's unless fixed; drawn transparent, the bitmap
// leaves the pixels of that colour undrawn.
TEST(BitmapTransparency, TheBottomLeftPixelsColourUnlessFixedIsLeftUndrawn) {
  TBitmap bitmap;
  EXPECT_EQ(bitmap.TransparentColor(), clDefault);
  LoadFrom(bitmap, Small24());
  EXPECT_EQ(bitmap.TransparentColor(), clWhite);  // bottom-left
  bitmap.SetTransparent(true);
  TBitmap target;
  target.SetPixelFormat(TPixelFormat::pf24bit);
  target.SetSize(4, 2);
  target.Canvas().Brush().SetColor(clFuchsia);
  target.Canvas().FillRect({0, 0, 4, 2});
  target.Canvas().Draw(0, 0, bitmap);
  const uint32_t M = 0xFF00FF;
  EXPECT_EQ(Pixels(target), (std::vector<uint32_t>{R, G, B, M, M, M, M, 0}));
  bitmap.SetTransparentColor(clRed);
  EXPECT_EQ(bitmap.TransparentColor(), clRed);
  target.Canvas().FillRect({0, 0, 4, 2});
  target.Canvas().Draw(0, 0, bitmap);
  EXPECT_EQ(Pixels(target), (std::vector<uint32_t>{M, G, B, W, W, W, W, 0})) << "a fixed colour";
  bitmap.Canvas().SetPixel(0, 1, clLime);
  EXPECT_EQ(bitmap.TransparentColor(), clRed) << "a fixed colour does not follow the pixels";
  bitmap.SetTransparentColor(clDefault);
  EXPECT_EQ(bitmap.TransparentColor(), clLime) << "back to the bottom-left pixel's";
}

TEST(BitmapTransparency, AnIndexedGlyphLeavesEveryPixelOfItsBottomLeftColourUntouched) {
  TBitmap glyph;
  glyph.LoadFromResourceName(GetModuleHandleW(nullptr), "GLYPH8");
  TBitmap dest;
  dest.SetSize(16, 16);
  dest.Canvas().Draw(0, 0, glyph);
  EXPECT_EQ(Pixels(dest), Pixels(glyph)) << "opaque, it covers its rectangle";
  glyph.SetTransparent(true);
  dest.SetSize(20, 20);
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 20; ++x) dest.Canvas().SetPixel(x, y, static_cast<TColor>(RGB(x * 12, 100, y * 12)));
  }
  dest.Canvas().Draw(2, 3, glyph);
  const std::vector<uint32_t> pixels = Pixels(dest);
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 20; ++x) {
      const int gx = x - 2;
      const int gy = y - 3;
      uint32_t expected = (static_cast<uint32_t>(x * 12) << 16) | (100u << 8) | static_cast<uint32_t>(y * 12);
      if (gx >= 4 && gx < 12 && gy >= 4 && gy < 12) expected = gy == 7 ? B : R;
      ASSERT_EQ(pixels[static_cast<std::size_t>(y * 20 + x)], expected) << x << "," << y;
    }
  }
}

TEST(BitmapAssign, CopiesPixelsIndexesPaletteAndSettings) {
  TBitmap source;
  // Two indexes of the same colour: a copy keeps each pixel's own index.
  std::vector<RGBQUAD> colors = Ramp();
  colors[9] = colors[3];
  LoadFrom(source, testing_support::MakeBmp(2, 1, 8, colors, [](int x, int) { return x == 0 ? 3u : 9u; }));
  source.PaletteNeeded();
  source.SetTransparentColor(clBlue);
  source.SetTransparent(true);
  TBitmap copy;
  copy.Assign(&source);
  EXPECT_EQ(copy.PixelFormat(), TPixelFormat::pf8bit);
  EXPECT_EQ(static_cast<uint8_t*>(copy.ScanLine(0))[0], 3);
  EXPECT_EQ(static_cast<uint8_t*>(copy.ScanLine(0))[1], 9);
  ASSERT_NE(copy.Palette(), nullptr);
  EXPECT_NE(copy.Palette(), source.Palette());
  EXPECT_NE(copy.Handle(), source.Handle());
  EXPECT_TRUE(copy.Transparent());
  EXPECT_EQ(copy.TransparentColor(), clBlue);

  TBitmap device;
  device.SetMonochrome(true);
  device.SetSize(3, 1);
  device.Canvas().SetPixel(1, 0, clWhite);
  copy.Assign(&device);
  EXPECT_TRUE(copy.Monochrome());
  EXPECT_EQ(Pixels(copy), (std::vector<uint32_t>{0, W, 0}));
  copy.Assign(nullptr);
  EXPECT_TRUE(copy.Empty());
}

TEST(BitmapAssign, ChangesAreToldAndModifiedFollowsThem) {
  TBitmap bitmap;
  int told = 0;
  bitmap.OnChange = [&](TObject* sender) {
    EXPECT_EQ(sender, &bitmap);
    ++told;
  };
  bitmap.SetSize(2, 2);
  EXPECT_EQ(told, 1);
  bitmap.SetSize(2, 2);  // no change
  EXPECT_EQ(told, 1);
  EXPECT_TRUE(bitmap.Modified());
  bitmap.SetModified(false);
  EXPECT_FALSE(bitmap.Modified());
  EXPECT_EQ(told, 1);
  bitmap.SetModified(true);
  EXPECT_EQ(told, 2);
  bitmap.Canvas().FillRect({0, 0, 1, 1});
  EXPECT_EQ(told, 3);
  bitmap.Canvas().SetPixel(0, 0, clWhite);
  EXPECT_EQ(told, 4);
  bitmap.SetTransparent(true);
  EXPECT_EQ(told, 5);
}

TEST(BitmapData, TheFormDataIsALengthAndABmpStream) {
  TBitmap bitmap;
  LoadFrom(bitmap, Small24());
  rtl::TMemoryStream data;
  bitmap.WriteData(data);
  uint32_t length = 0;
  std::memcpy(&length, data.Memory(), 4);
  EXPECT_EQ(length + 4, static_cast<uint32_t>(data.GetSize()));
  EXPECT_EQ(static_cast<const char*>(data.Memory())[4], 'B');
  const uint8_t tail[3] = {7, 7, 7};
  data.WriteBuffer(tail, 3);
  data.SetPosition(0);
  TBitmap again;
  again.ReadData(data);
  EXPECT_EQ(Pixels(again), kSmall24);
  EXPECT_EQ(data.GetPosition(), data.GetSize() - 3);

  // A length beyond the data is a read error, not a read beyond it.
  rtl::TMemoryStream cut;
  cut.WriteBuffer(data.Memory(), data.GetSize() - 4);
  cut.SetPosition(0);
  EXPECT_THROW(again.ReadData(cut), rtl::EReadError);
}

TEST(BitmapData, TheClipboardFormatsCarryPixelsAndPalette) {
  TBitmap bitmap;
  LoadFrom(bitmap, testing_support::MakeBmp(4, 1, 8, Ramp(), [](int x, int) { return static_cast<uint32_t>(x * 70); }));
  bitmap.PaletteNeeded();
  UINT format = 0;
  HANDLE data = nullptr;
  HPALETTE palette = nullptr;
  bitmap.SaveToClipboardFormat(format, data, palette);
  EXPECT_EQ(format, static_cast<UINT>(CF_BITMAP));
  ASSERT_NE(data, nullptr);
  ASSERT_NE(palette, nullptr);
  EXPECT_NE(palette, bitmap.Palette());
  TBitmap pasted;
  pasted.LoadFromClipboardFormat(format, data, palette);
  EXPECT_EQ(Pixels(pasted), Pixels(bitmap));
  EXPECT_EQ(GetObjectType(data), static_cast<DWORD>(OBJ_BITMAP));  // still the caller's
  DeleteObject(data);
  DeleteObject(palette);

  // A packed DIB in a global block.
  const Bytes file = Small24();
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, file.size() - 14);
  std::memcpy(GlobalLock(block), file.data() + 14, file.size() - 14);
  GlobalUnlock(block);
  pasted.LoadFromClipboardFormat(CF_DIB, block, nullptr);
  EXPECT_EQ(Pixels(pasted), kSmall24);
  GlobalFree(block);

  const std::string unsupported = S("未対応のｸﾘｯﾌﾟﾎﾞｰﾄﾞ ﾃﾞｰﾀです");
  EXPECT_EQ(testing_support::MessageOf<EInvalidGraphic>([&] { pasted.LoadFromClipboardFormat(CF_TEXT, block, nullptr); }),
            unsupported);
  EXPECT_EQ(testing_support::MessageOf<EInvalidGraphic>([&] { pasted.LoadFromClipboardFormat(CF_BITMAP, nullptr, nullptr); }),
            unsupported);
}

// A few hundred loads, conversions and draws leave the process with the GDI objects it had; the
// count itself sees an object come and go.
TEST(GraphicsHandles, LoadingAndDrawingLeaveNoObjectBehind) {
  const int empty = testing_support::LiveGdiObjects();
  HBITMAP extra = CreateBitmap(1, 1, 1, 1, nullptr);
  EXPECT_EQ(testing_support::LiveGdiObjects(), empty + 1);
  DeleteObject(extra);
  EXPECT_EQ(testing_support::LiveGdiObjects(), empty);
  const Bytes data24 = Small24();
  const Bytes data8 = testing_support::MakeBmp(16, 16, 8, Ramp(), [](int x, int y) { return static_cast<uint32_t>(x * y); });
  auto round = [&] {
    TBitmap target;
    target.SetSize(32, 32);
    for (const Bytes* data : {&data24, &data8}) {
      TBitmap bitmap;
      LoadFrom(bitmap, *data);
      bitmap.PaletteNeeded();
      target.Canvas().StretchDraw({0, 0, 32, 32}, bitmap);
      bitmap.SetTransparent(true);
      target.Canvas().Draw(1, 1, bitmap);
      TBitmap copy;
      copy.Assign(&bitmap);
      copy.SetMonochrome(true);
      copy.SetPixelFormat(TPixelFormat::pf32bit);
      TPicture picture;
      picture.SetGraphic(&bitmap);
      rtl::TMemoryStream saved;
      picture.WriteData(saved);
    }
  };
  round();  // the first round makes the system's own objects that stay
  const int before = testing_support::LiveGdiObjects();
  for (int i = 0; i < 300; ++i) round();
  EXPECT_EQ(testing_support::LiveGdiObjects(), before);
}

}  // namespace
