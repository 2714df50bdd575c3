// What Windows does to an updater and Wine does not unless told: DLLs planted beside it, install
// folders in another script than the system's code page, and an update killed half-way.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <iostream>

#include "Driver.h"
#include "Scenario.h"
#include "support/Registry.h"
#include "support/ScratchFolder.h"

namespace {

using namespace testing_support;

// Tells Wine to load these DLLs native-first for every program named PeUpdate.exe, as long as it
// lives. Wine prefers its own DLLs wherever it finds a file of that name; Windows takes the first
// file it finds, and native-first makes Wine search as Windows does.
class NativeFirst {
 public:
  explicit NativeFirst(std::initializer_list<const wchar_t*> names) {
    rtl::TRegistryKey key = CreateKey(HKEY_CURRENT_USER, kKey);
    EXPECT_TRUE(key);
    const wchar_t order[] = L"native,builtin";
    for (const wchar_t* name : names) {
      RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(order), sizeof order);
    }
  }
  ~NativeFirst() { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\PeUpdate.exe"); }
  NativeFirst(const NativeFirst&) = delete;
  NativeFirst& operator=(const NativeFirst&) = delete;

 private:
  static constexpr const wchar_t* kKey = L"Software\\Wine\\AppDefaults\\PeUpdate.exe\\DllOverrides";
};

// Runs the whole update with the scenario's installed copy, from the dialog's proposal.
void UpdateFromTheProposal(Scenario& scenario, const std::wstring& expectedFolder) {
  HWND dialog = scenario.OpenInstallFolderDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_NE(FindChildByText(dialog, expectedFolder), nullptr) << "the folder is not proposed exactly";
  Begin(dialog);
  EXPECT_EQ(scenario.AnswerMessage(), Wide("アップデートは正常に終了しました"));
  EXPECT_EQ(scenario.WaitForExit(), 0u);
}

// Windows looks for a DLL that is not a KnownDLL in the program's folder first. Planted there, mpr
// and winspool must not be loaded at all. Wine's own DLLs import and call version.dll (on Windows
// the KnownDLLs take their imports from the system folder alone), so under Wine a planted
// version.dll is in the process whatever the updater does: for it, the update going through shows
// that the updater read the installed version through the system's version.dll, since every
// version function of the planted one fails.
TEST(PlantedDllTest, DllsPlantedBesideTheUpdaterAreNeverUsed) {
  Scenario scenario;
  ScratchFolder downloads;
  std::wstring planted = ExeFromEnvironment("PEUPDATE_PLANTED_DLL");
  // The mark works: the planted DLL loaded under a name of its own leaves one; its functions fail.
  std::wstring probe = downloads.File(L"probe.dll");
  ASSERT_TRUE(CopyFileW(planted.c_str(), probe.c_str(), FALSE));
  HMODULE loaded = LoadLibraryW(probe.c_str());
  ASSERT_NE(loaded, nullptr);
  auto* size = reinterpret_cast<DWORD(WINAPI*)(LPCWSTR, LPDWORD)>(
      reinterpret_cast<void*>(GetProcAddress(loaded, "GetFileVersionInfoSizeW")));
  ASSERT_NE(size, nullptr);
  EXPECT_EQ(size(Fixture(L"version_5_1_5_9.dll").c_str(), nullptr), 0u);
  FreeLibrary(loaded);
  EXPECT_TRUE(Exists(probe + L".loaded"));

  // The updater as a browser leaves it in the downloads folder, among DLLs of system names.
  std::wstring exe = downloads.File(L"PeUpdate.exe");
  ASSERT_TRUE(CopyFileW(ExeFromEnvironment("PEUPDATE_EXE").c_str(), exe.c_str(), FALSE));
  for (const wchar_t* name : {L"version.dll", L"mpr.dll", L"winspool.drv"}) {
    ASSERT_TRUE(CopyFileW(planted.c_str(), downloads.File(name).c_str(), FALSE));
  }
  const NativeFirst nativeFirst{L"version", L"mpr", L"winspool.drv"};
  scenario.StartInstalled(L"version_5_1_5_9.dll", exe);
  UpdateFromTheProposal(scenario, scenario.folder.path());
  EXPECT_EQ(ReadWholeFile(scenario.Target()), ReadWholeFile(ExeFromEnvironment("PEUPDATE_PAYLOAD_EXE")));
  for (const wchar_t* name : {L"mpr.dll", L"winspool.drv"}) {
    EXPECT_FALSE(Exists(downloads.File(name) + L".loaded")) << name << " was loaded";
  }
}

// Registry and environment as the system stores them (UTF-16) reach the updater whole, under the
// default code page and under 932 alike (the e2e_cp932 test runs these once more).
class SystemTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* expected = std::getenv("PEUPDATE_EXPECT_ACP");
    if (expected != nullptr) {
      ASSERT_EQ(GetACP(), static_cast<UINT>(std::atoi(expected)));
    } else {
      ASSERT_NE(GetACP(), 932u) << "the default run must see another code page than 932";
    }
  }
  Scenario scenario;
};

