// Palette helpers of the imaging tests: entries are always read back from GDI; RIFF palette files.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "framework/GdiHandles.h"
#include "support/Bmp.h"
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

// A RIFF palette file: the form, then one "data" chunk holding a palette record of the entries.
inline Bytes RiffPalette(const std::vector<PALETTEENTRY>& entries) {
  const uint32_t dataSize = static_cast<uint32_t>(4 + 4 * entries.size());
  Bytes bytes = {'R', 'I', 'F', 'F'};
  Put32(bytes, 12 + dataSize);
  for (char c : std::string("PAL data")) bytes.push_back(static_cast<uint8_t>(c));
  Put32(bytes, dataSize);
  Put16(bytes, 0x0300);
  Put16(bytes, static_cast<uint32_t>(entries.size()));
  for (const PALETTEENTRY& e : entries) bytes.insert(bytes.end(), {e.peRed, e.peGreen, e.peBlue, e.peFlags});
  return bytes;
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
