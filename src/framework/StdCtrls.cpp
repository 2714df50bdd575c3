#include "framework/StdCtrls.h"

#include "rtl/Sjis.h"

namespace framework {

// --- TLabel ---

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
  int oldMode = SetBkMode(dc, TRANSPARENT);
  RECT r = rect.ToRECT();
  if (!Enabled()) {
    // The disabled look: the text in the shadow colour over its highlight.
    COLORREF old = SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
    OffsetRect(&r, 1, 1);
    DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &r, TextFlags());
    OffsetRect(&r, -1, -1);
    SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
    DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &r, TextFlags());
    SetTextColor(dc, old);
  } else {
    COLORREF old = SetTextColor(dc, ColorToRGB(font_.Color()));
    DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &r, TextFlags());
    SetTextColor(dc, old);
  }
  SetBkMode(dc, oldMode);
}

bool TLabel::DialogChar(wchar_t key) {
  if (focusControl_ == nullptr || !showAccelChar_ || !Enabled() || !IsAccel(key, Caption())) return false;
  if (!focusControl_->CanFocus()) return false;
  focusControl_->SetFocus();
  return true;
}

// --- TEdit ---

const TClass& TEdit::StaticClass() {
  static const TClass info = TClassBuilder<TEdit>("TEdit", &TWinControl::StaticClass())
                                 .Integer("MaxLength", &TEdit::MaxLength, &TEdit::SetMaxLength, 0)
                                 .Boolean("ReadOnly", &TEdit::ReadOnly, &TEdit::SetReadOnly, false)
                                 .Boolean("TabStop", &TEdit::TabStop, &TEdit::SetTabStop, true)
                                 .String("Text", &TEdit::Text, &TEdit::SetText)
                                 .Event("OnChange", &TEdit::OnChange);
  return info;
}

TEdit::TEdit(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 121, 21);
  SetTabStop(true);
  SetColor(clWindow);
  clickOnMouseUp_ = false;
}

void TEdit::SetText(const std::string& text) {
  // The caption skips a text it already has; the edit box reports every setting as a change.
  if (text == Text()) {
    Change();
  } else {
    SetCaption(text);
  }
}

void TEdit::SetMaxLength(int32_t length) {
  maxLength_ = length < 0 ? 0 : length;
  if (HandleAllocated()) SendMessageW(Handle(), EM_LIMITTEXT, static_cast<WPARAM>(maxLength_), 0);
}

void TEdit::SetReadOnly(bool readOnly) {
  readOnly_ = readOnly;
  if (HandleAllocated()) SendMessageW(Handle(), EM_SETREADONLY, readOnly ? TRUE : FALSE, 0);
}

void TEdit::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.SystemClass = L"EDIT";
  params.Style |= WS_TABSTOP | ES_AUTOHSCROLL;
  if (readOnly_) params.Style |= ES_READONLY;
  params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TEdit::CreateWnd() {
  if (maxLength_ > 0) SendMessageW(Handle(), EM_LIMITTEXT, static_cast<WPARAM>(maxLength_), 0);
}

void TEdit::CommandNotify(WORD code) {
  if (code == EN_CHANGE) Change();
}

void TEdit::TextChanged() {
  // With a window, setting its text sends EN_CHANGE, which runs Change.
  if (HandleAllocated()) {
    TWinControl::TextChanged();
  } else {
    Change();
  }
}

void TEdit::Change() {
  if (Loading()) return;
  OnChange(this);
}

}  // namespace framework
