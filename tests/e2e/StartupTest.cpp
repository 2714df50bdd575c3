#include <gtest/gtest.h>

#include "Driver.h"
#include "Scenario.h"

namespace {

TEST(StartupTest, AMissingVersionRecordIsReportedAndEndsTheUpdater) {
  e2e::RunningProgram updater(e2e::ExeFromEnvironment("PEUPDATE_EXE_WITHOUT_RECORD"));
  HWND box = e2e::WaitForMessageBox(updater.Id());
  ASSERT_NE(box, nullptr) << "no report appeared";
  e2e::Screenshot("report-missing-record");
  e2e::MessageBoxContent content = e2e::ReadMessageBox(box);
  EXPECT_EQ(content.text, e2e::Wide("UPDATEVERSION ﾘｿｰｽが見つかりません."));
  EXPECT_EQ(content.buttons, std::vector<std::wstring>{L"OK"});
  e2e::Answer(box, L"OK");
  EXPECT_NE(updater.WaitForExit(), STILL_ACTIVE);
}

}  // namespace
