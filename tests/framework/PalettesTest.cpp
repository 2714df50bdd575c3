// Palettes: the copy, the owner and the selection guard.
#include "framework/Palettes.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <utility>
#include <vector>

#include "framework/GdiHandles.h"
#include "support/Palettes.h"

namespace {

using framework::TPaletteHandle;
using testing_support::PaletteEntries;

HPALETTE StockPalette() { return static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)); }

// A palette of its own with the stock entries, the first one flagged.
TPaletteHandle FlaggedPalette() {
  TPaletteHandle palette = framework::CopyPalette(StockPalette());
  PALETTEENTRY first = PaletteEntries(palette.get()).at(0);
  first.peFlags = PC_NOCOLLAPSE;
  EXPECT_EQ(SetPaletteEntries(palette.get(), 0, 1, &first), 1u);
  return palette;
}

TEST(CopyPalette, GivesANewPaletteWithEveryEntryAndFlagAndNoneOfNoPalette) {
  TPaletteHandle source = FlaggedPalette();
  const std::vector<PALETTEENTRY> entries = PaletteEntries(source.get());
  ASSERT_EQ(entries.size(), 20u);
  ASSERT_EQ(entries[0].peFlags, PC_NOCOLLAPSE);
  TPaletteHandle copy = framework::CopyPalette(source.get());
  ASSERT_TRUE(copy);
  EXPECT_NE(copy.get(), source.get());
  source.reset();
  const std::vector<PALETTEENTRY> copied = PaletteEntries(copy.get());
  ASSERT_EQ(copied.size(), entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(std::memcmp(&copied[i], &entries[i], sizeof(PALETTEENTRY)), 0) << "red, green, blue and flags of " << i;
  }
  // None, and an object that is no palette, give none.
  EXPECT_FALSE(framework::CopyPalette(nullptr));
  // A brush has no palette entries to copy.
  EXPECT_FALSE(framework::CopyPalette(reinterpret_cast<HPALETTE>(GetStockObject(BLACK_BRUSH))));
}

TEST(PaletteHandle, MovingHandsOverTheOneDelete) {
  TPaletteHandle first = framework::CopyPalette(StockPalette());
  HPALETTE raw = first.get();
  TPaletteHandle second = std::move(first);
  EXPECT_FALSE(first);
  EXPECT_EQ(second.get(), raw);
  second = TPaletteHandle();
  EXPECT_EQ(GetObjectType(raw), 0u);
}

TEST(PaletteGuard, SelectsAndPutsThePreviousPaletteBack) {
  framework::TMemoryDC dc;
  ASSERT_TRUE(dc);
  HGDIOBJ before = GetCurrentObject(dc.get(), OBJ_PAL);
  TPaletteHandle palette = FlaggedPalette();
  {
    const framework::TPaletteGuard selection(dc.get(), palette.get(), true);
    EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_PAL), palette.get());
  }
  EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_PAL), before);
  {
    // No palette selects nothing and puts nothing back.
    const framework::TPaletteGuard nothing(dc.get(), nullptr, true);
    EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_PAL), before);
  }
  EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_PAL), before);
}

}  // namespace
