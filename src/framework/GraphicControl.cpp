#include "framework/GraphicControl.h"

namespace framework {

namespace {

// Points a canvas at a DC for a while.
class TCanvasHandleGuard {
 public:
  TCanvasHandleGuard(TCanvas& canvas, HDC dc) : canvas_(canvas) { canvas_.SetHandle(dc); }
  ~TCanvasHandleGuard() { canvas_.SetHandle(nullptr); }
  TCanvasHandleGuard(const TCanvasHandleGuard&) = delete;
  TCanvasHandleGuard& operator=(const TCanvasHandleGuard&) = delete;

 private:
  TCanvas& canvas_;
};

}  // namespace

const TClass& TGraphicControl::StaticClass() {
  static const TClass info = TClassBuilder<TGraphicControl>("TGraphicControl", &TControl::StaticClass());
  return info;
}

void TGraphicControl::PaintControl(HDC dc) {
  TCanvasHandleGuard guard(canvas_, dc);
  Paint();
}

}  // namespace framework
