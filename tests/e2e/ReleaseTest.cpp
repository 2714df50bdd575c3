// Updaters that scripts/make-update.sh made for the 5.2.3.0 stand-in, unsigned and signed, run as a
// user runs them: their record, not the tree's, decides what they update.
#include <gtest/gtest.h>

#include "Driver.h"
#include "Scenario.h"
#include "support/ScratchFolder.h"

namespace {

using namespace testing_support;

class ReleaseTest : public ::testing::Test {
 protected:
  // Installs the file, registers its folder, starts the updater and presses "開始" in its dialog.
  void BeginOn(const char* updaterVariable, const std::wstring& installed) {
    scenario.InstallFile(installed);
    scenario.Register(scenario.folder.path());
    scenario.Start(ExeFromEnvironment(updaterVariable), Wide("ぺらの5.23アップデーター"));
    ASSERT_NE(scenario.main, nullptr);
    HWND dialog = scenario.OpenInstallFolderDialog();
    ASSERT_NE(dialog, nullptr);
    Click(FindChildByText(dialog, Wide("開始")));
  }
  void ExpectUpdated() {
    EXPECT_EQ(scenario.AnswerMessage(), Wide("アップデートは正常に終了しました"));
    EXPECT_EQ(scenario.WaitForExit(), 0u);
    EXPECT_EQ(ReadWholeFile(scenario.Target()), ReadWholeFile(ExeFromEnvironment("PEUPDATE_RELEASE_PAYLOAD")));
  }

  Scenario scenario;
};

TEST_F(ReleaseTest, ItUpdatesAnInstalled5_2_1) {
  ASSERT_NO_FATAL_FAILURE(BeginOn("PEUPDATE_RELEASE_EXE", Fixture(L"version_5_2_1_0.dll")));
  ExpectUpdated();
}

TEST_F(ReleaseTest, AnInstalled5_2_3NeedsNoUpdate) {
  ASSERT_NO_FATAL_FAILURE(BeginOn("PEUPDATE_RELEASE_EXE", Fixture(L"version_5_2_3_0.dll")));
  EXPECT_EQ(scenario.AnswerMessage(), Wide("お使いのぺらのちゃんは、アップデートの必要がありません"));
  EXPECT_EQ(ReadWholeFile(scenario.Target()), ReadWholeFile(Fixture(L"version_5_2_3_0.dll")));
}

TEST_F(ReleaseTest, TheSignedUpdaterStartsAndUpdates) {
  ASSERT_NO_FATAL_FAILURE(BeginOn("PEUPDATE_SIGNED_EXE", Fixture(L"version_5_2_1_0.dll")));
  ExpectUpdated();
}

}  // namespace
