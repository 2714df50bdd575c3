// An installed copy for one end-to-end test: a scratch folder holding "Pelano5.exe" (a fixture
// with a given version), the registry entry that names the folder, and the running updater.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Driver.h"
#include "support/ScratchFolder.h"

namespace testing_support {

// A UTF-8 literal as the wide text a window shows.
std::wstring Wide(const char* utf8);
std::wstring ExeFromEnvironment(const char* variable);
// A file the build leaves beside the app tests (fixtures with version information).
std::wstring Fixture(const std::wstring& name);
bool Exists(const std::wstring& path);
bool HasSize(const std::wstring& path, std::size_t size);
// The folder the install-folder dialog proposes when no folder is registered.
std::wstring ProgramFilesProposal();

class Scenario {
 public:
  Scenario();
  ~Scenario();

  testing_support::ScratchFolder folder;
  std::wstring Target() const { return folder.File(L"Pelano5.exe"); }
  // Copies a fixture in as the installed executable.
  void Install(const std::wstring& fixture);
  void Register(const std::wstring& installFolder);
  static void Unregister();

  // Starts the updater and waits for its main window, which carries the title: by default the
  // tree's own updater (PEUPDATE_EXE) with the stand-in's version.
  void Start(const std::wstring& exe = ExeFromEnvironment("PEUPDATE_EXE"),
             const std::wstring& title = Wide("ぺらの5.16アップデーター"));
  // Installs the fixture, registers the scratch folder and starts the updater.
  void StartInstalled(const std::wstring& fixture, const std::wstring& exe = ExeFromEnvironment("PEUPDATE_EXE"));
  DWORD Id() const { return updater_->Id(); }
  void Kill() { updater_->Kill(); }
  DWORD WaitForExit(DWORD milliseconds = 10000) { return updater_->WaitForExit(milliseconds); }
  HWND main = nullptr;

  // Presses "アップデート" and waits for the install-folder dialog.
  HWND OpenInstallFolderDialog();
  // Starts exe, begins the update and kills the updater delay ms after reached() first holds;
  // false when that moment never came.
  bool KillUpdateWhen(const std::wstring& exe, const std::function<bool()>& reached, DWORD delay = 0);
  // Waits for a message box, checks it carries the title, and answers OK; returns its text.
  std::wstring AnswerMessage(const std::string& screenshot = "");

 private:
  std::unique_ptr<RunningProgram> updater_;
  std::wstring title_;
};

bool IsVisible(HWND parent, const std::wstring& childText);
// Presses "開始" in the install-folder dialog.
void Begin(HWND dialog);

}  // namespace testing_support
