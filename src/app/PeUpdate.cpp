// The process entry: reads the update version, sets the title and shows it.
#include <windows.h>

#include "app/UMessage.h"
#include "framework/Application.h"
#include "imaging/UStartup.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  auto& application = framework::Application();
  try {
    const imaging::TImagingStartup imagingStartup;
    app::ReadUpdateVersion();
    application.SetTitle(app::FormatAppTitle());
    app::ShowAppMessage(application.Title());
  } catch (const std::exception& error) {
    application.ShowException(error);
    return 1;
  }
  return 0;
}
