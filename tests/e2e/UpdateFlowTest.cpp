// The update as a user runs it: the real updater, driven through its windows from this process.
#include <gtest/gtest.h>

#include "Driver.h"
#include "Scenario.h"
#include "rtl/Handles.h"
#include "rtl/ScopeExit.h"
#include "support/ScratchFolder.h"

namespace {

using namespace testing_support;

std::vector<char> Payload() { return ReadWholeFile(ExeFromEnvironment("PEUPDATE_PAYLOAD_EXE")); }

// Opens the folder browser from the dialog, takes a screenshot if asked, and confirms its folder.
void BrowseAndConfirm(DWORD processId, HWND dialog, const std::string& screenshot = "") {
  Click(FindChildByText(dialog, Wide("参照(&R)...")));
  HWND browser = WaitForWindow(processId, Wide("フォルダの選択"), L"TfrmSelDir");
  ASSERT_NE(browser, nullptr) << "the folder browser did not appear";
  if (!screenshot.empty()) Screenshot(screenshot);
  Click(FindChildByText(browser, Wide("はい")));
  for (int waited = 0; IsWindow(browser) && IsWindowVisible(browser) && waited < 5000; waited += 20) Sleep(20);
}

class UpdateFlowTest : public ::testing::Test {
 protected:
  void ExpectButtonsBack() {
    for (int waited = 0; !IsVisible(scenario.main, Wide("アップデート")) && waited < 5000; waited += 50) Sleep(50);
    EXPECT_TRUE(IsVisible(scenario.main, Wide("アップデート")));
    EXPECT_TRUE(IsVisible(scenario.main, Wide("終了")));
    // "アップデート" has the focus again, so Enter starts the update as at start.
    HWND update = FindChildByText(scenario.main, Wide("アップデート"));
    EXPECT_EQ(WaitForFocus(scenario.main, update), update);
  }

