// Drives a running PeUpdate.exe from outside, as a user would: finds its windows by caption,
// reads control texts, presses buttons, types, and reads and answers message boxes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "rtl/Handles.h"

namespace testing_support {

// A Windows path for a Unix path handed over by the build (Wine maps / to drive Z:).
std::wstring WindowsPath(const char* unixPath);

// A program started for a test; killed at the end of the test if it is still running.
class RunningProgram {
 public:
  RunningProgram(const std::wstring& exe, const std::wstring& workingFolder = L"", const std::wstring& arguments = L"");
  ~RunningProgram();
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  DWORD Id() const { return id_; }
  // The exit code, or STILL_ACTIVE when the program has not ended within the time.
  DWORD WaitForExit(DWORD milliseconds = 10000);
  // Ends the program at once, as a crash or the task manager would, and waits until it has gone.
  void Kill();

 private:
  rtl::TKernelHandle process_;
  DWORD id_ = 0;
};

// The first visible top-level window of the process with this caption (any caption when empty)
// and window class (any when empty); nullptr after the time is up.
HWND WaitForWindow(DWORD processId, const std::wstring& caption, const std::wstring& className = L"",
                   DWORD milliseconds = 10000);
std::wstring WindowText(HWND window);
// The first child (at any depth) whose text is exactly text; nullptr when there is none.
HWND FindChildByText(HWND parent, const std::wstring& text);
RECT ClientRectOnScreen(HWND window);

// The next message box of the process, or nullptr.
HWND WaitForMessageBox(DWORD processId, DWORD milliseconds = 10000);
// Replaces the text of an edit control as typing would (the control reports the change).
void SetEditText(HWND edit, const std::wstring& text);

// The window that has the focus in the thread of window, once it is wanted or the time is up.
HWND WaitForFocus(HWND window, HWND wanted, DWORD milliseconds = 5000);

// Presses a button as a click does, without waiting for what the click opens.
void Click(HWND button);

// What a message box shows, read from its controls.
struct MessageBoxContent {
  std::wstring caption;
  std::wstring text;
  std::vector<std::wstring> buttons;
};
MessageBoxContent ReadMessageBox(HWND box);
// The icon control of a message box, or nullptr when it shows none.
HWND MessageBoxIcon(HWND box);
// Whether the window, as the screen shows it, holds the colour within the time: red for the error
// icon, yellow for the exclamation icon (the icon belongs to the other process, so it is judged by
// its picture).
enum class IconColour { red, yellow };
bool Shows(HWND window, IconColour colour, DWORD milliseconds);
// Presses the box's button with this caption ("OK").
void Answer(HWND box, const std::wstring& button);

// Saves the whole screen as a PNG when PEUPDATE_SCREENSHOTS names a folder (Unix path).
void Screenshot(const std::string& name);

}  // namespace testing_support
