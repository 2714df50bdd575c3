#include "framework/Controls.h"

#include <windowsx.h>

#include <algorithm>
#include <set>

#include "framework/Application.h"
#include "framework/Errors.h"
#include "framework/Forms.h"
#include "rtl/Sjis.h"

namespace framework {

namespace {

const std::vector<std::string> kAlignNames = {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"};

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

bool IsMouseMessage(UINT message) {
  return message == WM_MOUSEMOVE || (message >= WM_LBUTTONDOWN && message <= WM_MBUTTONDBLCLK);
}

bool IsButtonDown(UINT message) {
  return message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN ||
         message == WM_LBUTTONDBLCLK || message == WM_RBUTTONDBLCLK || message == WM_MBUTTONDBLCLK;
}

bool IsButtonUp(UINT message) {
  return message == WM_LBUTTONUP || message == WM_RBUTTONUP || message == WM_MBUTTONUP;
}

void RegisterWindowClass(const std::wstring& name, UINT style) {
  static std::set<std::wstring> registered;
  if (registered.count(name) != 0) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = style;
  wc.lpfnWndProc = StdWndProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.lpszClassName = name.c_str();
  if (RegisterClassExW(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) throw EOutOfResources();
  registered.insert(name);
}

// Paints what is invalid when it goes out of scope, whatever happened in between.
class TPaintGuard {
 public:
  explicit TPaintGuard(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
  ~TPaintGuard() { EndPaint(window_, &paint_); }
  TPaintGuard(const TPaintGuard&) = delete;
  TPaintGuard& operator=(const TPaintGuard&) = delete;
  HDC dc() const { return dc_; }
  const RECT& area() const { return paint_.rcPaint; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// Points a canvas at a DC for a while.
class TCanvasHandleGuard {
 public:
  TCanvasHandleGuard(TCanvas& canvas, HDC dc) : canvas_(canvas) { canvas_.SetHandle(dc); }
  ~TCanvasHandleGuard() { canvas_.SetHandle(nullptr); }
  TCanvasHandleGuard(const TCanvasHandleGuard&) = delete;
  TCanvasHandleGuard& operator=(const TCanvasHandleGuard&) = delete;

 private:
  TCanvas& canvas_;
};

}  // namespace

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

bool IsAccel(wchar_t key, const std::string& caption) {
  std::wstring wide = rtl::SjisToWide(caption);
  for (std::size_t i = 0; i + 1 < wide.size(); ++i) {
    if (wide[i] != L'&') continue;
    if (wide[i + 1] == L'&') {
      ++i;
      continue;
    }
    return CharUpperW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(wide[i + 1]))) ==
           CharUpperW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(key)));
  }
  return false;
}

TForm* GetParentForm(const TControl* control) {
  while (control != nullptr && control->Parent() != nullptr) control = control->Parent();
  return dynamic_cast<TForm*>(const_cast<TControl*>(control));
}

// --- TControl ---

const TClass& TControl::StaticClass() {
  static const TClass info =
      TClassBuilder<TControl>("TControl", &TComponent::StaticClass())
          .Integer("Left", &TControl::Left, &TControl::SetLeft, 0)
          .AlwaysStored()
          .Integer("Top", &TControl::Top, &TControl::SetTop, 0)
          .AlwaysStored()
          .Integer("Width", &TControl::Width, &TControl::SetWidth, 0)
          .AlwaysStored()
          .Integer("Height", &TControl::Height, &TControl::SetHeight, 0)
          .AlwaysStored()
          .Enumeration("Align", &TControl::Align, &TControl::SetAlign, kAlignNames, TAlign::alNone)
          .Boolean("Enabled", &TControl::Enabled, &TControl::SetEnabled, true)
          .Boolean("Visible", &TControl::Visible, &TControl::SetVisible, true)
          .Event("OnClick", &TControl::OnClick)
          .Event("OnDblClick", &TControl::OnDblClick)
          .Event("OnMouseDown", &TControl::OnMouseDown)
          .Event("OnMouseMove", &TControl::OnMouseMove)
          .Event("OnMouseUp", &TControl::OnMouseUp);
  return info;
}

TControl::TControl(TComponent* owner) : TComponent(owner) {}

TControl::~TControl() { SetParent(nullptr); }

void TControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  if (parent_ != nullptr) parent_->RemoveControl(this);
  parent_ = nullptr;
  if (parent != nullptr) {
    parent_ = parent;
    parent->InsertControl(this);
  }
}

void TControl::SetParentComponent(TComponent* parent) {
  if (auto* control = dynamic_cast<TWinControl*>(parent)) SetParent(control);
}

void TControl::Loaded() {
  TComponent::Loaded();
  RequestAlign();
}

void TControl::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  TRect old = BoundsRect();
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  BoundsChanged(old);
}

