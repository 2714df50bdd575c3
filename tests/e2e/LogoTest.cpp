// The logo of the main window: the shipped one through the window's image pack, and the one of a
// "PeImage.res" put beside the updater, whose size the window takes.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "Driver.h"
#include "Scenario.h"
#include "support/ScratchFolder.h"

namespace {

using namespace testing_support;

// The colour of pixel (x, y) of a 24-bit bottom-up bitmap resource "LOGO" of module, as a COLORREF.
COLORREF LogoPixel(HMODULE module, int x, int y) {
  HRSRC info = FindResourceW(module, L"LOGO", MAKEINTRESOURCEW(2));
  if (info == nullptr) return CLR_INVALID;
  const auto* dib = static_cast<const uint8_t*>(LockResource(LoadResource(module, info)));
  BITMAPINFOHEADER header;
  std::memcpy(&header, dib, sizeof header);
  if (header.biBitCount != 24 || header.biHeight <= 0 || header.biClrUsed != 0) return CLR_INVALID;
  const std::size_t stride = (static_cast<std::size_t>(header.biWidth) * 3 + 3) & ~std::size_t{3};
  const uint8_t* pixel = dib + header.biSize + (header.biHeight - 1 - y) * stride + 3 * x;
  return RGB(pixel[2], pixel[1], pixel[0]);
}

// The colour shown at client point (x, y) of window.
COLORREF ShownPixel(HWND window, int x, int y) {
  POINT point{x, y};
  ClientToScreen(window, &point);
  HDC screen = GetDC(nullptr);
  const COLORREF colour = GetPixel(screen, point.x, point.y);
  ReleaseDC(nullptr, screen);
  return colour;
}

TEST(LogoTest, TheMainWindowShowsTheShippedLogoThroughItsPack) {
  Scenario scenario;
  scenario.Start();
  // Its size, 400 x 360, is checked with the update flow's layout.
  Screenshot("main-window-logo");
  HMODULE exe = LoadLibraryExW(ExeFromEnvironment("PEUPDATE_EXE").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(exe, nullptr);
  // Corners and the middle of the top edge: logo only, no button there.
  for (const POINT& at : {POINT{2, 2}, POINT{200, 10}, POINT{397, 5}, POINT{3, 356}, POINT{396, 357}}) {
    EXPECT_EQ(ShownPixel(scenario.main, at.x, at.y), LogoPixel(exe, at.x, at.y)) << at.x << "," << at.y;
  }
  FreeLibrary(exe);
}

TEST(LogoTest, APeImageResBesideTheUpdaterReplacesTheLogoAndTheWindowTakesItsSize) {
  ScratchFolder folder;
  const std::wstring exe = folder.File(L"PeUpdate.exe");
  ASSERT_TRUE(CopyFileW(ExeFromEnvironment("PEUPDATE_EXE").c_str(), exe.c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(ExeFromEnvironment("PEUPDATE_LOGO_RES").c_str(), folder.File(L"PeImage.res").c_str(), FALSE));
  RunningProgram updater(exe);
  HWND main = WaitForWindow(updater.Id(), Wide("ぺらの5.16アップデーター"), L"TfrmMain");
  ASSERT_NE(main, nullptr) << "the main window did not appear";
  const RECT client = ClientRectOnScreen(main);
  EXPECT_EQ(client.right - client.left, 480);
  EXPECT_EQ(client.bottom - client.top, 400);
  Screenshot("main-window-peimage-res");
  // Teal and orange bands 40 pixels wide across the diagonal (make_logo.py).
  const COLORREF teal = RGB(0, 128, 128);
  const COLORREF orange = RGB(255, 140, 0);
  EXPECT_EQ(ShownPixel(main, 5, 5), teal);
  EXPECT_EQ(ShownPixel(main, 45, 5), orange);
  EXPECT_EQ(ShownPixel(main, 475, 395), (475 + 395) / 40 % 2 ? orange : teal);
  EXPECT_TRUE(IsVisible(main, Wide("アップデート")));
  PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(updater.WaitForExit(), 0u);
}

}  // namespace
