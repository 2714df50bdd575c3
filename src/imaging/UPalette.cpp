#include "imaging/UPalette.h"

#include <cstring>
#include <utility>
#include <vector>

#include "framework/Errors.h"
#include "framework/GdiHandles.h"
#include "framework/Palettes.h"
#include "imaging/EGdiError.h"
#include "imaging/ScreenDC.h"
#include "imaging/UDIBitmap.h"
#include "rtl/Bytes.h"
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

framework::TPaletteHandle defaultPalette;

bool SameColor(const PALETTEENTRY& a, const PALETTEENTRY& b) {
  return a.peRed == b.peRed && a.peGreen == b.peGreen && a.peBlue == b.peBlue;
}

// The working list of ArrangePalette: at most 256 entries, compared by colour only.
class TColorList {
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

}  // namespace

void StretchDrawPart(framework::TCanvas& canvas, const framework::TRect& destRect, framework::TBitmap& bitmap,
                     const framework::TRect& sourceRect) {
  if (RectIsEmpty(destRect) || RectIsEmpty(sourceRect)) return;
  if (sourceRect == framework::TRect{0, 0, bitmap.Width(), bitmap.Height()}) {
    canvas.StretchDraw(destRect, bitmap);
    return;
  }
  // The bitmap draws the logical rectangle (0, 0)-(width, height) of its own context; mapped, that
  // rectangle is the device rectangle sourceRect.
  HDC dc = bitmap.Canvas().Handle();
  framework::TMappingGuard mapping(dc);
  mapping.ViewportOrigin(sourceRect.Left, sourceRect.Top);
  mapping.MapMode(MM_ANISOTROPIC);
  mapping.ViewportExtent(RectWidth(sourceRect), RectHeight(sourceRect));
  mapping.WindowExtent(bitmap.Width(), bitmap.Height());
  canvas.StretchDraw(destRect, bitmap);
}

int32_t DisplayColorDepth() {
  framework::TWindowDC screen = GetScreenDC();
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

  TColorList colors;
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

framework::TPaletteHandle ReadRiffPalette(rtl::TStream& stream) {
  constexpr int32_t kHeaderSize = 20;
  constexpr uint32_t kRecordHeaderSize = 4;
  uint8_t header[kHeaderSize];
  if (stream.Read(header, kHeaderSize) != kHeaderSize) return {};
  if (std::memcmp(header, "RIFF", 4) != 0 || std::memcmp(header + 8, "PAL data", 8) != 0) return {};

  const uint32_t dataSize = rtl::ReadLE32(header + 16);
  if (dataSize < kRecordHeaderSize || dataSize > sizeof(TLogPalette256)) return {};
  TLogPalette256 record{};
  const int32_t wanted = static_cast<int32_t>(dataSize);
  if (stream.Read(&record, wanted) != wanted) return {};
  // The platform reads Count entries: they must lie within the bytes read.
  if (record.Count == 0 || record.Count > (dataSize - kRecordHeaderSize) / sizeof(PALETTEENTRY)) return {};
  return framework::TPaletteHandle(CreatePalette(record.get()));
}

framework::TPaletteHandle LoadPaletteResource(HMODULE module, const std::string& name, LPCWSTR resourceType) {
  const std::wstring wideName = rtl::SjisToWide(name);
  if (FindResourceW(module, wideName.c_str(), resourceType) == nullptr) return {};
  rtl::TResourceStream stream(module, name, resourceType);
  return ReadRiffPalette(stream);
}

framework::TPaletteHandle CreateHalftonePaletteCopy() {
  framework::TWindowDC screen = GetScreenDC();
  framework::TPaletteHandle halftone(CreateHalftonePalette(screen.get()));
  if (!halftone) throw EGdiError::LastError("create halftone palette");
  framework::TPaletteHandle copy = framework::CopyPalette(halftone.get());
  if (!copy) throw EGdiError::LastError("read palette");
  return copy;
}

void InitDefaultPalette(HMODULE module) {
  framework::TPaletteHandle palette = LoadPaletteResource(module, "DefaultPalette", L"Palette");
  if (!palette) palette = CreateHalftonePaletteCopy();
  ArrangePalette256(palette.get(), false);
  {
    framework::TWindowDC screen = GetScreenDC();
    const framework::TPaletteGuard selection(screen.get(), palette.get(), true);
    if (!selection.Selected()) throw EGdiError::LastError("select palette");
  }
  defaultPalette = std::move(palette);
}

void InitDefaultPalette() { InitDefaultPalette(GetModuleHandleW(nullptr)); }

void DoneDefaultPalette() { defaultPalette.reset(); }

HPALETTE DefaultPaletteHandle() { return defaultPalette.get(); }

void RemapBitmapToPalette(framework::TBitmap& source, framework::TBitmap& dest, HPALETTE palette) {
  framework::TWindowDC screen = GetScreenDC();
  if ((GetDeviceCaps(screen.get(), RASTERCAPS) & RC_PALETTE) == 0) {
    dest.Assign(&source);
    dest.Handle();
    return;
  }
  // Dest keeps its own pixel format; the caller chooses it.
  dest.SetWidth(source.Width());
  dest.SetHeight(source.Height());
  // Source's exact pixels and colour table, in a DIB section.
  TDIBitmap carrier;
  carrier.Assign(&source);
  if (palette != nullptr) {
    carrier.SetPalette(framework::CopyPalette(palette).release());
    dest.SetPalette(framework::CopyPalette(palette).release());
  } else {
    // The carrier keeps the palette of its colour table.
    dest.SetPalette(framework::CopyPalette(source.Palette()).release());
  }
  // The carrier's drawing realises its palette in dest's context as a background palette, so that
  // the platform matches every pixel's colour to it.
  dest.Canvas().Draw(0, 0, carrier);
}

}  // namespace imaging
