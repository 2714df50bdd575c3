// BMP files built in memory, byte by byte: every bit depth, plain and run-length rows, core, info and
// larger headers, with or without the file header.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace testing_support {

using Bytes = std::vector<uint8_t>;

// 0x00RRGGBB, as read back from a 32-bit DIB.
using Rgb = uint32_t;
constexpr Rgb MakeRgb(int r, int g, int b) { return (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b); }

inline void Put16(Bytes& out, uint32_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}
inline void Put32(Bytes& out, uint32_t v) {
  Put16(out, v);
  Put16(out, v >> 16);
}
inline uint32_t Get32(const Bytes& in, std::size_t at) {
  return in[at] | (uint32_t(in[at + 1]) << 8) | (uint32_t(in[at + 2]) << 16) | (uint32_t(in[at + 3]) << 24);
}
// Overwrite the little-endian field at `at`.
inline void Set16(Bytes& out, std::size_t at, uint32_t v) {
  out[at] = uint8_t(v);
  out[at + 1] = uint8_t(v >> 8);
}
inline void Set32(Bytes& out, std::size_t at, uint32_t v) {
  Set16(out, at, v);
  Set16(out, at + 2, v >> 16);
}

// An image as values per pixel, top row first: colour indexes for 1, 4 and 8 bits, 0xRRGGBB for
// 24 and 32 bits, the raw 16-bit value otherwise.
struct Image {
  int32_t width = 0;
  int32_t height = 0;
  int bitCount = 8;
  std::vector<RGBQUAD> colors;
  std::vector<uint32_t> values;

  uint32_t At(int32_t x, int32_t y) const { return values[size_t(y) * size_t(width) + size_t(x)]; }
  // The colour a 32-bit reading shows (16-bit values as 5-6-5 when masks565, else 5-5-5).
  Rgb ColorAt(int32_t x, int32_t y, bool masks565 = false) const {
    uint32_t v = At(x, y);
    if (bitCount <= 8) return MakeRgb(colors[v].rgbRed, colors[v].rgbGreen, colors[v].rgbBlue);
    if (bitCount == 16) {
      auto expand5 = [](uint32_t c) { return (c << 3) | (c >> 2); };
      auto expand6 = [](uint32_t c) { return (c << 2) | (c >> 4); };
      if (masks565) return MakeRgb(expand5((v >> 11) & 31), expand6((v >> 5) & 63), expand5(v & 31));
      return MakeRgb(expand5((v >> 10) & 31), expand5((v >> 5) & 31), expand5(v & 31));
    }
    return v & 0xFFFFFF;
  }
};

inline Image MakeImage(int32_t width, int32_t height, int bitCount, const std::function<uint32_t(int32_t, int32_t)>& f,
                       std::vector<RGBQUAD> colors = {}) {
  Image image{width, height, bitCount, std::move(colors), {}};
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) image.values.push_back(f(x, y));
  }
  return image;
}

// Distinct, unusual colours: none of them is one of the system's static colours.
inline std::vector<RGBQUAD> TestColors(int count) {
  std::vector<RGBQUAD> colors;
  for (int i = 0; i < count; ++i) {
    colors.push_back({uint8_t(17 + 37 * i % 200), uint8_t(230 - 13 * i % 180), uint8_t(40 + 71 * i % 190), 0});
  }
  return colors;
}

inline Bytes PackRow(const Image& image, int32_t y) {
  Bytes row;
  const int bits = image.bitCount;
  uint32_t acc = 0;
  int filled = 0;
  for (int32_t x = 0; x < image.width; ++x) {
    uint32_t v = image.At(x, y);
    if (bits < 8) {
      acc = (acc << bits) | v;
      filled += bits;
      if (filled == 8) {
        row.push_back(uint8_t(acc));
        acc = 0;
        filled = 0;
      }
    } else if (bits == 8) {
      row.push_back(uint8_t(v));
    } else if (bits == 16) {
      Put16(row, v);
    } else if (bits == 24) {
      row.push_back(uint8_t(v));
      row.push_back(uint8_t(v >> 8));
      row.push_back(uint8_t(v >> 16));
    } else {
      Put32(row, v);
    }
  }
  if (filled > 0) row.push_back(uint8_t(acc << (8 - filled)));
  while (row.size() % 4 != 0) row.push_back(0);
  return row;
}

