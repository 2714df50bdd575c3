// The canvas: drawing on a device context with a brush, a pen and a font; and the bitmap canvas,
// which makes and deletes a memory device context of its own.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>

#include "framework/Component.h"
#include "framework/Colors.h"
#include "framework/Events.h"
#include "framework/GdiHandles.h"
#include "framework/GraphicsObjects.h"
#include "framework/Types.h"

namespace framework {

class TGraphic;

// Drawing on a device context. The canvas selects its pen, brush and font only for the length of
// each operation, so the DC is left as it was found.
class TCanvas : public TPersistent {
 public:
  static const TClass& StaticClass();
  const TClass& ClassType() const override { return StaticClass(); }

  TCanvas() = default;
  explicit TCanvas(HDC dc) : dc_(dc) {}  // not owned
  ~TCanvas() override = default;

  // The DC; a canvas without one makes it now (CreateHandle) or raises EInvalidOperation.
  HDC Handle();
  // Hands the canvas another DC (not owned); nullptr lets go of the present one.
  void SetHandle(HDC dc);
  bool HandleAllocated() const { return dc_ != nullptr; }

  TBrush& Brush() { return brush_; }
  TPen& Pen() { return pen_; }
  TFont& Font() { return font_; }
  // The raster operation of Draw and StretchDraw.
  DWORD CopyMode() const { return copyMode_; }
  void SetCopyMode(DWORD rop) { copyMode_ = rop; }

  // A counted lock for the length of a drawing; every Lock needs its Unlock. All drawing runs on
  // the one GUI thread and nothing frees a canvas's DC behind its user's back, so the count is all
  // there is to it.
  void Lock() { ++lockCount_; }
  void Unlock();
  int32_t LockCount() const { return lockCount_; }

  void FillRect(const TRect& rect);
  void FrameRect(const TRect& rect);  // one pixel in the brush colour
  void Rectangle(const TRect& rect);
  void MoveTo(int32_t x, int32_t y);
  void LineTo(int32_t x, int32_t y);
  // Draw the graphic at its own size, or stretched into rect; both honour the copy mode. Defined in
  // Graphic.cpp: the canvas stands below the graphics that draw on it.
  void Draw(int32_t x, int32_t y, TGraphic& graphic);
  void StretchDraw(const TRect& rect, TGraphic& graphic);
  void SetPixel(int32_t x, int32_t y, TColor color);

  TNotifyEvent OnChange;

 protected:
  virtual void CreateHandle() {}
  void Changed();

 private:
  HDC dc_ = nullptr;  // not owned: a descendant that makes its DC owns it and hands it over here
  TBrush brush_;
  TPen pen_;
  TFont font_;
  DWORD copyMode_ = SRCCOPY;
  int32_t lockCount_ = 0;
};

// Locks a canvas for its lifetime.
class TCanvasLock {
 public:
  explicit TCanvasLock(TCanvas& canvas) : canvas_(canvas) { canvas_.Lock(); }
  ~TCanvasLock() { canvas_.Unlock(); }
  TCanvasLock(const TCanvasLock&) = delete;
  TCanvasLock& operator=(const TCanvasLock&) = delete;

 private:
  TCanvas& canvas_;
};

// A canvas on a memory DC that it makes on first use and owns, with a bitmap selected into it and a
// palette realised in it (both its descendant's, neither owned). The selections are undone before
// the DC is deleted.
class TBitmapCanvas : public TCanvas {
 public:
  // Undoes the selections and deletes the DC; the next drawing makes a new one.
  void FreeHandle();
  // Selects and realises palette in the DC, when there are both.
  void SelectPalette(HPALETTE palette);

 protected:
  // Makes the DC with SelectedBitmap() selected and SelectedPalette() realised; raises
  // EOutOfResources when there is no DC or the bitmap is selected into another DC.
  void CreateHandle() override;
  // What the DC holds: the bitmap drawn into and its palette, either null for none.
  virtual HBITMAP SelectedBitmap() = 0;
  virtual HPALETTE SelectedPalette() = 0;

 private:
  // Members go in reverse order: the palette and the bitmap are put back, then the DC deleted.
  TDCHandle memoryDC_;  // a TMemoryDC while the canvas has its DC
  std::optional<TSelectGuard> bitmap_;
  std::optional<TPaletteGuard> palette_;
};

// Draws a raised or sunken frame of width lines inside rect (top and left in top, bottom and right
// in bottom) and shrinks rect by it.
void Frame3D(TCanvas& canvas, TRect& rect, TColor top, TColor bottom, int32_t width);

}  // namespace framework
