#include <gtest/gtest.h>
#include <windows.h>

#include <memory>

#include "Fixtures.h"
#include "app/FDoUpdate.h"
#include "app/FileReplace.h"
#include "app/FInpPath.h"
#include "app/UMessage.h"
#include "framework/Application.h"
#include "support/Gui.h"
#include "rtl/Handles.h"
#include "rtl/ResourceStream.h"
#include "support/ScratchFolder.h"

namespace {

using rtl::Utf8ToSjis;
using testing_support::ReadWholeFile;
using testing_support::WriteWholeFile;

// Runs the update window against a scratch target, with the payload of a fixture module.
class DoUpdateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app::UpdateMajor = 5;
    app::UpdateMinorRelease = 16;
    framework::Application().SetTitle(Utf8ToSjis("ぺらの5.16アップデーター"));
    app::TargetPath = rtl::WideToSjis(Target());
    WriteWholeFile(Target(), oldContent);
  }
  void TearDown() override {
    app::SetResourceModule(nullptr);
    app::SetPatience(app::kPatience);
  }

  std::wstring Target() const { return folder.File(L"Pelano5.exe"); }

  std::unique_ptr<app::TfrmDoUpdate> Create(const char* module) {
    modules.push_back(std::make_unique<testing_support::DataModule>(module));
    EXPECT_NE(modules.back()->get(), nullptr) << module;
    app::SetResourceModule(modules.back()->get());
    return std::make_unique<app::TfrmDoUpdate>(nullptr);
  }

  int Run(const char* module) {
    auto window = Create(module);
    caption = window->Caption();
    label = window->Label1->Caption();
    int result = window->ShowModal();
    progress = window->ProgressBar1->Position();
    progressMax = window->ProgressBar1->Max();
    handlerLeft = static_cast<bool>(framework::Application().OnException());
    return result;
  }

  std::vector<char> PlainPayload() {
    testing_support::DataModule plain("payload_plain.dll");
    rtl::TResourceStream resource(plain.get(), "UPDATEDATA", RT_RCDATA);
    const char* bytes = static_cast<const char*>(resource.Memory());
    return std::vector<char>(bytes, bytes + resource.GetSize());
  }

  std::string Unexpected(const std::string& reason) const {
    return rtl::Format(app::msgUnexpectedError().c_str(), reason.c_str());
  }

  testing_support::ScratchFolder folder;
  std::vector<std::unique_ptr<testing_support::DataModule>> modules;
  std::vector<char> oldContent{'o', 'l', 'd', '\0', 'M', 'Z'};
  testing_support::TBoxWatcher boxes;
  std::string caption, label;
  int progress = -1, progressMax = -1;
  bool handlerLeft = true;
};

TEST_F(DoUpdateTest, WritesTheInflatedPayloadAndEndsAtThreeOfThree) {
  EXPECT_EQ(Run("payload_container.dll"), framework::mrOk);
  EXPECT_EQ(ReadWholeFile(Target()), PlainPayload());
  EXPECT_EQ(progress, 3);
  EXPECT_EQ(progressMax, 3);
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_FALSE(handlerLeft) << "the exception handler outlived the window";
  EXPECT_EQ(folder.Entries(), std::vector<std::wstring>{L"Pelano5.exe"});
}

TEST_F(DoUpdateTest, ShowsTheTitleAndTheVersionInItsLabel) {
  Run("payload_container.dll");
  EXPECT_EQ(caption, Utf8ToSjis("ぺらの5.16アップデーター"));
  EXPECT_EQ(label, Utf8ToSjis("ぺらのちゃん5.16にアップデート中です"));
}

