#include "framework/WinControl.h"

#include <algorithm>

#include "framework/Application.h"
#include "framework/Errors.h"
#include "rtl/ScopeExit.h"
#include "rtl/Sjis.h"

namespace framework {

const TClass& TWinControl::StaticClass() {
  static const TClass info = TClassBuilder<TWinControl>("TWinControl", &TControl::StaticClass())
                                 .Integer("TabOrder", &TWinControl::TabOrder, &TWinControl::SetTabOrder, -1);
  return info;
}

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {
  brush_.SetColor(clBtnFace);
  brush_.OnChange = [this](TObject*) { Invalidate(); };
}

TWinControl::~TWinControl() {
  // Each child takes itself out of controls_ as it goes.
  while (!controls_.empty()) delete controls_.back();
  DestroyHandle();
}

LRESULT CALLBACK StdWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  TWinControl* control = nullptr;
  if (message == WM_NCCREATE) {
    control = static_cast<TWinControl*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    if (control != nullptr) {
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(control));
      control->handle_ = window;
    }
  } else {
    control = reinterpret_cast<TWinControl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  }
  if (control == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  TMessage m{message, wParam, lParam, 0};
  try {
    control->WindowProc(m);
  } catch (const std::exception& error) {
    Application().HandleException(error);
  } catch (...) {
    Application().HandleException(rtl::Exception(texts::UnknownException()));
  }
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    control->handle_ = nullptr;
  }
  return m.Result;
}

TWinControl* TWinControl::FromHandle(HWND window) {
  if (window == nullptr) return nullptr;
  if (reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC)) != StdWndProc) return nullptr;
  return reinterpret_cast<TWinControl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

void TWinControl::CreateParams(TCreateParams& params) {
  params.ClassName = rtl::SjisToWide(ClassName());
  params.X = Left();
  params.Y = Top();
  params.Width = Width();
  params.Height = Height();
  if (Visible()) params.Style |= WS_VISIBLE;
  if (!Enabled()) params.Style |= WS_DISABLED;
}

HWND TWinControl::Handle() {
  if (handle_ == nullptr) {
    if (Parent() != nullptr) Parent()->Handle();  // makes this window too
    if (handle_ == nullptr) CreateHandle();
  }
  return handle_;
}

void TWinControl::CreateHandle() {
  TCreateParams params;
  CreateParams(params);
  HWND parentWindow = params.WndParent;
  if (Parent() != nullptr) parentWindow = Parent()->Handle();
  if ((params.Style & WS_CHILD) && parentWindow == nullptr) throw EInvalidOperation::NoParentWindow(Name());
  static UINT_PTR nextId = 100;
  HMENU id = (params.Style & WS_CHILD) ? reinterpret_cast<HMENU>(nextId++) : nullptr;
  std::wstring text = rtl::SjisToWide(text_);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  if (params.SystemClass.empty()) {
    RegisterWindowClass(params.ClassName, params.ClassStyle);
    CreateWindowExW(params.ExStyle, params.ClassName.c_str(), text.c_str(), params.Style, params.X, params.Y,
                    params.Width, params.Height, parentWindow, id, instance, this);
  } else {
    HWND window = CreateWindowExW(params.ExStyle, params.SystemClass.c_str(), text.c_str(), params.Style, params.X,
                                  params.Y, params.Width, params.Height, parentWindow, id, instance, nullptr);
    if (window != nullptr) {
      handle_ = window;
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
      defaultProc_ = reinterpret_cast<WNDPROC>(
          SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StdWndProc)));
    }
  }
  if (handle_ == nullptr) throw EOutOfResources();
  SendMessageW(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(SharedFont()), FALSE);
  if (params.Style & WS_CHILD) {
    SetWindowPos(handle_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  CreateWnd();
  for (TControl* control : controls_) {
    if (auto* child = dynamic_cast<TWinControl*>(control); child && !child->handle_) child->CreateHandle();
  }
}

void TWinControl::DestroyHandle() {
  if (handle_ == nullptr) return;
  for (TControl* control : controls_) {
    if (auto* child = dynamic_cast<TWinControl*>(control)) child->DestroyHandle();
  }
  HWND window = handle_;
  // Detached first: the messages of the window's destruction must not reach a half-destroyed
  // object.
  if (defaultProc_ != nullptr) SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(defaultProc_));
  SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  handle_ = nullptr;
  defaultProc_ = nullptr;
  mouseControl_ = nullptr;
  DestroyWindow(window);
}

void TWinControl::SetParent(TWinControl* parent) {
  if (parent == Parent()) return;
  if (handle_ != nullptr && (parent == nullptr || !parent->HandleAllocated())) DestroyHandle();
  TControl::SetParent(parent);
}

