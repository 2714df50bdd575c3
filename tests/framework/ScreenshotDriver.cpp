// Shows the test forms for a while, so that a screenshot can be taken of them:
//   test_framework --gtest_also_run_disabled_tests --gtest_filter=*Screenshot*
// with PEUPDATE_SCREENSHOT_MS the time to stay up (3000 by default).
#include <gtest/gtest.h>

#include <cstdlib>

#include "TestForms.h"
#include "support/Gui.h"
#include "framework/Application.h"

namespace {

using namespace framework;
using testing_support::S;

TEST(Screenshot, DISABLED_ShowsTheTestForms) {
  const char* ms = std::getenv("PEUPDATE_SCREENSHOT_MS");
  DWORD duration = ms != nullptr ? static_cast<DWORD>(std::atoi(ms)) : 3000;
  testing_support::TfrmLayoutTest form(nullptr);
  form.BitBtn2->Glyph().LoadFromResourceName(GetModuleHandleW(nullptr), "GLYPH8");
  form.Edit1->SetText(S("C:\\Program Files\\PELANO5W"));
  form.BitBtn2->SetEnabled(true);
  form.Show();
  testing_support::TfrmProgressTest progress(nullptr);
  progress.Show();
  progress.SetBounds(10, 10, progress.Width(), progress.Height());
  progress.ProgressBar1->SetMax(3);
  progress.ProgressBar1->SetPosition(2);
  form.BitBtn3->SetFocus();
  DWORD end = GetTickCount() + duration;
  while (GetTickCount() < end) {
    Application().ProcessMessages();
    Sleep(20);
  }
}

}  // namespace
