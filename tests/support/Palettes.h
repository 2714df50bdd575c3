// The entries of a palette, read back from GDI.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

namespace testing_support {

// Every entry of palette; a handle that is no palette, or entries that cannot all be read, fail
// the test.
inline std::vector<PALETTEENTRY> PaletteEntries(HPALETTE palette) {
  WORD count = 0;
  // GetObjectType first: GetObjectW fills two bytes of a brush just as well.
  if (GetObjectType(palette) != OBJ_PAL || GetObjectW(palette, sizeof count, &count) != sizeof count) {
    ADD_FAILURE() << "not a palette";
    return {};
  }
  std::vector<PALETTEENTRY> entries(count);
  if (count != 0) {
    EXPECT_EQ(GetPaletteEntries(palette, 0, count, entries.data()), count);
  }
  return entries;
}

}  // namespace testing_support
