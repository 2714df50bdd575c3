#include <gtest/gtest.h>
#include <windows.h>

#include "PaletteEntries.h"
#include "imaging/UPalette.h"

namespace {

using namespace palette_test;

// Both CTest runs assert: the 8-bit one the palette answers, the 24-bit one the others.
TEST(Display, PaletteAnswersFollowTheScreen) {
  HDC screen = GetDC(nullptr);
  const bool paletteBit = (GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE) != 0;
  ReleaseDC(nullptr, screen);
  if (ExpectPaletteDisplay()) {
    EXPECT_EQ(imaging::DisplayColorDepth(), 8);
    EXPECT_TRUE(imaging::IsPaletteDisplay());
    EXPECT_TRUE(paletteBit);
  } else {
    EXPECT_GE(imaging::DisplayColorDepth(), 15);
    EXPECT_FALSE(imaging::IsPaletteDisplay());
    EXPECT_FALSE(paletteBit);
  }
}

TEST(Display, PaletteDepthsAreEightBitsAndFewer) {
  for (int depth : {1, 4, 8}) EXPECT_TRUE(imaging::IsPaletteDepth(depth)) << depth;
  for (int depth : {9, 15, 16, 24, 32}) EXPECT_FALSE(imaging::IsPaletteDepth(depth)) << depth;
}

TEST(Platform, IsReadFromTheVersionRecordAtStart) {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  ASSERT_TRUE(GetVersionExA(&info));
  EXPECT_EQ(imaging::StartupPlatformId(), info.dwPlatformId);
  EXPECT_EQ(imaging::IsWinNT(), info.dwPlatformId == VER_PLATFORM_WIN32_NT);
}

TEST(Platform, OnlyTheNTFamilyIsNT) {
  EXPECT_TRUE(imaging::IsNTPlatformId(VER_PLATFORM_WIN32_NT));
  EXPECT_FALSE(imaging::IsNTPlatformId(VER_PLATFORM_WIN32s));
  EXPECT_FALSE(imaging::IsNTPlatformId(VER_PLATFORM_WIN32_WINDOWS));
  EXPECT_FALSE(imaging::IsNTPlatformId(3));
}

}  // namespace
