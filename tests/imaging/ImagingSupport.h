// Bitmaps of the imaging tests: made in memory, read back with GetDIBits.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "framework/Graphics.h"

namespace imaging_test {

// The pixels of a bitmap as 0x00RRGGBB, top row first, read with GetDIBits through dc (the screen
// when none is given), so that a device bitmap's colours come through dc's palette.
inline std::vector<uint32_t> ReadPixels(HBITMAP bitmap, int width, int height, HDC dc = nullptr) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<uint32_t> pixels(static_cast<std::size_t>(width) * height);
  HDC screen = GetDC(nullptr);
  GetDIBits(dc ? dc : screen, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  for (uint32_t& p : pixels) p &= 0xFFFFFF;
  return pixels;
}

inline std::vector<uint32_t> Pixels(framework::TBitmap& bitmap) {
  return ReadPixels(bitmap.Handle(), bitmap.Width(), bitmap.Height());
}

// A 24-bit DIB bitmap whose pixel (x, y) is colour(x, y), given as 0x00RRGGBB.
inline void Paint24(framework::TBitmap& bitmap, int width, int height, const std::function<uint32_t(int, int)>& colour) {
  bitmap.SetPixelFormat(framework::TPixelFormat::pf24bit);
  bitmap.SetSize(width, height);
  for (int y = 0; y < height; ++y) {
    auto* row = static_cast<uint8_t*>(bitmap.ScanLine(y));
    for (int x = 0; x < width; ++x) {
      const uint32_t c = colour(x, y);
      row[3 * x] = static_cast<uint8_t>(c);
      row[3 * x + 1] = static_cast<uint8_t>(c >> 8);
      row[3 * x + 2] = static_cast<uint8_t>(c >> 16);
    }
  }
}

// A 24-bit bitmap filled with one colour (0x00RRGGBB).
inline void Fill24(framework::TBitmap& bitmap, int width, int height, uint32_t colour) {
  Paint24(bitmap, width, height, [colour](int, int) { return colour; });
}

}  // namespace imaging_test
