#include "framework/BmpFile.h"

#include <algorithm>
#include <cstring>

#include "framework/Errors.h"
#include "rtl/Bytes.h"

namespace framework::bmp {

namespace {

// The bytes from the stream's position to its end, taken piece by piece; a piece that is not there
// is no BMP.
class TBoundedReader {
 public:
  explicit TBoundedReader(rtl::TStream& stream) : stream_(stream) {
    int64_t position = stream.GetPosition();
    int64_t size = stream.GetSize();
    remaining_ = size > position ? size - position : 0;
  }
  int64_t Remaining() const { return remaining_; }
  void Take(void* buffer, int64_t count) {
    if (count < 0 || count > remaining_) throw EInvalidGraphic();
    stream_.ReadBuffer(buffer, static_cast<int32_t>(count));
    remaining_ -= count;
  }
  void Skip(int64_t count) {
    if (count < 0 || count > remaining_) throw EInvalidGraphic();
    if (count > 0) stream_.Seek(static_cast<int32_t>(count), rtl::TSeekOrigin::soCurrent);
    remaining_ -= count;
  }

 private:
  rtl::TStream& stream_;
  int64_t remaining_;
};

TBmpImage Read(rtl::TStream& stream) {
  TBoundedReader reader(stream);
  uint8_t fileHeader[14];
  reader.Take(fileHeader, sizeof fileHeader);
  if (fileHeader[0] != 'B' || fileHeader[1] != 'M') throw EInvalidGraphic();

  uint8_t header[124] = {};
  reader.Take(header, 4);
  const uint32_t headerSize = rtl::ReadLE32(header);
  const bool core = headerSize == 12;
  if (!core && (headerSize < 40 || headerSize > sizeof header)) throw EInvalidGraphic();
  reader.Take(header + 4, headerSize - 4);

  int64_t width = 0;
  int64_t height = 0;
  int planes = 0;
  int bitCount = 0;
  uint32_t compression = BI_RGB;
  uint32_t sizeImage = 0;
  uint32_t clrUsed = 0;
  if (core) {
    width = rtl::ReadLE16(header + 4);
    height = rtl::ReadLE16(header + 6);
    planes = rtl::ReadLE16(header + 8);
    bitCount = rtl::ReadLE16(header + 10);
  } else {
    width = rtl::ReadLEInt32(header + 4);
    height = rtl::ReadLEInt32(header + 8);
    planes = rtl::ReadLE16(header + 12);
    bitCount = rtl::ReadLE16(header + 14);
    compression = rtl::ReadLE32(header + 16);
    sizeImage = rtl::ReadLE32(header + 20);
    clrUsed = rtl::ReadLE32(header + 32);
  }
  if (planes != 1) throw EInvalidGraphic();
  const bool indexed = bitCount == 1 || bitCount == 4 || bitCount == 8;
  const bool validDepth = indexed || bitCount == 16 || bitCount == 24 || bitCount == 32;
  const bool rle = (compression == BI_RLE8 && bitCount == 8) || (compression == BI_RLE4 && bitCount == 4);
  const bool bitfields = compression == BI_BITFIELDS && (bitCount == 16 || bitCount == 32);
  if (!validDepth || !(compression == BI_RGB || rle || bitfields)) throw EInvalidGraphic();
  const bool topDown = height < 0;
  if (topDown) height = -height;
  if (width <= 0 || height <= 0 || (rle && topDown)) throw EInvalidGraphic();
  if (core && bitCount == 16) throw EInvalidGraphic();

  TBmpImage image;
  image.bitCount = bitCount;
  image.bitfields = bitfields;
  if (bitfields) {
    uint8_t masks[12];
    if (headerSize == 40) {
      reader.Take(masks, sizeof masks);
    } else if (headerSize >= 52) {
      std::memcpy(masks, header + 40, sizeof masks);
    } else {
      throw EInvalidGraphic();
    }
    for (int i = 0; i < 3; ++i) {
      image.masks[i] = rtl::ReadLE32(masks + 4 * i);
      if (image.masks[i] == 0) throw EInvalidGraphic();
    }
  }

  // The colour table: biClrUsed entries, or the whole table of an indexed format when that is 0.
  const int64_t entrySize = core ? 3 : 4;
  const int64_t fullTable = indexed ? (int64_t{1} << bitCount) : 0;
  const int64_t entries = core ? fullTable : (clrUsed != 0 ? int64_t{clrUsed} : fullTable);
  if (entries > reader.Remaining() / entrySize) throw EInvalidGraphic();
  const int64_t kept = std::min(entries, fullTable);
  if (kept > 0) {
    std::vector<uint8_t> table(static_cast<std::size_t>(kept * entrySize));
    reader.Take(table.data(), static_cast<int64_t>(table.size()));
    for (int64_t i = 0; i < kept; ++i) {
      const uint8_t* e = table.data() + i * entrySize;
      image.colors.push_back({e[0], e[1], e[2], 0});
    }
  }
  reader.Skip((entries - kept) * entrySize);

  const int64_t stride = RowBytes(width, bitCount);
  if (stride > INT32_MAX || height > INT32_MAX / stride) throw EInvalidGraphic();
  const int64_t sectionSize = stride * height;
  const int64_t imageSize = (!core && sizeImage != 0) ? int64_t{sizeImage} : sectionSize;
  const int64_t available = std::min(imageSize, reader.Remaining());

  TBitmapInfo256 info{};
  info.header = InfoHeader(static_cast<int32_t>(width), static_cast<int32_t>(height), bitCount,
                           bitfields ? BI_BITFIELDS : BI_RGB);
  if (bitfields) {
    std::memcpy(info.colors, image.masks, sizeof image.masks);
  } else if (indexed) {
    std::copy(image.colors.begin(), image.colors.end(), info.colors);
    info.header.biClrUsed = static_cast<DWORD>(image.colors.size());
  }
  void* bits = nullptr;
  image.section.reset(CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits,
                                       nullptr, 0));
  if (!image.section || bits == nullptr) throw EOutOfResources();
  auto* pixels = static_cast<uint8_t*>(bits);

