// Counting the process's live GDI objects, to find handle leaks.
#pragma once

#include <windows.h>

#include <cstdint>

namespace testing_support {

// The number of the process's GDI objects. The system's own count when it keeps one; Wine's
// GetGuiResources says 0, but its GetObjectType accepts a handle's table index alone (high word 0)
// for any live object, so the table is counted by probing every index.
inline int LiveGdiObjects() {
  const DWORD reported = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (reported != 0) return static_cast<int>(reported);
  int count = 0;
  for (uintptr_t index = 1; index < 0x10000; ++index) {
    if (GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0) ++count;
  }
  return count;
}

}  // namespace testing_support