void TControl::BoundsChanged(const TRect& old) {
  if (parent_ != nullptr && parent_->HandleAllocated()) {
    RECT r = old.ToRECT();
    InvalidateRect(parent_->handle_, &r, TRUE);
    Invalidate();
  }
  RequestAlign();
}

TPoint TControl::ClientToScreen(TPoint point) const {
  if (parent_ == nullptr) return point;
  return parent_->ClientToScreen({point.X + left_, point.Y + top_});
}

TPoint TControl::ScreenToClient(TPoint point) const {
  TPoint origin = ClientToScreen({0, 0});
  return {point.X - origin.X, point.Y - origin.Y};
}

void TControl::RequestAlign() {
  if (align_ != TAlign::alNone && parent_ != nullptr) parent_->Realign();
}

void TControl::SetAlign(TAlign align) {
  if (align == align_) return;
  align_ = align;
  RequestAlign();
}

void TControl::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  VisibleChanged();
  RequestAlign();
}

void TControl::VisibleChanged() {
  if (parent_ != nullptr && parent_->HandleAllocated()) {
    RECT r = BoundsRect().ToRECT();
    InvalidateRect(parent_->handle_, &r, TRUE);
  }
}

void TControl::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  EnabledChanged();
}

void TControl::SetCaption(const std::string& caption) {
  if (caption == Caption()) return;
  text_ = caption;
  TextChanged();
}

void TControl::Invalidate() {
  if (parent_ != nullptr && parent_->HandleAllocated() && visible_) {
    RECT r = BoundsRect().ToRECT();
    InvalidateRect(parent_->handle_, &r, TRUE);
  }
}

void TControl::Update() {
  if (auto* self = dynamic_cast<TWinControl*>(this)) {
    if (self->handle_ != nullptr) UpdateWindow(self->handle_);
  } else if (parent_ != nullptr && parent_->handle_ != nullptr) {
    UpdateWindow(parent_->handle_);
  }
}

void TControl::Repaint() {
  Invalidate();
  Update();
}

void TControl::Click() { OnClick(this); }
void TControl::DblClick() { OnDblClick(this); }

void TControl::MouseDown(TMouseButton button, TShiftState shift, int32_t x, int32_t y) {
  OnMouseDown(this, button, shift, x, y);
}
void TControl::MouseUp(TMouseButton button, TShiftState shift, int32_t x, int32_t y) {
  OnMouseUp(this, button, shift, x, y);
}
void TControl::MouseMove(TShiftState shift, int32_t x, int32_t y) { OnMouseMove(this, shift, x, y); }

bool TControl::DialogKey(WORD) { return false; }
bool TControl::DialogChar(wchar_t) { return false; }
void TControl::PaintControl(HDC) {}

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

// --- TWinControl ---

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

TControl* TWinControl::ControlAtPos(TPoint point, bool allowDisabled) const {
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
    TControl* control = *it;
    if (dynamic_cast<TWinControl*>(control) != nullptr) continue;
    if (!control->Visible() || (!control->Enabled() && !allowDisabled)) continue;
    if (control->BoundsRect().Contains(point)) return control;
  }
  return nullptr;
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
  try {
    TControl::SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
  } catch (...) {
    boundsFromWindow_ = false;
    throw;
  }
  boundsFromWindow_ = false;
}

void TWinControl::Realign() {
  if (Loading() || aligning_) return;
  AlignControls();
}

