// The process entry: creates the main window and runs the message loop until it closes.
#include <windows.h>

#include "app/FMain.h"
#include "framework/Application.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  auto& application = framework::Application();
  return application.Run([&application] { application.CreateForm<app::TfrmMain>(); });
}
