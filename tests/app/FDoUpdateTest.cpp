// The update window against a scratch target, with the payload of a fixture module: its look, the
// payload it reads and writes, and every failure reported at its step with the old file kept.
#include "app/FDoUpdate.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <memory>

#include "Fixtures.h"
#include "app/FInpPath.h"
#include "app/FileReplace.h"
#include "app/UMessage.h"
#include "data/UZLIB.h"
#include "framework/Application.h"
#include "rtl/Handles.h"
#include "rtl/ResourceStream.h"
#include "support/Gui.h"
#include "support/Layout.h"
#include "support/MessageOf.h"
#include "support/ScratchFolder.h"

namespace {

using rtl::Utf8ToSjis;
using testing_support::MessageOf;
using testing_support::ReadWholeFile;
using testing_support::WriteWholeFile;

std::vector<char> Bytes(rtl::TCustomMemoryStream& stream) {
  const auto* bytes = static_cast<const char*>(stream.Memory());
  return std::vector<char>(bytes, bytes + stream.GetSize());
}

// What every payload holds once inflated: the test program's own PLAINDATA.
std::vector<char> PlainPayload() {
  rtl::TResourceStream resource(GetModuleHandleW(nullptr), "PLAINDATA", RT_RCDATA);
  return Bytes(resource);
}

TEST(ReadPayloadTest, InflatesAContainerOrCopiesOtherDataAfterWhatTheStreamHolds) {
  for (const char* name : {"GOODDATA", "PLAINDATA"}) {
    for (const std::string& head : {std::string(), std::string("head")}) {
      rtl::TMemoryStream dest;
      dest.WriteBuffer(head.data(), static_cast<int32_t>(head.size()));
      app::ReadPayload(dest, name, RT_RCDATA);
      std::vector<char> expected(head.begin(), head.end());
      for (char c : PlainPayload()) expected.push_back(c);
      EXPECT_EQ(Bytes(dest), expected) << name << " after " << head.size() << " bytes";
      EXPECT_EQ(dest.GetPosition(), dest.GetSize()) << "the position is after the data";
    }
  }
}

TEST(ReadPayloadTest, AFailureNamesItsCause) {
  rtl::TMemoryStream missing, damaged, shortened;
  EXPECT_EQ(MessageOf<rtl::EResNotFound>([&] { app::ReadPayload(missing, "UPDATEDATA", RT_RCDATA); }),
            Utf8ToSjis("UPDATEDATA ﾘｿｰｽが見つかりません"));
  EXPECT_EQ(MessageOf<data::EZlibError>([&] { app::ReadPayload(damaged, "DAMAGEDDATA", RT_RCDATA); }), "error");
  // A body shorter than its header announces.
  EXPECT_EQ(MessageOf<rtl::EReadError>([&] { app::ReadPayload(shortened, "SHORTDATA", RT_RCDATA); }),
            Utf8ToSjis("ｽﾄﾘｰﾑからの読み込みｴﾗｰ"));
  EXPECT_EQ(shortened.GetSize(), 0);
}

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

TEST_F(DoUpdateTest, WritesThePayloadEndsAtThreeOfThreeAndShowsTheVersion) {
  const struct {
    const char* module;
    bool targetThere;  // else deleted after the check
  } cases[] = {{"payload_container.dll", true}, {"payload_plain.dll", true}, {"payload_container.dll", false}};
  for (const auto& each : cases) {
    SCOPED_TRACE(testing::Message() << each.module << (each.targetThere ? "" : ", no target"));
    WriteWholeFile(Target(), oldContent);
    if (!each.targetThere) DeleteFileW(Target().c_str());
    EXPECT_EQ(Run(each.module), framework::mrOk);
    EXPECT_EQ(ReadWholeFile(Target()), PlainPayload());
    EXPECT_EQ(progress, 3);
    EXPECT_EQ(progressMax, 3);
    EXPECT_EQ(caption, Utf8ToSjis("ぺらの5.16アップデーター"));
    EXPECT_EQ(label, Utf8ToSjis("ぺらのちゃん5.16にアップデート中です"));
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_FALSE(handlerLeft) << "the exception handler outlived the window";
    EXPECT_EQ(folder.Entries(), std::vector<std::wstring>{L"Pelano5.exe"});
  }
}

TEST_F(DoUpdateTest, OffersNoWayToCloseItInItsTitleBar) {
  auto window = Create("payload_container.dll");
  testing_support::ExpectDialogFrame(window->Handle(), 368, 142, false);
  testing_support::ExpectWindowFont(*window);
  testing_support::ExpectPlaced({{window->ProgressBar1, 0, 126, 368, 16, nullptr},
                                 {window->Label1, 56, 44, -1, -1, nullptr},
                                 {window->Label2, 56, 68, -1, -1, "少しお待ちください・・・"}});
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

TEST_F(DoUpdateTest, AFailureIsReportedAtItsStepAndTheOldFileKept) {
  rtl::TFileHandle held;
  const struct {
    const char* what;
    const char* module;
    std::function<void()> prepare;
    std::string message;
    int progress;
  } cases[] = {
      {"a read-only target", "payload_container.dll",
       [this] { SetFileAttributesW(Target().c_str(), FILE_ATTRIBUTE_READONLY); },
       rtl::Format(app::msgReadOnly().c_str(), app::TargetPath.c_str()), 2},
      {"no payload", "payload_none.dll", [] {}, Unexpected(Utf8ToSjis("UPDATEDATA ﾘｿｰｽが見つかりません")), 1},
      {"a damaged payload", "payload_damaged.dll", [] {}, Unexpected("error"), 1},
      {"a target held open by another program", "payload_container.dll",
       [&] {
         held.reset(CreateFileW(Target().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
         ASSERT_TRUE(held);
         app::SetPatience(300);
       },
       Unexpected(rtl::Format(Utf8ToSjis("ﾌｧｲﾙ %s を作成できません").c_str(), app::TargetPath.c_str())), 3},
      // A scanner that quarantines the new file the moment it is in place: no success is reported.
      {"the new file gone right after the write", "payload_container.dll",
       [this] {
         app::SetReplaceStepHook([this](app::ReplaceStep step) {
           if (step == app::ReplaceStep::Renamed) DeleteFileW(Target().c_str());
         });
       },
       Unexpected(Utf8ToSjis("ｽﾄﾘｰﾑへの書き込みｴﾗｰ")), 3},
  };
  for (const auto& each : cases) {
    SCOPED_TRACE(each.what);
    SetFileAttributesW(Target().c_str(), FILE_ATTRIBUTE_NORMAL);
    WriteWholeFile(Target(), oldContent);
    boxes.boxes.clear();
    each.prepare();
    EXPECT_EQ(Run(each.module), framework::mrCancel);
    held.reset();
    app::SetReplaceStepHook(nullptr);
    app::SetPatience(app::kPatience);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, each.message);
    EXPECT_EQ(boxes.boxes[0].caption, Utf8ToSjis("ぺらの5.16アップデーター"));
    EXPECT_TRUE(boxes.boxes[0].exclamationIcon);
    EXPECT_EQ(progress, each.progress);
    EXPECT_FALSE(handlerLeft);
    EXPECT_EQ(ReadWholeFile(Target()), oldContent);
    EXPECT_EQ(folder.Entries(), std::vector<std::wstring>{L"Pelano5.exe"});
  }
}

TEST_F(DoUpdateTest, CheckNotReadOnlyRefusesOnlyAReadOnlyTargetWithItsPath) {
  SetFileAttributesW(Target().c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_NO_THROW(app::CheckNotReadOnly());
  SetFileAttributesW(Target().c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(MessageOf<app::EReadOnly>([] { app::CheckNotReadOnly(); }), app::TargetPath);
  SetFileAttributesW(Target().c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(Target().c_str());
  EXPECT_NO_THROW(app::CheckNotReadOnly()) << "a missing target passes";
}

}  // namespace
