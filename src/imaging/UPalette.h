// Palette and display utilities: drawing part of a bitmap, the screen's depth and the platform
// family, palette arrangement, RIFF palettes from streams and resources, the process-wide default
// palette, and remapping a bitmap onto a palette.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "framework/Bitmap.h"
#include "framework/Canvas.h"
#include "framework/GdiHandles.h"
#include "imaging/EGdiError.h"
#include "imaging/URects.h"
#include "rtl/Stream.h"

namespace imaging {

// No palette made or arranged here has more entries than this.
constexpr int32_t kMaxPaletteEntries = 256;

// The platform's logical palette record with room for every entry (1,028 bytes).
struct TLogPalette256 {
  WORD Version;
  WORD Count;
  PALETTEENTRY Entries[kMaxPaletteEntries];

  const LOGPALETTE* get() const { return reinterpret_cast<const LOGPALETTE*>(this); }
};
static_assert(sizeof(TLogPalette256) == 1028);
constexpr WORD kPaletteVersion = 0x0300;

// Draws the part sourceRect of bitmap onto canvas, stretched to fill destRect, through the
// canvas's stretch-draw of the bitmap (so with its copy mode). Nothing is drawn when either
// rectangle is empty. A part other than the whole bitmap is chosen by mapping the bitmap's own
// context (anisotropic, viewport origin and extent, window extent), which is restored as it was,
// also when the draw raises.
void StretchDrawPart(framework::TCanvas& canvas, const framework::TRect& destRect, framework::TBitmap& bitmap,
                     const framework::TRect& sourceRect);

// Bits per pixel times colour planes of the screen.
int32_t DisplayColorDepth();
// True for a screen of 8 bits per pixel or fewer.
bool IsPaletteDisplay();
constexpr bool IsPaletteDepth(int32_t depth) { return depth < 9; }

// The platform identifier of the system's version record, read once at program start; 0 when it
// could not be read.
DWORD StartupPlatformId();
constexpr bool IsNTPlatformId(DWORD platformId) { return platformId == VER_PLATFORM_WIN32_NT; }
bool IsWinNT();

// Rebuilds palette in place with exactly count entries: the first half of the static colours
// (black and white, or the 20 of the stock default palette), then the palette's own colours in
// their order without repeats and without the static ones, then fillers (0, 0, 1), (0, 0, 2), ...
// not yet present, then the second half of the static colours. The flags byte is carried along but
// never compared. A count outside [number of static colours, 256] raises ERangeError; a palette
// that cannot be read or changed (none, or the stock one) raises EGdiError.
void ArrangePalette(HPALETTE palette, bool blackAndWhite, int32_t count);
void ArrangePalette256(HPALETTE palette, bool blackAndWhite);

// The palette of the RIFF palette data at the stream's position ("RIFF", size, "PAL data", N, then
// a logical palette record of N bytes), or none when the data is not such a palette: a wrong
// signature, a stream that ends early, N outside 4..1028, or an entry count of 0 or beyond N.
framework::TPaletteHandle ReadRiffPalette(rtl::TStream& stream);

// The palette held by the named resource of the given type in module, or none when there is no such
// resource or it is not a RIFF palette. The name is CP932.
framework::TPaletteHandle LoadPaletteResource(HMODULE module, const std::string& name, LPCWSTR resourceType);

// An ordinary palette with the entries of the platform's halftone palette for the screen.
framework::TPaletteHandle CreateHalftonePaletteCopy();

// The process-wide default palette: the "DefaultPalette" resource of type "Palette" in module, or a
// halftone copy when there is none, arranged around the stock default palette's static colours and
// realised once into the screen as a background palette. Made again, the old one is deleted.
void InitDefaultPalette(HMODULE module);
void InitDefaultPalette();  // with the program's executable module
void DoneDefaultPalette();
// Owned by this module; nullptr before InitDefaultPalette and after DoneDefaultPalette.
HPALETTE DefaultPaletteHandle();

// Makes dest a copy of source. On a palette device (the screen's raster capabilities have
// RC_PALETTE), dest carries a copy of palette (or, when palette is nullptr, a copy of source's own)
// and its pixels are source's colours matched to that palette, drawn through a TDIBitmap whose
// errors pass to the caller; dest keeps its pixel format (8 bits hold the palette's colours
// exactly). Elsewhere dest is an exact copy of source with its image made at once. palette stays
// the caller's.
void RemapBitmapToPalette(framework::TBitmap& source, framework::TBitmap& dest, HPALETTE palette);

}  // namespace imaging
