// The edit box: its change event, for text set before and after the window exists and typed.
#include "framework/Edit.h"

#include <gtest/gtest.h>

#include "TestForms.h"
#include "support/Gui.h"

namespace {

using testing_support::S;

TEST(EditChange, RunsOnEveryChangeOfTheText) {
  testing_support::TfrmLayoutTest form(nullptr);
  framework::TEdit* edit = form.Edit1;
  edit->SetText("");  // the text it has: setting it still counts
  edit->SetText("C:\\A");  // before the window exists
  edit->SetText("C:\\A");
  ASSERT_FALSE(edit->HandleAllocated());
  edit->SetText("C:\\B");
  edit->Handle();
  edit->SetText("C:\\C");  // through the window
  edit->SetText("C:\\C");  // the same text again, as the edit control reports it too
  SendMessageW(edit->Handle(), EM_SETSEL, 4, 4);
  SendMessageW(edit->Handle(), WM_CHAR, 'x', 0);  // typed
  std::vector<std::string> expected = {"", "C:\\A", "C:\\A", "C:\\B", "C:\\C", "C:\\C", "C:\\Cx"};
  EXPECT_EQ(form.changes, expected);
  EXPECT_EQ(edit->Text(), "C:\\Cx");
  edit->SetText(S("D:\\ぺらの"));
  EXPECT_EQ(edit->Text(), S("D:\\ぺらの"));
  EXPECT_EQ(form.changes.back(), S("D:\\ぺらの"));
}

}  // namespace
