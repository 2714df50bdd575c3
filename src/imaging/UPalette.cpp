#include "imaging/UPalette.h"

#include <cstring>
#include <vector>

#include "rtl/Checked.h"
#include "rtl/Exception.h"
#include "rtl/ResourceStream.h"
#include "rtl/Sjis.h"

namespace imaging {

namespace {

DWORD ReadPlatformId() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (!GetVersionExA(&info)) return 0;
  return info.dwPlatformId;
}

HPALETTE defaultPalette = nullptr;

bool SameColor(const PALETTEENTRY& a, const PALETTEENTRY& b) {
  return a.peRed == b.peRed && a.peGreen == b.peGreen && a.peBlue == b.peBlue;
}

// The working list of ArrangePalette: at most 256 entries, compared by colour only.
class ColorList {
 public:
  int32_t Size() const { return size_; }
  const PALETTEENTRY& operator[](int32_t index) const {
    rtl::RangeCheck(index, 0, kMaxPaletteEntries - 1);
    return entries_[index];
  }
  void Append(const PALETTEENTRY& entry) {
    rtl::RangeCheck(size_, 0, kMaxPaletteEntries - 1);
    entries_[size_++] = entry;
  }
  void AddUnique(const PALETTEENTRY& entry) {
    for (int32_t i = 0; i < size_; ++i) {
      if (SameColor(entries_[i], entry)) return;
    }
    Append(entry);
  }

 private:
  PALETTEENTRY entries_[kMaxPaletteEntries] = {};
  int32_t size_ = 0;
};

WORD PaletteEntryCount(HPALETTE palette) {
  WORD count = 0;
  if (palette == nullptr || GetObjectW(palette, sizeof count, &count) != sizeof count) {
    throw EGdiError::LastError("read palette");
  }
  return count;
}

void ReadPaletteEntries(HPALETTE palette, WORD count, PALETTEENTRY* entries) {
  if (count != 0 && GetPaletteEntries(palette, 0, count, entries) != count) {
    throw EGdiError::LastError("read palette");
  }
}

uint32_t LittleEndian32(const unsigned char* bytes) {
  return bytes[0] | (uint32_t{bytes[1]} << 8) | (uint32_t{bytes[2]} << 16) | (uint32_t{bytes[3]} << 24);
}

}  // namespace

int32_t DisplayColorDepth() {
  ScreenDC screen;
  return rtl::CheckedMul(GetDeviceCaps(screen.get(), BITSPIXEL), GetDeviceCaps(screen.get(), PLANES));
}

bool IsPaletteDisplay() { return IsPaletteDepth(DisplayColorDepth()); }

DWORD StartupPlatformId() {
  // Safe to ask from other modules' start-up code, whatever their order.
  static const DWORD platformId = ReadPlatformId();
  return platformId;
}

namespace {
// Makes the reading happen at program start even when nothing asks before the entry runs.
const DWORD platformReadAtStart = StartupPlatformId();
}  // namespace

bool IsWinNT() { return IsNTPlatformId(StartupPlatformId()); }

void ArrangePalette(HPALETTE palette, bool blackAndWhite, int32_t count) {
  HPALETTE stock = static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE));
  // Some platforms let the shared stock palette be resized; it must never be.
  if (palette == stock) throw EGdiError("cannot change the stock palette");
  const WORD ownCount = PaletteEntryCount(palette);

  ColorList colors;
  if (blackAndWhite) {
    colors.Append({0, 0, 0, 0});
    colors.Append({255, 255, 255, 0});
  } else {
    PALETTEENTRY statics[kMaxPaletteEntries];
    const WORD staticCount = PaletteEntryCount(stock);
    rtl::RangeCheck(staticCount, 0, kMaxPaletteEntries);
    ReadPaletteEntries(stock, staticCount, statics);
    for (int32_t i = 0; i < staticCount; ++i) colors.Append(statics[i]);
  }
  const int32_t staticCount = colors.Size();
  rtl::RangeCheck(count, staticCount, kMaxPaletteEntries);

  std::vector<PALETTEENTRY> own(ownCount);
  ReadPaletteEntries(palette, ownCount, own.data());
  for (int32_t i = 0; i < ownCount && colors.Size() < count; ++i) colors.AddUnique(own[i]);

  PALETTEENTRY filler{0, 0, 0, 0};
  while (colors.Size() < count) {
    rtl::RangeCheck(filler.peBlue + 1, 0, 255);
    ++filler.peBlue;
    colors.AddUnique(filler);
  }

  // The first half of the static colours at the start, the rest at the end.
  const int32_t head = staticCount / 2;
  const int32_t tail = staticCount - head;
  const int32_t added = count - staticCount;
  PALETTEENTRY arranged[kMaxPaletteEntries];
  for (int32_t i = 0; i < head; ++i) arranged[i] = colors[i];
  for (int32_t i = 0; i < added; ++i) arranged[head + i] = colors[staticCount + i];
  for (int32_t i = 0; i < tail; ++i) arranged[head + added + i] = colors[head + i];

  if (!ResizePalette(palette, static_cast<UINT>(count))) throw EGdiError::LastError("resize palette");
  if (SetPaletteEntries(palette, 0, static_cast<UINT>(count), arranged) != static_cast<UINT>(count)) {
    throw EGdiError::LastError("change palette");
  }
}

