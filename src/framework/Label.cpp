#include "framework/Label.h"

#include "framework/Accelerator.h"
#include "rtl/Sjis.h"

namespace framework {

const TClass& TLabel::StaticClass() {
  static const TClass info =
      TClassBuilder<TLabel>("TLabel", &TGraphicControl::StaticClass())
          .Enumeration("Alignment", &TLabel::Alignment, &TLabel::SetAlignment,
                       {"taLeftJustify", "taRightJustify", "taCenter"}, TAlignment::taLeftJustify)
          .Boolean("AutoSize", &TLabel::AutoSize, &TLabel::SetAutoSize, true)
          .String("Caption", &TLabel::Caption, &TLabel::SetCaption)
          .Component("FocusControl", &TLabel::FocusControl, &TLabel::SetFocusControl)
          .Object("Font", &TLabel::Font)
          .Boolean("ShowAccelChar", &TLabel::ShowAccelChar, &TLabel::SetShowAccelChar, true)
          .Boolean("Transparent", &TLabel::Transparent, &TLabel::SetTransparent, false)
          .Boolean("WordWrap", &TLabel::WordWrap, &TLabel::SetWordWrap, false);
  return info;
}

TLabel::TLabel(TComponent* owner) : TGraphicControl(owner) {
  SetBounds(0, 0, 65, 13);
  font_.OnChange = [this](TObject*) { Invalidate(); };
}

void TLabel::SetAutoSize(bool autoSize) {
  if (autoSize == autoSize_) return;
  autoSize_ = autoSize;
  AdjustBounds();
}

void TLabel::SetAlignment(TAlignment alignment) {
  alignment_ = alignment;
  Invalidate();
}

void TLabel::SetFocusControl(TWinControl* control) {
  if (focusControl_ != nullptr) focusControl_->RemoveFreeNotification(this);
  focusControl_ = control;
  if (control != nullptr) control->FreeNotification(this);
}

void TLabel::SetShowAccelChar(bool show) {
  showAccelChar_ = show;
  AdjustBounds();
  Invalidate();
}

void TLabel::SetTransparent(bool transparent) {
  transparent_ = transparent;
  Invalidate();
}

void TLabel::SetWordWrap(bool wrap) {
  wordWrap_ = wrap;
  AdjustBounds();
  Invalidate();
}

void TLabel::Notification(TComponent* component, TOperation operation) {
  TGraphicControl::Notification(component, operation);
  if (operation == TOperation::opRemove && component == focusControl_) focusControl_ = nullptr;
}

void TLabel::Loaded() {
  TGraphicControl::Loaded();
  AdjustBounds();
}

void TLabel::TextChanged() {
  AdjustBounds();
  Invalidate();
}

UINT TLabel::TextFlags() const {
  UINT flags = DT_EXPANDTABS;
  if (wordWrap_) flags |= DT_WORDBREAK;
  if (!showAccelChar_) flags |= DT_NOPREFIX;
  if (alignment_ == TAlignment::taRightJustify) flags |= DT_RIGHT;
  if (alignment_ == TAlignment::taCenter) flags |= DT_CENTER;
  return flags;
}

void TLabel::AdjustBounds() {
  if (!autoSize_ || Loading()) return;
  std::string text = Caption();
  // An empty caption still measures one line.
  if (text.empty() || (showAccelChar_ && text == "&")) text += ' ';
  std::wstring wide = rtl::SjisToWide(text);
  TWindowDC screen;
  TSelectGuard font(screen.get(), SharedFont());
  RECT r{0, 0, wordWrap_ ? Width() : 0, 0};
  DrawTextW(screen.get(), wide.c_str(), static_cast<int>(wide.size()), &r, TextFlags() | DT_CALCRECT);
  int32_t left = Left();
  if (alignment_ == TAlignment::taRightJustify) left = Left() + Width() - r.right;
  SetBounds(left, Top(), r.right, r.bottom);
}

void TLabel::Paint() {
  TCanvas& canvas = Canvas();
  HDC dc = canvas.Handle();
  TRect rect = ClientRect();
  if (!transparent_) {
    TBrushHandle background(CreateSolidBrush(ColorToRGB(Parent() ? Parent()->Color() : clBtnFace)));
    RECT r = rect.ToRECT();
    FillRect(dc, &r, background.get());
  }
  std::wstring wide = rtl::SjisToWide(Caption());
  TSelectGuard font(dc, SharedFont());
  TTextStateGuard textState(dc);
  SetBkMode(dc, TRANSPARENT);
  RECT r = rect.ToRECT();
  if (!Enabled()) {
    // The disabled look: the text in the shadow colour over its highlight.
    SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
    OffsetRect(&r, 1, 1);
    DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &r, TextFlags());
    OffsetRect(&r, -1, -1);
    SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
    DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &r, TextFlags());
  } else {
    SetTextColor(dc, ColorToRGB(font_.Color()));
    DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &r, TextFlags());
  }
}

bool TLabel::DialogChar(wchar_t key) {
  if (focusControl_ == nullptr || !showAccelChar_ || !Enabled() || !IsAccel(key, Caption())) return false;
  if (!focusControl_->CanFocus()) return false;
  focusControl_->SetFocus();
  return true;
}

}  // namespace framework
