#include "framework/Icon.h"

#include <cstdlib>
#include <cstring>

#include "framework/BmpFile.h"
#include "framework/Errors.h"
#include "rtl/Bytes.h"
#include "rtl/Checked.h"

namespace framework {

namespace {

constexpr std::size_t kDirectorySize = 6;
constexpr std::size_t kEntrySize = 16;
constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// PNG's fields are big-endian.
uint32_t U32BigEndian(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}

[[noreturn]] void Invalid() { throw EInvalidGraphic::InvalidIcon(); }

// Checks the image's own header against its size; gives its width and height.
void CheckImage(const uint8_t* image, std::size_t size, int32_t& width, int32_t& height) {
  if (size >= 24 && std::memcmp(image, kPngSignature, sizeof kPngSignature) == 0) {
    // The IHDR chunk comes first: length, "IHDR", width, height.
    const uint32_t w = U32BigEndian(image + 16);
    const uint32_t h = U32BigEndian(image + 20);
    if (w == 0 || h == 0 || w > 1024 || h > 1024) Invalid();
    width = static_cast<int32_t>(w);
    height = static_cast<int32_t>(h);
    return;
  }
  if (size < sizeof(BITMAPINFOHEADER)) Invalid();
  const uint32_t headerSize = rtl::ReadLE32(image);
  const auto w = rtl::ReadLEInt32(image + 4);
  const auto doubleHeight = rtl::ReadLEInt32(image + 8);
  const uint16_t planes = rtl::ReadLE16(image + 12);
  const uint16_t bitCount = rtl::ReadLE16(image + 14);
  const uint32_t compression = rtl::ReadLE32(image + 16);
  const uint32_t colorsUsed = rtl::ReadLE32(image + 32);
  if (headerSize < sizeof(BITMAPINFOHEADER) || headerSize > size) Invalid();
  if (w <= 0 || w > 256 || doubleHeight < 2 || doubleHeight > 512 || planes != 1) Invalid();
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32) Invalid();
  uint64_t needed = headerSize;
  if (compression == BI_BITFIELDS && (bitCount == 16 || bitCount == 32)) {
    if (headerSize == sizeof(BITMAPINFOHEADER)) needed += 12;
  } else if (compression != BI_RGB) {
    Invalid();
  }
  if (bitCount <= 8) {
    const uint32_t maxColors = 1u << bitCount;
    if (colorsUsed > maxColors) Invalid();
    needed += 4 * static_cast<uint64_t>(colorsUsed != 0 ? colorsUsed : maxColors);
  }
  const auto h = static_cast<uint64_t>(doubleHeight / 2);
  needed += static_cast<uint64_t>(bmp::RowBytes(w, bitCount)) * h + static_cast<uint64_t>(bmp::RowBytes(w, 1)) * h;
  if (needed > size) Invalid();
  width = w;
  height = doubleHeight / 2;
}

}  // namespace

TIconImage ChooseIconImage(const uint8_t* data, std::size_t size) {
  if (size < kDirectorySize || rtl::ReadLE16(data) != 0 || rtl::ReadLE16(data + 2) != 1) Invalid();
  const uint16_t count = rtl::ReadLE16(data + 4);
  if (count == 0 || (size - kDirectorySize) / kEntrySize < count) Invalid();
  const int desired = GetSystemMetrics(SM_CXICON);
  std::size_t chosen = 0;
  int bestDistance = 0;
  int bestColors = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const uint8_t* entry = data + kDirectorySize + i * kEntrySize;
    const uint32_t bytes = rtl::ReadLE32(entry + 8);
    const uint32_t offset = rtl::ReadLE32(entry + 12);
    if (bytes == 0 || offset > size || size - offset < bytes) Invalid();
    const int width = entry[0] != 0 ? entry[0] : 256;
    const int height = entry[1] != 0 ? entry[1] : 256;
    const int distance = std::abs(width - desired) + std::abs(height - desired);
    const int colors = rtl::ReadLE16(entry + 6) != 0 ? rtl::ReadLE16(entry + 6) : entry[2];
    if (i == 0 || distance < bestDistance || (distance == bestDistance && colors > bestColors)) {
      chosen = i;
      bestDistance = distance;
      bestColors = colors;
    }
  }
  const uint8_t* entry = data + kDirectorySize + chosen * kEntrySize;
  TIconImage image;
  image.Size = rtl::ReadLE32(entry + 8);
  image.Offset = rtl::ReadLE32(entry + 12);
  CheckImage(data + image.Offset, image.Size, image.Width, image.Height);
  return image;
}

const TClass& TIcon::StaticClass() {
  static const TClass info = TClassBuilder<TIcon>("TIcon", &TGraphic::StaticClass());
  return info;
}

TIcon::TIcon() = default;
TIcon::~TIcon() = default;

void TIcon::Assign(const TPersistent* source) {
  if (source == nullptr) {
    Load({});
    return;
  }
  auto* other = dynamic_cast<const TIcon*>(source);
  if (other == nullptr) {
    TGraphic::Assign(source);
    return;
  }
  if (other != this) Load(other->data_);
}

void TIcon::SetWidth(int32_t) { throw EInvalidGraphicOperation::CannotResizeIcon(); }
void TIcon::SetHeight(int32_t) { throw EInvalidGraphicOperation::CannotResizeIcon(); }

void TIcon::Load(std::vector<uint8_t> data) {
  TIconHandle icon;
  TIconImage image;
  if (!data.empty()) {
    image = ChooseIconImage(data.data(), data.size());
    icon.reset(CreateIconFromResourceEx(data.data() + image.Offset, static_cast<DWORD>(image.Size), TRUE, 0x00030000,
                                        image.Width, image.Height, LR_DEFAULTCOLOR));
    if (!icon) Invalid();
  }
  data_ = std::move(data);
  handle_ = std::move(icon);
  width_ = image.Width;
  height_ = image.Height;
  Changed(this);
}

void TIcon::LoadFromStream(rtl::TStream& stream) {
  const int32_t available = rtl::CheckedSub(stream.GetSize(), stream.GetPosition());
  std::vector<uint8_t> data(available > 0 ? static_cast<std::size_t>(available) : 0);
  if (!data.empty()) stream.ReadBuffer(data.data(), available);
  Load(std::move(data));
}

void TIcon::SaveToStream(rtl::TStream& stream) const {
  if (!data_.empty()) stream.WriteBuffer(data_.data(), rtl::CheckedInt32(data_.size()));
}

void TIcon::Draw(TCanvas& canvas, const TRect& rect) {
  if (!handle_) return;
  DrawIconEx(canvas.Handle(), rect.Left, rect.Top, handle_.get(), rect.Width(), rect.Height(), 0, nullptr, DI_NORMAL);
}

}  // namespace framework
