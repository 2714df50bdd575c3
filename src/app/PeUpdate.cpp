// The process entry: creates the main window and runs the message loop until it closes.
#include <windows.h>

#include "app/FMain.h"
#include "framework/Application.h"
#include "imaging/UStartup.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  auto& application = framework::Application();
  const imaging::TImagingStartup imagingStartup;
  return application.Run([&application] { application.CreateForm<app::TfrmMain>(); });
}
