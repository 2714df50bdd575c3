#include "imaging/UCanvas.h"

#include "framework/Errors.h"
#include "framework/Printers.h"

namespace imaging {

TMemoryCanvas::~TMemoryCanvas() { FreeHandle(); }

HDC TMemoryCanvas::GetReferenceDC() {
  if (referenceDC_ != nullptr) return referenceDC_;
  if (screenDC_ == nullptr) screenDC_ = GetDC(nullptr);
  return screenDC_;
}

void TMemoryCanvas::SetReferenceDC(HDC dc) {
  if (dc == referenceDC_) return;
  FreeHandle();
  referenceDC_ = dc;
}

void TMemoryCanvas::CreateHandle() {
  HDC dc = CreateCompatibleDC(nullptr);
  if (dc == nullptr) throw framework::EOutOfResources();
  memoryDC_ = dc;
  SetHandle(dc);
  const int32_t resolution = GetDeviceCaps(GetReferenceDC(), LOGPIXELSY);
  framework::TFont& font = Font();
  if (resolution > 0 && resolution != font.PixelsPerInch()) {
    const int32_t size = font.Size();
    font.SetPixelsPerInch(resolution);
    font.SetSize(size);
  }
  if (!HasSelection()) SelectBitmap(GetBitmapHandle());
}

void TMemoryCanvas::SelectBitmap(HBITMAP bitmap) {
  DeselectBitmap();
  if (bitmap == nullptr) return;
  HDC dc = Handle();
  HGDIOBJ previous = SelectObject(dc, bitmap);
  // A bitmap selected elsewhere (or no bitmap at all) cannot be drawn into here.
  if (previous == nullptr) throw framework::EOutOfResources();
  selectedOld_ = previous;
}

void TMemoryCanvas::DeselectBitmap() {
  if (!HasSelection()) return;
  SelectObject(memoryDC_, selectedOld_);
  selectedOld_ = nullptr;
}

void TMemoryCanvas::FreeHandle() {
  if (memoryDC_ != nullptr) {
    DeselectBitmap();
    SetHandle(nullptr);
    DeleteDC(memoryDC_);
    memoryDC_ = nullptr;
  }
  if (screenDC_ != nullptr) {
    ReleaseDC(nullptr, screenDC_);
    screenDC_ = nullptr;
  }
}

HDC GetCanvasReferenceDC(framework::TCanvas& canvas) {
  if (auto* memory = dynamic_cast<TMemoryCanvas*>(&canvas)) return memory->GetReferenceDC();
  framework::TPrinter& printer = framework::Printer();
  if (&canvas == &printer.Canvas()) return printer.Handle();
  return canvas.Handle();
}

bool IsPrinterCanvas(framework::TCanvas& canvas) {
  if (&canvas == &framework::Printer().Canvas()) return true;
  const int technology = GetDeviceCaps(GetCanvasReferenceDC(canvas), TECHNOLOGY);
  return technology == DT_PLOTTER || technology == DT_RASPRINTER;
}

}  // namespace imaging
