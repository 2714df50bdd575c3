// The edit box: one line of text the user can change.
#pragma once

#include <string>

#include "framework/WinControl.h"

namespace framework {

// A one-line edit box. OnChange runs after every change of the text by the user and after every
// SetText, also one that sets the text it already has, except while the edit box is being read
// from its layout.
class TEdit : public TWinControl {
 public:
  static const TClass& StaticClass();
  const TClass& ClassType() const override { return StaticClass(); }

  explicit TEdit(TComponent* owner);

  std::string Text() const { return Caption(); }
  void SetText(const std::string& text);
  int32_t MaxLength() const { return maxLength_; }
  void SetMaxLength(int32_t length);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool readOnly);

  TNotifyEvent OnChange;

 protected:
  virtual void Change();
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void CommandNotify(WORD code) override;
  void TextChanged() override;

 private:
  int32_t maxLength_ = 0;
  bool readOnly_ = false;
};

}  // namespace framework
