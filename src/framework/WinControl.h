// The windowed control: a control with a window of its own, the parent of other controls.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/Canvas.h"
#include "framework/Colors.h"
#include "framework/Control.h"
#include "framework/GraphicsObjects.h"
#include "framework/WindowClass.h"

namespace framework {

class TForm;

// A control with a window of its own. The window is created when it is first needed (by Handle,
// or when the parent's window is created) and destroyed with the control; the child controls
// are destroyed with it, whoever owns them.
class TWinControl : public TControl {
 public:
  static const TClass& StaticClass();
  const TClass& ClassType() const override { return StaticClass(); }

  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;

  HWND Handle();
  bool HandleAllocated() const { return handle_ != nullptr; }
  // The control of a window of ours, or null.
  static TWinControl* FromHandle(HWND window);

  const std::vector<TControl*>& Controls() const { return controls_; }
  // The topmost visible child control without a window at point (client coordinates), skipping
  // disabled ones unless allowDisabled. Defined in Mouse.cpp with the routing it serves.
  TControl* ControlAtPos(TPoint point, bool allowDisabled = false) const;

  void SetParent(TWinControl* parent) override;
  std::string Caption() const override;
  void Invalidate() override;
  void Repaint() override;
  void Loaded() override;
  void GetChildren(std::vector<TComponent*>& children, const TComponent& root) const override;
  bool DialogKey(WORD key) override;
  bool DialogChar(wchar_t key) override;

  int32_t TabOrder() const { return tabOrder_; }
  void SetTabOrder(int32_t order) { tabOrder_ = order; }
  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool tabStop) { tabStop_ = tabStop; }
  // The windowed controls that Tab visits inside this one, in tab order.
  void GetTabOrderList(std::vector<TWinControl*>& list);
  bool Focused() const;
  // Visible and enabled, with every parent up to the form.
  virtual bool CanFocus() const;
  // Focuses the control now, or when its form is shown.
  void SetFocus();

  // The background: its colour, or clear (the window paints no background of its own).
  TBrush& Brush() { return brush_; }
  TColor Color() const { return brush_.Color(); }
  void SetColor(TColor color);

  // Lays out the aligned child controls again. Defined in Align.cpp with the layout.
  void Realign();

 protected:
  struct TCreateParams {
    std::wstring ClassName;    // our window class, registered on first use
    std::wstring SystemClass;  // or a system control class, subclassed
    DWORD Style = WS_CHILD | WS_CLIPSIBLINGS;
    DWORD ExStyle = 0;
    UINT ClassStyle = CS_DBLCLKS;
    HWND WndParent = nullptr;
    int32_t X = 0, Y = 0, Width = 0, Height = 0;
  };
  virtual void CreateParams(TCreateParams& params);
  // Runs once the window exists, before the child windows are made.
  virtual void CreateWnd() {}
  void DestroyHandle();
  // Takes the window's real position and size after the system moved or sized it.
  void UpdateBoundsFromWindow();

  virtual void WindowProc(TMessage& message);
  void DefaultHandler(TMessage& message);
  // Painting of a window of our own class: the control itself, then its controls without windows.
  virtual void Paint(TCanvas& canvas);
  virtual void AdjustClientRect(TRect& rect) const { (void)rect; }
  // Reflected notifications from the parent: WM_COMMAND codes and owner drawing (an item's height
  // is asked for only once the control's window is ours, after its creation).
  virtual void CommandNotify(WORD code) { (void)code; }
  virtual void DrawItem(const DRAWITEMSTRUCT& item) { (void)item; }
  virtual void MeasureItem(MEASUREITEMSTRUCT& item) { (void)item; }
  // Told when the focus moved within the form.
  virtual void FocusMoved() {}

  // The focus among the controls of a top-level window is kept by that window when it is a form
  // (TForm overrides these); a plain window keeps nothing. Each is asked of the keeper about one of
  // its controls.
  virtual bool KeepsFocus() const { return false; }
  // control asks for the focus: the keeper makes it its active control.
  virtual void FocusWanted(TWinControl* control) { (void)control; }
  // control took the focus.
  virtual void ControlFocused(TWinControl* control) { (void)control; }
  // control cannot keep the focus (it was disabled): the keeper moves it on.
  virtual void FocusLost(TWinControl* control) { (void)control; }
  // The top-level window that keeps the focus for this control; null for a control on no form and
  // for the form itself.
  TWinControl* FocusKeeper() const;
  void TextChanged() override;
  void VisibleChanged() override;
  void EnabledChanged() override;
  void BoundsChanged(const TRect& old) override;
  void Notification(TComponent* component, TOperation operation) override;

 private:
  friend class TControl;
  friend class TForm;
  friend LRESULT CALLBACK StdWndProc(HWND, UINT, WPARAM, LPARAM);

  void CreateHandle();
  void InsertControl(TControl* control);
  void RemoveControl(TControl* control);
  bool RouteMouse(TMessage& message);  // Mouse.cpp
  void PaintHandler();
  void PaintControls(HDC dc, const RECT& area);
  // Hands a child's notification (a command, an owner-drawn item to draw or measure) back to that
  // child; false when the message names no control of ours.
  bool ReflectNotification(TMessage& message);
  void AlignControls();  // Align.cpp

  HWND handle_ = nullptr;
  WNDPROC defaultProc_ = nullptr;  // the system class's procedure of a subclassed control
  std::vector<TControl*> controls_;  // not owned by this list; deleted with the window
  TControl* mouseControl_ = nullptr;  // the child control that has the mouse captured
  TBrush brush_;
  int32_t tabOrder_ = -1;
  bool tabStop_ = false;
  bool aligning_ = false;
  bool boundsFromWindow_ = false;
};

}  // namespace framework
