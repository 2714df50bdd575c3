#include "framework/Form.h"

#include <algorithm>

#include "framework/Application.h"
#include "framework/Errors.h"
#include "framework/TaskWindowDisabler.h"
#include "framework/LayoutReader.h"

namespace framework {

const std::vector<TIdent>& ModalResultIdents() {
  static const std::vector<TIdent> idents = {{"mrNone", mrNone},   {"mrOk", mrOk},         {"mrCancel", mrCancel},
                                             {"mrAbort", mrAbort}, {"mrRetry", mrRetry},   {"mrIgnore", mrIgnore},
                                             {"mrYes", mrYes},     {"mrNo", mrNo}};
  return idents;
}

const TClass& TForm::StaticClass() {
  static const TClass info =
      TClassBuilder<TForm>("TForm", &TWinControl::StaticClass())
          .Integer("Width", &TForm::Width, &TForm::SetWidth, 0)
          .Stored(&TForm::FrameSizeStored)
          .Integer("Height", &TForm::Height, &TForm::SetHeight, 0)
          .Stored(&TForm::FrameSizeStored)
          .Boolean("Visible", &TForm::Visible, &TForm::SetVisible, false)
          .Set("BorderIcons", &TForm::BorderIcons, &TForm::SetBorderIcons,
               {"biSystemMenu", "biMinimize", "biMaximize"},
               TBorderIcons{TBorderIcon::biSystemMenu, TBorderIcon::biMinimize, TBorderIcon::biMaximize})
          .Enumeration("BorderStyle", &TForm::BorderStyle, &TForm::SetBorderStyle,
                       {"bsNone", "bsSingle", "bsSizeable", "bsDialog"}, TFormBorderStyle::bsSizeable)
          .String("Caption", &TForm::Caption, &TForm::SetCaption)
          .Integer("ClientWidth", &TForm::ClientWidth, &TForm::SetClientWidth, 0)
          .AlwaysStored()
          .Integer("ClientHeight", &TForm::ClientHeight, &TForm::SetClientHeight, 0)
          .AlwaysStored()
          .Integer("Color", &TForm::Color, &TForm::SetColor, clBtnFace, ColorIdents())
          .Enumeration("FormStyle", &TForm::FormStyle, &TForm::SetFormStyle, {"fsNormal", "fsStayOnTop"},
                       TFormStyle::fsNormal)
          .Enumeration("Position", &TForm::Position, &TForm::SetPosition, {"poDesigned", "poScreenCenter"},
                       TPosition::poDesigned)
          .Component("ActiveControl", &TForm::ActiveControl, &TForm::SetActiveControl)
          .Event("OnCreate", &TForm::OnCreate)
          .Event("OnCloseQuery", &TForm::OnCloseQuery);
  return info;
}

TForm::TForm(TComponent* owner) : TWinControl(owner) { SetVisible(false); }

TForm::~TForm() = default;

void TForm::InitializeForm(HMODULE module) {
  ReadLayoutResource(*this, module);
  DoCreate();
}

void TForm::DoCreate() {
  try {
    OnCreate(this);
  } catch (const std::exception& error) {
    Application().HandleException(error);
  }
}

DWORD TForm::WindowStyle() const {
  DWORD style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  switch (borderStyle_) {
    case TFormBorderStyle::bsNone:
      style |= WS_POPUP;
      break;
    case TFormBorderStyle::bsSingle:
      style |= WS_CAPTION | WS_BORDER;
      break;
    case TFormBorderStyle::bsSizeable:
      style |= WS_CAPTION | WS_THICKFRAME;
      break;
    case TFormBorderStyle::bsDialog:
      style |= WS_POPUP | WS_CAPTION;
      break;
  }
  if (borderStyle_ != TFormBorderStyle::bsNone && borderIcons_.Contains(TBorderIcon::biSystemMenu)) {
    style |= WS_SYSMENU;
  }
  if (borderStyle_ == TFormBorderStyle::bsSingle || borderStyle_ == TFormBorderStyle::bsSizeable) {
    if (borderIcons_.Contains(TBorderIcon::biMinimize)) style |= WS_MINIMIZEBOX;
    if (borderIcons_.Contains(TBorderIcon::biMaximize)) style |= WS_MAXIMIZEBOX;
  }
  return style;
}

DWORD TForm::WindowExStyle() const {
  DWORD exStyle = WS_EX_CONTROLPARENT;
  if (borderStyle_ == TFormBorderStyle::bsDialog) exStyle |= WS_EX_DLGMODALFRAME;
  if (formStyle_ == TFormStyle::fsStayOnTop) exStyle |= WS_EX_TOPMOST;
  return exStyle;
}

TSize TForm::FrameExtra() const {
  if (frameSettled_) {
    HWND window = const_cast<TForm*>(this)->Handle();
    RECT client{};
    RECT outer{};
    GetClientRect(window, &client);
    GetWindowRect(window, &outer);
    if (!IsIconic(window)) return {(outer.right - outer.left) - client.right, (outer.bottom - outer.top) - client.bottom};
  }
  RECT r{0, 0, 0, 0};
  AdjustWindowRectEx(&r, WindowStyle(), FALSE, WindowExStyle());
  return {r.right - r.left, r.bottom - r.top};
}

void TForm::SetClientSize(int32_t width, int32_t height) {
  clientWidth_ = std::max(width, 0);
  clientHeight_ = std::max(height, 0);
  TSize extra = FrameExtra();
  TWinControl::SetBounds(Left(), Top(), clientWidth_ + extra.Width, clientHeight_ + extra.Height);
  Realign();
}

void TForm::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  TSize extra = FrameExtra();
  clientWidth_ = std::max(width - extra.Width, 0);
  clientHeight_ = std::max(height - extra.Height, 0);
  TWinControl::SetBounds(left, top, width, height);
}

