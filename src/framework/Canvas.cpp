#include "framework/Canvas.h"

#include <utility>

#include "framework/Errors.h"

namespace framework {

const TClass& TCanvas::StaticClass() {
  static const TClass info = TClassBuilder<TCanvas>("TCanvas", &TPersistent::StaticClass());
  return info;
}

HDC TCanvas::Handle() {
  if (dc_ == nullptr) CreateHandle();
  if (dc_ == nullptr) throw EInvalidOperation::CanvasWithoutHandle();
  return dc_;
}

void TCanvas::SetHandle(HDC dc) { dc_ = dc; }

void TCanvas::Unlock() {
  if (lockCount_ <= 0) throw EInvalidOperation::CanvasNotLocked();
  --lockCount_;
}

void TCanvas::Changed() { OnChange(this); }

void TCanvas::FillRect(const TRect& rect) {
  HDC dc = Handle();
  RECT r = rect.ToRECT();
  if (brush_.Style() != TBrushStyle::bsClear) ::FillRect(dc, &r, brush_.Handle());
  Changed();
}

void TCanvas::FrameRect(const TRect& rect) {
  HDC dc = Handle();
  RECT r = rect.ToRECT();
  if (brush_.Style() != TBrushStyle::bsClear) ::FrameRect(dc, &r, brush_.Handle());
  Changed();
}

void TCanvas::Rectangle(const TRect& rect) {
  HDC dc = Handle();
  TSelectGuard pen(dc, pen_.Handle());
  TSelectGuard brush(dc, brush_.Handle());
  ::Rectangle(dc, rect.Left, rect.Top, rect.Right, rect.Bottom);
  Changed();
}

void TCanvas::MoveTo(int32_t x, int32_t y) { MoveToEx(Handle(), x, y, nullptr); }

void TCanvas::LineTo(int32_t x, int32_t y) {
  HDC dc = Handle();
  TSelectGuard pen(dc, pen_.Handle());
  ::LineTo(dc, x, y);
  Changed();
}

void TCanvas::SetPixel(int32_t x, int32_t y, TColor color) {
  ::SetPixel(Handle(), x, y, ColorToRGB(color));
  Changed();
}

void Frame3D(TCanvas& canvas, TRect& rect, TColor top, TColor bottom, int32_t width) {
  HDC dc = canvas.Handle();
  TBrushHandle topBrush(CreateSolidBrush(ColorToRGB(top)));
  TBrushHandle bottomBrush(CreateSolidBrush(ColorToRGB(bottom)));
  if (!topBrush || !bottomBrush) throw EOutOfResources();
  for (int32_t i = 0; i < width && !rect.IsEmpty(); ++i) {
    RECT edge;
    edge = {rect.Left, rect.Top, rect.Right - 1, rect.Top + 1};
    FillRect(dc, &edge, topBrush.get());
    edge = {rect.Left, rect.Top, rect.Left + 1, rect.Bottom - 1};
    FillRect(dc, &edge, topBrush.get());
    edge = {rect.Right - 1, rect.Top, rect.Right, rect.Bottom};
    FillRect(dc, &edge, bottomBrush.get());
    edge = {rect.Left, rect.Bottom - 1, rect.Right, rect.Bottom};
    FillRect(dc, &edge, bottomBrush.get());
    rect = {rect.Left + 1, rect.Top + 1, rect.Right - 1, rect.Bottom - 1};
  }
}

void TBitmapCanvas::FreeHandle() {
  SetHandle(nullptr);
  palette_.reset();
  bitmap_.reset();
  memoryDC_.reset();
}

void TBitmapCanvas::SelectPalette(HPALETTE palette) {
  if (!memoryDC_ || palette == nullptr) return;
  // A new guard selects the palette; the guard before it has put the DC's first palette back.
  palette_.reset();
  palette_.emplace(memoryDC_.get(), palette);
}

void TBitmapCanvas::CreateHandle() {
  FreeHandle();
  TMemoryDC dc;
  if (!dc) throw EOutOfResources();
  memoryDC_ = std::move(dc);
  if (HBITMAP bitmap = SelectedBitmap()) {
    bitmap_.emplace(memoryDC_.get(), bitmap);
    if (!bitmap_->Selected()) {
      // The bitmap is selected into another DC.
      FreeHandle();
      throw EOutOfResources();
    }
  }
  SetHandle(memoryDC_.get());
  SelectPalette(SelectedPalette());
}

}  // namespace framework
