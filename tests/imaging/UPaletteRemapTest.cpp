// Remapping a bitmap onto a palette; on the 8-bit screen the palette path, elsewhere the copy.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "DIBImages.h"
#include "support/Painting.h"
#include "PaletteEntries.h"
#include "imaging/UPalette.h"
#include "rtl/Exception.h"
#include "support/GdiObjects.h"
#include "support/MessageOf.h"
#include "support/Palettes.h"
#include "support/Pixels.h"

namespace {

using framework::TBitmap;
using namespace testing_support;
using testing_support::PaletteEntries;
using testing_support::Pixels;

// Colours of no standard palette but black and white, and colours near each of them.
const std::vector<PALETTEENTRY> kEight = {Entry(0, 0, 0),     Entry(255, 255, 255), Entry(200, 40, 40),   Entry(40, 200, 40),
                                          Entry(40, 40, 200), Entry(230, 230, 60),  Entry(110, 120, 130), Entry(90, 30, 150)};
const std::vector<uint32_t> kExact = {0x000000, 0xFFFFFF, 0xC82828, 0x28C828, 0x2828C8, 0xE6E63C, 0x6E7882, 0x5A1E96};
const std::vector<uint32_t> kNear = {0x030303, 0xFCFCFC, 0xC3302A, 0x2DC224, 0x2A2FC0, 0xE0EA44, 0x6A7B86, 0x5E2290};

// Dest's pixels as its own context shows them, through its palette.
std::vector<uint32_t> Shown(TBitmap& bitmap) {
  return testing_support::ReadPixels(bitmap.Handle(), bitmap.Width(), bitmap.Height(), bitmap.Canvas().Handle());
}

class RemapBitmapToPalette : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::Paint24(source, 8, 1, [](int x, int) { return kNear[x]; });
    palette = MakePalette(kEight);
  }
  TBitmap source;
  TBitmap dest;
  framework::TPaletteHandle palette;
};

// A device whose every stretch fails with an error, as a driver's might.
class FailingDevice {
  static int WINAPI FailDIB(HDC, int, int, int, int, int, int, int, int, const void*, const BITMAPINFO*, UINT, DWORD) {
    throw rtl::Exception("the device failed");
  }
  static BOOL WINAPI FailBlt(HDC, int, int, int, int, HDC, int, int, int, int, DWORD) {
    throw rtl::Exception("the device failed");
  }
  testing_support::StretchCalls replaced_{&FailDIB, &FailBlt};
};

// Dest in 8 bits holds indexes into the palette it is given: exactly the palette's colours. An error
// of the DIB-section graphic that carries the pixels reaches the caller, and the graphic, its
// section and palette and the screen context are let go on the way.
TEST_F(RemapBitmapToPalette, MatchesEveryPixelToThePaletteOnAPaletteDisplayAndLeavesNothingBehindOnAnError) {
  if (!ExpectPaletteDisplay()) GTEST_SKIP() << "runs on the 8-bit screen";
  dest.SetPixelFormat(framework::TPixelFormat::pf8bit);
  imaging::RemapBitmapToPalette(source, dest, palette.get());
  EXPECT_EQ(dest.PixelFormat(), framework::TPixelFormat::pf8bit);
  ASSERT_NE(dest.Palette(), nullptr);
  EXPECT_NE(dest.Palette(), palette.get());
  EXPECT_EQ(PaletteEntries(dest.Palette()), kEight);
  EXPECT_EQ(PaletteEntries(palette.get()), kEight) << "the caller's palette is untouched";
  EXPECT_EQ(dest.Width(), 8);
  EXPECT_EQ(dest.Height(), 1);
  EXPECT_EQ(Shown(dest), kExact);
  EXPECT_EQ(Pixels(source), kNear) << "the source is untouched";
  const int before = testing_support::LiveGdiObjects();
  {
    FailingDevice device;
    auto remap = [&] { imaging::RemapBitmapToPalette(source, dest, palette.get()); };
    EXPECT_EQ(testing_support::MessageOf<rtl::Exception>(remap), "the device failed");
  }
  EXPECT_EQ(testing_support::LiveGdiObjects(), before);
  imaging::RemapBitmapToPalette(source, dest, palette.get());
  EXPECT_EQ(Shown(dest), kExact) << "the next remap works as before";
}

