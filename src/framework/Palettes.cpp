#include "framework/Palettes.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "framework/Errors.h"

namespace framework {

namespace {

// A logical palette record of count entries: version, count, then the entries, all zero.
std::vector<std::byte> PaletteRecord(std::size_t count) {
  std::vector<std::byte> record(offsetof(LOGPALETTE, palPalEntry) + count * sizeof(PALETTEENTRY));
  auto* log = reinterpret_cast<LOGPALETTE*>(record.data());
  log->palVersion = 0x0300;
  log->palNumEntries = static_cast<WORD>(count);
  return record;
}

}  // namespace

TPaletteHandle CopyPalette(HPALETTE palette) {
  if (palette == nullptr) return {};
  const UINT count = GetPaletteEntries(palette, 0, 0, nullptr);
  if (count == 0) return {};
  std::vector<std::byte> record = PaletteRecord(count);
  auto* log = reinterpret_cast<LOGPALETTE*>(record.data());
  log->palNumEntries = static_cast<WORD>(GetPaletteEntries(palette, 0, count, log->palPalEntry));
  if (log->palNumEntries == 0) return {};
  TPaletteHandle copy(CreatePalette(log));
  if (!copy) throw EOutOfResources();
  return copy;
}

TPaletteHandle PaletteOfColors(std::span<const RGBQUAD> colors) {
  const std::size_t count = std::min<std::size_t>(colors.size(), 256);
  if (count == 0) return {};
  std::vector<std::byte> record = PaletteRecord(count);
  auto* log = reinterpret_cast<LOGPALETTE*>(record.data());
  for (std::size_t i = 0; i < count; ++i) {
    log->palPalEntry[i] = {colors[i].rgbRed, colors[i].rgbGreen, colors[i].rgbBlue, 0};
  }
  return TPaletteHandle(CreatePalette(log));
}

}  // namespace framework