TEST_F(SystemTextTest, AJapaneseInstallFolderRegisteredUnderClassesRootIsProposedAndUpdated) {
  std::wstring installed = scenario.folder.File(Wide("ぺらの表示"));  // 表 ends in the byte 0x5C
  ASSERT_TRUE(CreateDirectoryW(installed.c_str(), nullptr));
  std::wstring target = installed + L"\\Pelano5.exe";
  ASSERT_TRUE(CopyFileW(Fixture(L"version_5_1_5_9.dll").c_str(), target.c_str(), FALSE));
  scenario.Register(installed);
  scenario.Start();
  UpdateFromTheProposal(scenario, installed);
  EXPECT_EQ(ReadWholeFile(target), ReadWholeFile(ExeFromEnvironment("PEUPDATE_PAYLOAD_EXE")));
}

TEST_F(SystemTextTest, AFolderCodePage932CannotNameIsRefusedAndNotGuessed) {
  std::wstring installed = scenario.folder.File(L"\uD55C\uAE00");  // Hangul
  ASSERT_TRUE(CreateDirectoryW(installed.c_str(), nullptr));
  scenario.Register(installed);
  scenario.Start();
  Click(FindChildByText(scenario.main, Wide("アップデート")));
  EXPECT_EQ(scenario.AnswerMessage(), Wide("このぺらのちゃんを、アップデートすることはできません"));
  HWND dialog = WaitForWindow(scenario.Id(), Wide("ぺらの5.16アップデーター"), L"TfrmInputPath");
  ASSERT_NE(dialog, nullptr);
  EXPECT_NE(FindChildByText(dialog, ProgramFilesProposal()), nullptr);
}

// The real updater killed again and again while it writes a large update, at moments told by what
// it has left beside the target so far: the installed executable is the old one or the new one
// every time, and the next update goes through and leaves nothing of ours behind.
TEST(InterruptedUpdateTest, KillingTheUpdaterAtAnyMomentLeavesTheExecutableWhole) {
  Scenario scenario;
  const std::wstring exe = ExeFromEnvironment("PEUPDATE_EXE_LARGE");
  const std::vector<char> large = ReadWholeFile(ExeFromEnvironment("PEUPDATE_LARGE_PAYLOAD_EXE"));
  scenario.Install(L"version_5_1_5_9.dll");
  const std::vector<char> old = ReadWholeFile(scenario.Target());
  scenario.Register(scenario.folder.path());
  const std::wstring fresh = scenario.Target() + L".PeUpdate-new";
  const std::wstring backup = scenario.Target() + L".PeUpdate-old";
  // Each moment: a condition on the folder, then a delay.
  struct Moment {
    const char* when;
    std::function<bool()> reached;
    DWORD delay;
  };
  auto freshThere = [&] { return Exists(fresh); };
  auto backupThere = [&] { return Exists(backup); };
  auto renamed = [&] { return HasSize(scenario.Target(), large.size()); };
  const Moment moments[] = {
      {"the new content is being written", freshThere, 0},   {"the new content is being written", freshThere, 10},
      {"the new content is being written", freshThere, 60},  {"the new content is being written", freshThere, 200},
      {"the old file has its second name", backupThere, 0},  {"the old file has its second name", backupThere, 1},
      {"the new file took the target's place", renamed, 0},  {"the new file took the target's place", renamed, 5},
      {"the new file took the target's place", renamed, 30}, {"the new file took the target's place", renamed, 150},
  };
  int keptOld = 0;
  int foundNew = 0;
  int mended = 0;
  for (const Moment& moment : moments) {
    SCOPED_TRACE(testing::Message() << "killed " << moment.delay << " ms after " << moment.when);
    ASSERT_TRUE(scenario.KillUpdateWhen(exe, moment.reached, moment.delay)) << "the moment never came";
    std::vector<char> now = ReadWholeFile(scenario.Target());
    ASSERT_TRUE(now == old || now == large) << "the target is neither the old file nor the new one ("
                                            << now.size() << " bytes)";
    if (now == old) ++keptOld;
    if (now == large) ++foundNew;
    // Unless the kill came after the update had finished, the next update mends what it left, at
    // its confirmed replacement (an update cut short after the new file took its place is still
    // judged by our backup of the old one), and leaves the new file alone in the folder. Then the
    // old copy goes back, so the next moment starts from a clean folder and is not met early by
    // this kill's leftovers.
    if (scenario.folder.Entries() != std::vector<std::wstring>{L"Pelano5.exe"}) {
      ++mended;
      scenario.Start(exe);
      UpdateFromTheProposal(scenario, scenario.folder.path());
      EXPECT_TRUE(ReadWholeFile(scenario.Target()) == large) << "the next update did not write the payload";
      ASSERT_EQ(scenario.folder.Entries(), std::vector<std::wstring>{L"Pelano5.exe"});
    }
    scenario.Install(L"version_5_1_5_9.dll");
  }
  // Both outcomes were met: the kills fell before the replacement and after it, not all on one side.
  EXPECT_GT(keptOld, 0) << "no kill came before the replacement";
  EXPECT_GT(foundNew, 0) << "no kill came after the replacement";
  std::cout << keptOld << " of " << std::size(moments) << " kills left the old file, " << foundNew
            << " the new one; " << mended << " left files of ours that the next update mended\n";
}

}  // namespace
