// Making logical palettes: a copy of one, or one of the colours of a colour table.
#pragma once

#include <windows.h>

#include <span>

#include "framework/GdiHandles.h"

namespace framework {

// A new palette with every entry of palette, flags included, in its order. None for none, and none
// for a palette without entries (or one whose entries cannot be read): a copy of nothing is no
// palette to the graphics that take it. Raises EOutOfResources when the system cannot create the
// copy.
TPaletteHandle CopyPalette(HPALETTE palette);

// A palette of the colours of a colour table, in its order, flags clear, at most its first 256
// colours. None for no colours, and none when the system cannot create it: what that means is the
// caller's to say.
TPaletteHandle PaletteOfColors(std::span<const RGBQUAD> colors);

}  // namespace framework
