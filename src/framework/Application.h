// The application object: its title, exception handler slot, message boxes and message loop.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "rtl/Exception.h"

namespace framework {

class TApplication {
 public:
  using ExceptionHandler = std::function<void(const std::exception&)>;

  // The title is CP932; it is the text of the application's taskbar entry.
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& title) { title_ = title; }

  // Shows a modal message box owned by the application: every window of the application is
  // disabled while it is up, then enabled again, and the window that was active is activated.
  // Text and caption are CP932. Returns the box's result.
  int MessageBox(const std::string& text, const std::string& caption, UINT flags);

  // The handler an operation installs to take the exceptions that reach the message loop;
  // without one, the standard report is shown.
  void SetOnException(ExceptionHandler handler) { onException_ = std::move(handler); }
  const ExceptionHandler& OnException() const { return onException_; }
  void HandleException(const std::exception& error);
  // The standard report: the title as caption, the error icon and the message, with "." appended
  // when its last character sorts after ".".
  void ShowException(const std::exception& error);

  void Terminate();
  bool Terminated() const { return terminated_; }

 private:
  std::string title_;
  ExceptionHandler onException_;
  bool terminated_ = false;
};

TApplication& Application();

// The text of any exception in CP932: the message of ours, what() of the library's.
std::string ExceptionMessage(const std::exception& error);

}  // namespace framework
