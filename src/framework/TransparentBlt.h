// Drawing a picture with one colour left out: the monochrome mask of that colour and the blit
// through it.
#pragma once

#include <windows.h>

#include <cstdint>

#include "framework/GdiHandles.h"
#include "framework/Types.h"

namespace framework {

// Draws source (width x height at 0,0 of sourceDC) into rect on dest, leaving dest untouched
// wherever source has the transparent colour.
void DrawTransparent(HDC dest, const TRect& rect, HDC sourceDC, int32_t width, int32_t height, COLORREF transparent);
// A monochrome bitmap of source (width x height at 0,0 of sourceDC): white where source has the
// transparent colour, black elsewhere. It is drawn in a memory DC compatible with dest.
TBitmapHandle TransparencyMask(HDC dest, HDC sourceDC, int32_t width, int32_t height, COLORREF transparent);

}  // namespace framework
