#include "framework/Application.h"

#include "framework/Errors.h"
#include "framework/Form.h"
#include "framework/TaskWindowDisabler.h"
#include "rtl/Sjis.h"

namespace framework {

namespace {

// The running program's file name without its extension, in CP932.
std::string ProgramName() {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring name(path, length < MAX_PATH ? length : 0);
  name.erase(0, name.find_last_of(L"\\/") + 1);
  std::size_t dot = name.find_last_of(L'.');
  if (dot != std::wstring::npos) name.erase(dot);
  return rtl::WideToSjis(name);
}

}  // namespace

TApplication::TApplication() : TComponent(nullptr), title_(ProgramName()) {}

TApplication& Application() {
  static TApplication application;
  return application;
}

const TClass& TApplication::StaticClass() {
  static const TClass info = TClassBuilder<TApplication>("TApplication", &TComponent::StaticClass());
  return info;
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, UINT flags) {
  HWND active = GetActiveWindow();
  std::wstring wideText = rtl::SjisToWide(text);
  std::wstring wideCaption = rtl::SjisToWide(caption);
  int result;
  {
    TTaskWindowDisabler disabled;
    // The owner is disabled like every other window of ours; the box itself stays usable.
    result = ::MessageBoxW(active, wideText.c_str(), wideCaption.c_str(), flags);
  }
  if (active && IsWindow(active)) SetActiveWindow(active);
  return result;
}

std::string ExceptionMessage(const std::exception& error) {
  if (auto* own = dynamic_cast<const rtl::Exception*>(&error)) return own->Message;
  return error.what();
}

void TApplication::HandleException(const std::exception& error) {
  try {
    if (onException_) {
      ExceptionHandler handler = onException_;  // the handler may replace itself
      handler(error);
    } else {
      ShowException(error);
    }
  } catch (const std::exception& nested) {
    try {
      ShowException(nested);
    } catch (...) {
    }
  } catch (...) {
    try {
      ShowException(rtl::Exception(texts::UnknownException()));
    } catch (...) {
    }
  }
}

void TApplication::ShowException(const std::exception& error) {
  std::string message = ExceptionMessage(error);
  std::size_t last = rtl::LastCharStart(message);
  if (last != std::string::npos && static_cast<unsigned char>(message[last]) > '.') message += '.';
  MessageBox(message, title_, MB_OK | MB_ICONSTOP);
}

void ShowLastResortReport(const std::exception& error) {
  std::wstring text = rtl::SjisToWide(ExceptionMessage(error));
  std::wstring title = rtl::SjisToWide(texts::LastResortTitle());
  MessageBoxW(nullptr, text.c_str(), title.c_str(), MB_OK | MB_ICONSTOP | MB_TASKMODAL);
}

void TApplication::Terminate() { PostQuitMessage(0); }

void TApplication::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == TOperation::opRemove && component == mainForm_) mainForm_ = nullptr;
}

bool TApplication::ProcessMessage(MSG& message) {
  if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) return false;
  if (message.message == WM_QUIT) {
    terminated_ = true;
    return true;
  }
  bool handled = false;
  if (message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST && message.hwnd != nullptr) {
    try {
      if (auto* form = dynamic_cast<TForm*>(TWinControl::FromHandle(GetAncestor(message.hwnd, GA_ROOT)))) {
        handled = form->DialogMessage(message);
      }
    } catch (const std::exception& error) {
      HandleException(error);
      handled = true;
    } catch (...) {
      HandleException(rtl::Exception(texts::UnknownException()));
      handled = true;
    }
  }
  if (!handled) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return true;
}

void TApplication::HandleMessage() {
  MSG message;
  if (!ProcessMessage(message)) WaitMessage();
}

void TApplication::ProcessMessages() {
  MSG message;
  while (ProcessMessage(message)) {
  }
}

int TApplication::Run(const std::function<void()>& startUp) {
  terminated_ = false;
  try {
    if (startUp) startUp();
  } catch (const std::exception& error) {
    ShowLastResortReport(error);
    DestroyComponents();
    return 1;
  } catch (...) {
    ShowLastResortReport(rtl::Exception(texts::UnknownException()));
    DestroyComponents();
    return 1;
  }
  if (mainForm_ != nullptr) {
    try {
      mainForm_->Show();
    } catch (const std::exception& error) {
      HandleException(error);
    }
    while (!terminated_) HandleMessage();
  }
  DestroyComponents();
  return 0;
}

}  // namespace framework
