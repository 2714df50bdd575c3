// The items of the file controls' owner-drawn lists: a glyph from the program's resources and a text.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "framework/Bitmap.h"

namespace framework {

// Loads the bitmap resource name of the program as a transparent glyph; raises EResNotFound when
// there is none.
void LoadGlyph(TBitmap& glyph, const wchar_t* name);
// An owner-drawn item: background, glyph (centred in the item's height) after indent, text.
void DrawEntry(const DRAWITEMSTRUCT& item, int32_t indent, TBitmap* glyph, const std::wstring& text);
// An item past the entries: drawn empty and never as selected.
void DrawBlankEntry(const DRAWITEMSTRUCT& item);

}  // namespace framework
