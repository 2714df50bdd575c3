#include "imaging/UCanvas.h"

#include <utility>

#include "framework/Errors.h"
#include "framework/Printers.h"
#include "imaging/ScreenDC.h"

namespace imaging {

TMemoryCanvas::~TMemoryCanvas() { FreeHandle(); }

HDC TMemoryCanvas::GetReferenceDC() {
  if (referenceDC_ != nullptr) return referenceDC_;
  if (!screenDC_) screenDC_.emplace(GetScreenDC());
  return screenDC_->get();
}

void TMemoryCanvas::SetReferenceDC(HDC dc) {
  if (dc == referenceDC_) return;
  FreeHandle();
  referenceDC_ = dc;
}

void TMemoryCanvas::CreateHandle() {
  framework::TMemoryDC dc;
  if (!dc) throw framework::EOutOfResources();
  memoryDC_ = std::move(dc);
  SetHandle(memoryDC_.get());
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
  selection_.emplace(dc, bitmap);
  // A bitmap selected elsewhere (or no bitmap at all) cannot be drawn into here.
  if (!selection_->Selected()) {
    selection_.reset();
    throw framework::EOutOfResources();
  }
}

void TMemoryCanvas::DeselectBitmap() { selection_.reset(); }

void TMemoryCanvas::FreeHandle() {
  if (memoryDC_) {
    DeselectBitmap();
    SetHandle(nullptr);
    memoryDC_.reset();
  }
  screenDC_.reset();
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