void TWinControl::AlignControls() {
  aligning_ = true;
  try {
    TRect rect = ClientRect();
    AdjustClientRect(rect);
    auto place = [&](TAlign align) {
      for (TControl* control : std::vector<TControl*>(controls_)) {
        if (control->Align() != align || !control->Visible()) continue;
        int32_t w = control->Width();
        int32_t h = control->Height();
        switch (align) {
          case TAlign::alTop:
            control->SetBounds(rect.Left, rect.Top, rect.Width(), h);
            rect.Top += h;
            break;
          case TAlign::alBottom:
            control->SetBounds(rect.Left, rect.Bottom - h, rect.Width(), h);
            rect.Bottom -= h;
            break;
          case TAlign::alLeft:
            control->SetBounds(rect.Left, rect.Top, w, rect.Height());
            rect.Left += w;
            break;
          case TAlign::alRight:
            control->SetBounds(rect.Right - w, rect.Top, w, rect.Height());
            rect.Right -= w;
            break;
          case TAlign::alClient:
            control->SetBounds(rect.Left, rect.Top, rect.Width(), rect.Height());
            break;
          case TAlign::alNone:
            break;
        }
      }
    };
    for (TAlign align : {TAlign::alTop, TAlign::alBottom, TAlign::alLeft, TAlign::alRight, TAlign::alClient}) {
      place(align);
    }
  } catch (...) {
    aligning_ = false;
    throw;
  }
  aligning_ = false;
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
    if (TForm* form = GetParentForm(this); form && form != this && form->HandleAllocated()) ::SetFocus(form->Handle());
  }
  ShowWindow(handle_, Visible() ? SW_SHOWNA : SW_HIDE);
}

void TWinControl::EnabledChanged() {
  if (handle_ == nullptr) return;
  // A disabled window loses the focus to nobody; the form keeps it instead.
  bool hadFocus = Focused();
  EnableWindow(handle_, Enabled() ? TRUE : FALSE);
  if (!Enabled() && hadFocus) {
    if (TForm* form = GetParentForm(this); form && form != this) form->SelectNext(this, true);
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

LRESULT TWinControl::Perform(UINT message, WPARAM wParam, LPARAM lParam) {
  if (handle_ != nullptr) return SendMessageW(handle_, message, wParam, lParam);
  TMessage m{message, wParam, lParam, 0};
  WindowProc(m);
  return m.Result;
}

bool TWinControl::Focused() const { return handle_ != nullptr && GetFocus() == handle_; }

bool TWinControl::CanFocus() const {
  for (const TControl* c = this; c != nullptr; c = c->Parent()) {
    if (dynamic_cast<const TForm*>(c) != nullptr) return c->Enabled();
    if (!c->Visible() || !c->Enabled()) return false;
  }
  return true;
}

void TWinControl::SetFocus() {
  if (!CanFocus()) throw EInvalidOperation::CannotFocus();
  TForm* form = GetParentForm(this);
  if (form != nullptr && form != this) {
    form->SetActiveControl(this);
    if (!form->Visible()) return;
  }
  ::SetFocus(Handle());
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

void TWinControl::Paint(TCanvas&) {}

void TWinControl::PaintHandler() {
  TPaintGuard paint(handle_);
  if (paint.dc() == nullptr) return;
  TForm* form = GetParentForm(this);
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
      if (message.LParam != 0) {
        if (TWinControl* child = FromHandle(reinterpret_cast<HWND>(message.LParam))) {
          child->CommandNotify(HIWORD(message.WParam));
          message.Result = 0;
          return;
        }
      }
      break;
    case WM_DRAWITEM: {
      auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(message.LParam);
      if (item != nullptr && item->CtlType != ODT_MENU) {
        if (TWinControl* child = FromHandle(item->hwndItem)) {
          child->DrawItem(*item);
          message.Result = TRUE;
          return;
        }
      }
      break;
    }
    case WM_MEASUREITEM: {
      auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(message.LParam);
      if (item != nullptr && item->CtlType != ODT_MENU) {
        if (TWinControl* child = FromHandle(GetDlgItem(handle_, static_cast<int>(item->CtlID)))) {
          child->MeasureItem(*item);
          message.Result = TRUE;
          return;
        }
      }
      break;
    }
    case WM_SETFOCUS:
      DefaultHandler(message);
      if (TForm* form = GetParentForm(this); form && form != this) form->ControlFocused(this);
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

// --- TGraphicControl ---

const TClass& TGraphicControl::StaticClass() {
  static const TClass info = TClassBuilder<TGraphicControl>("TGraphicControl", &TControl::StaticClass());
  return info;
}

void TGraphicControl::PaintControl(HDC dc) {
  TCanvasHandleGuard guard(canvas_, dc);
  Paint();
}

}  // namespace framework
