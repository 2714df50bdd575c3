#include "framework/TaskWindowDisabler.h"

namespace framework {

namespace {

BOOL CALLBACK DisableTaskWindow(HWND window, LPARAM param) {
  auto* windows = reinterpret_cast<std::vector<HWND>*>(param);
  if (IsWindowVisible(window) && IsWindowEnabled(window)) {
    windows->push_back(window);
    EnableWindow(window, FALSE);
  }
  return TRUE;
}

}  // namespace

TTaskWindowDisabler::TTaskWindowDisabler() {
  EnumThreadWindows(GetCurrentThreadId(), DisableTaskWindow, reinterpret_cast<LPARAM>(&windows_));
}

void TTaskWindowDisabler::Restore() {
  for (HWND window : windows_) {
    if (IsWindow(window)) EnableWindow(window, TRUE);
  }
  windows_.clear();
}

}  // namespace framework
