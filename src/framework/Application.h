// The application object: its title, exception handler slot, message boxes, forms and message loop.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/Component.h"
#include "rtl/Exception.h"

namespace framework {

class TForm;

// The application owns the forms it creates; the first one is the main form.
class TApplication : public TComponent {
 public:
  using ExceptionHandler = std::function<void(const std::exception&)>;

  static const TClass& StaticClass();
  const TClass& ClassType() const override { return StaticClass(); }

  // The title starts as the program's name: its file name without the extension.
  TApplication();

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
  // Never throws: an exception from the handler itself gets the standard report.
  void HandleException(const std::exception& error);
  // The standard report: the title as caption, the error icon and the message, with "." appended
  // when its last character sorts after ".".
  void ShowException(const std::exception& error);

  // Creates a form of class T owned by the application; the first one becomes the main form.
  template <typename T>
  T* CreateForm() {
    T* form = new T(this);
    if (mainForm_ == nullptr) mainForm_ = form;
    return form;
  }
  TForm* MainForm() const { return mainForm_; }

  // Runs the process: startUp (which creates the forms), then shows the main form and runs the
  // message loop until the quit request; then the forms are destroyed. An exception escaping
  // startUp gets the last-resort report. Returns the exit code: 0, or 1 after that report.
  int Run(const std::function<void()>& startUp);
  // Takes one message from the queue and handles it (keyboard interface of forms, then dispatch);
  // false when the queue was empty. A WM_QUIT sets Terminated.
  bool ProcessMessage(MSG& message);
  // Handles one message, waiting for one if none is queued.
  void HandleMessage();
  // Handles every message queued now.
  void ProcessMessages();

  // Posts the quit request; the loops end when they reach it.
  void Terminate();
  bool Terminated() const { return terminated_; }

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  std::string title_;
  ExceptionHandler onException_;
  TForm* mainForm_ = nullptr;  // owned as a component
  bool terminated_ = false;
};

TApplication& Application();

// The text of any exception in CP932: the message of ours, what() of the library's.
std::string ExceptionMessage(const std::exception& error);

// The process's report of an exception that nothing else handled: a task-modal box titled
// "ｱﾌﾟﾘｹｰｼｮﾝ ｴﾗｰ" with the error icon and the exception's message.
void ShowLastResortReport(const std::exception& error);

}  // namespace framework
