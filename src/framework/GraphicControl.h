// The graphic control: a control without a window that paints itself on its parent's window.
#pragma once

#include <windows.h>

#include "framework/Canvas.h"
#include "framework/Control.h"

namespace framework {

class TGraphicControl : public TControl {
 public:
  static const TClass& StaticClass();
  const TClass& ClassType() const override { return StaticClass(); }

  explicit TGraphicControl(TComponent* owner) : TControl(owner) {}
  void PaintControl(HDC dc) override;

 protected:
  // Draws on Canvas(), which is valid only while Paint runs.
  virtual void Paint() {}
  TCanvas& Canvas() { return canvas_; }

 private:
  TCanvas canvas_;
};

}  // namespace framework