void TForm::FrameChanged() {
  // The frame change resizes the client area; the client size asked for is what must stay.
  int32_t width = clientWidth_;
  int32_t height = clientHeight_;
  if (HandleAllocated()) {
    SetWindowLongW(Handle(), GWL_STYLE, static_cast<LONG>(WindowStyle() | (Visible() ? WS_VISIBLE : 0)));
    SetWindowLongW(Handle(), GWL_EXSTYLE, static_cast<LONG>(WindowExStyle()));
    SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  }
  SetClientSize(width, height);
}

void TForm::SetBorderStyle(TFormBorderStyle style) {
  if (style == borderStyle_) return;
  borderStyle_ = style;
  FrameChanged();
}

void TForm::SetBorderIcons(TBorderIcons icons) {
  if (icons == borderIcons_) return;
  borderIcons_ = icons;
  FrameChanged();
}

void TForm::SetFormStyle(TFormStyle style) {
  if (style == formStyle_) return;
  formStyle_ = style;
  if (HandleAllocated()) {
    SetWindowPos(Handle(), style == TFormStyle::fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

void TForm::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.Style = WindowStyle();
  params.ExStyle = WindowExStyle();
  if (auto* ownerForm = dynamic_cast<TForm*>(Owner())) params.WndParent = ownerForm->Handle();
}

void TForm::CreateWnd() {
  // The frame the system really drew decides the window size, not the one computed beforehand.
  frameSettled_ = true;
  SetClientSize(clientWidth_, clientHeight_);
}

void TForm::SetActiveControl(TWinControl* control) {
  if (control == activeControl_) return;
  activeControl_ = control;
  if (control != nullptr) {
    control->FreeNotification(this);
    if (!Loading() && Visible() && control->CanFocus() && !control->Focused()) ::SetFocus(control->Handle());
  }
}

void TForm::ControlFocused(TWinControl* control) {
  activeControl_ = control;
  if (control != nullptr) control->FreeNotification(this);
  // Buttons draw the default frame after where the focus is.
  std::vector<TControl*> pending(Controls().begin(), Controls().end());
  while (!pending.empty()) {
    TControl* c = pending.back();
    pending.pop_back();
    if (auto* w = dynamic_cast<TWinControl*>(c)) {
      w->FocusMoved();
      pending.insert(pending.end(), w->Controls().begin(), w->Controls().end());
    }
  }
}

void TForm::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation == TOperation::opRemove && component == activeControl_) activeControl_ = nullptr;
}

void TForm::FocusFirst() {
  TWinControl* target = activeControl_;
  if (target == nullptr || !target->CanFocus()) {
    target = nullptr;
    std::vector<TWinControl*> list;
    GetTabOrderList(list);
    for (TWinControl* control : list) {
      if (control->CanFocus()) {
        target = control;
        break;
      }
    }
  }
  if (target != nullptr) {
    activeControl_ = target;
    ::SetFocus(target->Handle());
  } else {
    ::SetFocus(Handle());
  }
}

void TForm::SelectNext(TWinControl* current, bool forward) {
  std::vector<TWinControl*> list;
  GetTabOrderList(list);
  list.erase(std::remove_if(list.begin(), list.end(),
                            [&](TWinControl* c) { return c != current && !c->CanFocus(); }),
             list.end());
  auto it = std::find(list.begin(), list.end(), current);
  TWinControl* next = nullptr;
  if (it == list.end()) {
    if (!list.empty()) next = forward ? list.front() : list.back();
  } else if (list.size() > 1) {
    std::size_t i = static_cast<std::size_t>(it - list.begin());
    std::size_t n = list.size();
    next = list[forward ? (i + 1) % n : (i + n - 1) % n];
  }
  if (next != nullptr && next != current) {
    activeControl_ = next;
    if (Visible()) ::SetFocus(next->Handle());
  } else if (HandleAllocated() && Visible() && (current == nullptr || !current->CanFocus())) {
    ::SetFocus(Handle());
  }
}

