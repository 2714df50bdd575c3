// The control: a place, a size, a caption and mouse input, inside a windowed parent. A control
// without a window is painted by its parent; TWinControl (WinControl.h) is one with a window.
#pragma once

#include <windows.h>

#include <string>

#include "framework/Align.h"
#include "framework/Component.h"
#include "framework/Events.h"
#include "framework/Message.h"
#include "framework/Mouse.h"
#include "framework/Types.h"

namespace framework {

class TWinControl;

class TControl : public TComponent {
 public:
  static const TClass& StaticClass();
  const TClass& ClassType() const override { return StaticClass(); }

  explicit TControl(TComponent* owner);
  ~TControl() override;

  TWinControl* Parent() const { return parent_; }
  virtual void SetParent(TWinControl* parent);
  bool HasParent() const override { return true; }
  void SetParentComponent(TComponent* parent) override;
  void Loaded() override;

  int32_t Left() const { return left_; }
  int32_t Top() const { return top_; }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  void SetLeft(int32_t left) { SetBounds(left, top_, width_, height_); }
  void SetTop(int32_t top) { SetBounds(left_, top, width_, height_); }
  void SetWidth(int32_t width) { SetBounds(left_, top_, width, height_); }
  void SetHeight(int32_t height) { SetBounds(left_, top_, width_, height); }
  virtual void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height);
  TRect BoundsRect() const { return Bounds(left_, top_, width_, height_); }
  // The area inside the control, in its own coordinates.
  virtual TRect ClientRect() const { return {0, 0, width_, height_}; }
  int32_t ClientWidth() const { return ClientRect().Width(); }
  int32_t ClientHeight() const { return ClientRect().Height(); }

  TAlign Align() const { return align_; }
  // Defined in Align.cpp with the layout it starts.
  void SetAlign(TAlign align);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  // The caption (a window's text), CP932.
  virtual std::string Caption() const { return text_; }
  void SetCaption(const std::string& caption);

  // Marks the control for painting; Update paints what is marked now; Repaint does both.
  virtual void Invalidate();
  void Update();
  virtual void Repaint();
  // The palette to realise for the control's window (the form's palette query); none by default.
  virtual HPALETTE GetPalette() const { return nullptr; }

  virtual void Click();
  // A mouse message for this control, with coordinates in its client area (routed by the parent
  // for a control without a window). Defined in Mouse.cpp with the routing.
  void MouseMessage(const TMessage& message);
  // Keys that the form offers to every control before the focused one sees them: Enter, Escape
  // and accelerator characters. True when taken.
  virtual bool DialogKey(WORD key);
  virtual bool DialogChar(wchar_t key);
  // Paints a control without a window on its parent's DC, whose origin is at the control.
  virtual void PaintControl(HDC dc);

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;

 protected:
  virtual void MouseDown(TMouseButton button, TShiftState shift, int32_t x, int32_t y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int32_t x, int32_t y);
  virtual void MouseMove(TShiftState shift, int32_t x, int32_t y);
  virtual void DblClick();
  virtual void TextChanged() { Invalidate(); }
  virtual void VisibleChanged();
  virtual void EnabledChanged() { Invalidate(); }
  virtual void BoundsChanged(const TRect& old);
  void RequestAlign();  // Align.cpp

  std::string text_;
  bool clickOnMouseUp_ = true;  // controls with their own click notification turn this off

 private:
  TWinControl* parent_ = nullptr;  // not owned
  int32_t left_ = 0;
  int32_t top_ = 0;
  int32_t width_ = 0;
  int32_t height_ = 0;
  TAlign align_ = TAlign::alNone;
  bool visible_ = true;
  bool enabled_ = true;
  bool clicked_ = false;
};

}  // namespace framework
