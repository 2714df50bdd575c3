// Helpers of the tests that make windows: reading and answering message boxes, running code from
// inside a message loop, and reading back what a window shows.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "rtl/Sjis.h"
#include "support/Pixels.h"

namespace testing_support {

// CP932 of a UTF-8 literal.
inline std::string S(const char* utf8) { return rtl::Utf8ToSjis(utf8); }

// A window's text in CP932.
inline std::string WindowText(HWND window) {
  wchar_t buffer[1024] = {};
  GetWindowTextW(window, buffer, 1024);
  return rtl::WideToSjis(buffer);
}

struct TShownBox {
  std::string caption;  // CP932
  std::string text;     // CP932
  bool errorIcon = false;
  bool exclamationIcon = false;
  bool watchedWindowEnabled = true;  // the state of TBoxWatcher::watched while the box was up
  std::vector<int> buttons;          // the ids of its visible buttons
};

// Records every message box that the calling thread creates while it exists, and presses its OK
// button; whileUp runs with each box up. A box the watcher has not answered within 10 s is closed,
// so that a failing test cannot hang (TimedOut tells).
class TBoxWatcher {
 public:
  explicit TBoxWatcher(std::function<void(HWND)> whileUp = {}) : whileUp_(std::move(whileUp)) {
    current_ = this;
    hook_ = SetWindowsHookExW(WH_CBT, Hook, nullptr, GetCurrentThreadId());
    timer_ = SetTimer(nullptr, 0, 10000, Timeout);
  }
  ~TBoxWatcher() {
    KillTimer(nullptr, timer_);
    UnhookWindowsHookEx(hook_);
    current_ = nullptr;
  }
  TBoxWatcher(const TBoxWatcher&) = delete;
  TBoxWatcher& operator=(const TBoxWatcher&) = delete;

  bool Hooked() const { return hook_ != nullptr; }
  bool TimedOut() const { return timedOut_; }

  std::vector<TShownBox> boxes;
  HWND watched = nullptr;

 private:
  static bool IsBox(HWND window) {
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    return std::wstring(className) == L"#32770";
  }

  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
    HWND window = reinterpret_cast<HWND>(wParam);
    // Only boxes made while this watcher is on count, each read once: a box of an earlier test that
    // is still going away may be activated again meanwhile.
    if (code == HCBT_CREATEWND && current_ != nullptr && IsBox(window)) current_->created_.insert(window);
    if (code == HCBT_ACTIVATE && current_ != nullptr && current_->created_.count(window) != 0 &&
        GetDlgItem(window, 0xFFFF) != nullptr && current_->handled_.insert(window).second) {
      // The box may be activated before it has its text: it is read from its own loop.
      SetTimer(window, 1, 1, Read);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }

  static void CALLBACK Read(HWND box, UINT, UINT_PTR id, DWORD) {
    KillTimer(box, id);
    if (current_ == nullptr) return;
    TShownBox shown;
    shown.caption = WindowText(box);
    shown.text = WindowText(GetDlgItem(box, 0xFFFF));
    auto icon = reinterpret_cast<HICON>(SendDlgItemMessageW(box, 1088, STM_GETICON, 0, 0));
    shown.errorIcon = icon != nullptr && icon == LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_HAND));
    shown.exclamationIcon = icon != nullptr && icon == LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_EXCLAMATION));
    if (current_->watched != nullptr) shown.watchedWindowEnabled = IsWindowEnabled(current_->watched) != FALSE;
    EnumChildWindows(box, AddButton, reinterpret_cast<LPARAM>(&shown.buttons));
    current_->boxes.push_back(shown);
    if (current_->whileUp_) current_->whileUp_(box);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  }

  static BOOL CALLBACK AddButton(HWND control, LPARAM buttons) {
    wchar_t className[32] = {};
    GetClassNameW(control, className, 32);
    if (_wcsicmp(className, L"Button") == 0 && (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE)) {
      reinterpret_cast<std::vector<int>*>(buttons)->push_back(GetDlgCtrlID(control));
    }
    return TRUE;
  }

  static void CALLBACK Timeout(HWND, UINT, UINT_PTR, DWORD) {
    if (current_ == nullptr) return;
    current_->timedOut_ = true;
    EnumThreadWindows(GetCurrentThreadId(), CloseBox, 0);
  }

  static BOOL CALLBACK CloseBox(HWND window, LPARAM) {
    if (IsBox(window)) PostMessageW(window, WM_COMMAND, IDOK, 0);
    return TRUE;
  }

  static inline TBoxWatcher* current_ = nullptr;
  std::function<void(HWND)> whileUp_;
  HHOOK hook_ = nullptr;
  UINT_PTR timer_ = 0;
  std::set<HWND> created_;
  std::set<HWND> handled_;
  bool timedOut_ = false;
};

