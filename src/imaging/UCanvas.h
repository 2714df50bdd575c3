// The memory canvas: a canvas that draws into a bitmap through a memory device context of its own,
// made for a reference device (the screen unless one is given); and the reference-device and
// printer tests of any canvas.
#pragma once

#include <windows.h>

#include <optional>

#include "framework/Canvas.h"
#include "framework/GdiHandles.h"

namespace imaging {

class TMemoryCanvas : public framework::TCanvas {
 public:
  TMemoryCanvas() = default;
  // Deselects the bitmap and frees the memory context.
  ~TMemoryCanvas() override;

  // The reference device given, or else the screen's context (fetched on first request and kept
  // until FreeHandle; EGdiError when the system gives none).
  HDC GetReferenceDC();
  // A reference device other than the present one frees the handle; the next drawing makes a new
  // one, with the font scaled to it. The DC stays the caller's.
  void SetReferenceDC(HDC dc);
  bool HasSelection() const { return selection_.has_value(); }
  // Deselects the bitmap it has, then selects bitmap (none for nullptr) into the canvas's context,
  // making the context first when there is none.
  void SelectBitmap(HBITMAP bitmap);
  void DeselectBitmap();
  // Back to the state without a handle: bitmap deselected, memory context deleted, a fetched screen
  // context released.
  void FreeHandle();

 protected:
  // A memory context compatible with the screen; the font keeps its size in points at the
  // reference device's vertical resolution; the descendant's bitmap is selected into it.
  void CreateHandle() override;
  // The bitmap that the canvas draws into; nullptr selects none.
  virtual HBITMAP GetBitmapHandle() = 0;

 private:
  HDC referenceDC_ = nullptr;  // not owned
  framework::TDCHandle memoryDC_;
  std::optional<framework::TWindowDC> screenDC_;
  // Declared after the memory context, so that it is put back before the context goes.
  std::optional<framework::TSelectGuard> selection_;
};

// The device that a canvas's drawing is meant for: a memory canvas's reference device, the
// printer's device context for the printer object's canvas, else the canvas's own context.
HDC GetCanvasReferenceDC(framework::TCanvas& canvas);
// The printer object's canvas, or a canvas whose reference device is a plotter or raster printer.
bool IsPrinterCanvas(framework::TCanvas& canvas);

}  // namespace imaging
