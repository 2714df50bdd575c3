// 24-bit bitmaps painted in memory, for the tests of pictures and drawing.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "framework/Bitmap.h"

namespace testing_support {

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

}  // namespace testing_support
