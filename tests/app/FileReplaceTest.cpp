#include "app/FileReplace.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <functional>
#include <thread>

#include "rtl/Exception.h"
#include "rtl/Handles.h"
#include "rtl/Sjis.h"
#include "support/ScratchFolder.h"

namespace {

using testing_support::ReadWholeFile;
using testing_support::ScratchFolder;
using testing_support::WriteWholeFile;

std::vector<char> Pattern(std::size_t size, char seed) {
  std::vector<char> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(seed + i * 7 + (i >> 9));
  return bytes;
}

// Opens the file as a virus scanner does: for its attributes only, letting everyone read, write and
// delete. Opening it for writing still succeeds, but a rename over it fails with access denied.
HANDLE HoldLikeAScanner(const std::wstring& path) {
  return CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING, 0, nullptr);
}

class FileReplaceTest : public ::testing::Test {
 protected:
  void TearDown() override { app::SetReplaceStepHook(nullptr); }
  std::string Target() const { return rtl::WideToSjis(folder.File(L"Pelano5.exe")); }
  std::wstring TargetWide() const { return folder.File(L"Pelano5.exe"); }
  void Replace(const std::vector<char>& bytes) {
    app::ReplaceFileContents(Target(), bytes.data(), static_cast<int32_t>(bytes.size()));
  }
  std::string ExpectedCreateError() const {
    return rtl::Format(rtl::Utf8ToSjis("ﾌｧｲﾙ %s を作成できません").c_str(), Target().c_str());
  }

  ScratchFolder folder;
  std::vector<char> oldContent = Pattern(5000, 'o');
  std::vector<char> newContent = Pattern(300000, 'n');
};

TEST_F(FileReplaceTest, ReplacesAnExistingFileAndLeavesNothingElseBehind) {
  WriteWholeFile(TargetWide(), oldContent);
  Replace(newContent);
  EXPECT_EQ(ReadWholeFile(TargetWide()), newContent);
  EXPECT_EQ(folder.Entries(), std::vector<std::wstring>{L"Pelano5.exe"});
}

TEST_F(FileReplaceTest, CreatesATargetThatNoLongerExists) {
  Replace(newContent);
  EXPECT_EQ(ReadWholeFile(TargetWide()), newContent);
  EXPECT_EQ(folder.Entries(), std::vector<std::wstring>{L"Pelano5.exe"});
}

TEST_F(FileReplaceTest, ShrinksALargerFileToTheNewContent) {
  WriteWholeFile(TargetWide(), newContent);
  Replace(oldContent);
  EXPECT_EQ(ReadWholeFile(TargetWide()), oldContent);
}

TEST_F(FileReplaceTest, WritesAnEmptyContent) {
  WriteWholeFile(TargetWide(), oldContent);
  Replace({});
  EXPECT_TRUE(ReadWholeFile(TargetWide()).empty());
  EXPECT_EQ(folder.Entries().size(), 1u);
}

