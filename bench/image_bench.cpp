// The image library's costs, each measured side by side with the least that could do the same job:
// the logo through the resource image loader against a plain copy into a DIB section; run-length
// and container-wrapped forms of a large bitmap against its plain form; the transparency mask
// against one plain pass over the pixels; a transparent draw against an opaque one.
#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "framework/Bitmap.h"
#include "framework/Colors.h"
#include "imaging/UPictureEX.h"
#include "imaging/USafetyBitmap.h"
#include "rtl/Stream.h"

namespace {

using Bytes = std::vector<uint8_t>;
using framework::TBitmap;
using framework::TPixelFormat;
using framework::TRect;
using imaging::TSafetyBitmap;

double Now() {
  LARGE_INTEGER counter, frequency;
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The best time of several rounds, in milliseconds.
double Best(int rounds, const std::function<void()>& work) {
  double best = 1e9;
  for (int round = 0; round < rounds; ++round) {
    double start = Now();
    work();
    best = std::min(best, Now() - start);
  }
  return best * 1000;
}

void Line(const char* what, double measured, const char* against, double baseline) {
  std::printf("%-44s %9.2f ms\n%-44s %9.2f ms\n  ratio %.2f\n", what, measured, against, baseline,
              measured / baseline);
}

void Put16(Bytes& out, uint32_t value) {
  for (int i = 0; i < 2; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}
void Put32(Bytes& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A 256-colour BMP file; bits are its rows bottom-up, plain or run-length coded.
Bytes Bmp8(int32_t width, int32_t height, const Bytes& bits, uint32_t compression) {
  const uint32_t offBits = 14 + 40 + 256 * 4;
  Bytes out = {'B', 'M'};
  Put32(out, offBits + static_cast<uint32_t>(bits.size()));
  Put32(out, 0);
  Put32(out, offBits);
  for (uint32_t field : {40u, static_cast<uint32_t>(width), static_cast<uint32_t>(height)}) Put32(out, field);
  Put16(out, 1);
  Put16(out, 8);
  for (uint32_t field : {compression, static_cast<uint32_t>(bits.size()), 2835u, 2835u, 256u, 0u}) Put32(out, field);
  for (uint32_t i = 0; i < 256; ++i) Put32(out, (i * 7 % 256) << 16 | (i * 13 % 256) << 8 | i);
  out.insert(out.end(), bits.begin(), bits.end());
  return out;
}

// Rows bottom-up, each padded to 4 bytes: a picture of flat areas, as drawn art has.
Bytes PictureRows(int32_t width, int32_t height) {
  const int32_t stride = (width + 3) / 4 * 4;
  Bytes rows(static_cast<std::size_t>(stride) * height);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const int32_t dx = x - width / 2, dy = y - height / 2;
      uint8_t colour = static_cast<uint8_t>(y / 40);  // bands
      if (dx * dx + dy * dy < (height / 3) * (height / 3)) colour = static_cast<uint8_t>(100 + (x / 64 + y / 64) % 8);
      if ((x / 200 + y / 150) % 5 == 0) colour = 250;  // tiles
      rows[static_cast<std::size_t>(y) * stride + x] = colour;
    }
  }
  return rows;
}

// BI_RLE8 of the same rows: runs of equal bytes, an end of line after each row, an end of bitmap.
Bytes Rle8(const Bytes& rows, int32_t width, int32_t height) {
  const int32_t stride = (width + 3) / 4 * 4;
  Bytes out;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = rows.data() + static_cast<std::size_t>(y) * stride;
    for (int32_t x = 0; x < width;) {
      int32_t run = 1;
      while (x + run < width && run < 255 && row[x + run] == row[x]) ++run;
      out.push_back(static_cast<uint8_t>(run));
      out.push_back(row[x]);
      x += run;
    }
    out.push_back(0);
    out.push_back(y + 1 < height ? 0 : 1);
  }
  return out;
}

// The payload container around data: "ZLIBCompress", 0x1A, the size, one zlib stream.
Bytes Container(const Bytes& data) {
  Bytes out = {'Z', 'L', 'I', 'B', 'C', 'o', 'm', 'p', 'r', 'e', 's', 's', 0x1A};
  Put32(out, static_cast<uint32_t>(data.size()));
  uLongf packedSize = compressBound(static_cast<uLong>(data.size()));
  Bytes packed(packedSize);
  if (compress2(packed.data(), &packedSize, data.data(), static_cast<uLong>(data.size()), 9) != Z_OK) std::abort();
  out.insert(out.end(), packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(packedSize));
  return out;
}

void Load(TSafetyBitmap& bitmap, const Bytes& file) {
  rtl::TMemoryStream stream;
  stream.WriteBuffer(file.data(), static_cast<int32_t>(file.size()));
  stream.SetPosition(0);
  bitmap.LoadFromStream(stream);
}

// Every row's pixels, as far as the picture's width goes.
Bytes Pixels8(TBitmap& bitmap) {
  Bytes all;
  for (int32_t y = 0; y < bitmap.Height(); ++y) {
    const auto* row = static_cast<const uint8_t*>(bitmap.ScanLine(y));
    all.insert(all.end(), row, row + bitmap.Width());
  }
  return all;
}

void LogoThroughTheLoader() {
  std::printf("\n1. The 400 x 360 logo (24 bits per pixel) from the module's resources\n");
  HRSRC info = FindResourceW(nullptr, L"LOGO", MAKEINTRESOURCEW(2));
  const auto* dib = static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, info)));
  const auto* header = reinterpret_cast<const BITMAPINFO*>(dib);
  const std::size_t bitsSize = SizeofResource(nullptr, info) - header->bmiHeader.biSize;

  double loader = Best(15, [] {
    imaging::TPictureEx picture;
    imaging::TResourceImageLoader logo(picture);
    logo.SetResType("RT_BITMAP");
    logo.SetResName("LOGO");
    logo.Load();
    if (picture.Graphic() == nullptr || picture.Graphic()->Width() != 400) std::abort();
  });
  double direct = Best(15, [&] {
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(nullptr, header, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (section == nullptr) std::abort();
    std::memcpy(bits, dib + header->bmiHeader.biSize, bitsSize);
    DeleteObject(section);
  });
  Line("resource image loader", loader, "its bytes copied into a DIB section", direct);
}

