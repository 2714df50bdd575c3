#include "framework/Bevel.h"

namespace framework {

const TClass& TBevel::StaticClass() {
  static const TClass info =
      TClassBuilder<TBevel>("TBevel", &TGraphicControl::StaticClass())
          .Enumeration("Shape", &TBevel::Shape, &TBevel::SetShape,
                       {"bsBox", "bsFrame", "bsTopLine", "bsBottomLine", "bsLeftLine", "bsRightLine", "bsSpacer"},
                       TBevelShape::bsBox)
          .Enumeration("Style", &TBevel::Style, &TBevel::SetStyle, {"bsLowered", "bsRaised"}, TBevelStyle::bsLowered);
  return info;
}

TBevel::TBevel(TComponent* owner) : TGraphicControl(owner) { SetBounds(0, 0, 50, 50); }

void TBevel::SetShape(TBevelShape shape) {
  shape_ = shape;
  Invalidate();
}

void TBevel::SetStyle(TBevelStyle style) {
  style_ = style;
  Invalidate();
}

void TBevel::Paint() {
  TCanvas& canvas = Canvas();
  TColor first = style_ == TBevelStyle::bsLowered ? clBtnShadow : clBtnHighlight;
  TColor second = style_ == TBevelStyle::bsLowered ? clBtnHighlight : clBtnShadow;
  int32_t w = Width();
  int32_t h = Height();
  auto line = [&](TColor color, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    canvas.Pen().SetColor(color);
    canvas.MoveTo(x1, y1);
    canvas.LineTo(x2, y2);
  };
  TRect rect = ClientRect();
  switch (shape_) {
    case TBevelShape::bsBox:
      Frame3D(canvas, rect, first, second, 1);
      break;
    case TBevelShape::bsFrame: {
      TRect outer{0, 0, w - 1, h - 1};
      Frame3D(canvas, outer, first, first, 1);
      TRect inner{1, 1, w, h};
      Frame3D(canvas, inner, second, second, 1);
      break;
    }
    case TBevelShape::bsTopLine:
      line(first, 0, 0, w, 0);
      line(second, 0, 1, w, 1);
      break;
    case TBevelShape::bsBottomLine:
      line(first, 0, h - 2, w, h - 2);
      line(second, 0, h - 1, w, h - 1);
      break;
    case TBevelShape::bsLeftLine:
      line(first, 0, 0, 0, h);
      line(second, 1, 0, 1, h);
      break;
    case TBevelShape::bsRightLine:
      line(first, w - 2, 0, w - 2, h);
      line(second, w - 1, 0, w - 1, h);
      break;
    case TBevelShape::bsSpacer:
      break;
  }
}

}  // namespace framework