TEST_F(RemapBitmapToPalette, WithoutAPaletteTheSourcesOwnIsUsed) {
  if (!ExpectPaletteDisplay()) GTEST_SKIP() << "runs on the 8-bit screen";
  // An 8-bit source whose colours are in no standard palette.
  const std::vector<PALETTEENTRY> own = {Entry(17, 34, 51), Entry(200, 100, 50), Entry(90, 10, 160), Entry(1, 250, 77)};
  TBitmap indexed;
  indexed.SetPixelFormat(framework::TPixelFormat::pf8bit);
  indexed.SetPalette(MakePalette(own).release());
  indexed.SetSize(4, 1);
  for (int x = 0; x < 4; ++x) static_cast<uint8_t*>(indexed.ScanLine(0))[x] = static_cast<uint8_t>(x);
  dest.SetPixelFormat(framework::TPixelFormat::pf8bit);
  imaging::RemapBitmapToPalette(indexed, dest, nullptr);
  ASSERT_NE(dest.Palette(), nullptr);
  EXPECT_NE(dest.Palette(), indexed.Palette());
  EXPECT_EQ(PaletteEntries(dest.Palette()), own);
  EXPECT_EQ(Shown(dest), (std::vector<uint32_t>{0x112233, 0xC86432, 0x5A0AA0, 0x01FA4D}));
}

// The format is the caller's: dest is not made an 8-bit bitmap behind its back.
TEST_F(RemapBitmapToPalette, DestKeepsItsPixelFormat) {
  if (!ExpectPaletteDisplay()) GTEST_SKIP() << "runs on the 8-bit screen";
  for (framework::TPixelFormat format : {framework::TPixelFormat::pf24bit, framework::TPixelFormat::pf32bit}) {
    SCOPED_TRACE(int(format));
    TBitmap target;
    target.SetPixelFormat(format);
    imaging::RemapBitmapToPalette(source, target, palette.get());
    EXPECT_EQ(target.PixelFormat(), format);
    EXPECT_EQ(target.Width(), 8);
    ASSERT_NE(target.Palette(), nullptr);
    EXPECT_EQ(PaletteEntries(target.Palette()), kEight);
  }
  TBitmap device;
  imaging::RemapBitmapToPalette(source, device, palette.get());
  EXPECT_EQ(device.PixelFormat(), framework::TPixelFormat::pfDevice);
}

// The pixels go through a DIB-section graphic, whose drawing falls back to one row at a time on a
// device that refuses the whole stretch.
TEST_F(RemapBitmapToPalette, ADeviceThatRefusesTheWholeStretchGetsItRowByRow) {
  if (!ExpectPaletteDisplay()) GTEST_SKIP() << "runs on the 8-bit screen";
  TBitmap tall;
  testing_support::Paint24(tall, 8, 3, [](int x, int) { return kNear[x]; });
  dest.SetPixelFormat(framework::TPixelFormat::pf8bit);
  testing_support::RefusingDevice device;
  imaging::RemapBitmapToPalette(tall, dest, palette.get());
  EXPECT_EQ(testing_support::RefusingDevice::calls(), 1 + 3);
  std::vector<uint32_t> expected;
  for (int y = 0; y < 3; ++y) expected.insert(expected.end(), kExact.begin(), kExact.end());
  EXPECT_EQ(Shown(dest), expected);
}

TEST_F(RemapBitmapToPalette, ElsewhereDestIsAnExactCopyAndThePaletteIsIgnored) {
  if (ExpectPaletteDisplay()) GTEST_SKIP() << "runs on a screen without a palette";
  imaging::RemapBitmapToPalette(source, dest, palette.get());
  EXPECT_EQ(Pixels(dest), kNear);
  EXPECT_EQ(dest.Palette(), nullptr);
  EXPECT_NE(dest.Handle(), nullptr);
  EXPECT_EQ(PaletteEntries(palette.get()), kEight);
}

TEST_F(RemapBitmapToPalette, AnEmptySourceGivesAnEmptyDest) {
  TBitmap empty;
  imaging::RemapBitmapToPalette(empty, dest, palette.get());
  EXPECT_TRUE(dest.Empty());
}

}  // namespace