// Run-length rows, bottom row first: runs of equal pixels encoded, three or more unequal ones in
// absolute mode (RLE8 only), an end of line after each row and the end of the bitmap at the end.
inline Bytes EncodeRle(const Image& image) {
  Bytes out;
  const bool four = image.bitCount == 4;
  for (int32_t y = image.height - 1; y >= 0; --y) {
    int32_t x = 0;
    while (x < image.width) {
      int32_t run = 1;
      while (x + run < image.width && run < 255 && image.At(x + run, y) == image.At(x, y)) ++run;
      int32_t literal = 0;
      if (!four && run == 1) {
        while (x + literal < image.width && literal < 255 &&
               (x + literal + 1 >= image.width || image.At(x + literal + 1, y) != image.At(x + literal, y))) {
          ++literal;
        }
      }
      if (literal >= 3) {
        out.push_back(0);
        out.push_back(uint8_t(literal));
        for (int32_t i = 0; i < literal; ++i) out.push_back(uint8_t(image.At(x + i, y)));
        if (literal % 2 != 0) out.push_back(0);
        x += literal;
      } else {
        uint32_t v = image.At(x, y);
        out.push_back(uint8_t(run));
        out.push_back(uint8_t(four ? (v << 4) | v : v));
        x += run;
      }
    }
    out.push_back(0);
    out.push_back(y == 0 ? 1 : 0);
  }
  return out;
}

struct BmpOptions {
  uint32_t headerSize = 40;  // 12, 40, 108 or 124
  uint32_t compression = BI_RGB;
  uint32_t clrUsed = 0;
  bool topDown = false;
  bool fileHeader = true;
  uint32_t masks[3] = {0, 0, 0};  // for BI_BITFIELDS
};

inline Bytes MakeBmp(const Image& image, const BmpOptions& options = {}) {
  const bool core = options.headerSize == 12;
  const bool rle = options.compression == BI_RLE8 || options.compression == BI_RLE4;
  Bytes pixels;
  if (rle) {
    pixels = EncodeRle(image);
  } else {
    for (int32_t i = 0; i < image.height; ++i) {
      Bytes row = PackRow(image, options.topDown ? i : image.height - 1 - i);
      pixels.insert(pixels.end(), row.begin(), row.end());
    }
  }
  Bytes info;
  Put32(info, options.headerSize);
  if (core) {
    Put16(info, uint32_t(image.width));
    Put16(info, uint32_t(image.height));
    Put16(info, 1);
    Put16(info, uint32_t(image.bitCount));
  } else {
    Put32(info, uint32_t(image.width));
    Put32(info, uint32_t(options.topDown ? -image.height : image.height));
    Put16(info, 1);
    Put16(info, uint32_t(image.bitCount));
    Put32(info, options.compression);
    Put32(info, uint32_t(pixels.size()));
    Put32(info, 2835);
    Put32(info, 2835);
    Put32(info, options.clrUsed);
    Put32(info, 0);
    if (options.headerSize > 40) {
      for (uint32_t mask : options.masks) Put32(info, mask);
      while (info.size() < options.headerSize) info.push_back(0);
    }
  }
  if (options.headerSize == 40 && options.compression == BI_BITFIELDS) {
    for (uint32_t mask : options.masks) Put32(info, mask);
  }
  if (image.bitCount <= 8) {
    size_t count = options.clrUsed != 0 ? options.clrUsed : (size_t(1) << image.bitCount);
    for (size_t i = 0; i < count; ++i) {
      RGBQUAD c = i < image.colors.size() ? image.colors[i] : RGBQUAD{};
      info.push_back(c.rgbBlue);
      info.push_back(c.rgbGreen);
      info.push_back(c.rgbRed);
      if (!core) info.push_back(0);
    }
  }
  Bytes out;
  if (options.fileHeader) {
    out = {'B', 'M'};
    Put32(out, uint32_t(14 + info.size() + pixels.size()));
    Put32(out, 0);
    Put32(out, uint32_t(14 + info.size()));
  }
  out.insert(out.end(), info.begin(), info.end());
  out.insert(out.end(), pixels.begin(), pixels.end());
  return out;
}

// A BMP file with an info header: pixel(x, y) gives a colour index (bitCount <= 8) or 0x00RRGGBB,
// colors is the whole table (biClrUsed counts it); topDown writes a negative height.
inline Bytes MakeBmp(int width, int height, int bitCount, const std::vector<RGBQUAD>& colors,
                     const std::function<uint32_t(int, int)>& pixel, bool topDown = false) {
  BmpOptions options;
  options.clrUsed = static_cast<uint32_t>(colors.size());
  options.topDown = topDown;
  return MakeBmp(MakeImage(width, height, bitCount, pixel, colors), options);
}

}  // namespace testing_support
