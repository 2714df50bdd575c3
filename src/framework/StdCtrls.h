// Labels (text painted on the parent, with an accelerator for a linked control) and edit boxes.
#pragma once

#include "framework/Controls.h"
#include "framework/GraphicsObjects.h"

namespace framework {

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

class TLabel : public TGraphicControl {
 public:
  static const TClass& StaticClass();
  const TClass& ClassType() const override { return StaticClass(); }

  explicit TLabel(TComponent* owner);

  // With AutoSize the label takes the size of its text (kept at its left edge, or right edge
  // when right-justified).
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool autoSize);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment alignment);
  // The control that the label's accelerator ("&F" in the caption) focuses.
  TWinControl* FocusControl() const { return focusControl_; }
  void SetFocusControl(TWinControl* control);
  bool ShowAccelChar() const { return showAccelChar_; }
  void SetShowAccelChar(bool show);
  // A transparent label paints no background.
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool transparent);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool wrap);
  TFont& Font() { return font_; }

  void Loaded() override;
  bool DialogChar(wchar_t key) override;

 protected:
  void Paint() override;
  void TextChanged() override;
  void Notification(TComponent* component, TOperation operation) override;

 private:
  void AdjustBounds();
  UINT TextFlags() const;

  TFont font_;
  TWinControl* focusControl_ = nullptr;  // not owned
  TAlignment alignment_ = TAlignment::taLeftJustify;
  bool autoSize_ = true;
  bool showAccelChar_ = true;
  bool transparent_ = false;
  bool wordWrap_ = false;
};

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