  Scenario scenario;
};

TEST_F(UpdateFlowTest, TheWholeUpdateReplacesTheExecutableAndEnds) {
  scenario.StartInstalled(L"version_5_1_5_9.dll");
  RECT client = ClientRectOnScreen(scenario.main);
  EXPECT_EQ(client.right - client.left, 400);
  EXPECT_EQ(client.bottom - client.top, 360);
  for (auto [caption, left] : {std::pair{"アップデート", 52}, std::pair{"終了", 236}}) {
    RECT button = ClientRectOnScreen(FindChildByText(scenario.main, Wide(caption)));
    EXPECT_EQ(button.left - client.left, left) << caption;
    EXPECT_EQ(button.top - client.top, 278) << caption;
  }
  Screenshot("main-window");

  HWND dialog = scenario.OpenInstallFolderDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_FALSE(IsVisible(scenario.main, Wide("アップデート")));
  HWND edit = FindChildByText(dialog, scenario.folder.path());
  EXPECT_NE(edit, nullptr) << "the registered folder is not proposed";
  Screenshot("install-folder-dialog");

  // Holding the target open keeps the update window at work (it retries for two seconds) long
  // enough to be seen. Reading stays allowed, so the version check goes through.
  rtl::TFileHandle held(
      CreateFileW(scenario.Target().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  Begin(dialog);
  HWND working = WaitForWindow(scenario.Id(), L"", L"TfrmDoUpdate");
  EXPECT_NE(working, nullptr) << "the update window did not appear";
  // The window's thread is busy: ask it nothing, only look, once it has had the moment it takes
  // to paint itself before the work begins.
  if (working != nullptr) {
    Sleep(700);
    Screenshot("update-window");
  }
  held.reset();

  EXPECT_EQ(scenario.AnswerMessage("message-update-done"), Wide("アップデートは正常に終了しました"));
  EXPECT_EQ(scenario.WaitForExit(), 0u);
  EXPECT_EQ(ReadWholeFile(scenario.Target()), Payload());
}

TEST_F(UpdateFlowTest, CancellingShowsNoMessageAndWritesNothingAndTheExitButtonEnds) {
  scenario.StartInstalled(L"version_5_1_5_9.dll");
  std::vector<char> before = ReadWholeFile(scenario.Target());
  HWND dialog = scenario.OpenInstallFolderDialog();
  ASSERT_NE(dialog, nullptr);
  Click(FindChildByText(dialog, Wide("いいえ")));
  ExpectButtonsBack();
  EXPECT_EQ(WaitForMessageBox(scenario.Id(), 500), nullptr);
  EXPECT_EQ(ReadWholeFile(scenario.Target()), before);
  Click(FindChildByText(scenario.main, Wide("終了")));
  EXPECT_EQ(scenario.WaitForExit(), 0u);
}

TEST_F(UpdateFlowTest, InstalledCopiesTheUpdateDoesNotApplyToAreRefused) {
  struct Case {
    const wchar_t* fixture;
    const char* message;
    const char* screenshot;
  };
  const Case cases[] = {
      {L"version_5_1_6_0.dll", "お使いのぺらのちゃんは、アップデートの必要がありません", "message-no-update-needed"},
      {L"version_5_2_0_0.dll", "お使いのぺらのちゃんは、アップデートの必要がありません", ""},
      {L"version_4_9_9_0.dll", "このぺらのちゃんを、アップデートすることはできません", "message-cannot-update"},
      {L"version_6_0_0_0.dll", "このぺらのちゃんを、アップデートすることはできません", ""},
      {L"record_none.dll", "このぺらのちゃんを、アップデートすることはできません", ""},
  };
  scenario.StartInstalled(cases[0].fixture);
  HWND dialog = scenario.OpenInstallFolderDialog();
  ASSERT_NE(dialog, nullptr);
  for (const Case& each : cases) {
    scenario.Install(each.fixture);
    std::vector<char> before = ReadWholeFile(scenario.Target());
    Begin(dialog);
    EXPECT_EQ(scenario.AnswerMessage(each.screenshot), Wide(each.message)) << each.fixture;
    EXPECT_TRUE(IsWindowVisible(dialog)) << "the dialog closed for " << each.fixture;
    EXPECT_EQ(ReadWholeFile(scenario.Target()), before);
  }
}

// The start button follows the folder typed; the browser opens on the nearest existing folder.
TEST_F(UpdateFlowTest, AFolderWithoutTheExecutableDisablesTheStartButtonAndTheBrowserFindsTheNearestFolder) {
  CreateDirectoryW(scenario.folder.File(L"empty").c_str(), nullptr);
  CreateDirectoryW(scenario.folder.File(L"withFolder").c_str(), nullptr);
  CreateDirectoryW(scenario.folder.File(L"withFolder\\Pelano5.exe").c_str(), nullptr);
  scenario.StartInstalled(L"version_5_1_5_9.dll");
  HWND dialog = scenario.OpenInstallFolderDialog();
  ASSERT_NE(dialog, nullptr);
  HWND start = FindChildByText(dialog, Wide("開始"));
  HWND edit = FindChildByText(dialog, scenario.folder.path());
  ASSERT_NE(edit, nullptr);
  EXPECT_TRUE(IsWindowEnabled(start));
  SetEditText(edit, scenario.folder.File(L"empty"));
  EXPECT_FALSE(IsWindowEnabled(start));
  SetEditText(edit, scenario.folder.File(L"withFolder"));
  EXPECT_FALSE(IsWindowEnabled(start));
  SetEditText(edit, scenario.folder.path() + L"\\");
  EXPECT_TRUE(IsWindowEnabled(start)) << "a trailing backslash must not double";
  SetEditText(edit, scenario.folder.File(L"missing\\deeper"));
  EXPECT_FALSE(IsWindowEnabled(start));
  BrowseAndConfirm(scenario.Id(), dialog, "folder-browser");
  EXPECT_EQ(WindowText(edit), scenario.folder.path());
  EXPECT_TRUE(IsWindowEnabled(start));
}

TEST_F(UpdateFlowTest, AReadOnlyTargetFailsTwiceOverAndCanBeRetried) {
  scenario.StartInstalled(L"version_5_1_5_9.dll");
  std::vector<char> before = ReadWholeFile(scenario.Target());
  SetFileAttributesW(scenario.Target().c_str(), FILE_ATTRIBUTE_READONLY);
  HWND dialog = scenario.OpenInstallFolderDialog();
  ASSERT_NE(dialog, nullptr);
  Begin(dialog);
  EXPECT_EQ(scenario.AnswerMessage("message-read-only"),
            Wide("ファイルが読み取り専用になっているためアップデートできません\r\n") + scenario.Target());
  EXPECT_EQ(scenario.AnswerMessage("message-update-failed"), Wide("アップデート処理に失敗しました"));
  ExpectButtonsBack();
  EXPECT_EQ(ReadWholeFile(scenario.Target()), before);

  // Once the file may be written, the same updater goes through.
  SetFileAttributesW(scenario.Target().c_str(), FILE_ATTRIBUTE_NORMAL);
  dialog = scenario.OpenInstallFolderDialog();
  ASSERT_NE(dialog, nullptr);
  Begin(dialog);
  EXPECT_EQ(scenario.AnswerMessage(), Wide("アップデートは正常に終了しました"));
  EXPECT_EQ(scenario.WaitForExit(), 0u);
  EXPECT_EQ(ReadWholeFile(scenario.Target()), Payload());
}

// Without a registry entry the Program Files folder is proposed; the root of a drive chosen instead
// gives a target without a doubled backslash.
TEST_F(UpdateFlowTest, WithoutARegistryEntryProgramFilesIsProposedAndADriveRootGivesAPlainTarget) {
  // A read-only copy at the root of C: makes the updater show the target it computed.
  const wchar_t* rootTarget = L"C:\\Pelano5.exe";
  // The prefix outlives the test: the copy goes on every way out, a failed assertion included.
  auto removeCopy = [rootTarget] {
    SetFileAttributesW(rootTarget, FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(rootTarget);
  };
  removeCopy();
  rtl::TScopeExit removeAtExit(removeCopy);
  ASSERT_TRUE(CopyFileW(Fixture(L"version_5_1_5_9.dll").c_str(), rootTarget, FALSE));
  SetFileAttributesW(rootTarget, FILE_ATTRIBUTE_READONLY);
  scenario.Start();
  HWND dialog = scenario.OpenInstallFolderDialog();
  ASSERT_NE(dialog, nullptr);
  HWND edit = FindChildByText(dialog, ProgramFilesProposal());
  ASSERT_NE(edit, nullptr) << "the Program Files folder is not proposed";
  SetEditText(edit, L"C:\\");
  BrowseAndConfirm(scenario.Id(), dialog);
  EXPECT_EQ(WindowText(edit), L"C:\\");
  HWND start = FindChildByText(dialog, Wide("開始"));
  ASSERT_TRUE(IsWindowEnabled(start)) << "no executable found at the root";
  Click(start);
  EXPECT_EQ(scenario.AnswerMessage(),
            Wide("ファイルが読み取り専用になっているためアップデートできません\r\n") + rootTarget);
  EXPECT_EQ(scenario.AnswerMessage(), Wide("アップデート処理に失敗しました"));
}

}  // namespace
