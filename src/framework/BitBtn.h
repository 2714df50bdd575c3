// The bitmap button: a push button drawn by us with a glyph beside its caption.
#pragma once

#include "framework/Bitmap.h"
#include "framework/WinControl.h"
#include "framework/Form.h"

namespace framework {

enum class TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

class TBitBtn : public TWinControl {
 public:
  static const TClass& StaticClass();
  const TClass& ClassType() const override { return StaticClass(); }

  explicit TBitBtn(TComponent* owner);

  // The glyph, drawn transparently (its transparent colour is its bottom-left pixel's). An empty
  // glyph leaves the caption alone.
  TBitmap& Glyph() { return glyph_; }
  void SetGlyph(const TBitmap* glyph) { glyph_.Assign(glyph); }
  TButtonLayout Layout() const { return layout_; }
  void SetLayout(TButtonLayout layout) { SetAndRedraw(layout_, layout); }
  int32_t Spacing() const { return spacing_; }
  void SetSpacing(int32_t spacing) { SetAndRedraw(spacing_, spacing); }
  int32_t Margin() const { return margin_; }  // -1: glyph and caption centred together
  void SetMargin(int32_t margin) { SetAndRedraw(margin_, margin); }

  // The default button takes Enter unless another button has the focus; the cancel button takes
  // Escape.
  bool Default() const { return default_; }
  void SetDefault(bool value) { SetAndRedraw(default_, value); }
  bool Cancel() const { return cancel_; }
  void SetCancel(bool value) { cancel_ = value; }
  // A click gives the form this modal result (unless it is mrNone) before OnClick runs.
  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult result) { modalResult_ = result; }

  void Click() override;
  bool DialogKey(WORD key) override;
  bool DialogChar(wchar_t key) override;

 protected:
  void CreateParams(TCreateParams& params) override;
  void WindowProc(TMessage& message) override;
  void CommandNotify(WORD code) override;
  void DrawItem(const DRAWITEMSTRUCT& item) override;
  void FocusMoved() override { Invalidate(); }

 private:
  // Whether Enter presses this button now.
  bool IsActive() const;
  void DrawGlyph(HDC dc, int32_t x, int32_t y, bool disabled);
  // A property that changes how the button looks.
  template <typename T>
  void SetAndRedraw(T& field, T value) {
    field = value;
    Invalidate();
  }

  TBitmap glyph_;
  TButtonLayout layout_ = TButtonLayout::blGlyphLeft;
  int32_t spacing_ = 4;
  int32_t margin_ = -1;
  bool default_ = false;
  bool cancel_ = false;
  TModalResult modalResult_ = mrNone;
};

}  // namespace framework
