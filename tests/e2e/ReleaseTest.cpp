// Updaters that scripts/make-update.sh made for the 5.2.3.0 stand-in, unsigned and signed, run as a
// user runs them: their record, not the tree's, decides what they update.
#include <gtest/gtest.h>

#include "Driver.h"
#include "Scenario.h"
#include "support/ScratchFolder.h"

namespace {

using namespace testing_support;

TEST(ReleaseTest, TheMadeUpdatersUpdateAnInstalled5_2_1AndFindA5_2_3NeedsNoUpdate) {
  struct Case {
    const char* updater;
    const wchar_t* installed;
    bool updates;  // else the installed copy needs no update and stays as it was
  };
  const Case cases[] = {
      {"PEUPDATE_RELEASE_EXE", L"version_5_2_1_0.dll", true},
      {"PEUPDATE_RELEASE_EXE", L"version_5_2_3_0.dll", false},
      {"PEUPDATE_SIGNED_EXE", L"version_5_2_1_0.dll", true},
  };
  for (const Case& each : cases) {
    SCOPED_TRACE(testing::Message() << each.updater << " on " << testing::PrintToString(std::wstring(each.installed)));
    Scenario scenario;
    scenario.Install(each.installed);
    const std::vector<char> expected = ReadWholeFile(
        each.updates ? ExeFromEnvironment("PEUPDATE_RELEASE_PAYLOAD") : scenario.Target());
    scenario.Register(scenario.folder.path());
    scenario.Start(ExeFromEnvironment(each.updater), Wide("ぺらの5.23アップデーター"));
    HWND dialog = scenario.OpenInstallFolderDialog();
    ASSERT_NE(dialog, nullptr);
    Begin(dialog);
    EXPECT_EQ(scenario.AnswerMessage(), Wide(each.updates ? "アップデートは正常に終了しました"
                                                          : "お使いのぺらのちゃんは、アップデートの必要がありません"));
    if (each.updates) {
      EXPECT_EQ(scenario.WaitForExit(), 0u);
    }
    EXPECT_EQ(ReadWholeFile(scenario.Target()), expected);
  }
}

}  // namespace
