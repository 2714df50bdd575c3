#include <gtest/gtest.h>

#include <cstdlib>

#include "Driver.h"
#include "rtl/Sjis.h"

namespace {

std::wstring Wide(const char* utf8) { return rtl::SjisToWide(rtl::Utf8ToSjis(utf8)); }

std::wstring Exe(const char* variable) {
  const char* path = std::getenv(variable);
  return path ? e2e::WindowsPath(path) : std::wstring();
}

TEST(StartupTest, ShowsTheTitleMadeFromTheVersionRecord) {
  e2e::RunningProgram updater(Exe("PEUPDATE_EXE"));
  HWND box = e2e::WaitForWindow(updater.Id(), L"", L"#32770");
  ASSERT_NE(box, nullptr) << "no window appeared";
  e2e::Screenshot("startup-title");
  e2e::MessageBoxContent content = e2e::ReadMessageBox(box);
  EXPECT_EQ(content.caption, Wide("ぺらの5.16アップデーター"));
  EXPECT_EQ(content.text, Wide("ぺらの5.16アップデーター"));
  EXPECT_EQ(content.buttons, std::vector<std::wstring>{L"OK"});
  e2e::Answer(box, L"OK");
  EXPECT_EQ(updater.WaitForExit(), 0u);
}

TEST(StartupTest, AMissingVersionRecordIsReportedAndEndsTheUpdater) {
  e2e::RunningProgram updater(Exe("PEUPDATE_EXE_WITHOUT_RECORD"));
  HWND box = e2e::WaitForWindow(updater.Id(), L"", L"#32770");
  ASSERT_NE(box, nullptr) << "no report appeared";
  e2e::Screenshot("startup-missing-record");
  e2e::MessageBoxContent content = e2e::ReadMessageBox(box);
  EXPECT_EQ(content.text, Wide("UPDATEVERSION ﾘｿｰｽが見つかりません."));
  e2e::Answer(box, L"OK");
  EXPECT_NE(updater.WaitForExit(), STILL_ACTIVE);
}

}  // namespace
