// The process entry: creates the main window and runs the message loop until it closes.
#include <windows.h>

#include <cstdlib>

#include "app/FMain.h"
#include "app/SingleInstance.h"
#include "framework/Application.h"
#include "imaging/UStartup.h"
#include "rtl/SystemDlls.h"

// The runtime's default terminate handler writes the exception's demangled type to a console that
// this program does not have; ending quietly instead keeps the demangler (some 45 KB) out of it.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  rtl::RestrictDllSearchToSystemFolder();
  app::TSingleInstance instance;
  if (!instance.First()) {
    instance.BringFirstToFront();
    return 0;
  }
  auto& application = framework::Application();
  const imaging::TImagingStartup imagingStartup;
  return application.Run(
      [&application, &instance] { instance.Publish(application.CreateForm<app::TfrmMain>()->Handle()); });
}
