#include "framework/Edit.h"

namespace framework {

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
