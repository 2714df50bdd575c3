#include "framework/Align.h"

#include "rtl/ScopeExit.h"
#include "framework/WinControl.h"

namespace framework {

const std::vector<std::string>& AlignNames() {
  static const std::vector<std::string> names = {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"};
  return names;
}

void TControl::RequestAlign() {
  if (align_ != TAlign::alNone && parent_ != nullptr) parent_->Realign();
}

void TControl::SetAlign(TAlign align) {
  if (align == align_) return;
  align_ = align;
  RequestAlign();
}

void TWinControl::Realign() {
  if (Loading() || aligning_) return;
  AlignControls();
}

void TWinControl::AlignControls() {
  aligning_ = true;
  rtl::TScopeExit done([this] { aligning_ = false; });
  TRect rect = ClientRect();
  AdjustClientRect(rect);
  auto place = [&](TAlign align) {
    for (TControl* control : std::vector<TControl*>(controls_)) {
      if (control->Align() != align || !control->Visible()) continue;
      int32_t w = control->Width();
      int32_t h = control->Height();
      switch (align) {
        case TAlign::alTop:
          control->SetBounds(rect.Left, rect.Top, rect.Width(), h);
          rect.Top += h;
          break;
        case TAlign::alBottom:
          control->SetBounds(rect.Left, rect.Bottom - h, rect.Width(), h);
          rect.Bottom -= h;
          break;
        case TAlign::alLeft:
          control->SetBounds(rect.Left, rect.Top, w, rect.Height());
          rect.Left += w;
          break;
        case TAlign::alRight:
          control->SetBounds(rect.Right - w, rect.Top, w, rect.Height());
          rect.Right -= w;
          break;
        case TAlign::alClient:
          control->SetBounds(rect.Left, rect.Top, rect.Width(), rect.Height());
          break;
        case TAlign::alNone:
          break;
      }
    }
  };
  for (TAlign align : {TAlign::alTop, TAlign::alBottom, TAlign::alLeft, TAlign::alRight, TAlign::alClient}) {
    place(align);
  }
}

}  // namespace framework
