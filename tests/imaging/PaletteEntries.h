// Palette helpers of the imaging tests: entries are always read back from GDI.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <ostream>
#include <vector>

#include "framework/GdiHandles.h"
#include "support/Palettes.h"

inline bool operator==(const PALETTEENTRY& a, const PALETTEENTRY& b) {
  return a.peRed == b.peRed && a.peGreen == b.peGreen && a.peBlue == b.peBlue && a.peFlags == b.peFlags;
}

inline std::ostream& operator<<(std::ostream& out, const PALETTEENTRY& e) {
  return out << '(' << int{e.peRed} << ',' << int{e.peGreen} << ',' << int{e.peBlue} << " flags " << int{e.peFlags} << ')';
}

namespace testing_support {

inline PALETTEENTRY Entry(int red, int green, int blue, int flags = 0) {
  return PALETTEENTRY{static_cast<BYTE>(red), static_cast<BYTE>(green), static_cast<BYTE>(blue), static_cast<BYTE>(flags)};
}

inline framework::TPaletteHandle MakePalette(const std::vector<PALETTEENTRY>& entries) {
  std::vector<unsigned char> record(4 + 4 * entries.size());
  const WORD version = 0x0300, count = static_cast<WORD>(entries.size());
  std::memcpy(record.data(), &version, 2);
  std::memcpy(record.data() + 2, &count, 2);
  std::memcpy(record.data() + 4, entries.data(), 4 * entries.size());
  framework::TPaletteHandle palette(CreatePalette(reinterpret_cast<const LOGPALETTE*>(record.data())));
  EXPECT_TRUE(palette);
  return palette;
}

inline std::vector<PALETTEENTRY> StockEntries() {
  return testing_support::PaletteEntries(static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)));
}

// Set by the CTest entry that runs on an 8-bit screen.
inline bool ExpectPaletteDisplay() {
  const char* value = std::getenv("PEUPDATE_EXPECT_PALETTE_DISPLAY");
  return value != nullptr && std::strcmp(value, "1") == 0;
}

}  // namespace testing_support