void CompressedForms() {
  const int32_t width = 1600, height = 1200;
  const Bytes rows = PictureRows(width, height);
  const Bytes plain = Bmp8(width, height, rows, BI_RGB);
  const Bytes rle = Bmp8(width, height, Rle8(rows, width, height), BI_RLE8);
  const Bytes cbm = Container(plain);
  std::printf("\n2. A %d x %d 256-colour bitmap: plain %zu bytes, RLE8 %zu bytes, CBM %zu bytes\n", width, height,
              plain.size(), rle.size(), cbm.size());

  TSafetyBitmap fromPlain, fromRle, fromCbm;
  double plainTime = Best(7, [&] { Load(fromPlain, plain); });
  double rleTime = Best(7, [&] { Load(fromRle, rle); });
  double cbmTime = Best(7, [&] { Load(fromCbm, cbm); });
  // The run-length form comes back with its palette normalised (black first, white last), so its
  // indexes may differ; the container holds the very same file.
  const bool rleSize = fromRle.Width() == width && fromRle.Height() == height;
  const bool cbmSame = Pixels8(fromCbm) == Pixels8(fromPlain);
  Line("RLE8 form", rleTime, "plain form", plainTime);
  Line("CBM form", cbmTime, "plain form", plainTime);
  std::printf("  RLE8 loaded at full size: %s; CBM loaded to the plain form's pixels: %s\n", rleSize ? "yes" : "NO",
              cbmSame ? "yes" : "NO");
}

// A 24-bit picture with pure red (the transparent colour) in every seventh pixel.
void Paint(TSafetyBitmap& picture, int32_t width, int32_t height) {
  picture.SetPixelFormat(TPixelFormat::pf24bit);
  picture.SetSize(width, height);
  for (int32_t y = 0; y < height; ++y) {
    auto* pixel = static_cast<uint8_t*>(picture.ScanLine(y));
    for (int32_t x = 0; x < width; ++x, pixel += 3) {
      const bool red = (x + y) % 7 == 0;
      pixel[0] = red ? 0 : static_cast<uint8_t>(x);
      pixel[1] = red ? 0 : static_cast<uint8_t>(y);
      pixel[2] = red ? 255 : static_cast<uint8_t>(x ^ y);
    }
  }
  picture.SetTransparentColor(framework::clRed);
  picture.SetTransparent(true);
}

void MaskAndDraw() {
  const int32_t size = 1000;
  TSafetyBitmap picture;
  Paint(picture, size, size);

  std::printf("\n3. The mask of a %d x %d 24-bit picture\n", size, size);
  TBitmap dot;
  dot.SetPixelFormat(TPixelFormat::pf24bit);
  dot.SetSize(1, 1);
  const TRect one{0, 0, 1, 1};
  // A draw into one pixel after a change builds the mask and the masked copy; the same draw with
  // both up to date costs what the draw itself costs.
  double rebuilt = Best(7, [&] {
    picture.SetModified(true);
    dot.Canvas().StretchDraw(one, picture);
  });
  double cached = Best(7, [&] { dot.Canvas().StretchDraw(one, picture); });
  long marked = 0;
  double pass = Best(7, [&] {
    marked = 0;
    for (int32_t y = 0; y < size; ++y) {
      const auto* pixel = static_cast<const uint8_t*>(picture.ScanLine(y));
      for (int32_t x = 0; x < size; ++x, pixel += 3) marked += pixel[0] == 0 && pixel[1] == 0 && pixel[2] == 255;
    }
  });
  Line("mask and masked copy built", rebuilt - cached, "one plain pass over the pixel memory", pass);
  std::printf("  (%ld transparent pixels)\n", marked);

  std::printf("\n4. Drawing the same %d x %d picture at full size\n", size, size);
  TSafetyBitmap opaque;
  opaque.Assign(&picture);
  opaque.SetTransparent(false);
  TBitmap target;
  target.SetPixelFormat(TPixelFormat::pf24bit);
  target.SetSize(size, size);
  const TRect all{0, 0, size, size};
  target.Canvas().StretchDraw(all, picture);  // the caches are built once, before the timing
  double transparent = Best(9, [&] { target.Canvas().StretchDraw(all, picture); });
  double plainDraw = Best(9, [&] { target.Canvas().StretchDraw(all, opaque); });
  Line("transparent draw (mask, then masked copy)", transparent, "opaque draw", plainDraw);
}

}  // namespace

int main() {
  std::printf("Image library benchmark: best of several rounds each\n");
  LogoThroughTheLoader();
  CompressedForms();
  MaskAndDraw();
  return 0;
}
