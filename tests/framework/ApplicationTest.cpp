#include "framework/Application.h"

#include <gtest/gtest.h>

#include <memory>

#include "TestForms.h"
#include "support/Gui.h"
#include "framework/Errors.h"
#include "rtl/Exception.h"

namespace {

using namespace framework;
using testing_support::S;

class ExceptionReport : public ::testing::Test {
 protected:
  void SetUp() override { Application().SetTitle(S("ぺらの5.16アップデーター")); }
  void TearDown() override {
    Application().SetOnException(nullptr);
    Application().SetTitle("");
    testing_support::CancelLater();
  }

  // The text of the one box that reporting message brings up, under the title with the error icon.
  std::string Report(const std::string& message) {
    testing_support::TBoxWatcher watcher;
    Application().ShowException(rtl::Exception(message));
    EXPECT_EQ(watcher.boxes.size(), 1u);
    if (watcher.boxes.empty()) return {};
    EXPECT_EQ(watcher.boxes[0].caption, S("ぺらの5.16アップデーター"));
    EXPECT_TRUE(watcher.boxes[0].errorIcon);
    EXPECT_FALSE(watcher.boxes[0].exclamationIcon);
    return watcher.boxes[0].text;
  }
  // The text of the one box that a click of the button brings up.
  static std::string ReportOfClick(TBitBtn& button) {
    testing_support::TBoxWatcher watcher;
    SendMessageW(button.Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(watcher.boxes.size(), 1u);
    return watcher.boxes.empty() ? std::string() : watcher.boxes[0].text;
  }
};

// Before anyone sets a title, the report is still captioned: with the program's name.
TEST(ApplicationTitle, StartsAsTheProgramsNameAndCaptionsTheReport) {
  TApplication fresh;
  EXPECT_EQ(fresh.Title(), "test_framework");
  testing_support::TBoxWatcher watcher;
  fresh.ShowException(rtl::Exception("no record"));
  ASSERT_EQ(watcher.boxes.size(), 1u);
  EXPECT_EQ(watcher.boxes[0].caption, "test_framework");
  EXPECT_TRUE(watcher.boxes[0].errorIcon);
}

// The message under the title with the error icon, a full stop appended only after a character
// that sorts after it.
TEST_F(ExceptionReport, ShowsTheMessageWithAFullStopOnlyAfterACharacterThatSortsAfterIt) {
  EXPECT_EQ(Report(S("LOGO ﾘｿｰｽが見つかりません")), S("LOGO ﾘｿｰｽが見つかりません."));
  EXPECT_EQ(Report("done."), "done.");
  EXPECT_EQ(Report("Stop!"), "Stop!");
  EXPECT_EQ(Report("(a-b)"), "(a-b)");  // ")" sorts before "."
  EXPECT_EQ(Report("1/2"), "1/2.");     // "/" sorts just after "."
  EXPECT_EQ(Report("abc"), "abc.");
  EXPECT_EQ(Report(S("ｽﾄﾘｰﾑからの読み込みｴﾗｰ")), S("ｽﾄﾘｰﾑからの読み込みｴﾗｰ."));
  EXPECT_EQ(Report(S("表")), S("表."));  // a double-byte character whose second byte is "\"
  EXPECT_EQ(Report(""), "");
}

TEST_F(ExceptionReport, AnExceptionInAHandlerReachesTheHandlerSlotOrTheStandardReport) {
  TForm form(nullptr);
  form.SetClientSize(200, 100);
  auto* button = testing_support::Place<TBitBtn>(form, 0, 0, 75, 25);
  int clicks = 0;
  button->OnClick = [&](TObject*) {
    ++clicks;
    throw rtl::EReadError();
  };
  std::vector<std::string> handled;
  Application().SetOnException([&](const std::exception& error) { handled.push_back(ExceptionMessage(error)); });
  SendMessageW(button->Handle(), BM_CLICK, 0, 0);
  SendMessageW(button->Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(handled, (std::vector<std::string>{S("ｽﾄﾘｰﾑからの読み込みｴﾗｰ"), S("ｽﾄﾘｰﾑからの読み込みｴﾗｰ")}));

  // Without a handler, the standard report.
  Application().SetOnException(nullptr);
  EXPECT_EQ(ReportOfClick(*button), S("ｽﾄﾘｰﾑからの読み込みｴﾗｰ."));
  // A failing handler gets the standard report of its own exception.
  Application().SetOnException([](const std::exception&) { throw rtl::ERangeError(); });
  EXPECT_EQ(ReportOfClick(*button), S("範囲ﾁｪｯｸｴﾗｰ."));
}

TEST_F(ExceptionReport, AnExceptionFromAKeyHandledByTheLoopReachesTheHandler) {
  TForm form(nullptr);
  form.SetClientSize(200, 100);
  auto* button = testing_support::Place<TBitBtn>(form, 0, 0, 75, 25);
  button->SetDefault(true);
  button->OnClick = [](TObject*) { throw rtl::EIntOverflow(); };
  form.Show();
  testing_support::Pump();
  std::string handled;
  Application().SetOnException([&](const std::exception& error) { handled = ExceptionMessage(error); });
  PostMessageW(button->Handle(), WM_KEYDOWN, VK_RETURN, 0);
  Application().ProcessMessages();
  EXPECT_EQ(handled, S("整数のｵｰﾊﾞｰﾌﾛｰ"));
}

// Each run leaves the application as it found it: no quit request waiting, not terminated, since a
// quit request left behind would end the next test's modal loops and message boxes at once.
class ApplicationRun : public ::testing::Test {
 protected:
  void TearDown() override {
    testing_support::CancelLater();
    MSG quit;
    while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    Application().Run(nullptr);  // a run without forms ends at once and clears Terminated
  }
};

TEST_F(ApplicationRun, GivesAnExceptionFromStartUpTheLastResortReportAndExitCode1) {
  TForm visible(nullptr);
  visible.SetClientSize(100, 50);
  visible.Show();
  testing_support::Pump();
  testing_support::TBoxWatcher watcher;
  watcher.watched = visible.Handle();
  int code = Application().Run([] {
    Application().CreateForm<testing_support::TfrmProgressTest>();
    throw rtl::EResNotFound("LOGO");
  });
  EXPECT_EQ(code, 1);
  ASSERT_EQ(watcher.boxes.size(), 1u);
  EXPECT_EQ(watcher.boxes[0].caption, S("ｱﾌﾟﾘｹｰｼｮﾝ ｴﾗｰ"));
  EXPECT_EQ(watcher.boxes[0].text, S("LOGO ﾘｿｰｽが見つかりません"));
  EXPECT_TRUE(watcher.boxes[0].errorIcon);
  EXPECT_FALSE(watcher.boxes[0].watchedWindowEnabled);  // task-modal: the thread's windows wait
  EXPECT_TRUE(IsWindowEnabled(visible.Handle()));
  EXPECT_EQ(Application().ComponentCount(), 0);  // the forms made so far are gone
  EXPECT_EQ(Application().MainForm(), nullptr);
}

TEST_F(ApplicationRun, ShowsTheMainFormAndEndsWhenItCloses) {
  testing_support::TfrmProgressTest* main = nullptr;
  bool shown = false;
  int code = Application().Run([&] {
    main = Application().CreateForm<testing_support::TfrmProgressTest>();
    Application().CreateForm<testing_support::TfrmLayoutTest>();  // not the main form
    testing_support::Later([&] {
      shown = IsWindowVisible(main->Handle()) != FALSE;
      PostMessageW(main->Handle(), WM_CLOSE, 0, 0);
    }, 20);
  });
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(shown);
  EXPECT_EQ(Application().MainForm(), nullptr);
  EXPECT_EQ(Application().ComponentCount(), 0);
}

TEST_F(ApplicationRun, EndsAtAQuitRequestPostedDuringStartUp) {
  int code = Application().Run([] {
    Application().CreateForm<testing_support::TfrmProgressTest>();
    Application().Terminate();
  });
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(Application().Terminated());
}

TEST_F(ApplicationRun, AModalLoopEndsWithCancelAtAQuitRequest) {
  testing_support::TfrmProgressTest form(nullptr);
  testing_support::Later([] { Application().Terminate(); }, 20);
  EXPECT_EQ(form.ShowModal(), mrCancel);
  EXPECT_TRUE(Application().Terminated());
  EXPECT_EQ(Application().Run(nullptr), 0);  // a new run starts afresh
  EXPECT_FALSE(Application().Terminated());
}

}  // namespace
