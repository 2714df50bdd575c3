#include "framework/Palettes.h"

#include <cstddef>
#include <vector>

#include "framework/Errors.h"

namespace framework {

TPaletteHandle CopyPalette(HPALETTE palette) {
  if (palette == nullptr) return {};
  const UINT count = GetPaletteEntries(palette, 0, 0, nullptr);
  if (count == 0) return {};
  // The record: version, count, then the entries.
  std::vector<std::byte> record(offsetof(LOGPALETTE, palPalEntry) + count * sizeof(PALETTEENTRY));
  auto* log = reinterpret_cast<LOGPALETTE*>(record.data());
  log->palVersion = 0x0300;
  log->palNumEntries = static_cast<WORD>(GetPaletteEntries(palette, 0, count, log->palPalEntry));
  if (log->palNumEntries == 0) return {};
  TPaletteHandle copy(CreatePalette(log));
  if (!copy) throw EOutOfResources();
  return copy;
}

}  // namespace framework