  if (rle) {
    std::vector<uint8_t> packed(static_cast<std::size_t>(available));
    reader.Take(packed.data(), available);
    DecodeRle(packed.data(), packed.size(), compression == BI_RLE4, static_cast<int32_t>(width),
              static_cast<int32_t>(height), pixels, static_cast<std::size_t>(stride));
  } else if (!topDown) {
    const int64_t used = std::min(available, sectionSize);
    reader.Take(pixels, used);
    reader.Skip(available - used);
  } else {
    int64_t left = available;
    for (int64_t row = height - 1; row >= 0 && left > 0; --row) {
      const int64_t piece = std::min(left, stride);
      reader.Take(pixels + row * stride, piece);
      left -= piece;
    }
    reader.Skip(left);
  }
  return image;
}

}  // namespace

int64_t RowBytes(int64_t width, int bitCount) { return (width * bitCount + 31) / 32 * 4; }

TBmpImage ReadBmp(rtl::TStream& stream) {
  try {
    return Read(stream);
  } catch (const rtl::EReadError&) {
    throw EInvalidGraphic();
  }
}

void DecodeRle(const uint8_t* data, std::size_t size, bool rle4, int32_t width, int32_t height, uint8_t* pixels,
               std::size_t stride) {
  int64_t x = 0;
  int64_t y = 0;
  auto put = [&](int64_t px, uint8_t value) {
    if (px < 0 || px >= width || y < 0 || y >= height) return;
    uint8_t* row = pixels + static_cast<std::size_t>(y) * stride;
    if (!rle4) {
      row[px] = value;
    } else if (px % 2 == 0) {
      row[px / 2] = static_cast<uint8_t>((row[px / 2] & 0x0F) | (value << 4));
    } else {
      row[px / 2] = static_cast<uint8_t>((row[px / 2] & 0xF0) | (value & 0x0F));
    }
  };
  std::size_t in = 0;
  while (y < height && size - in >= 2) {
    const uint8_t first = data[in];
    const uint8_t second = data[in + 1];
    in += 2;
    if (first > 0) {
      // An encoded run: first pixels of the index (RLE4: two indexes taking turns).
      for (int i = 0; i < first; ++i) {
        uint8_t value = rle4 ? static_cast<uint8_t>(i % 2 == 0 ? second >> 4 : second & 0x0F) : second;
        put(x + i, value);
      }
      x += first;
    } else if (second == 0) {
      x = 0;
      ++y;
    } else if (second == 1) {
      return;
    } else if (second == 2) {
      if (size - in < 2) return;
      x += data[in];
      y += data[in + 1];
      in += 2;
    } else {
      // Absolute mode: second literal indexes, padded to a 16-bit boundary.
      const std::size_t bytes = rle4 ? (second + 1u) / 2u : second;
      const std::size_t padded = (bytes + 1u) & ~std::size_t{1};
      const std::size_t present = std::min(bytes, size - in);
      for (std::size_t i = 0; i < second; ++i) {
        const std::size_t at = rle4 ? i / 2 : i;
        if (at >= present) return;
        const uint8_t byte = data[in + at];
        uint8_t value = rle4 ? static_cast<uint8_t>(i % 2 == 0 ? byte >> 4 : byte & 0x0F) : byte;
        put(x + static_cast<int64_t>(i), value);
      }
      x += second;
      in += std::min(padded, size - in);
    }
  }
}

