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
  // No title has been set yet: the report bears the program's name.
  EXPECT_EQ(content.caption, L"PeUpdateWithoutRecord");
  EXPECT_EQ(content.text, e2e::Wide("UPDATEVERSION ﾘｿｰｽが見つかりません."));
  EXPECT_EQ(content.buttons, std::vector<std::wstring>{L"OK"});
  HWND icon = e2e::MessageBoxIcon(box);
  EXPECT_TRUE(e2e::Shows(icon, e2e::IconColour::red, 3000)) << "no error icon";
  EXPECT_FALSE(e2e::Shows(icon, e2e::IconColour::yellow, 0)) << "the exclamation icon";
  e2e::Answer(box, L"OK");
  EXPECT_EQ(updater.WaitForExit(), 0u);
}

}  // namespace
