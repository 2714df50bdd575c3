// The updater runs as an administrator in a folder that other users may write to, and users start it
// twice and run scanners: links planted among its files, a second copy, files held by other programs
// and paths longer than MAX_PATH, with the real updater.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "Driver.h"
#include "Scenario.h"
#include "rtl/Handles.h"
#include "support/ScratchFolder.h"

namespace {

using namespace testing_support;

std::wstring LastName(const std::wstring& path) { return path.substr(path.find_last_of(L'\\') + 1); }

class HostileFolderTest : public ::testing::Test {
 protected:
  // Links named as the updater's own files beside the target, leading to files outside the folder,
  // as a local user could plant them. Unix links made from the Unix side: Wine opens, deletes and
  // writes through them as Windows does through a junction and an object-manager link.
  void PlantLinks() {
    for (const wchar_t* suffix : {L".PeUpdate-new", L".PeUpdate-old"}) {
      std::wstring name = std::wstring(L"Pelano5.exe") + suffix;
      std::wstring outside = elsewhere.File(name);
      std::vector<char> content(name.begin(), name.end());
      WriteWholeFile(outside, content);
      outsideFiles[outside] = content;
      // Wine starts a Unix program without a process to wait for: the link is waited for instead.
      RunningProgram ln(L"Z:\\bin\\ln", scenario.folder.path(),
                             L"-s ../" + LastName(elsewhere.path()) + L"/" + name + L" " + name);
      for (int waited = 0; !Exists(scenario.folder.File(name)) && waited < 5000; waited += 20) Sleep(20);
      ASSERT_EQ(ReadWholeFile(scenario.folder.File(name)), content) << "no link planted";
    }
  }
  void ExpectOutsideUnchanged(const char* after) {
    for (const auto& [path, content] : outsideFiles) EXPECT_EQ(ReadWholeFile(path), content) << after;
  }

