#include "framework/WindowClass.h"

#include <set>

#include "framework/Application.h"
#include "framework/Errors.h"
#include "framework/WinControl.h"

namespace framework {

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

}  // namespace framework
