// BMP data for the bitmap class: the tolerant reader, the run-length decoder and the writer.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "framework/GdiHandles.h"
#include "rtl/Stream.h"

namespace framework::bmp {

// A BITMAPINFO with room for 256 colours (or the three masks of BI_BITFIELDS).
struct TBitmapInfo256 {
  BITMAPINFOHEADER header;
  RGBQUAD colors[256];
};

// A 40-byte info header of an uncompressed (or the given) format; a positive height is bottom-up.
inline BITMAPINFOHEADER InfoHeader(int32_t width, int32_t height, int bitCount, DWORD compression = BI_RGB) {
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = static_cast<WORD>(bitCount);
  header.biCompression = compression;
  return header;
}

// Bytes of a row of width pixels of bitCount bits, padded to 32 bits.
int64_t RowBytes(int64_t width, int bitCount);

// What the reader made of a BMP.
struct TBmpImage {
  TBitmapHandle section;        // a bottom-up DIB section holding the pixels
  int bitCount = 0;
  std::vector<RGBQUAD> colors;  // the colour table of an indexed format, as the file gave it
  bool bitfields = false;
  uint32_t masks[3] = {};       // red, green, blue of a BI_BITFIELDS image
};

// Reads a BMP from the stream's position: the 14-byte file header ("BM"), a 12-byte core header or
// a 40- to 124-byte info header, the colour table right after the header (and the three masks
// after a 40-byte header of BI_BITFIELDS data), then the pixel data right after the colour table;
// bfOffBits is not consulted. The pixel data is biSizeImage bytes, or the rows' size when that is
// 0, and never more than the stream holds; pixels that the data does not reach stay black. RLE8 and
// RLE4 data is decoded. Leaves the stream after the bytes it used. Raises EInvalidGraphic for data
// that is not such a BMP, a header or colour table cut short included, and EOutOfResources when
// the system cannot hold the image.
TBmpImage ReadBmp(rtl::TStream& stream);

// Decodes RLE8 (or RLE4) data into rows of stride bytes, the bottom row first. Reads nothing outside
// data and writes nothing outside width x height pixels; pixels that the data does not reach keep
// their values. Stops at the end-of-bitmap code or at the end of data.
void DecodeRle(const uint8_t* data, std::size_t size, bool rle4, int32_t width, int32_t height, uint8_t* pixels,
               std::size_t stride);

// Writes the DIB section, selected into dc, uncompressed with its rows bottom-up: a 40-byte info
// header, the colour table (or masks), the pixels; withFileHeader puts the 14-byte file header
// before them.
void WriteDib(rtl::TStream& stream, HBITMAP section, HDC dc, bool withFileHeader);

}  // namespace framework::bmp
