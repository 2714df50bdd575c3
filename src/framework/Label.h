// The label: text painted on its parent, with an accelerator that focuses a linked control.
#pragma once

#include "framework/GraphicControl.h"
#include "framework/GraphicsObjects.h"
#include "framework/WinControl.h"

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

}  // namespace framework
