// Pixels as 0x00RRGGBB, top row first: read back from bitmaps with GetDIBits, or made from a
// function to compare with; and the DIB sections that hold them exactly.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "framework/Bitmap.h"
#include "framework/BmpFile.h"

namespace testing_support {

// The pixels of a bitmap, read through dc (the screen when none is given), so that a device
// bitmap's colours come through dc's palette. A read that misses rows fails the test.
inline std::vector<uint32_t> ReadPixels(HBITMAP bitmap, int width, int height, HDC dc = nullptr) {
  GdiFlush();  // drawing on a DIB section may still be batched
  BITMAPINFO info{};
  info.bmiHeader = framework::bmp::InfoHeader(width, -height, 32);
  std::vector<uint32_t> pixels(static_cast<std::size_t>(width) * height);
  HDC screen = dc ? nullptr : GetDC(nullptr);
  const int rows = GetDIBits(dc ? dc : screen, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info,
                             DIB_RGB_COLORS);
  if (screen) ReleaseDC(nullptr, screen);
  EXPECT_EQ(rows, height) << "rows read back with GetDIBits";
  for (uint32_t& p : pixels) p &= 0xFFFFFF;
  return pixels;
}

inline std::vector<uint32_t> Pixels(const framework::TBitmap& bitmap) {
  return ReadPixels(bitmap.Handle(), bitmap.Width(), bitmap.Height());
}

// What at(x, y) gives for every pixel, in the order ReadPixels reads them.
inline std::vector<uint32_t> ExpectedPixels(int width, int height, const std::function<uint32_t(int, int)>& at) {
  std::vector<uint32_t> pixels;
  pixels.reserve(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) pixels.push_back(at(x, y));
  }
  return pixels;
}

// A DIB section of bitCount bits with no colour table; a negative height makes it top-down, as in
// a BITMAPINFOHEADER. Owned by the caller.
inline HBITMAP CreateSection(int width, int height, int bitCount, void** bits = nullptr) {
  BITMAPINFO info{};
  info.bmiHeader = framework::bmp::InfoHeader(width, height, bitCount);
  void* unused = nullptr;
  return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits ? bits : &unused, nullptr, 0);
}

}  // namespace testing_support
