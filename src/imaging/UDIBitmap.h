// A graphic whose pixels live in a DIB section, keeping the format it loads, showing a view
// rectangle of its pixels; and its canvas, a memory canvas on the section.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "framework/Canvas.h"
#include "framework/GdiHandles.h"
#include "framework/Graphic.h"
#include "imaging/UCanvas.h"
#include "imaging/UDIB.h"

namespace imaging {

class TDIBitmap;

// The graphic's canvas: a memory canvas for the screen on its owner's DIB section, which making the
// handle selects (making the section first if there is none; an empty owner selects nothing).
class TDIBCanvas : public TMemoryCanvas {
 public:
  explicit TDIBCanvas(const TDIBitmap& owner) : owner_(owner) {}

 protected:
  void CreateHandle() override;
  HBITMAP GetBitmapHandle() override;

 private:
  const TDIBitmap& owner_;  // not owned
};

class TDIBitmap : public framework::TGraphic {
 public:
  static const framework::TClass& StaticClass();
  const framework::TClass& ClassType() const override { return StaticClass(); }

  TDIBitmap();
  ~TDIBitmap() override;

  // From a TBitmap (through its BMP stream) or, asking the source, from another TDIBitmap.
  void Assign(const framework::TPersistent* source) override;

  // Only the pixels count: an empty view of a loaded image is not empty.
  bool Empty() const override;
  // Of the view rectangle.
  int32_t Width() const override;
  int32_t Height() const override;
  // Move the view's right (bottom) edge; the pixels stay.
  void SetWidth(int32_t width) override;
  void SetHeight(int32_t height) override;

  // Stretches the view into rect, from the pixel memory (DrawDirect) or from the memory context,
  // with the palette of the colour table selected; one row at a time when the device refuses.
  void Draw(framework::TCanvas& canvas, const framework::TRect& rect) override;

  // Made from the colour table on first request; owned. None for an empty graphic or one without a
  // colour table.
  HPALETTE Palette() const override;
  // Takes ownership; changes neither the colour table nor anything else.
  void SetPalette(HPALETTE palette) override;

  // A BMP stream: 14-byte file header, then a packed DIB. EInvalidGraphic unless it begins "BM";
  // the stream's read error when it ends early.
  void LoadFromStream(rtl::TStream& stream) override;
  // Nothing for an empty graphic.
  void SaveToStream(rtl::TStream& stream) const override;
  // The layout's "Data": the BMP stream and the view rectangle (16 bytes); also read: a u32 length
  // and a BMP stream, as the framework's bitmap writes it.
  void ReadData(rtl::TStream& stream) override;
  void WriteData(rtl::TStream& stream) const override;

  // Clipboard format 8 (CF_DIB): a packed DIB in a global memory block. Loading leaves data with its
  // owner; saving hands a new block to the caller (none for an empty graphic).
  void LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette);
  void SaveToClipboardFormat(UINT& format, HANDLE& data, HPALETTE& palette) const;

  // A packed DIB at the stream's position: a 12-, 40-, 52-, 56-, 108- or 124-byte header, the
  // colour table (or the three masks of a bit-field DIB), the pixels (run-length data decoded).
  void ReadDIB(rtl::TStream& stream);
  // The 40-byte header, the masks of a bit-field DIB, the colour table, the rows as in memory.
  void WriteDIB(rtl::TStream& stream) const;

  // The section, made from BitmapInfo when there is none.
  HBITMAP GetSectionHandle() const;
  TDIBCanvas& Canvas() const;
  bool CanvasAllocated() const { return canvas_ != nullptr; }
  // Lets go of the canvas's memory context, the palette and the section.
  void ReleaseHandles() const;

  const framework::TRect& ViewRect() const { return viewRect_; }
  const TDIBInfo& BitmapInfo() const { return *bitmapInfo_; }
  bool DrawDirect() const { return drawDirect_; }
  // biClrUsed, or 2, 16 or 256 for 1, 4 or 8 bits per pixel; 0 otherwise.
  int32_t ColorCount() const;

  // Copied into each new graphic; set once at start-up from the platform (InitDIBitmapDrawMode).
  static bool DefaultDrawDirect();
  static void SetDefaultDrawDirect(bool value);

 protected:
  // Into a TBitmap: the view, drawn at (0, 0) into a bitmap of its size that keeps its own pixel
  // format, with a copy of the palette; into a TDIBitmap: the pixels and the view.
  void AssignTo(framework::TPersistent* dest) const override;

 private:
  void* MakeSection(const TDIBInfo& info) const;
  void* SectionBits() const;
  std::vector<RGBQUAD> GetColorTable() const;
  bool StretchPart(framework::TCanvas& canvas, const framework::TRect& dst, const framework::TRect& src,
                   void* bits);
  void DrawByLines(framework::TCanvas& canvas, const framework::TRect& rect, void* bits);
  void Clear();

  mutable framework::TBitmapHandle section_;
  mutable framework::TPaletteHandle palette_;
  mutable framework::TRect viewRect_;
  mutable std::unique_ptr<TDIBCanvas> canvas_;
  std::unique_ptr<TDIBInfo> bitmapInfo_;
  bool drawDirect_;
};

// True for every platform but the NT family.
constexpr bool DrawDirectForPlatform(DWORD platformId) { return platformId != VER_PLATFORM_WIN32_NT; }

// The unit's start-up step: DefaultDrawDirect from the system's version record (unchanged when it
// cannot be read), and the class made known to stored pictures.
void InitDIBitmapDrawMode();

}  // namespace imaging