void TForm::VisibleChanged() {
  if (Loading()) return;
  if (Visible()) {
    HWND window = Handle();
    if (position_ == TPosition::poScreenCenter) {
      int32_t x = (GetSystemMetrics(SM_CXSCREEN) - Width()) / 2;
      int32_t y = (GetSystemMetrics(SM_CYSCREEN) - Height()) / 2;
      SetBounds(x, y, Width(), Height());
    }
    ShowWindow(window, SW_SHOW);
    FocusFirst();
  } else if (HandleAllocated()) {
    ShowWindow(Handle(), SW_HIDE);
  }
}

bool TForm::CloseQuery() {
  bool canClose = true;
  OnCloseQuery(this, canClose);
  return canClose;
}

void TForm::Close() {
  if (modal_) {
    modalResult_ = mrCancel;
    return;
  }
  if (!CloseQuery()) return;
  Hide();
  if (Application().MainForm() == this) Application().Terminate();
}

void TForm::CloseModal() {
  if (!CloseQuery()) modalResult_ = mrNone;
}

TModalResult TForm::ShowModal() {
  if (Visible() || !Enabled() || modal_) throw EInvalidOperation::CannotShowModal();
  if (HWND capture = GetCapture()) SendMessageW(capture, WM_CANCELMODE, 0, 0);
  ReleaseCapture();
  HWND previous = GetActiveWindow();

  // Puts everything back on every way out of the loop.
  struct TModalState {
    TForm& form;
    HWND previous;
    TTaskWindowDisabler disabled;
    ~TModalState() {
      // The other windows are enabled before this one hides, so that the activation can go back.
      disabled.Restore();
      try {
        form.Hide();
      } catch (...) {
      }
      if (previous != nullptr && IsWindow(previous)) SetActiveWindow(previous);
      form.modal_ = false;
    }
  } state{*this, previous, {}};

  modal_ = true;
  modalResult_ = mrNone;
  Show();
  do {
    Application().HandleMessage();
    if (Application().Terminated() || !HandleAllocated()) {
      modalResult_ = mrCancel;
    } else if (modalResult_ != mrNone) {
      CloseModal();
    }
  } while (modalResult_ == mrNone);
  return modalResult_;
}

bool TForm::DialogMessage(const MSG& message) {
  switch (message.message) {
    case WM_KEYDOWN: {
      auto key = static_cast<WORD>(message.wParam);
      if (key != VK_TAB && key != VK_RETURN && key != VK_ESCAPE) return false;
      LRESULT code = SendMessageW(message.hwnd, WM_GETDLGCODE, message.wParam, reinterpret_cast<LPARAM>(&message));
      if (code & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) return false;
      if (key == VK_TAB) {
        if ((code & DLGC_WANTTAB) || GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0) return false;
        SelectNext(activeControl_, GetKeyState(VK_SHIFT) >= 0);
        return true;
      }
      return DialogKey(key);
    }
    case WM_SYSCHAR:
      return DialogChar(static_cast<wchar_t>(message.wParam));
    case WM_CHAR: {
      LRESULT code = SendMessageW(message.hwnd, WM_GETDLGCODE, message.wParam, reinterpret_cast<LPARAM>(&message));
      if (code & DLGC_WANTCHARS) return false;
      return DialogChar(static_cast<wchar_t>(message.wParam));
    }
    default:
      return false;
  }
}

void TForm::RealizePalette(bool background) {
  HPALETTE palette = GetPalette();
  if (palette == nullptr || !HandleAllocated()) return;
  TWindowDC dc(Handle());
  TPaletteGuard selected(dc.get(), palette, background);
  UINT changed = selected.Realized();
  if (changed != 0 && changed != GDI_ERROR) InvalidateRect(Handle(), nullptr, TRUE);
}

void TForm::WindowProc(TMessage& message) {
  switch (message.Msg) {
    case WM_CLOSE:
      Close();
      message.Result = 0;
      return;
    case WM_ACTIVATE:
      if (LOWORD(message.WParam) != WA_INACTIVE && !HIWORD(message.WParam)) {
        // The focus goes back to the control that had it, not to the form.
        FocusFirst();
        message.Result = 0;
        return;
      }
      break;
    case WM_QUERYNEWPALETTE:
      if (GetPalette() != nullptr) {
        RealizePalette(false);
        message.Result = TRUE;
        return;
      }
      break;
    case WM_PALETTECHANGED:
      if (reinterpret_cast<HWND>(message.WParam) != Handle()) RealizePalette(true);
      message.Result = 0;
      return;
    case WM_WINDOWPOSCHANGED:
      TWinControl::WindowProc(message);
      if (frameSettled_ && !IsIconic(Handle())) {
        RECT client{};
        GetClientRect(Handle(), &client);
        if (client.right != clientWidth_ || client.bottom != clientHeight_) {
          clientWidth_ = client.right;
          clientHeight_ = client.bottom;
          Realign();
        }
      }
      return;
    case WM_NCDESTROY:
      frameSettled_ = false;
      break;
    default:
      break;
  }
  TWinControl::WindowProc(message);
}

TForm* GetParentForm(const TControl* control) {
  while (control != nullptr && control->Parent() != nullptr) control = control->Parent();
  return dynamic_cast<TForm*>(const_cast<TControl*>(control));
}

}  // namespace framework