// Runs action from the message loop after delay milliseconds (a thread timer).
inline std::map<UINT_PTR, std::function<void()>>& PendingActions() {
  static std::map<UINT_PTR, std::function<void()>> actions;
  return actions;
}

inline void CALLBACK RunPendingAction(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  auto found = PendingActions().find(id);
  if (found == PendingActions().end()) return;
  std::function<void()> action = std::move(found->second);
  PendingActions().erase(found);
  action();
}

inline void Later(std::function<void()> action, UINT delay = 10) {
  UINT_PTR id = SetTimer(nullptr, 0, delay, RunPendingAction);
  PendingActions()[id] = std::move(action);
}

// Drops the actions not yet run (their timers die with them).
inline void CancelLater() {
  for (auto& [id, action] : PendingActions()) KillTimer(nullptr, id);
  PendingActions().clear();
}

// Handles every queued message of this thread.
inline void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// Pumps messages until window has the focus or two seconds have passed: under X, activation
// arrives as events of the X server, some time after the window was shown.
inline HWND PumpUntilFocused(HWND window) {
  for (int waited = 0; GetFocus() != window && waited < 2000; waited += 10) {
    Pump();
    if (GetFocus() != window) Sleep(10);
  }
  return GetFocus();
}

// Makes window the foreground window and pumps messages until it is active, for five seconds at most.
inline bool PumpUntilActive(HWND window) {
  // Without a window manager nobody else asks the X server to give the window the focus.
  SetForegroundWindow(window);
  for (int waited = 0; GetActiveWindow() != window && waited < 5000; waited += 10) {
    Pump();
    if (GetActiveWindow() != window) Sleep(10);
  }
  return GetActiveWindow() == window;
}

// A window's rectangle in its parent's client coordinates (screen coordinates for a top-level one).
inline RECT ChildRect(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  HWND parent = GetParent(window);
  if ((GetWindowLongW(window, GWL_STYLE) & WS_CHILD) && parent != nullptr) {
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  }
  return r;
}

// Checks a window's place and size in its parent (see ChildRect), naming it in any failure.
inline void ExpectChildRect(HWND window, int left, int top, int width, int height, const char* name) {
  RECT r = ChildRect(window);
  EXPECT_EQ(r.left, left) << name;
  EXPECT_EQ(r.top, top) << name;
  EXPECT_EQ(r.right - r.left, width) << name;
  EXPECT_EQ(r.bottom - r.top, height) << name;
}

// What a window shows now in its client area, as 0x00RRGGBB, top row first.
struct TCapture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
  int Count(uint32_t color) const {
    int n = 0;
    for (uint32_t p : pixels) n += p == color;
    return n;
  }
};

inline TCapture CaptureClient(HWND window) {
  TCapture capture;
  RECT r{};
  GetClientRect(window, &r);
  capture.width = r.right;
  capture.height = r.bottom;
  HDC dc = GetDC(window);
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, capture.width, capture.height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, capture.width, capture.height, dc, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  capture.pixels = testing_support::ReadPixels(bitmap, capture.width, capture.height);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(window, dc);
  return capture;
}

// Screen captures compare exact colours, which a palette display dithers or maps to its own.
inline bool TrueColorDisplay() {
  HDC screen = GetDC(nullptr);
  bool palette = (GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE) != 0;
  ReleaseDC(nullptr, screen);
  return !palette;
}

inline uint32_t SysColor(int index) {
  COLORREF c = GetSysColor(index);
  return (uint32_t{GetRValue(c)} << 16) | (uint32_t{GetGValue(c)} << 8) | GetBValue(c);
}

}  // namespace testing_support
