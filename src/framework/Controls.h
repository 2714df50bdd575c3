// Controls: TControl (drawn by its parent, or a window), TWinControl (a window of its own) and
// TGraphicControl (a control that paints itself on its parent's window).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/Canvas.h"
#include "framework/Classes.h"
#include "framework/Colors.h"
#include "framework/Events.h"
#include "framework/GraphicsObjects.h"
#include "framework/Types.h"

namespace framework {

class TWinControl;
class TForm;

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum class TMouseButton { mbLeft, mbRight, mbMiddle };
enum class TShiftStateItem { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = TSet<TShiftStateItem>;

using TMouseEvent = TEvent<TObject*, TMouseButton, TShiftState, int32_t, int32_t>;
using TMouseMoveEvent = TEvent<TObject*, TShiftState, int32_t, int32_t>;

// The window procedure of every window of ours: it hands each message to its control's
// WindowProc and any exception to the application's handler.
LRESULT CALLBACK StdWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// A window message as the window procedure received it, and its result.
struct TMessage {
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
  LRESULT Result;
};

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
  TPoint ClientToScreen(TPoint point) const;
  TPoint ScreenToClient(TPoint point) const;

  TAlign Align() const { return align_; }
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
  // for a control without a window).
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
  void RequestAlign();

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
  void HandleNeeded() { Handle(); }
  // The control of a window of ours, or null.
  static TWinControl* FromHandle(HWND window);

  const std::vector<TControl*>& Controls() const { return controls_; }
  int ControlCount() const { return static_cast<int>(controls_.size()); }
  // The topmost visible child control without a window at point (client coordinates), skipping
  // disabled ones unless allowDisabled.
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

  // Sends a message through the control's window procedure.
  LRESULT Perform(UINT message, WPARAM wParam, LPARAM lParam);
  // Lays out the aligned child controls again.
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
  bool RouteMouse(TMessage& message);
  void PaintHandler();
  void PaintControls(HDC dc, const RECT& area);
  void AlignControls();

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

// A control without a window that paints itself on its parent's window.
class TGraphicControl : public TControl {
 public:
  static const TClass& StaticClass();
  const TClass& ClassType() const override { return StaticClass(); }

  explicit TGraphicControl(TComponent* owner) : TControl(owner) {}
  void PaintControl(HDC dc) override;

 protected:
  // Draws on Canvas(), which is valid only while Paint runs.
  virtual void Paint() {}
  TCanvas& Canvas() { return canvas_; }

 private:
  TCanvas canvas_;
};

// The form that (directly or through panels) holds control, or null.
TForm* GetParentForm(const TControl* control);

// Whether the accelerator of caption ("&F" marks F; "&&" is a plain "&") is key.
bool IsAccel(wchar_t key, const std::string& caption);

}  // namespace framework