void TWinControl::InsertControl(TControl* control) {
  controls_.push_back(control);
  if (auto* child = dynamic_cast<TWinControl*>(control)) {
    if (child->tabOrder_ < 0) {
      child->tabOrder_ = static_cast<int32_t>(
          std::count_if(controls_.begin(), controls_.end(), [](TControl* c) { return dynamic_cast<TWinControl*>(c); }) -
          1);
    }
    if (handle_ != nullptr) {
      if (child->handle_ == nullptr) {
        child->CreateHandle();
      } else {
        ::SetParent(child->handle_, handle_);
      }
    }
  } else {
    control->Invalidate();
  }
  if (control->Align() != TAlign::alNone) Realign();
}

void TWinControl::RemoveControl(TControl* control) {
  if (mouseControl_ == control) mouseControl_ = nullptr;
  control->Invalidate();
  controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
  if (control->Align() != TAlign::alNone) Realign();
}

void TWinControl::Notification(TComponent* component, TOperation operation) {
  TControl::Notification(component, operation);
  if (operation == TOperation::opRemove && component == mouseControl_) mouseControl_ = nullptr;
}

void TWinControl::BoundsChanged(const TRect&) {
  if (handle_ != nullptr && !boundsFromWindow_) {
    SetWindowPos(handle_, nullptr, Left(), Top(), Width(), Height(), SWP_NOZORDER | SWP_NOACTIVATE);
  }
  RequestAlign();
  Realign();
}

