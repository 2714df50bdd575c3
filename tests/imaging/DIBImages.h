// Drawing targets of the DIB units' tests: a 32-bit canvas whose pixels are read back with
// GetDIBits, a stream over BMP bytes, BMP fields patched and stored forms, and a refusing device.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <utility>
#include <vector>

#include "framework/Canvas.h"
#include "imaging/UDIB.h"
#include "rtl/Stream.h"
#include "support/Bmp.h"
#include "support/Pixels.h"

namespace testing_support {

// A read-only stream over bytes it keeps.
class ByteStream : public rtl::TCustomMemoryStream {
 public:
  explicit ByteStream(Bytes bytes) : bytes_(std::move(bytes)) {
    SetPointer(bytes_.empty() ? nullptr : bytes_.data(), int32_t(bytes_.size()));
  }
  int32_t Write(const void*, int32_t) override { return 0; }

 private:
  Bytes bytes_;
};

inline void Patch32(Bytes& bytes, std::size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + std::size_t(i)] = uint8_t(value >> (8 * i));
}

// A copy of the bytes with the 32-bit fields at the given offsets set to the given values.
inline Bytes Patched(Bytes bytes, std::initializer_list<std::pair<std::size_t, uint32_t>> fields) {
  for (const auto& [at, value] : fields) Patch32(bytes, at, value);
  return bytes;
}

// The bytes after their length (u32 little-endian), as the stored form of a bitmap holds its data.
inline Bytes LengthPrefixed(const Bytes& data) {
  Bytes out;
  Put32(out, uint32_t(data.size()));
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

// A 32-bit top-down DIB section in a memory context, under a framework canvas.
class Target {
 public:
  Target(int32_t width, int32_t height, Rgb fill = MakeRgb(1, 2, 3))
      : width_(width), height_(height), bitmap_(testing_support::CreateSection(width, -height, 32)) {
    dc_ = CreateCompatibleDC(nullptr);
    old_ = SelectObject(dc_, bitmap_);
    canvas_.SetHandle(dc_);
    Fill(fill);
  }
  ~Target() {
    SelectObject(dc_, old_);
    DeleteDC(dc_);
    DeleteObject(bitmap_);
  }
  Target(const Target&) = delete;
  Target& operator=(const Target&) = delete;

  framework::TCanvas& Canvas() { return canvas_; }
  HDC dc() const { return dc_; }
  void Fill(Rgb color) {
    HBRUSH brush = CreateSolidBrush(RGB(color >> 16, (color >> 8) & 0xFF, color & 0xFF));
    RECT all{0, 0, width_, height_};
    FillRect(dc_, &all, brush);
    DeleteObject(brush);
  }
  // Every pixel, top row first, read back through GetDIBits.
  std::vector<Rgb> Pixels() const { return testing_support::ReadPixels(bitmap_, width_, height_, dc_); }
  Rgb Pixel(int32_t x, int32_t y) const { return Pixels()[size_t(y) * size_t(width_) + size_t(x)]; }
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }

 private:
  int32_t width_;
  int32_t height_;
  HBITMAP bitmap_ = nullptr;
  HDC dc_ = nullptr;
  HGDIOBJ old_ = nullptr;
  framework::TCanvas canvas_;
};

// Compares the rectangle of the target at (left, top) with what expected gives for each offset;
// everything outside must still be the fill colour.
inline ::testing::AssertionResult ShowsAt(const Target& target, const framework::TRect& where,
                                          const std::function<Rgb(int32_t dx, int32_t dy)>& expected, Rgb fill) {
  std::vector<Rgb> pixels = target.Pixels();
  int mismatches = 0;
  std::string first;
  for (int32_t y = 0; y < target.height(); ++y) {
    for (int32_t x = 0; x < target.width(); ++x) {
      bool inside = x >= where.Left && x < where.Right && y >= where.Top && y < where.Bottom;
      Rgb want = inside ? expected(x - where.Left, y - where.Top) : fill;
      Rgb got = pixels[size_t(y) * size_t(target.width()) + size_t(x)];
      if (got != want && mismatches++ == 0) {
        char text[120];
        std::snprintf(text, sizeof text, "at (%d,%d): got %06X, want %06X", int(x), int(y), unsigned(got),
                      unsigned(want));
        first = text;
      }
    }
  }
  if (mismatches == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << mismatches << " pixels differ, first " << first;
}

// Puts the given stretch calls in the library's place while it lives.
class StretchCalls {
 public:
  StretchCalls(imaging::TStretchDIBitsCall dib, imaging::TStretchBltCall blt)
      : oldDIB_(std::exchange(imaging::StretchDIBitsCall(), dib)),
        oldBlt_(std::exchange(imaging::StretchBltCall(), blt)) {}
  ~StretchCalls() {
    imaging::StretchDIBitsCall() = oldDIB_;
    imaging::StretchBltCall() = oldBlt_;
  }
  StretchCalls(const StretchCalls&) = delete;
  StretchCalls& operator=(const StretchCalls&) = delete;

 private:
  imaging::TStretchDIBitsCall oldDIB_;
  imaging::TStretchBltCall oldBlt_;
};

// A device that refuses any stretch taller than one destination row, as some printers do; rows it
// passes to GDI. Counts the calls it sees.
class RefusingDevice {
 public:
  RefusingDevice() { calls_ = 0; }
  static int calls() { return calls_; }

 private:
  static int WINAPI RefuseDIB(HDC dc, int x, int y, int w, int h, int sx, int sy, int sw, int sh, const void* bits,
                              const BITMAPINFO* info, UINT usage, DWORD rop) {
    ++calls_;
    if (h > 1 || h < -1) return 0;
    return ::StretchDIBits(dc, x, y, w, h, sx, sy, sw, sh, bits, info, usage, rop);
  }
  static BOOL WINAPI RefuseBlt(HDC dc, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh, DWORD rop) {
    ++calls_;
    if (h > 1 || h < -1) return FALSE;
    return ::StretchBlt(dc, x, y, w, h, src, sx, sy, sw, sh, rop);
  }
  static inline int calls_ = 0;
  StretchCalls replaced_{&RefuseDIB, &RefuseBlt};
};

}  // namespace testing_support
