#include <gtest/gtest.h>
#include <windows.h>

#include "PaletteEntries.h"
#include "framework/GdiHandles.h"
#include "imaging/UPalette.h"

namespace {

using namespace testing_support;

// The suite's screens are known: the 8-bit one, and otherwise one of 24 bits, which the platform
// reports as 24 or 32 bits per pixel. A bitmap made for the screen has its format.
TEST(Display, TheAnswersAreThoseOfTheScreenOfTheRunAndPaletteDepthsAreEightBitsAndFewer) {
  const int32_t depth = imaging::DisplayColorDepth();
  if (ExpectPaletteDisplay()) {
    EXPECT_EQ(depth, 8);
    EXPECT_TRUE(imaging::IsPaletteDisplay());
  } else {
    EXPECT_TRUE(depth == 24 || depth == 32) << depth;
    EXPECT_FALSE(imaging::IsPaletteDisplay());
  }
  HDC screen = GetDC(nullptr);
  framework::TBitmapHandle compatible(CreateCompatibleBitmap(screen, 1, 1));
  ReleaseDC(nullptr, screen);
  BITMAP format{};
  ASSERT_NE(GetObjectW(compatible.get(), sizeof format, &format), 0);
  EXPECT_EQ(depth, format.bmBitsPixel * format.bmPlanes);
  // Palette depths are eight bits and fewer.
  for (int bits : {1, 4, 8}) EXPECT_TRUE(imaging::IsPaletteDepth(bits)) << bits;
  for (int bits : {9, 15, 16, 24, 32}) EXPECT_FALSE(imaging::IsPaletteDepth(bits)) << bits;
}

// Every system the suite runs on, Wine included, is of the NT family.
TEST(Platform, IsReadFromTheVersionRecordAtStartAndOnlyTheNTFamilyIsNT) {
  EXPECT_EQ(imaging::StartupPlatformId(), DWORD{VER_PLATFORM_WIN32_NT});
  EXPECT_TRUE(imaging::IsWinNT());
  // Only the NT family is NT.
  EXPECT_TRUE(imaging::IsNTPlatformId(VER_PLATFORM_WIN32_NT));
  EXPECT_FALSE(imaging::IsNTPlatformId(VER_PLATFORM_WIN32s));
  EXPECT_FALSE(imaging::IsNTPlatformId(VER_PLATFORM_WIN32_WINDOWS));
  EXPECT_FALSE(imaging::IsNTPlatformId(3));
}

}  // namespace
