#include "framework/Panel.h"

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
    TTextStateGuard textState(dc);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    RECT r = rect.ToRECT();
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
}

}  // namespace framework
