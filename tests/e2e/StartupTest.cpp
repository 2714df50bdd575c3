#include <gtest/gtest.h>

#include "Driver.h"
#include "Scenario.h"

namespace {

using namespace testing_support;

TEST(StartupTest, AMissingVersionRecordIsReportedAndEndsTheUpdater) {
  RunningProgram updater(ExeFromEnvironment("PEUPDATE_EXE_WITHOUT_RECORD"));
  HWND box = WaitForMessageBox(updater.Id());
  ASSERT_NE(box, nullptr) << "no report appeared";
  Screenshot("report-missing-record");
  MessageBoxContent content = ReadMessageBox(box);
  // No title has been set yet: the report bears the program's name.
  EXPECT_EQ(content.caption, L"PeUpdateWithoutRecord");
  EXPECT_EQ(content.text, Wide("UPDATEVERSION ﾘｿｰｽが見つかりません."));
  EXPECT_EQ(content.buttons, std::vector<std::wstring>{L"OK"});
  HWND icon = MessageBoxIcon(box);
  EXPECT_TRUE(Shows(icon, IconColour::red, 3000)) << "no error icon";
  EXPECT_FALSE(Shows(icon, IconColour::yellow, 0)) << "the exclamation icon";
  Answer(box, L"OK");
  EXPECT_EQ(updater.WaitForExit(), 0u);
}

}  // namespace