void ArrangePalette256(HPALETTE palette, bool blackAndWhite) {
  ArrangePalette(palette, blackAndWhite, kMaxPaletteEntries);
}

PaletteHandle ReadRiffPalette(rtl::TStream& stream) {
  constexpr int32_t kHeaderSize = 20;
  constexpr uint32_t kRecordHeaderSize = 4;
  unsigned char header[kHeaderSize];
  if (stream.Read(header, kHeaderSize) != kHeaderSize) return {};
  if (std::memcmp(header, "RIFF", 4) != 0 || std::memcmp(header + 8, "PAL data", 8) != 0) return {};

  const uint32_t dataSize = LittleEndian32(header + 16);
  if (dataSize < kRecordHeaderSize || dataSize > sizeof(TLogPalette256)) return {};
  TLogPalette256 record{};
  const int32_t wanted = static_cast<int32_t>(dataSize);
  if (stream.Read(&record, wanted) != wanted) return {};
  // The platform reads Count entries: they must lie within the bytes read.
  if (record.Count == 0 || record.Count > (dataSize - kRecordHeaderSize) / sizeof(PALETTEENTRY)) return {};
  return PaletteHandle(CreatePalette(record.get()));
}

PaletteHandle LoadPaletteResource(HMODULE module, const std::string& name, LPCWSTR resourceType) {
  const std::wstring wideName = rtl::SjisToWide(name);
  if (FindResourceW(module, wideName.c_str(), resourceType) == nullptr) return {};
  rtl::TResourceStream stream(module, name, resourceType);
  return ReadRiffPalette(stream);
}

PaletteHandle CreateHalftonePaletteCopy() {
  ScreenDC screen;
  PaletteHandle halftone(CreateHalftonePalette(screen.get()));
  if (!halftone) throw EGdiError::LastError("create halftone palette");
  TLogPalette256 record{};
  record.Version = kPaletteVersion;
  record.Count = PaletteEntryCount(halftone.get());
  rtl::RangeCheck(record.Count, 0, kMaxPaletteEntries);
  ReadPaletteEntries(halftone.get(), record.Count, record.Entries);
  halftone.reset();
  PaletteHandle copy(CreatePalette(record.get()));
  if (!copy) throw EGdiError::LastError("create palette");
  return copy;
}

void InitDefaultPalette(HMODULE module) {
  PaletteHandle palette = LoadPaletteResource(module, "DefaultPalette", L"Palette");
  if (!palette) palette = CreateHalftonePaletteCopy();
  ArrangePalette256(palette.get(), false);
  {
    ScreenDC screen;
    PaletteSelection selection(screen.get(), palette.get(), true);
    RealizePalette(screen.get());
  }
  DoneDefaultPalette();
  defaultPalette = palette.release();
}

void InitDefaultPalette() { InitDefaultPalette(GetModuleHandleW(nullptr)); }

void DoneDefaultPalette() {
  if (defaultPalette != nullptr) DeleteObject(defaultPalette);
  defaultPalette = nullptr;
}

HPALETTE DefaultPaletteHandle() { return defaultPalette; }

}  // namespace imaging
