#include "framework/Metafile.h"

#include <vector>

#include "framework/Errors.h"
#include "framework/GraphicsObjects.h"
#include "rtl/Bytes.h"
#include "rtl/Checked.h"

namespace framework {

namespace {

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr std::size_t kPlaceableHeaderSize = 22;
constexpr std::size_t kMetaHeaderSize = 18;
constexpr std::size_t kEnhHeaderMinimum = 88;
constexpr uint32_t kEnhSignature = 0x464D4520;  // " EMF"

// The placeable header's frame is signed 16-bit.
int16_t ReadLEInt16(const uint8_t* p) { return static_cast<int16_t>(rtl::ReadLE16(p)); }

[[noreturn]] void Invalid() { throw EInvalidGraphic::InvalidMetafile(); }

TMetafileData ReadEnhanced(const uint8_t* data, std::size_t size) {
  const uint32_t headerSize = rtl::ReadLE32(data + 4);
  const uint32_t bytes = rtl::ReadLE32(data + 48);
  if (headerSize < kEnhHeaderMinimum || headerSize % 4 != 0 || bytes > size || headerSize > bytes) Invalid();
  const uint32_t descriptionLength = rtl::ReadLE32(data + 60);
  const uint32_t descriptionOffset = rtl::ReadLE32(data + 64);
  if (descriptionLength != 0 &&
      (descriptionOffset < kEnhHeaderMinimum || descriptionOffset > headerSize ||
       (headerSize - descriptionOffset) / 2 < descriptionLength)) {
    Invalid();
  }
  // Every record lies within the stated size, and the last one is the end-of-file record.
  std::size_t offset = 0;
  bool ended = false;
  while (!ended) {
    if (bytes - offset < 8) Invalid();
    const uint32_t type = rtl::ReadLE32(data + offset);
    const uint32_t recordSize = rtl::ReadLE32(data + offset + 4);
    if (recordSize < 8 || recordSize % 4 != 0 || recordSize > bytes - offset) Invalid();
    if (offset == 0 && type != EMR_HEADER) Invalid();
    if (type == EMR_EOF) {
      if (recordSize < 20 || offset + recordSize != bytes) Invalid();
      const uint32_t paletteEntries = rtl::ReadLE32(data + offset + 8);
      const uint32_t paletteOffset = rtl::ReadLE32(data + offset + 12);
      if (paletteEntries != 0 && (paletteOffset < 16 || paletteOffset > recordSize ||
                                  (recordSize - paletteOffset) / 4 < paletteEntries)) {
        Invalid();
      }
      ended = true;
    }
    offset += recordSize;
  }
  TMetafileData result;
  result.Handle.reset(SetEnhMetaFileBits(bytes, data));
  if (!result.Handle) Invalid();
  const int64_t width = int64_t{rtl::ReadLEInt32(data + 32)} - rtl::ReadLEInt32(data + 24);
  const int64_t height = int64_t{rtl::ReadLEInt32(data + 36)} - rtl::ReadLEInt32(data + 28);
  if (width < 0 || height < 0 || width > INT32_MAX || height > INT32_MAX) Invalid();
  result.MMWidth = static_cast<int32_t>(width);
  result.MMHeight = static_cast<int32_t>(height);
  return result;
}

TMetafileData ReadPlaceable(const uint8_t* data, std::size_t size) {
  if (size < kPlaceableHeaderSize + kMetaHeaderSize) Invalid();
  uint16_t checksum = 0;
  for (std::size_t i = 0; i < 10; ++i) checksum ^= rtl::ReadLE16(data + 2 * i);
  if (checksum != rtl::ReadLE16(data + 20)) Invalid();
  const int32_t width = int32_t{ReadLEInt16(data + 10)} - ReadLEInt16(data + 6);
  const int32_t height = int32_t{ReadLEInt16(data + 12)} - ReadLEInt16(data + 8);
  const uint16_t inch = rtl::ReadLE16(data + 14);
  if (width <= 0 || height <= 0 || inch == 0) Invalid();

  const uint8_t* meta = data + kPlaceableHeaderSize;
  const std::size_t available = size - kPlaceableHeaderSize;
  const uint16_t type = rtl::ReadLE16(meta);
  const uint64_t bytes = uint64_t{rtl::ReadLE32(meta + 6)} * 2;
  if ((type != 1 && type != 2) || rtl::ReadLE16(meta + 2) != 9 || bytes < kMetaHeaderSize || bytes > available) {
    Invalid();
  }
  std::size_t offset = kMetaHeaderSize;
  for (;;) {
    if (bytes - offset < 6) Invalid();
    const uint64_t recordSize = uint64_t{rtl::ReadLE32(meta + offset)} * 2;
    if (recordSize < 6 || recordSize > bytes - offset) Invalid();
    if (rtl::ReadLE16(meta + offset + 4) == 0) break;  // META_EOF
    offset += static_cast<std::size_t>(recordSize);
  }

  METAFILEPICT picture{};
  picture.mm = MM_ANISOTROPIC;
  picture.xExt = MulDiv(width, 2540, inch);
  picture.yExt = MulDiv(height, 2540, inch);
  TMetafileData result;
  result.Handle.reset(SetWinMetaFileBits(static_cast<UINT>(bytes), meta, nullptr, &picture));
  if (!result.Handle) Invalid();
  result.MMWidth = picture.xExt;
  result.MMHeight = picture.yExt;
  return result;
}

}  // namespace

TMetafileData ReadMetafile(const uint8_t* data, std::size_t size) {
  if (size >= 4 && rtl::ReadLE32(data) == kPlaceableKey) return ReadPlaceable(data, size);
  if (size >= kEnhHeaderMinimum && rtl::ReadLE32(data) == EMR_HEADER && rtl::ReadLE32(data + 40) == kEnhSignature) {
    return ReadEnhanced(data, size);
  }
  Invalid();
}

const TClass& TMetafile::StaticClass() {
  static const TClass info = TClassBuilder<TMetafile>("TMetafile", &TGraphic::StaticClass());
  return info;
}

TMetafile::TMetafile() = default;
TMetafile::~TMetafile() = default;

void TMetafile::Assign(const TPersistent* source) {
  if (source == nullptr) {
    handle_.reset();
    mmWidth_ = 0;
    mmHeight_ = 0;
    Changed(this);
    return;
  }
  auto* other = dynamic_cast<const TMetafile*>(source);
  if (other == nullptr) {
    TGraphic::Assign(source);
    return;
  }
  if (other == this) return;
  TEnhMetafileHandle copy;
  if (other->handle_) {
    copy.reset(CopyEnhMetaFileW(other->handle_.get(), nullptr));
    if (!copy) throw EOutOfResources();
  }
  handle_ = std::move(copy);
  mmWidth_ = other->mmWidth_;
  mmHeight_ = other->mmHeight_;
  Changed(this);
}

int32_t TMetafile::Width() const { return MulDiv(mmWidth_, ScreenPixelsPerInch(), 2540); }
int32_t TMetafile::Height() const { return MulDiv(mmHeight_, ScreenPixelsPerInch(), 2540); }

void TMetafile::SetWidth(int32_t width) {
  const int32_t mm = MulDiv(width, 2540, ScreenPixelsPerInch());
  if (mm == mmWidth_) return;
  mmWidth_ = mm;
  Changed(this);
}

void TMetafile::SetHeight(int32_t height) {
  const int32_t mm = MulDiv(height, 2540, ScreenPixelsPerInch());
  if (mm == mmHeight_) return;
  mmHeight_ = mm;
  Changed(this);
}

void TMetafile::LoadFromStream(rtl::TStream& stream) {
  const int32_t available = rtl::CheckedSub(stream.GetSize(), stream.GetPosition());
  TMetafileData loaded;
  if (available > 0) {
    std::vector<uint8_t> data(static_cast<std::size_t>(available));
    stream.ReadBuffer(data.data(), available);
    loaded = ReadMetafile(data.data(), data.size());
  }
  handle_ = std::move(loaded.Handle);
  mmWidth_ = loaded.MMWidth;
  mmHeight_ = loaded.MMHeight;
  Changed(this);
}

void TMetafile::SaveToStream(rtl::TStream& stream) const {
  if (!handle_) return;
  const UINT size = GetEnhMetaFileBits(handle_.get(), 0, nullptr);
  std::vector<uint8_t> bits(size);
  if (size == 0 || GetEnhMetaFileBits(handle_.get(), size, bits.data()) != size) throw EOutOfResources();
  stream.WriteBuffer(bits.data(), rtl::CheckedInt32(bits.size()));
}

void TMetafile::Draw(TCanvas& canvas, const TRect& rect) {
  if (!handle_) return;
  RECT r = rect.ToRECT();
  PlayEnhMetaFile(canvas.Handle(), handle_.get(), &r);
}

}  // namespace framework
