// Our window class: the window procedure every window of ours has, and its registration.
#pragma once

#include <windows.h>

#include <string>

namespace framework {

// The window procedure of every window of ours: it hands each message to its control's
// WindowProc and any exception to the application's handler. Defined in WinControl.cpp, beside
// the control it serves.
LRESULT CALLBACK StdWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Registers the window class name with StdWndProc as its procedure, once per process.
void RegisterWindowClass(const std::wstring& name, UINT style);

}  // namespace framework
