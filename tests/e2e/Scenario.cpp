#include "Scenario.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "rtl/Sjis.h"

namespace testing_support {

namespace {
const wchar_t kRegistryKey[] = L"Pelano5.Application";
}

std::wstring Wide(const char* utf8) { return rtl::SjisToWide(rtl::Utf8ToSjis(utf8)); }

std::wstring ExeFromEnvironment(const char* variable) {
  const char* path = std::getenv(variable);
  return path ? WindowsPath(path) : std::wstring();
}

std::wstring Fixture(const std::wstring& name) { return ExeFromEnvironment("PEUPDATE_FIXTURES") + L"\\" + name; }

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool HasSize(const std::wstring& path, std::size_t size) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  return GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) && data.nFileSizeLow == size;
}

std::wstring ProgramFilesProposal() {
  wchar_t programFiles[MAX_PATH] = L"";
  ExpandEnvironmentStringsW(L"%ProgramFiles%", programFiles, MAX_PATH);
  return std::wstring(programFiles) + L"\\PELANO5W";
}

Scenario::Scenario() { Unregister(); }

Scenario::~Scenario() {
  updater_.reset();
  Unregister();
}

void Scenario::Install(const std::wstring& fixture) {
  ASSERT_TRUE(CopyFileW(Fixture(fixture).c_str(), Target().c_str(), FALSE)) << "fixture missing";
}

void Scenario::Register(const std::wstring& installFolder) {
  std::wstring key = std::wstring(kRegistryKey) + L"\\dstDir";
  ASSERT_EQ(RegSetValueW(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, installFolder.c_str(),
                         static_cast<DWORD>(installFolder.size() * sizeof(wchar_t))),
            ERROR_SUCCESS);
}

void Scenario::Unregister() { RegDeleteTreeW(HKEY_CLASSES_ROOT, kRegistryKey); }

void Scenario::Start(const std::wstring& exe, const std::wstring& title) {
  title_ = title;
  updater_ = std::make_unique<RunningProgram>(exe);
  main = WaitForWindow(updater_->Id(), title_, L"TfrmMain");
  ASSERT_NE(main, nullptr) << "the main window did not appear";
}

void Scenario::StartInstalled(const std::wstring& fixture, const std::wstring& exe) {
  Install(fixture);
  Register(folder.path());
  Start(exe);
}

HWND Scenario::OpenInstallFolderDialog() {
  HWND button = FindChildByText(main, Wide("アップデート"));
  EXPECT_NE(button, nullptr);
  if (button == nullptr) return nullptr;
  Click(button);
  HWND dialog = WaitForWindow(Id(), title_, L"TfrmInputPath");
  EXPECT_NE(dialog, nullptr) << "the install-folder dialog did not appear";
  return dialog;
}

bool Scenario::KillUpdateWhen(const std::wstring& exe, const std::function<bool()>& reached, DWORD delay) {
  Start(exe);
  HWND dialog = OpenInstallFolderDialog();
  if (dialog == nullptr) return false;
  Begin(dialog);
  for (int waited = 0; !reached() && waited < 20000; ++waited) Sleep(1);
  if (!reached()) return false;
  Sleep(delay);
  Kill();
  return true;
}

std::wstring Scenario::AnswerMessage(const std::string& screenshot) {
  HWND box = WaitForMessageBox(Id());
  EXPECT_NE(box, nullptr) << "no message appeared";
  if (box == nullptr) return L"";
  if (!screenshot.empty()) Screenshot(screenshot);
  MessageBoxContent content = ReadMessageBox(box);
  EXPECT_EQ(content.caption, title_);
  EXPECT_EQ(content.buttons, std::vector<std::wstring>{L"OK"});
  HWND icon = MessageBoxIcon(box);
  EXPECT_TRUE(Shows(icon, IconColour::yellow, 3000)) << "no exclamation icon";
  EXPECT_FALSE(Shows(icon, IconColour::red, 0)) << "the error icon";
  Answer(box, L"OK");
  // Wait until the box is gone, so the next wait does not find it again.
  for (int waited = 0; IsWindow(box) && waited < 5000; waited += 20) Sleep(20);
  return content.text;
}

void Begin(HWND dialog) { Click(FindChildByText(dialog, Wide("開始"))); }

bool IsVisible(HWND parent, const std::wstring& childText) {
  HWND child = FindChildByText(parent, childText);
  return child != nullptr && IsWindowVisible(child);
}

}  // namespace testing_support