TEST_F(DoUpdateTest, OffersNoWayToCloseItInItsTitleBar) {
  auto window = Create("payload_container.dll");
  HWND handle = window->Handle();
  RECT client{};
  GetClientRect(handle, &client);
  EXPECT_EQ(client.right, 368);
  EXPECT_EQ(client.bottom, 142);
  LONG style = GetWindowLongW(handle, GWL_STYLE);
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_FALSE(style & WS_SYSMENU) << "a system menu brings a close box with it";
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
  EXPECT_TRUE(GetWindowLongW(handle, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
  testing_support::ExpectWindowFont(*window);
  RECT bar = testing_support::ChildRect(window->ProgressBar1->Handle());
  EXPECT_EQ(bar.left, 0);
  EXPECT_EQ(bar.right, 368);
  EXPECT_EQ(bar.bottom, 142);
  EXPECT_EQ(bar.bottom - bar.top, 16);
  EXPECT_EQ(window->Label1->Left(), 56);
  EXPECT_EQ(window->Label1->Top(), 44);
  EXPECT_EQ(window->Label2->Left(), 56);
  EXPECT_EQ(window->Label2->Top(), 68);
  EXPECT_EQ(window->Label2->Caption(), Utf8ToSjis("少しお待ちください・・・"));
}

// A modal loop ended by a quit request leaves without the close query; the handler, which refers
// to the window, must still go with it. Here the start signal is taken by a plain loop, so the work
// runs and no close query ever does.
TEST_F(DoUpdateTest, TheExceptionHandlerGoesWithTheWindowWithoutACloseQuery) {
  auto window = Create("payload_container.dll");
  testing_support::Pump();
  ASSERT_TRUE(static_cast<bool>(framework::Application().OnException())) << "the work did not start";
  EXPECT_EQ(ReadWholeFile(Target()), PlainPayload());
  window.reset();
  EXPECT_FALSE(static_cast<bool>(framework::Application().OnException())) << "the handler outlived the window";
}

// Another handler installed before the window was ever at work is no business of its destruction.
TEST_F(DoUpdateTest, AWindowThatNeverWorkedLeavesTheApplicationsHandlerAlone) {
  framework::Application().SetOnException([](const std::exception&) {});
  Create("payload_container.dll").reset();
  EXPECT_TRUE(static_cast<bool>(framework::Application().OnException()));
  framework::Application().SetOnException(nullptr);
  testing_support::Pump();
}

TEST_F(DoUpdateTest, WritesAPayloadWithoutTheSignatureByteForByte) {
  EXPECT_EQ(Run("payload_plain.dll"), framework::mrOk);
  EXPECT_EQ(ReadWholeFile(Target()), PlainPayload());
}

TEST_F(DoUpdateTest, CreatesATargetDeletedAfterTheCheck) {
  DeleteFileW(Target().c_str());
  EXPECT_EQ(Run("payload_container.dll"), framework::mrOk);
  EXPECT_EQ(ReadWholeFile(Target()), PlainPayload());
}

TEST_F(DoUpdateTest, RefusesAReadOnlyTargetAtTwoOfThree) {
  SetFileAttributesW(Target().c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(Run("payload_container.dll"), framework::mrCancel);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, rtl::Format(app::msgReadOnly().c_str(), app::TargetPath.c_str()));
  EXPECT_EQ(boxes.boxes[0].caption, Utf8ToSjis("ぺらの5.16アップデーター"));
  EXPECT_TRUE(boxes.boxes[0].exclamationIcon);
  EXPECT_EQ(progress, 2);
  EXPECT_EQ(ReadWholeFile(Target()), oldContent);
  EXPECT_FALSE(handlerLeft);
}

TEST_F(DoUpdateTest, AMissingPayloadStopsAtOneOfThree) {
  EXPECT_EQ(Run("payload_none.dll"), framework::mrCancel);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, Unexpected(Utf8ToSjis("UPDATEDATA ﾘｿｰｽが見つかりません")));
  EXPECT_EQ(progress, 1);
  EXPECT_EQ(ReadWholeFile(Target()), oldContent);
}

TEST_F(DoUpdateTest, ADamagedPayloadLeavesTheOldFile) {
  EXPECT_EQ(Run("payload_damaged.dll"), framework::mrCancel);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, Unexpected("error"));
  EXPECT_EQ(progress, 1);
  EXPECT_EQ(ReadWholeFile(Target()), oldContent);
}

TEST_F(DoUpdateTest, ATargetHeldOpenByAnotherProgramIsReportedAndKeptWhole) {
  rtl::TFileHandle held(CreateFileW(Target().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);
  app::SetPatience(300);
  int result = Run("payload_container.dll");
  held.reset();
  EXPECT_EQ(result, framework::mrCancel);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text,
            Unexpected(rtl::Format(Utf8ToSjis("ﾌｧｲﾙ %s を作成できません").c_str(), app::TargetPath.c_str())));
  EXPECT_EQ(progress, 3);
  EXPECT_EQ(ReadWholeFile(Target()), oldContent);
  EXPECT_EQ(folder.Entries(), std::vector<std::wstring>{L"Pelano5.exe"});
}

// A scanner that quarantines the new file the moment it is in place: no success is reported.
TEST_F(DoUpdateTest, ANewFileGoneRightAfterTheWriteIsReportedAndTheOldFileIsBack) {
  app::SetReplaceStepHook([this](app::ReplaceStep step) {
    if (step == app::ReplaceStep::Renamed) DeleteFileW(Target().c_str());
  });
  int result = Run("payload_container.dll");
  app::SetReplaceStepHook(nullptr);
  EXPECT_EQ(result, framework::mrCancel);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, Unexpected(Utf8ToSjis("ｽﾄﾘｰﾑへの書き込みｴﾗｰ")));
  EXPECT_EQ(progress, 3);
  EXPECT_EQ(ReadWholeFile(Target()), oldContent);
  EXPECT_EQ(folder.Entries(), std::vector<std::wstring>{L"Pelano5.exe"});
}

}  // namespace