  Scenario scenario;
  ScratchFolder elsewhere;
  std::map<std::wstring, std::vector<char>> outsideFiles;
};

// Links planted at the updater's own names, leading to files outside the folder: nothing outside
// changes after a cancelled dialog, a failed update, an update killed at each step (it takes the
// next names) or the update after those, which leaves the links where they were. (What a kill
// leaves is cleared before the next one, so that each moment is told apart; what the last one left
// is mended by the update after it.)
TEST_F(HostileFolderTest, LinksAmongTheUpdatersFilesLeadNothingOutsideTheFolderAstray) {
  const std::wstring exe = ExeFromEnvironment("PEUPDATE_EXE_LARGE");
  const std::vector<char> large = ReadWholeFile(ExeFromEnvironment("PEUPDATE_LARGE_PAYLOAD_EXE"));
  scenario.Install(L"version_5_1_5_9.dll");
  const std::vector<char> old = ReadWholeFile(scenario.Target());
  scenario.Register(scenario.folder.path());
  PlantLinks();
  scenario.Start(exe);
  HWND dialog = scenario.OpenInstallFolderDialog();
  ASSERT_NE(dialog, nullptr);
  Click(FindChildByText(dialog, Wide("いいえ")));
  for (int waited = 0; IsWindowVisible(dialog) && waited < 5000; waited += 50) Sleep(50);
  ExpectOutsideUnchanged("a cancelled dialog");
  SetFileAttributesW(scenario.Target().c_str(), FILE_ATTRIBUTE_READONLY);
  dialog = scenario.OpenInstallFolderDialog();
  ASSERT_NE(dialog, nullptr);
  Begin(dialog);
  scenario.AnswerMessage();
  EXPECT_EQ(scenario.AnswerMessage(), Wide("アップデート処理に失敗しました"));
  ExpectOutsideUnchanged("a failed update");
  SetFileAttributesW(scenario.Target().c_str(), FILE_ATTRIBUTE_NORMAL);
  scenario.Kill();

  const std::wstring fresh = scenario.Target() + L".PeUpdate-new2";
  const std::wstring backup = scenario.Target() + L".PeUpdate-old2";
  struct Moment {
    const char* when;
    std::function<bool()> reached;
  };
  const Moment moments[] = {
      {"the new content is being written", [&] { return Exists(fresh); }},
      {"the old file has its second name", [&] { return Exists(backup); }},
      {"the new file took the target's place", [&] { return HasSize(scenario.Target(), large.size()); }},
  };
  for (const Moment& moment : moments) {
    SCOPED_TRACE(moment.when);
    if (&moment != moments) {
      DeleteFileW(fresh.c_str());
      DeleteFileW(backup.c_str());
      scenario.Install(L"version_5_1_5_9.dll");
    }
    ASSERT_TRUE(scenario.KillUpdateWhen(exe, moment.reached)) << "the moment never came";
    std::vector<char> now = ReadWholeFile(scenario.Target());
    EXPECT_TRUE(now == old || now == large) << now.size() << " bytes";
    ExpectOutsideUnchanged(moment.when);
  }
  scenario.Start(exe);
  dialog = scenario.OpenInstallFolderDialog();
  ASSERT_NE(dialog, nullptr);
  Begin(dialog);
  EXPECT_EQ(scenario.AnswerMessage(), Wide("アップデートは正常に終了しました"));
  EXPECT_TRUE(ReadWholeFile(scenario.Target()) == large);
  ExpectOutsideUnchanged("the update after the kills");
  EXPECT_EQ(scenario.folder.Entries().size(), 3u);
}

// A second updater started while one runs brings the first one's dialog to the front and ends,
// touching nothing.
TEST_F(HostileFolderTest, ASecondUpdaterBringsTheFirstToTheFrontAndEnds) {
  WriteWholeFile(scenario.Target() + L".PeUpdate-new", {'l', 'e', 'f', 't'});
  scenario.StartInstalled(L"version_5_1_5_9.dll");
  HWND dialog = scenario.OpenInstallFolderDialog();
  ASSERT_NE(dialog, nullptr);
  HWND other = CreateWindowExW(0, L"STATIC", L"another program", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                               nullptr, nullptr, nullptr);
  SetForegroundWindow(other);
  ASSERT_EQ(GetForegroundWindow(), other);

  RunningProgram second(ExeFromEnvironment("PEUPDATE_EXE"));
  EXPECT_EQ(second.WaitForExit(), 0u);
  // Activation reaches the window manager's side a moment after the call that asked for it.
  for (int waited = 0; GetForegroundWindow() != dialog && waited < 3000; waited += 20) Sleep(20);
  EXPECT_EQ(GetForegroundWindow(), dialog);
  DestroyWindow(other);
  EXPECT_EQ(ReadWholeFile(scenario.Target() + L".PeUpdate-new"), (std::vector<char>{'l', 'e', 'f', 't'}));
  Begin(dialog);
  EXPECT_EQ(scenario.AnswerMessage(), Wide("アップデートは正常に終了しました"));
  EXPECT_EQ(scenario.WaitForExit(), 0u);
}

// Another program holds the target for seconds, with each way of sharing it that still lets the
// version be read: the update waits and goes through, and its window answers all the while.
TEST_F(HostileFolderTest, ATargetHeldForSecondsIsWaitedForWithTheWindowAnswering) {
  for (DWORD share : {FILE_SHARE_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE}) {
    SCOPED_TRACE(share);
    scenario.StartInstalled(L"version_5_1_5_9.dll");
    HWND dialog = scenario.OpenInstallFolderDialog();
    ASSERT_NE(dialog, nullptr);
    rtl::TFileHandle held(
        CreateFileW(scenario.Target().c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    const DWORD heldSince = GetTickCount();
    Begin(dialog);
    HWND working = WaitForWindow(scenario.Id(), L"", L"TfrmDoUpdate");
    ASSERT_NE(working, nullptr);
    int answers = 0;
    while (GetTickCount() - heldSince < 5000) {
      DWORD_PTR result = 0;
      DWORD asked = GetTickCount();
      ASSERT_NE(SendMessageTimeoutW(working, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result), 0)
          << "no answer within a second, " << asked - heldSince << " ms into the wait";
      if (++answers == 10 && share == FILE_SHARE_READ) Screenshot("update-window-waiting");
      Sleep(200);
    }
    held.reset();
    EXPECT_GT(answers, 10);
    EXPECT_EQ(scenario.AnswerMessage(), Wide("アップデートは正常に終了しました"));
    EXPECT_EQ(scenario.WaitForExit(), 0u);
    EXPECT_EQ(ReadWholeFile(scenario.Target()), ReadWholeFile(ExeFromEnvironment("PEUPDATE_PAYLOAD_EXE")));
  }
}

// A folder of 250 characters: the target's path is too long for its version to be read, and it is
// refused as not updatable before anything is written. (Shorter targets whose path with the
// updater's own names passes MAX_PATH are updated: see the replacement's tests.)
TEST_F(HostileFolderTest, ATargetTooLongForItsVersionToBeReadIsRefusedBeforeAnythingIsWritten) {
  const std::wstring deep = scenario.folder.path() + L"\\" + std::wstring(249 - scenario.folder.path().size(), L'd');
  ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
  ASSERT_TRUE(CopyFileW(Fixture(L"version_5_1_5_9.dll").c_str(), (deep + L"\\Pelano5.exe").c_str(), FALSE));
  const std::vector<char> before = ReadWholeFile(deep + L"\\Pelano5.exe");
  scenario.Register(deep);
  scenario.Start();
  HWND dialog = scenario.OpenInstallFolderDialog();
  ASSERT_NE(dialog, nullptr);
  Begin(dialog);
  EXPECT_EQ(scenario.AnswerMessage(), Wide("このぺらのちゃんを、アップデートすることはできません"));
  EXPECT_EQ(ReadWholeFile(deep + L"\\Pelano5.exe"), before);
  EXPECT_EQ(ScratchFolder::EntriesOf(deep), std::vector<std::wstring>{L"Pelano5.exe"});
}

}  // namespace
