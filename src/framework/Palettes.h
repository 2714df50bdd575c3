// Copying a logical palette.
#pragma once

#include <windows.h>

#include "framework/GdiHandles.h"

namespace framework {

// A new palette with every entry of palette, flags included, in its order. None for none, and none
// for a palette without entries (or one whose entries cannot be read): a copy of nothing is no
// palette to the graphics that take it. Raises EOutOfResources when the system cannot create the
// copy.
TPaletteHandle CopyPalette(HPALETTE palette);

}  // namespace framework
