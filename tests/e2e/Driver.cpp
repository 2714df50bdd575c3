#include "Driver.h"

#include <cstdlib>

#include "framework/BmpFile.h"
#include "framework/GdiHandles.h"

namespace testing_support {

std::wstring WindowsPath(const char* unixPath) {
  std::wstring path = L"Z:";
  for (const char* c = unixPath; *c; ++c) path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
  return path;
}

RunningProgram::RunningProgram(const std::wstring& exe, const std::wstring& workingFolder,
                               const std::wstring& arguments) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  std::wstring commandLine = L"\"" + exe + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
  PROCESS_INFORMATION started{};
  if (CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                     workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup, &started)) {
    rtl::TKernelHandle thread(started.hThread);
    process_.reset(started.hProcess);
    id_ = started.dwProcessId;
  }
}

RunningProgram::~RunningProgram() {
  if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) Kill();
}

void RunningProgram::Kill() {
  if (!process_) return;
  TerminateProcess(process_.get(), 99);
  WaitForSingleObject(process_.get(), 10000);
}

DWORD RunningProgram::WaitForExit(DWORD milliseconds) {
  if (!process_) return static_cast<DWORD>(-1);
  WaitForSingleObject(process_.get(), milliseconds);
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(process_.get(), &code);
  return code;
}

namespace {

struct WindowSearch {
  DWORD processId;
  const std::wstring* caption;
  const std::wstring* className;
  HWND found;
};

std::wstring ClassName(HWND window) {
  wchar_t name[256] = L"";
  GetClassNameW(window, name, 256);
  return name;
}

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
  if (!search->caption->empty() && WindowText(window) != *search->caption) return TRUE;
  if (!search->className->empty() && ClassName(window) != *search->className) return TRUE;
  search->found = window;
  return FALSE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM param) {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  return TRUE;
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> children;
  EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&children));
  return children;
}

}  // namespace

HWND WaitForWindow(DWORD processId, const std::wstring& caption, const std::wstring& className,
                   DWORD milliseconds) {
  for (DWORD waited = 0;; waited += 50) {
    WindowSearch search{processId, &caption, &className, nullptr};
    EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr || waited >= milliseconds) return search.found;
    Sleep(50);
  }
}

HWND WaitForMessageBox(DWORD processId, DWORD milliseconds) {
  return WaitForWindow(processId, L"", L"#32770", milliseconds);
}

void SetEditText(HWND edit, const std::wstring& text) {
  SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, 5000, nullptr);
}

std::wstring WindowText(HWND window) {
  // WM_GETTEXT reaches controls of another process too (GetWindowText would not).
  wchar_t text[1024] = L"";
  SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, nullptr);
  return text;
}

HWND FindChildByText(HWND parent, const std::wstring& text) {
  for (HWND child : Children(parent)) {
    if (WindowText(child) == text) return child;
  }
  return nullptr;
}

RECT ClientRectOnScreen(HWND window) {
  RECT rect{};
  GetClientRect(window, &rect);
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

MessageBoxContent ReadMessageBox(HWND box) {
  MessageBoxContent content;
  content.caption = WindowText(box);
  for (HWND child : Children(box)) {
    std::wstring kind = ClassName(child);
    if (kind == L"Button") content.buttons.push_back(WindowText(child));
    else if (kind == L"Static" && GetDlgCtrlID(child) == 0xFFFF) content.text = WindowText(child);
  }
  return content;
}

HWND WaitForFocus(HWND window, HWND wanted, DWORD milliseconds) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  for (DWORD waited = 0;; waited += 50) {
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) info.hwndFocus = nullptr;
    if (info.hwndFocus == wanted || waited >= milliseconds) return info.hwndFocus;
    Sleep(50);
  }
}

HWND MessageBoxIcon(HWND box) {
  for (HWND child : Children(box)) {
    if (ClassName(child) == L"Static" && (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) return child;
  }
  return nullptr;
}

namespace {

bool Matches(const RGBQUAD& pixel, IconColour colour) {
  bool strongRed = pixel.rgbRed >= 160 && pixel.rgbBlue <= 80;
  return colour == IconColour::red ? strongRed && pixel.rgbGreen <= 80 : strongRed && pixel.rgbGreen >= 160;
}

bool HasPixel(const RECT& r, IconColour colour) {
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  if (width <= 0 || height <= 0) return false;
  BITMAPINFO info{};
  info.bmiHeader = framework::bmp::InfoHeader(width, -height, 32);
  void* bits = nullptr;
  framework::TWindowDC screen;
  framework::TMemoryDC memory(screen.get());
  framework::TBitmapHandle section(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!section) return false;
  {
    framework::TSelectGuard selected(memory.get(), section.get());
    BitBlt(memory.get(), 0, 0, width, height, screen.get(), r.left, r.top, SRCCOPY);
    GdiFlush();
  }
  const auto* pixels = static_cast<const RGBQUAD*>(bits);
  for (int i = 0; i < width * height; ++i) {
    if (Matches(pixels[i], colour)) return true;
  }
  return false;
}

}  // namespace

bool Shows(HWND window, IconColour colour, DWORD milliseconds) {
  for (DWORD waited = 0;; waited += 100) {
    RECT r{};
    if (window != nullptr && GetWindowRect(window, &r) && HasPixel(r, colour)) return true;
    if (waited >= milliseconds) return false;
    Sleep(100);
  }
}

void Answer(HWND box, const std::wstring& button) {
  HWND control = FindChildByText(box, button);
  if (control != nullptr) Click(control);
}

void Screenshot(const std::string& name) {
  const char* folder = std::getenv("PEUPDATE_SCREENSHOTS");
  if (folder == nullptr || *folder == '\0') return;
  // The screen is captured on the Unix side by the script that runs these tests: it answers a
  // request file with the picture.
  std::wstring base = WindowsPath(folder) + L"\\" + std::wstring(name.begin(), name.end());
  Sleep(300);  // let the last paint reach the screen
  const std::wstring request = base + L".request";
  if (!rtl::TFileHandle(CreateFileW(request.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr))) return;
  for (int waited = 0; waited < 15000; waited += 100) {
    if (GetFileAttributesW(request.c_str()) == INVALID_FILE_ATTRIBUTES) return;
    Sleep(100);
  }
}

}  // namespace testing_support
