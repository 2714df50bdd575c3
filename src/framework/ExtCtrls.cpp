#include "framework/ExtCtrls.h"

#include "rtl/Sjis.h"

namespace framework {

namespace {
const std::vector<std::string> kBevelCutNames = {"bvNone", "bvLowered", "bvRaised", "bvSpace"};

void FrameCut(TCanvas& canvas, TRect& rect, TBevelCut cut, int32_t width) {
  if (cut == TBevelCut::bvNone) return;
  TColor top = cut == TBevelCut::bvLowered ? clBtnShadow : clBtnHighlight;
  TColor bottom = cut == TBevelCut::bvLowered ? clBtnHighlight : clBtnShadow;
  if (cut == TBevelCut::bvSpace) top = bottom = clBtnFace;
  Frame3D(canvas, rect, top, bottom, width);
}
}  // namespace

// --- TPanel ---

const TClass& TPanel::StaticClass() {
  static const TClass info =
      TClassBuilder<TPanel>("TPanel", &TWinControl::StaticClass())
          .Enumeration("BevelInner", &TPanel::BevelInner, &TPanel::SetBevelInner, kBevelCutNames, TBevelCut::bvNone)
          .Enumeration("BevelOuter", &TPanel::BevelOuter, &TPanel::SetBevelOuter, kBevelCutNames, TBevelCut::bvRaised)
          .Integer("BevelWidth", &TPanel::BevelWidth, &TPanel::SetBevelWidth, 1)
          .Integer("BorderWidth", &TPanel::BorderWidth, &TPanel::SetBorderWidth, 0)
          .String("Caption", &TPanel::Caption, &TPanel::SetCaption)
          .Integer("Color", &TPanel::Color, &TPanel::SetColor, clBtnFace, ColorIdents())
          .Boolean("TabStop", &TPanel::TabStop, &TPanel::SetTabStop, false);
  return info;
}

TPanel::TPanel(TComponent* owner) : TWinControl(owner) { SetBounds(0, 0, 185, 41); }

void TPanel::SetBevelInner(TBevelCut cut) {
  bevelInner_ = cut;
  Realign();
  Invalidate();
}

void TPanel::SetBevelOuter(TBevelCut cut) {
  bevelOuter_ = cut;
  Realign();
  Invalidate();
}

void TPanel::SetBevelWidth(int32_t width) {
  bevelWidth_ = width < 1 ? 1 : width;
  Realign();
  Invalidate();
}

void TPanel::SetBorderWidth(int32_t width) {
  borderWidth_ = width < 0 ? 0 : width;
  Realign();
  Invalidate();
}

void TPanel::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.Style |= WS_CLIPCHILDREN;
  params.ExStyle |= WS_EX_CONTROLPARENT;
  params.ClassStyle |= CS_HREDRAW | CS_VREDRAW;
}

void TPanel::AdjustClientRect(TRect& rect) const {
  int32_t inset = borderWidth_;
  if (bevelOuter_ != TBevelCut::bvNone) inset += bevelWidth_;
  if (bevelInner_ != TBevelCut::bvNone) inset += bevelWidth_;
  rect = {rect.Left + inset, rect.Top + inset, rect.Right - inset, rect.Bottom - inset};
}

void TPanel::Paint(TCanvas& canvas) {
  TRect rect = ClientRect();
  FrameCut(canvas, rect, bevelOuter_, bevelWidth_);
  Frame3D(canvas, rect, Color(), Color(), borderWidth_);
  FrameCut(canvas, rect, bevelInner_, bevelWidth_);
  std::wstring text = rtl::SjisToWide(Caption());
  if (!text.empty()) {
    HDC dc = canvas.Handle();
    TSelectGuard font(dc, SharedFont());
    int oldMode = SetBkMode(dc, TRANSPARENT);
    COLORREF oldColor = SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    RECT r = rect.ToRECT();
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SetTextColor(dc, oldColor);
    SetBkMode(dc, oldMode);
  }
}

// --- TBevel ---

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

// --- TImage ---

const TClass& TImage::StaticClass() {
  static const TClass info = TClassBuilder<TImage>("TImage", &TGraphicControl::StaticClass())
                                 .Boolean("AutoSize", &TImage::AutoSize, &TImage::SetAutoSize, false)
                                 .Boolean("Center", &TImage::Center, &TImage::SetCenter, false)
                                 .Object("Picture", &TImage::Picture)
                                 .Boolean("Stretch", &TImage::Stretch, &TImage::SetStretch, false)
                                 .Boolean("Transparent", &TImage::Transparent, &TImage::SetTransparent, false);
  return info;
}

TImage::TImage(TComponent* owner) : TGraphicControl(owner) {
  SetBounds(0, 0, 105, 105);
  picture_.OnChange = [this](TObject*) { PictureChanged(); };
}

void TImage::SetAutoSize(bool autoSize) {
  if (autoSize == autoSize_) return;
  autoSize_ = autoSize;
  PictureChanged();
}

void TImage::SetCenter(bool center) {
  center_ = center;
  Invalidate();
}

void TImage::SetStretch(bool stretch) {
  stretch_ = stretch;
  Invalidate();
}

void TImage::SetTransparent(bool transparent) {
  transparent_ = transparent;
  PictureChanged();
}

void TImage::Loaded() {
  TGraphicControl::Loaded();
  PictureChanged();
}

void TImage::PictureChanged() {
  if (Loading()) return;
  TGraphic* graphic = picture_.Graphic();
  if (graphic != nullptr && graphic->Transparent() != transparent_) graphic->SetTransparent(transparent_);
  if (autoSize_ && graphic != nullptr && graphic->Width() > 0 && graphic->Height() > 0) {
    SetBounds(Left(), Top(), graphic->Width(), graphic->Height());
  }
  Invalidate();
}

TRect TImage::DestRect() const {
  TGraphic* graphic = picture_.Graphic();
  if (stretch_) return ClientRect();
  int32_t w = graphic->Width();
  int32_t h = graphic->Height();
  if (center_) return Bounds((Width() - w) / 2, (Height() - h) / 2, w, h);
  return Bounds(0, 0, w, h);
}

void TImage::Paint() {
  TGraphic* graphic = picture_.Graphic();
  if (graphic == nullptr || graphic->Empty()) return;
  Canvas().StretchDraw(DestRect(), *graphic);
}

}  // namespace framework