void TWinControl::UpdateBoundsFromWindow() {
  RECT r{};
  GetWindowRect(handle_, &r);
  HWND parentWindow = GetParent(handle_);
  if ((GetWindowLongW(handle_, GWL_STYLE) & WS_CHILD) && parentWindow != nullptr) {
    MapWindowPoints(nullptr, parentWindow, reinterpret_cast<POINT*>(&r), 2);
  }
  boundsFromWindow_ = true;
  rtl::TScopeExit done([this] { boundsFromWindow_ = false; });
  TControl::SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

void TWinControl::Loaded() {
  TControl::Loaded();
  Realign();
}

void TWinControl::GetChildren(std::vector<TComponent*>& children, const TComponent& root) const {
  for (TControl* control : controls_) {
    if (control->Owner() == &root) children.push_back(control);
  }
  TControl::GetChildren(children, root);
}

std::string TWinControl::Caption() const {
  if (handle_ == nullptr) return text_;
  int length = GetWindowTextLengthW(handle_);
  std::wstring wide(static_cast<std::size_t>(std::max(length, 0)) + 1, L'\0');
  int copied = GetWindowTextW(handle_, wide.data(), length + 1);
  wide.resize(static_cast<std::size_t>(std::max(copied, 0)));
  return rtl::WideToSjis(wide);
}

void TWinControl::TextChanged() {
  if (handle_ != nullptr) {
    std::wstring wide = rtl::SjisToWide(text_);
    SetWindowTextW(handle_, wide.c_str());
  }
  Invalidate();
}

void TWinControl::VisibleChanged() {
  if (handle_ == nullptr) return;
  if (!Visible() && IsChild(handle_, GetFocus())) {
    if (TWinControl* keeper = FocusKeeper(); keeper && keeper->HandleAllocated()) ::SetFocus(keeper->Handle());
  }
  ShowWindow(handle_, Visible() ? SW_SHOWNA : SW_HIDE);
}

void TWinControl::EnabledChanged() {
  if (handle_ == nullptr) return;
  // A disabled window loses the focus to nobody; the form keeps it instead.
  bool hadFocus = Focused();
  EnableWindow(handle_, Enabled() ? TRUE : FALSE);
  if (!Enabled() && hadFocus) {
    if (TWinControl* keeper = FocusKeeper()) keeper->FocusLost(this);
  }
  Invalidate();
}

void TWinControl::SetColor(TColor color) { brush_.SetColor(color); }

void TWinControl::Invalidate() {
  if (handle_ != nullptr) InvalidateRect(handle_, nullptr, TRUE);
}

void TWinControl::Repaint() {
  if (handle_ != nullptr) {
    RedrawWindow(handle_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  }
}

bool TWinControl::Focused() const { return handle_ != nullptr && GetFocus() == handle_; }

bool TWinControl::CanFocus() const {
  for (const TWinControl* c = this; c != nullptr; c = c->Parent()) {
    if (c->KeepsFocus()) return c->Enabled();
    if (!c->Visible() || !c->Enabled()) return false;
  }
  return true;
}

void TWinControl::SetFocus() {
  if (!CanFocus()) throw EInvalidOperation::CannotFocus();
  if (TWinControl* keeper = FocusKeeper()) {
    keeper->FocusWanted(this);
    if (!keeper->Visible()) return;
  }
  ::SetFocus(Handle());
}

TWinControl* TWinControl::FocusKeeper() const {
  TWinControl* top = Parent();
  while (top != nullptr && top->Parent() != nullptr) top = top->Parent();
  return top != nullptr && top->KeepsFocus() ? top : nullptr;
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& list) {
  std::vector<TWinControl*> children;
  for (TControl* control : controls_) {
    if (auto* child = dynamic_cast<TWinControl*>(control)) children.push_back(child);
  }
  std::stable_sort(children.begin(), children.end(),
                   [](TWinControl* a, TWinControl* b) { return a->tabOrder_ < b->tabOrder_; });
  for (TWinControl* child : children) {
    if (child->tabStop_) list.push_back(child);
    child->GetTabOrderList(list);
  }
}

bool TWinControl::DialogKey(WORD key) {
  for (TControl* control : std::vector<TControl*>(controls_)) {
    if (control->Visible() && control->DialogKey(key)) return true;
  }
  return false;
}

bool TWinControl::DialogChar(wchar_t key) {
  for (TControl* control : std::vector<TControl*>(controls_)) {
    if (control->Visible() && control->DialogChar(key)) return true;
  }
  return false;
}

void TWinControl::DefaultHandler(TMessage& message) {
  message.Result = defaultProc_ != nullptr
                       ? CallWindowProcW(defaultProc_, handle_, message.Msg, message.WParam, message.LParam)
                       : DefWindowProcW(handle_, message.Msg, message.WParam, message.LParam);
}

void TWinControl::Paint(TCanvas&) {}

void TWinControl::PaintHandler() {
  TPaintGuard paint(handle_);
  if (paint.dc() == nullptr) return;
  // Every window of a form paints with the form's palette.
  const TWinControl* form = KeepsFocus() ? this : FocusKeeper();
  TPaletteGuard palette(paint.dc(), form ? form->GetPalette() : nullptr);
  TCanvas canvas(paint.dc());
  Paint(canvas);
  PaintControls(paint.dc(), paint.area());
}

void TWinControl::PaintControls(HDC dc, const RECT& area) {
  for (TControl* control : std::vector<TControl*>(controls_)) {
    if (dynamic_cast<TWinControl*>(control) != nullptr || !control->Visible()) continue;
    RECT bounds = control->BoundsRect().ToRECT();
    RECT visible{};
    if (!IntersectRect(&visible, &bounds, &area)) continue;
    TSaveDCGuard saved(dc);
    OffsetViewportOrgEx(dc, control->Left(), control->Top(), nullptr);
    IntersectClipRect(dc, 0, 0, control->Width(), control->Height());
    control->PaintControl(dc);
  }
}

bool TWinControl::ReflectNotification(TMessage& message) {
  HWND from = nullptr;
  if (message.Msg == WM_COMMAND) {
    from = reinterpret_cast<HWND>(message.LParam);  // none for a menu or an accelerator
  } else if (message.Msg == WM_DRAWITEM) {
    auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(message.LParam);
    if (item != nullptr && item->CtlType != ODT_MENU) from = item->hwndItem;
  } else if (message.Msg == WM_MEASUREITEM) {
    // The item carries no window, only the control's id.
    auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(message.LParam);
    if (item != nullptr && item->CtlType != ODT_MENU) from = GetDlgItem(handle_, static_cast<int>(item->CtlID));
  }
  TWinControl* child = from != nullptr ? FromHandle(from) : nullptr;
  if (child == nullptr) return false;
  if (message.Msg == WM_COMMAND) {
    child->CommandNotify(HIWORD(message.WParam));
    message.Result = 0;
  } else if (message.Msg == WM_DRAWITEM) {
    child->DrawItem(*reinterpret_cast<DRAWITEMSTRUCT*>(message.LParam));
    message.Result = TRUE;
  } else {
    child->MeasureItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(message.LParam));
    message.Result = TRUE;
  }
  return true;
}

void TWinControl::WindowProc(TMessage& message) {
  bool ownClass = defaultProc_ == nullptr;
  switch (message.Msg) {
    case WM_PAINT:
      if (ownClass) {
        PaintHandler();
        message.Result = 0;
        return;
      }
      break;
    case WM_ERASEBKGND:
      if (ownClass) {
        if (brush_.Style() != TBrushStyle::bsClear) {
          RECT r{};
          GetClientRect(handle_, &r);
          FillRect(reinterpret_cast<HDC>(message.WParam), &r, brush_.Handle());
        }
        message.Result = 1;
        return;
      }
      break;
    case WM_CAPTURECHANGED:
      mouseControl_ = nullptr;
      break;
    case WM_COMMAND:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
      if (ReflectNotification(message)) return;
      break;
    case WM_SETFOCUS:
      DefaultHandler(message);
      if (TWinControl* keeper = FocusKeeper()) keeper->ControlFocused(this);
      return;
    case WM_WINDOWPOSCHANGED:
      DefaultHandler(message);
      UpdateBoundsFromWindow();
      return;
    default:
      if (IsMouseMessage(message.Msg)) {
        if (ownClass && RouteMouse(message)) return;
        DefaultHandler(message);
        MouseMessage(message);
        return;
      }
      break;
  }
  DefaultHandler(message);
}

}  // namespace framework
