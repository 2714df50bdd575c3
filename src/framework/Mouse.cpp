#include "framework/Mouse.h"

#include <windowsx.h>

#include "framework/WinControl.h"

namespace framework {

namespace {

TShiftState ShiftFromKeys(WPARAM keys) {
  TShiftState shift;
  if (keys & MK_SHIFT) shift.Include(TShiftStateItem::ssShift);
  if (keys & MK_CONTROL) shift.Include(TShiftStateItem::ssCtrl);
  if (keys & MK_LBUTTON) shift.Include(TShiftStateItem::ssLeft);
  if (keys & MK_RBUTTON) shift.Include(TShiftStateItem::ssRight);
  if (keys & MK_MBUTTON) shift.Include(TShiftStateItem::ssMiddle);
  if (GetKeyState(VK_MENU) < 0) shift.Include(TShiftStateItem::ssAlt);
  return shift;
}

bool IsButtonDown(UINT message) {
  return message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN ||
         message == WM_LBUTTONDBLCLK || message == WM_RBUTTONDBLCLK || message == WM_MBUTTONDBLCLK;
}

bool IsButtonUp(UINT message) {
  return message == WM_LBUTTONUP || message == WM_RBUTTONUP || message == WM_MBUTTONUP;
}

}  // namespace

bool IsMouseMessage(UINT message) {
  return message == WM_MOUSEMOVE || (message >= WM_LBUTTONDOWN && message <= WM_MBUTTONDBLCLK);
}

void TControl::MouseMessage(const TMessage& message) {
  TShiftState shift = ShiftFromKeys(message.WParam);
  int32_t x = GET_X_LPARAM(message.LParam);
  int32_t y = GET_Y_LPARAM(message.LParam);
  switch (message.Msg) {
    case WM_MOUSEMOVE:
      MouseMove(shift, x, y);
      break;
    case WM_LBUTTONDOWN:
      clicked_ = true;
      MouseDown(TMouseButton::mbLeft, shift, x, y);
      break;
    case WM_LBUTTONDBLCLK:
      DblClick();
      MouseDown(TMouseButton::mbLeft, shift.Include(TShiftStateItem::ssDouble), x, y);
      break;
    case WM_LBUTTONUP: {
      bool clicked = clicked_ && clickOnMouseUp_ && ClientRect().Contains({x, y});
      clicked_ = false;
      MouseUp(TMouseButton::mbLeft, shift, x, y);
      // Last: the handler may end the control's life.
      if (clicked) Click();
      break;
    }
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
      MouseDown(TMouseButton::mbRight, shift, x, y);
      break;
    case WM_RBUTTONUP:
      MouseUp(TMouseButton::mbRight, shift, x, y);
      break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
      MouseDown(TMouseButton::mbMiddle, shift, x, y);
      break;
    case WM_MBUTTONUP:
      MouseUp(TMouseButton::mbMiddle, shift, x, y);
      break;
    default:
      break;
  }
}

TControl* TWinControl::ControlAtPos(TPoint point, bool allowDisabled) const {
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
    TControl* control = *it;
    if (dynamic_cast<TWinControl*>(control) != nullptr) continue;
    if (!control->Visible() || (!control->Enabled() && !allowDisabled)) continue;
    if (control->BoundsRect().Contains(point)) return control;
  }
  return nullptr;
}

bool TWinControl::RouteMouse(TMessage& message) {
  TPoint point{GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam)};
  TControl* target = mouseControl_;
  if (target == nullptr || GetCapture() != handle_) target = ControlAtPos(point);
  if (target == nullptr) return false;
  if (IsButtonDown(message.Msg)) {
    mouseControl_ = target;
    SetCapture(handle_);
  } else if (IsButtonUp(message.Msg) && (message.WParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) == 0) {
    mouseControl_ = nullptr;
    if (GetCapture() == handle_) ReleaseCapture();
  }
  TMessage routed = message;
  routed.LParam = MAKELPARAM(point.X - target->Left(), point.Y - target->Top());
  target->MouseMessage(routed);
  return true;
}

}  // namespace framework