TEST_F(FileReplaceTest, ATargetHeldOpenWithoutSharingIsReportedAndKeptWhole) {
  WriteWholeFile(TargetWide(), oldContent);
  rtl::TFileHandle held(CreateFileW(TargetWide().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);
  try {
    Replace(newContent);
    ADD_FAILURE() << "a file in use was replaced";
  } catch (const rtl::EFCreateError& error) {
    EXPECT_EQ(error.Message, ExpectedCreateError());
  }
  held.reset();
  EXPECT_EQ(ReadWholeFile(TargetWide()), oldContent);
  EXPECT_EQ(folder.Entries(), std::vector<std::wstring>{L"Pelano5.exe"});
}

TEST_F(FileReplaceTest, ATargetReleasedWithinTheRetryTimeIsReplaced) {
  WriteWholeFile(TargetWide(), oldContent);
  rtl::TFileHandle held(CreateFileW(TargetWide().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);
  std::thread releaser([&held] {
    Sleep(500);
    held.reset();
  });
  Replace(newContent);
  releaser.join();
  EXPECT_EQ(ReadWholeFile(TargetWide()), newContent);
  EXPECT_EQ(folder.Entries(), std::vector<std::wstring>{L"Pelano5.exe"});
}

TEST_F(FileReplaceTest, ATargetAScannerLooksAtIsReplacedOnceItLetsGo) {
  WriteWholeFile(TargetWide(), oldContent);
  rtl::TFileHandle held(HoldLikeAScanner(TargetWide()));
  ASSERT_TRUE(held);
  std::thread releaser([&held] {
    Sleep(700);
    held.reset();
  });
  EXPECT_NO_THROW(Replace(newContent));
  releaser.join();
  EXPECT_EQ(ReadWholeFile(TargetWide()), newContent);
  EXPECT_EQ(folder.Entries(), std::vector<std::wstring>{L"Pelano5.exe"});
}

TEST_F(FileReplaceTest, AScannerThatNeverLetsGoIsReportedAfterAboutTwoSeconds) {
  WriteWholeFile(TargetWide(), oldContent);
  rtl::TFileHandle held(HoldLikeAScanner(TargetWide()));
  ASSERT_TRUE(held);
  DWORD started = GetTickCount();
  try {
    Replace(newContent);
    ADD_FAILURE() << "replaced a file that could not be renamed over";
  } catch (const rtl::EFCreateError& error) {
    EXPECT_EQ(error.Message, ExpectedCreateError());
  }
  DWORD waited = GetTickCount() - started;
  held.reset();
  EXPECT_GE(waited, 1500u);
  EXPECT_EQ(ReadWholeFile(TargetWide()), oldContent);
  EXPECT_EQ(folder.Entries(), std::vector<std::wstring>{L"Pelano5.exe"});
}

TEST_F(FileReplaceTest, AMissingFolderIsReportedWithTheTargetPath) {
  std::string target = rtl::WideToSjis(folder.File(L"gone\\Pelano5.exe"));
  try {
    app::ReplaceFileContents(target, newContent.data(), static_cast<int32_t>(newContent.size()));
    ADD_FAILURE() << "wrote into a folder that does not exist";
  } catch (const rtl::EFCreateError& error) {
    EXPECT_EQ(error.Message, rtl::Format(rtl::Utf8ToSjis("ﾌｧｲﾙ %s を作成できません").c_str(), target.c_str()));
  }
  EXPECT_TRUE(folder.Entries().empty());
}

TEST_F(FileReplaceTest, KeepsAJapaneseFileName) {
  std::wstring name = folder.File(L"表示\\Pelano5.exe");
  CreateDirectoryW(folder.File(L"表示").c_str(), nullptr);
  app::ReplaceFileContents(rtl::WideToSjis(name), newContent.data(), static_cast<int32_t>(newContent.size()));
  EXPECT_EQ(ReadWholeFile(name), newContent);
}

// What the target holds right after the rename is read back: a file that went missing or changed
// (quarantined, altered by a filter) is no success, and the old file is put back.
class FileReplaceVerifyTest : public FileReplaceTest {
 protected:
  void ExpectWriteErrorWhenAfterRename(const std::function<void()>& tamper) {
    app::SetReplaceStepHook([&](app::ReplaceStep step) {
      if (step == app::ReplaceStep::Renamed) tamper();
    });
    try {
      Replace(newContent);
      ADD_FAILURE() << "a replacement that did not hold was reported as done";
    } catch (const rtl::EWriteError& error) {
      EXPECT_EQ(error.Message, rtl::Utf8ToSjis("ｽﾄﾘｰﾑへの書き込みｴﾗｰ"));
    }
  }
};

TEST_F(FileReplaceVerifyTest, AVanishedTargetIsReportedAndTheOldFileIsBack) {
  WriteWholeFile(TargetWide(), oldContent);
  ExpectWriteErrorWhenAfterRename([&] { ASSERT_TRUE(DeleteFileW(TargetWide().c_str())); });
  EXPECT_EQ(ReadWholeFile(TargetWide()), oldContent);
  EXPECT_EQ(folder.Entries(), std::vector<std::wstring>{L"Pelano5.exe"});
}

TEST_F(FileReplaceVerifyTest, AnAlteredTargetIsReportedAndTheOldFileIsBack) {
  WriteWholeFile(TargetWide(), oldContent);
  for (std::size_t at : {std::size_t{0}, newContent.size() / 2, newContent.size() - 1}) {
    std::vector<char> altered = newContent;
    altered[at] = static_cast<char>(altered[at] ^ 1);
    ExpectWriteErrorWhenAfterRename([&] { WriteWholeFile(TargetWide(), altered); });
    EXPECT_EQ(ReadWholeFile(TargetWide()), oldContent) << "byte " << at;
  }
  std::vector<char> shorter(newContent.begin(), newContent.end() - 1);
  ExpectWriteErrorWhenAfterRename([&] { WriteWholeFile(TargetWide(), shorter); });
  EXPECT_EQ(ReadWholeFile(TargetWide()), oldContent);
  EXPECT_EQ(folder.Entries(), std::vector<std::wstring>{L"Pelano5.exe"});
}

TEST_F(FileReplaceVerifyTest, ANewTargetThatDoesNotHoldIsRemoved) {
  ExpectWriteErrorWhenAfterRename([&] { WriteWholeFile(TargetWide(), oldContent); });
  EXPECT_TRUE(folder.Entries().empty());
}

// A replacement stopped between any two of its steps: by an exception, which cleans up on its way
// out, or by the process being killed, which does not, leaving the next update to repair it.
const app::ReplaceStep kSteps[] = {app::ReplaceStep::NewContentWritten, app::ReplaceStep::BackupKept,
                                   app::ReplaceStep::Renamed, app::ReplaceStep::Verified};

TEST_F(FileReplaceTest, AnExceptionBetweenStepsLeavesOneWholeFileAndNothingElse) {
  for (app::ReplaceStep stop : kSteps) {
    WriteWholeFile(TargetWide(), oldContent);
    app::SetReplaceStepHook([stop](app::ReplaceStep step) {
      if (step == stop) throw std::runtime_error("stopped");
    });
    EXPECT_THROW(Replace(newContent), std::runtime_error);
    bool renamed = stop == app::ReplaceStep::Renamed || stop == app::ReplaceStep::Verified;
    EXPECT_EQ(ReadWholeFile(TargetWide()), renamed ? newContent : oldContent) << static_cast<int>(stop);
    EXPECT_EQ(folder.Entries(), std::vector<std::wstring>{L"Pelano5.exe"}) << static_cast<int>(stop);
  }
}

// The child half of the kill test: replaces the target named in the environment and ends the
// process without any clean-up at the step named there.
TEST(FileReplaceKilledChild, StopsDeadAtTheStep) {
  const char* target = std::getenv("PEUPDATE_KILL_TARGET");
  const char* stop = std::getenv("PEUPDATE_KILL_STEP");
  if (target == nullptr || stop == nullptr) GTEST_SKIP() << "started only by the kill test";
  int stopAt = std::atoi(stop);
  app::SetReplaceStepHook([stopAt](app::ReplaceStep step) {
    if (static_cast<int>(step) == stopAt) TerminateProcess(GetCurrentProcess(), 77);
  });
  std::vector<char> bytes = Pattern(300000, 'n');
  app::ReplaceFileContents(rtl::Utf8ToSjis(target), bytes.data(), static_cast<int32_t>(bytes.size()));
  ADD_FAILURE() << "the step was never reached";
}

class FileReplaceKilledTest : public FileReplaceTest {
 protected:
  // Runs this program's child test against the target and waits for it to be killed at the step.
  void KillAt(app::ReplaceStep step) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(self) + L"\" --gtest_filter=FileReplaceKilledChild.*";
    SetEnvironmentVariableW(L"PEUPDATE_KILL_TARGET", TargetWide().c_str());
    SetEnvironmentVariableW(L"PEUPDATE_KILL_STEP", std::to_wstring(static_cast<int>(step)).c_str());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;  // the child's report would only repeat the step
    startup.hStdOutput = startup.hStdError = startup.hStdInput = INVALID_HANDLE_VALUE;
    PROCESS_INFORMATION child{};
    BOOL started =
        CreateProcessW(self, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child);
    SetEnvironmentVariableW(L"PEUPDATE_KILL_TARGET", nullptr);
    SetEnvironmentVariableW(L"PEUPDATE_KILL_STEP", nullptr);
    ASSERT_TRUE(started);
    rtl::TKernelHandle process(child.hProcess);
    rtl::TKernelHandle thread(child.hThread);
    WaitForSingleObject(process.get(), 60000);
    DWORD code = 0;
    GetExitCodeProcess(process.get(), &code);
    ASSERT_EQ(code, 77u) << "the child was not stopped at the step";
  }
  std::vector<std::wstring> SortedEntries() const {
    std::vector<std::wstring> names = folder.Entries();
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(FileReplaceKilledTest, AtEveryStepTheTargetIsWholeAndTheNextUpdateRepairsTheRest) {
  const std::wstring fresh = L"Pelano5.exe.PeUpdate-new";
  const std::wstring backup = L"Pelano5.exe.PeUpdate-old";
  struct Case {
    app::ReplaceStep step;
    bool oldFileThere;
    bool newContentInPlace;
    std::vector<std::wstring> left;
  };
  const Case cases[] = {
      {app::ReplaceStep::NewContentWritten, true, false, {L"Pelano5.exe", fresh}},
      {app::ReplaceStep::BackupKept, true, false, {L"Pelano5.exe", fresh, backup}},
      {app::ReplaceStep::Renamed, true, true, {L"Pelano5.exe", backup}},
      {app::ReplaceStep::Verified, true, true, {L"Pelano5.exe", backup}},
      {app::ReplaceStep::NewContentWritten, false, false, {fresh}},
      {app::ReplaceStep::Renamed, false, true, {L"Pelano5.exe"}},
  };
  for (const Case& each : cases) {
    SCOPED_TRACE(testing::Message() << "step " << static_cast<int>(each.step) << (each.oldFileThere ? "" : ", no old file"));
    DeleteFileW(TargetWide().c_str());
    if (each.oldFileThere) WriteWholeFile(TargetWide(), oldContent);
    KillAt(each.step);
    EXPECT_EQ(SortedEntries(), each.left);
    std::vector<char> expected = each.newContentInPlace ? newContent : each.oldFileThere ? oldContent : std::vector<char>{};
    EXPECT_EQ(ReadWholeFile(TargetWide()), expected);
    app::RecoverInterruptedReplace(Target());
    EXPECT_EQ(ReadWholeFile(TargetWide()), expected);
    EXPECT_EQ(folder.Entries().size(), (each.oldFileThere || each.newContentInPlace) ? 1u : 0u);
  }
  // And the update after a kill goes through.
  WriteWholeFile(TargetWide(), oldContent);
  KillAt(app::ReplaceStep::BackupKept);
  Replace(newContent);
  EXPECT_EQ(ReadWholeFile(TargetWide()), newContent);
  EXPECT_EQ(folder.Entries(), std::vector<std::wstring>{L"Pelano5.exe"});
}

TEST_F(FileReplaceKilledTest, AMissingTargetIsPutBackFromOurBackup) {
  // What a replacement that renamed the old file away first leaves when killed at the wrong moment.
  WriteWholeFile(folder.File(L"Pelano5.exe.PeUpdate-old"), oldContent);
  WriteWholeFile(folder.File(L"Pelano5.exe.PeUpdate-new"), newContent);
  app::RecoverInterruptedReplace(Target());
  EXPECT_EQ(ReadWholeFile(TargetWide()), oldContent);
  EXPECT_EQ(folder.Entries(), std::vector<std::wstring>{L"Pelano5.exe"});
  // Someone else's files beside the target are left alone.
  WriteWholeFile(folder.File(L"Pelano5.exe.bak"), newContent);
  WriteWholeFile(folder.File(L"Other.exe.PeUpdate-old"), newContent);
  app::RecoverInterruptedReplace(Target());
  EXPECT_EQ(SortedEntries(), (std::vector<std::wstring>{L"Other.exe.PeUpdate-old", L"Pelano5.exe", L"Pelano5.exe.bak"}));
}

// Runs only under a file-size limit (the app_disk_full test): the new content cannot be written
// out whole, and the old file must survive untouched.
TEST_F(FileReplaceTest, DiskFullLeavesTheOldFileWhole) {
  const char* limit = std::getenv("PEUPDATE_FILE_SIZE_LIMIT");
  if (limit == nullptr) GTEST_SKIP() << "needs the file-size limit of the app_disk_full test";
  std::vector<char> tooLarge = Pattern(static_cast<std::size_t>(std::atoi(limit)) * 4, 'x');
  WriteWholeFile(TargetWide(), oldContent);
  try {
    Replace(tooLarge);
    ADD_FAILURE() << "a write beyond the limit succeeded";
  } catch (const rtl::EWriteError& error) {
    EXPECT_EQ(error.Message, rtl::Utf8ToSjis("ｽﾄﾘｰﾑへの書き込みｴﾗｰ"));
  }
  EXPECT_EQ(ReadWholeFile(TargetWide()), oldContent);
  EXPECT_EQ(folder.Entries(), std::vector<std::wstring>{L"Pelano5.exe"});
}

}  // namespace
