#include "framework/Application.h"

#include <vector>

#include "rtl/Sjis.h"

namespace framework {

namespace {

struct DisabledWindows {
  std::vector<HWND> windows;
};

BOOL CALLBACK DisableTaskWindow(HWND window, LPARAM param) {
  auto* disabled = reinterpret_cast<DisabledWindows*>(param);
  if (IsWindowVisible(window) && IsWindowEnabled(window)) {
    disabled->windows.push_back(window);
    EnableWindow(window, FALSE);
  }
  return TRUE;
}

}  // namespace

TApplication& Application() {
  static TApplication application;
  return application;
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, UINT flags) {
  HWND active = GetActiveWindow();
  DisabledWindows disabled;
  EnumThreadWindows(GetCurrentThreadId(), DisableTaskWindow, reinterpret_cast<LPARAM>(&disabled));
  std::wstring wideText = rtl::SjisToWide(text);
  std::wstring wideCaption = rtl::SjisToWide(caption);
  // The owner is disabled like every other window of ours; the box itself stays usable.
  int result = ::MessageBoxW(active, wideText.c_str(), wideCaption.c_str(), flags);
  for (HWND window : disabled.windows) EnableWindow(window, TRUE);
  if (active && IsWindow(active)) SetActiveWindow(active);
  return result;
}

std::string ExceptionMessage(const std::exception& error) {
  if (auto* own = dynamic_cast<const rtl::Exception*>(&error)) return own->Message;
  return error.what();
}

void TApplication::HandleException(const std::exception& error) {
  if (onException_) {
    onException_(error);
  } else {
    ShowException(error);
  }
}

void TApplication::ShowException(const std::exception& error) {
  std::string message = ExceptionMessage(error);
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') message += '.';
  MessageBox(message, title_, MB_OK | MB_ICONSTOP);
}

void TApplication::Terminate() {
  terminated_ = true;
  PostQuitMessage(0);
}

}  // namespace framework