void WriteDib(rtl::TStream& stream, HBITMAP section, HDC dc, bool withFileHeader) {
  GdiFlush();
  DIBSECTION ds{};
  if (GetObjectW(section, sizeof ds, &ds) != sizeof ds || ds.dsBm.bmBits == nullptr) throw EInvalidGraphic();
  BITMAPINFOHEADER header = ds.dsBmih;
  const int32_t height = ds.dsBm.bmHeight;
  const uint32_t stride = static_cast<uint32_t>(ds.dsBm.bmWidthBytes);
  header.biSize = sizeof header;
  header.biHeight = height;
  header.biSizeImage = stride * static_cast<uint32_t>(height);
  header.biClrImportant = 0;
  uint32_t masksSize = 0;
  std::vector<RGBQUAD> colors;
  if (header.biCompression == BI_BITFIELDS) {
    masksSize = sizeof ds.dsBitfields;
  } else {
    header.biCompression = BI_RGB;
    header.biClrUsed = 0;
    if (header.biBitCount <= 8) {
      colors.resize(std::size_t{1} << header.biBitCount);
      UINT count = GetDIBColorTable(dc, 0, static_cast<UINT>(colors.size()), colors.data());
      colors.resize(count);
      header.biClrUsed = count;
    }
  }
  const uint32_t offBits = (withFileHeader ? 14u : 0u) + static_cast<uint32_t>(sizeof header) + masksSize +
                           static_cast<uint32_t>(colors.size() * sizeof(RGBQUAD));
  if (withFileHeader) {
    uint8_t file[14] = {'B', 'M'};
    const uint32_t fileSize = offBits + header.biSizeImage;
    std::memcpy(file + 2, &fileSize, 4);
    std::memcpy(file + 10, &offBits, 4);
    stream.WriteBuffer(file, sizeof file);
  }
  stream.WriteBuffer(&header, sizeof header);
  if (masksSize > 0) stream.WriteBuffer(ds.dsBitfields, static_cast<int32_t>(masksSize));
  if (!colors.empty()) stream.WriteBuffer(colors.data(), static_cast<int32_t>(colors.size() * sizeof(RGBQUAD)));
  const auto* bits = static_cast<const uint8_t*>(ds.dsBm.bmBits);
  if (ds.dsBmih.biHeight > 0) {
    stream.WriteBuffer(bits, static_cast<int32_t>(header.biSizeImage));
  } else {
    for (int32_t row = height - 1; row >= 0; --row) {
      stream.WriteBuffer(bits + static_cast<std::size_t>(row) * stride, static_cast<int32_t>(stride));
    }
  }
}

}  // namespace framework::bmp
