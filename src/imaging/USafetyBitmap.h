// The library's bitmap: tolerant loading of plain, run-length, header-damaged and container-wrapped
// ("CBM") BMP data, palettes normalised to black first and white last, and transparent drawing
// through a mask and a masked copy of its own.
#pragma once

#include <windows.h>

#include <cstdint>

#include "framework/Bitmap.h"
#include "framework/Canvas.h"
#include "framework/Colors.h"
#include "imaging/UDIB.h"
#include "rtl/Stream.h"

namespace imaging {

class TSafetyBitmap : public framework::TBitmap {
 public:
  static const framework::TClass& StaticClass();
  const framework::TClass& ClassType() const override { return StaticClass(); }

  TSafetyBitmap();
  ~TSafetyBitmap() override;

  // The base bitmap's copy; from another safety bitmap also its mask, masked copy and stale flags.
  void Assign(const framework::TPersistent* source) override;

  // From the stream's position to its end (the stream must be seekable): a BMP or a container
  // holding one; a BI_RGB header whose biSizeImage is wrong is repaired first, run-length data is
  // decoded by the DIB stretch. A 16- or 256-colour palette ends with black first and white last.
  // EInvalidGraphic for data that is no BMP (run-length data shorter than its header, colour table
  // and bfOffBits claim included), ERangeError for run-length data of more than 256 colours,
  // EIntOverflow for sizes beyond 32 bits, the container's errors for a damaged container.
  void LoadFromStream(rtl::TStream& stream) override;
  // The layout's "Data": a u32 length L and L bytes of picture data; the stream is left after them.
  // L = 0 loads an empty picture. EReadError when fewer than L bytes follow.
  void ReadData(rtl::TStream& stream) override;

  // Stretched into rect; a transparent picture through its mask and masked copy (screen and
  // printer paths differ). The canvas's colours, copy mode and stretch mode are kept. When the
  // picture's own context is mapped so that its logical rectangle (0, 0)-(width, height) is a part
  // of it (StretchDrawPart), that part of the mask and the masked copy is drawn; the automatic
  // transparent colour, the mask and the masked copy come from the picture itself, unmapped.
  void Draw(framework::TCanvas& canvas, const framework::TRect& rect) override;

  // The header tests, at the stream's position, which they restore; data shorter than what a test
  // looks at does not match. NeedsHeaderRepair: a BI_RGB BMP with a 40-byte info header whose
  // biSizeImage is not the size of its rows (EIntOverflow when that size passes 32 bits).
  // IsRLEBitmap: a BMP with a 40-byte info header and BI_RLE8 or BI_RLE4 compression.
  static bool NeedsHeaderRepair(rtl::TStream& stream);
  static bool IsRLEBitmap(rtl::TStream& stream);

  // The NT family's drawing paths or the others'; IsWinNT unless set otherwise (tests take both).
  static bool NTFamily();
  static void SetNTFamily(bool value);

  // The transparency mask (a set bit is a transparent pixel), its DIB copy (kept outside the NT
  // family only), the copy with every transparent pixel white, and whether each must be rebuilt.
  const framework::TBitmap& Mask() const { return FMask; }
  const TDIB& MaskDIB() const { return FMaskDIB; }
  const framework::TBitmap& MaskedImage() const { return FMaskedImage; }
  bool MaskStale() const { return FMaskStale; }
  bool MaskedImageStale() const { return FMaskedImageStale; }

 protected:
  // Every change of the picture marks the mask and the masked copy stale.
  void Changed(framework::TObject* sender) override;

 private:
  void RepairAndLoad(rtl::TMemoryStream& data);
  void LoadRLEBitmap(rtl::TStream& stream);
  void LoadRLEBytes(const uint8_t* data, int32_t size);
  void NormalizePalette();

  void BuildMask(framework::TColor colour);
  void BuildMaskedImage();
  // part: the part of the picture drawn (the whole picture unless its context is mapped to a part).
  void DrawOnScreen(framework::TCanvas& canvas, const framework::TRect& rect, const framework::TRect& part);
  void DrawOnPrinter(framework::TCanvas& canvas, const framework::TRect& rect, const framework::TRect& part);
  int32_t FindPaletteIndex(COLORREF colour) const;

  framework::TBitmap FMask;
  TDIB FMaskDIB;
  framework::TBitmap FMaskedImage;
  bool FMaskStale = false;
  bool FMaskedImageStale = false;
};

// The unit's start-up step: registers the class for the picture extensions "BMP" ("Bitmaps") and
// "CBM" ("Compressed Bitmaps") and makes it known to stored pictures. Counted: only the first start
// registers and only the matching last finish takes both extensions away again.
void InitSafetyBitmap();
void DoneSafetyBitmap();

}  // namespace imaging
