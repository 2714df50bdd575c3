#include "app/FileReplace.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <functional>
#include <optional>
#include <thread>

#include "rtl/Exception.h"
#include "rtl/Handles.h"
#include "rtl/Sjis.h"
#include "support/ScratchFolder.h"
#include "support/MessageOf.h"

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

// Lets go of a held file after ms milliseconds, from a thread of its own; joined when it goes.
class TLetGoLater {
 public:
  TLetGoLater(rtl::TFileHandle& held, DWORD ms) : thread_([&held, ms] {
    Sleep(ms);
    held.reset();
  }) {}
  ~TLetGoLater() { thread_.join(); }
  TLetGoLater(const TLetGoLater&) = delete;
  TLetGoLater& operator=(const TLetGoLater&) = delete;

 private:
  std::thread thread_;
};

bool EndsWith(const std::wstring& path, const std::wstring& end) {
  return path.size() >= end.size() && path.compare(path.size() - end.size(), end.size(), end) == 0;
}

class FileReplaceTest : public ::testing::Test {
 protected:
  void TearDown() override {
    app::SetReplaceStepHook(nullptr);
    app::SetFileCallHook(nullptr);
    app::SetReparseTagHook(nullptr);
    app::SetPatience(app::kPatience);
  }
  std::string Target() const { return rtl::WideToSjis(folder.File(L"Pelano5.exe")); }
  std::wstring TargetWide() const { return folder.File(L"Pelano5.exe"); }
  void Replace(const std::vector<char>& bytes) {
    app::ReplaceFileContents(Target(), bytes.data(), static_cast<int32_t>(bytes.size()));
  }
  std::string ExpectedCreateError() const {
    return rtl::Format(rtl::Utf8ToSjis("ﾌｧｲﾙ %s を作成できません").c_str(), Target().c_str());
  }
  // The user's message names the target; the system's code tells in use from denied (0: the file
  // was refused without a failed call).
  void ExpectCreateError(DWORD systemError) {
    if (const auto error = testing_support::ExceptionOf<rtl::EFCreateError>([&] { Replace(newContent); })) {
      EXPECT_EQ(error->Message, ExpectedCreateError());
      EXPECT_EQ(error->SystemError, systemError);
    }
  }
  std::vector<std::wstring> SortedEntries() const {
    std::vector<std::wstring> names = folder.Entries();
    std::sort(names.begin(), names.end());
    return names;
  }

  ScratchFolder folder;
  std::vector<char> oldContent = Pattern(5000, 'o');
  std::vector<char> newContent = Pattern(300000, 'n');
};

TEST_F(FileReplaceTest, ReplacesWhateverTheTargetHeldAndLeavesNothingElseBehind) {
  const struct {
    const char* what;
    std::optional<std::vector<char>> before;  // none: no target
    std::vector<char> after;
  } cases[] = {{"a smaller file", oldContent, newContent},
               {"no file", std::nullopt, newContent},
               {"a larger file", newContent, oldContent},
               {"an empty content", oldContent, {}}};
  for (const auto& each : cases) {
    SCOPED_TRACE(each.what);
    DeleteFileW(TargetWide().c_str());
    if (each.before) WriteWholeFile(TargetWide(), *each.before);
    Replace(each.after);
    EXPECT_EQ(ReadWholeFile(TargetWide()), each.after);
    EXPECT_EQ(folder.Entries(), std::vector<std::wstring>{L"Pelano5.exe"});
  }
}

TEST_F(FileReplaceTest, ATargetHeldOpenWithoutSharingOrDeniedIsReportedAndKeptWhole) {
  WriteWholeFile(TargetWide(), oldContent);
  app::SetPatience(300);
  {
    rtl::TFileHandle held(CreateFileW(TargetWide().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    ExpectCreateError(ERROR_SHARING_VIOLATION);
  }
  app::SetFileCallHook([](app::FileCall call, const std::wstring& path) -> DWORD {
    return call == app::FileCall::Open && EndsWith(path, L"\\Pelano5.exe") ? ERROR_ACCESS_DENIED : 0;
  });
  ExpectCreateError(ERROR_ACCESS_DENIED);
  EXPECT_EQ(ReadWholeFile(TargetWide()), oldContent);
  EXPECT_EQ(folder.Entries(), std::vector<std::wstring>{L"Pelano5.exe"});
}

// Another program holds the target, or the new file the moment it has taken the target's place (a
// scanner, an indexer, a backup agent), for reading and writing with each way of sharing it, or as
// a scanner looks at it: the replacement waits for it and goes through. (The end-to-end tests hold
// it for longer.)
TEST_F(FileReplaceTest, AFileHeldForAWhileIsWaitedFor) {
  struct Hold {
    DWORD access;
    DWORD share;
    app::ReplaceStep from;  // held before the replacement starts, or by the time it reads the new file back
    DWORD ms;
  };
  std::vector<Hold> holds;
  for (DWORD share = 0; share <= (FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE); ++share) {
    for (app::ReplaceStep from : {app::ReplaceStep::NewContentWritten, app::ReplaceStep::Renamed}) {
      holds.push_back({GENERIC_READ | GENERIC_WRITE, share, from, 400});
    }
  }
  holds.push_back({FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                   app::ReplaceStep::NewContentWritten, 700});  // as HoldLikeAScanner
  for (const Hold& each : holds) {
    SCOPED_TRACE(testing::Message() << "access " << each.access << ", share " << each.share << ", held from step "
                                    << static_cast<int>(each.from));
    WriteWholeFile(TargetWide(), oldContent);
    rtl::TFileHandle held;
    std::optional<TLetGoLater> releaser;
    auto hold = [&] {
      held.reset(CreateFileW(TargetWide().c_str(), each.access, each.share, nullptr, OPEN_EXISTING, 0, nullptr));
      EXPECT_TRUE(held);
      releaser.emplace(held, each.ms);
    };
    if (each.from == app::ReplaceStep::NewContentWritten) hold();
    app::SetReplaceStepHook([&](app::ReplaceStep step) {
      if (step == each.from && !releaser) hold();
    });
    EXPECT_NO_THROW(Replace(newContent));
    releaser.reset();
    EXPECT_EQ(ReadWholeFile(TargetWide()), newContent);
    EXPECT_EQ(folder.Entries(), std::vector<std::wstring>{L"Pelano5.exe"});
  }
}

TEST_F(FileReplaceTest, AScannerThatNeverLetsGoIsReportedOnceThePatienceIsSpent) {
  WriteWholeFile(TargetWide(), oldContent);
  rtl::TFileHandle held(HoldLikeAScanner(TargetWide()));
  ASSERT_TRUE(held);
  app::SetPatience(1500);
  DWORD started = GetTickCount();
  // Every open shares with it; what fails is the rename over a file still open, which the system
  // answers with "access denied".
  ExpectCreateError(ERROR_ACCESS_DENIED);
  DWORD waited = GetTickCount() - started;
  held.reset();
  EXPECT_GE(waited, 1500u);
  EXPECT_LT(waited, 4000u);
  EXPECT_EQ(ReadWholeFile(TargetWide()), oldContent);
  EXPECT_EQ(folder.Entries(), std::vector<std::wstring>{L"Pelano5.exe"});
}

TEST_F(FileReplaceTest, AMissingFolderIsReportedWithTheTargetPath) {
  std::string target = rtl::WideToSjis(folder.File(L"gone\\Pelano5.exe"));
  EXPECT_EQ(testing_support::MessageOf<rtl::EFCreateError>([&] {
              app::ReplaceFileContents(target, newContent.data(), static_cast<int32_t>(newContent.size()));
            }),
            rtl::Format(rtl::Utf8ToSjis("ﾌｧｲﾙ %s を作成できません").c_str(), target.c_str()));
  EXPECT_TRUE(folder.Entries().empty());
}

TEST_F(FileReplaceTest, KeepsAJapaneseFileName) {
  std::wstring name = folder.File(L"表示\\Pelano5.exe");
  CreateDirectoryW(folder.File(L"表示").c_str(), nullptr);
  app::ReplaceFileContents(rtl::WideToSjis(name), newContent.data(), static_cast<int32_t>(newContent.size()));
  EXPECT_EQ(ReadWholeFile(name), newContent);
}

// Links, junctions and mount points as Windows reports them (Wine reports none: the end-to-end tests
// plant links of its own kind). A target that one leads elsewhere is refused before anything is
// written; one at our own names is left as it is, and the replacement takes the next names; a
// reparse point that is no link (a compressed system file) is a plain file.
TEST_F(FileReplaceTest, LinksAreRefusedOrLeftAloneAndOtherReparsePointsArePlainFiles) {
  struct Case {
    const wchar_t* named;
    DWORD tag;
    bool replaced;
  };
  const Case cases[] = {
      {L"\\Pelano5.exe", IO_REPARSE_TAG_SYMLINK, false}, {L"\\Pelano5.exe", IO_REPARSE_TAG_MOUNT_POINT, false},
      {L"\\Pelano5.exe", IO_REPARSE_TAG_WOF, true},      {L"\\Pelano5.exe", IO_REPARSE_TAG_DEDUP, true},
      {L".PeUpdate-new", IO_REPARSE_TAG_SYMLINK, true},    {L".PeUpdate-old", IO_REPARSE_TAG_MOUNT_POINT, true},
  };
  const std::vector<char> planted = Pattern(100, 'p');
  for (const Case& each : cases) {
    SCOPED_TRACE(testing::Message() << each.tag << " on " << rtl::WideToSjis(each.named));
    WriteWholeFile(TargetWide(), oldContent);
    const std::wstring link = each.named[0] == L'.' ? TargetWide() + each.named : L"";
    if (!link.empty()) WriteWholeFile(link, planted);
    app::SetReparseTagHook([&](const std::wstring& path) { return EndsWith(path, each.named) ? each.tag : 0; });
    EXPECT_EQ(app::IsPlainOrMissing(Target()), each.replaced);
    EXPECT_EQ(app::InstalledCopyPath(Target()), Target());
    if (each.replaced) {
      Replace(newContent);
    } else {
      ExpectCreateError(0);
    }
    EXPECT_EQ(ReadWholeFile(TargetWide()), each.replaced ? newContent : oldContent);
    if (!link.empty()) {
      EXPECT_EQ(ReadWholeFile(link), planted);
      DeleteFileW(link.c_str());
    }
    EXPECT_EQ(folder.Entries(), std::vector<std::wstring>{L"Pelano5.exe"});
  }
}

// The system refusing one call of a replacement: the old content keeps a name every time, and the
// next run puts it back wherever the new content was not confirmed.
TEST_F(FileReplaceTest, WhateverCallIsRefusedTheOldContentStaysRecoverable) {
  struct Case {
    const char* what;
    app::FileCall refused;
    const wchar_t* on;  // the end of the name of the file the refused call acts on
    bool alteredAfterRename;
    bool replaced;
  };
  const Case cases[] = {
      {"no hard link: a copy", app::FileCall::HardLink, L"\\Pelano5.exe", false, true},
      {"no hard link, and the new content does not hold", app::FileCall::HardLink, L"\\Pelano5.exe", true, false},
      {"the replacing rename", app::FileCall::Rename, L"-new", false, false},
      {"putting the old file back", app::FileCall::Rename, L"-old", true, false},
  };
  app::SetPatience(200);
  const std::wstring backup = folder.File(L"Pelano5.exe.PeUpdate-old");
  for (const Case& each : cases) {
    SCOPED_TRACE(each.what);
    WriteWholeFile(TargetWide(), oldContent);
    DWORD linksWhileKept = 0;
    app::SetFileCallHook([&](app::FileCall call, const std::wstring& path) -> DWORD {
      return call == each.refused && EndsWith(path, each.on) ? ERROR_ACCESS_DENIED : 0;
    });
    app::SetReplaceStepHook([&](app::ReplaceStep step) {
      if (step == app::ReplaceStep::BackupKept) {
        EXPECT_EQ(ReadWholeFile(backup), oldContent);
        rtl::TFileHandle target(CreateFileW(TargetWide().c_str(), 0, 7, nullptr, OPEN_EXISTING, 0, nullptr));
        BY_HANDLE_FILE_INFORMATION info{};
        if (GetFileInformationByHandle(target.get(), &info)) linksWhileKept = info.nNumberOfLinks;
      }
      if (step == app::ReplaceStep::Renamed && each.alteredAfterRename) WriteWholeFile(TargetWide(), oldContent);
    });
    if (each.replaced) {
      EXPECT_NO_THROW(Replace(newContent));
    } else {
      EXPECT_ANY_THROW(Replace(newContent));
    }
    EXPECT_EQ(linksWhileKept, each.refused == app::FileCall::HardLink ? 1u : 2u);
    std::vector<char> left = ReadWholeFile(TargetWide());
    EXPECT_TRUE(left == (each.replaced ? newContent : oldContent) || ReadWholeFile(backup) == oldContent);
    app::SetFileCallHook(nullptr);
    app::SetReplaceStepHook(nullptr);
    app::RecoverInterruptedReplace(Target());
    EXPECT_EQ(ReadWholeFile(TargetWide()), each.replaced ? newContent : oldContent);
    EXPECT_EQ(folder.Entries(), std::vector<std::wstring>{L"Pelano5.exe"});
  }
}

// A target whose path with our names passes MAX_PATH is replaced through paths without a length
// limit ("\\?\"): the hook answers every call as Windows answers a longer plain path.
TEST_F(FileReplaceTest, ATargetInADeepFolderIsReplacedThroughPathsWithoutALengthLimit) {
  app::SetFileCallHook([](app::FileCall, const std::wstring& path) -> DWORD {
    return path.rfind(L"\\\\?\\", 0) != 0 && path.size() >= MAX_PATH ? ERROR_PATH_NOT_FOUND : 0;
  });
  for (std::size_t length : {std::size_t{MAX_PATH - 20}, std::size_t{250}}) {
    std::wstring deep = folder.path() + L"\\" + std::wstring(length - folder.path().size() - 1, L'd');
    ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
    std::string target = rtl::WideToSjis(deep + L"\\Pelano5.exe");
    WriteWholeFile(deep + L"\\Pelano5.exe", oldContent);
    app::ReplaceFileContents(target, newContent.data(), static_cast<int32_t>(newContent.size()));
    EXPECT_EQ(ReadWholeFile(deep + L"\\Pelano5.exe"), newContent) << length;
    EXPECT_EQ(testing_support::ScratchFolder::EntriesOf(deep), std::vector<std::wstring>{L"Pelano5.exe"}) << length;
  }
}

// What the target holds right after the rename is read back: a file that went missing or changed
// (quarantined, altered by a filter) is no success, and the old file is put back.
class FileReplaceVerifyTest : public FileReplaceTest {
 protected:
  void ExpectWriteErrorWhenAfterRename(const std::function<void()>& tamper) {
    app::SetReplaceStepHook([&](app::ReplaceStep step) {
      if (step == app::ReplaceStep::Renamed) tamper();
    });
    EXPECT_EQ(testing_support::MessageOf<rtl::EWriteError>([&] { Replace(newContent); }),
              rtl::Utf8ToSjis("ｽﾄﾘｰﾑへの書き込みｴﾗｰ"));
  }
};

TEST_F(FileReplaceVerifyTest, AVanishedOrAlteredTargetIsReportedAndTheOldFileIsBack) {
  WriteWholeFile(TargetWide(), oldContent);
  ExpectWriteErrorWhenAfterRename([&] { ASSERT_TRUE(DeleteFileW(TargetWide().c_str())); });
  EXPECT_EQ(ReadWholeFile(TargetWide()), oldContent) << "vanished";
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

// Once the new file has taken the target's place, the old content keeps its name until the new one
// has been confirmed, and the next run puts it back.
TEST_F(FileReplaceTest, AnExceptionBetweenStepsLeavesTheTargetWholeAndTheOldContentANameUntilConfirmed) {
  for (app::ReplaceStep stop : kSteps) {
    SCOPED_TRACE(static_cast<int>(stop));
    WriteWholeFile(TargetWide(), oldContent);
    app::SetReplaceStepHook([stop](app::ReplaceStep step) {
      if (step == stop) throw std::runtime_error("stopped");
    });
    EXPECT_THROW(Replace(newContent), std::runtime_error);
    bool renamed = stop == app::ReplaceStep::Renamed || stop == app::ReplaceStep::Verified;
    EXPECT_EQ(ReadWholeFile(TargetWide()), renamed ? newContent : oldContent);
    EXPECT_EQ(ReadWholeFile(folder.File(L"Pelano5.exe.PeUpdate-old")), renamed ? oldContent : std::vector<char>{});
    app::RecoverInterruptedReplace(Target());
    EXPECT_EQ(ReadWholeFile(TargetWide()), oldContent);
    EXPECT_EQ(folder.Entries(), std::vector<std::wstring>{L"Pelano5.exe"});
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
};

TEST_F(FileReplaceKilledTest, AtEveryStepTheTargetIsWholeAndTheNextUpdateRepairsTheRest) {
  const std::wstring fresh = L"Pelano5.exe.PeUpdate-new";
  const std::wstring backup = L"Pelano5.exe.PeUpdate-old";
  // The repair puts the old content back wherever it still has a name of ours: nothing tells it
  // whether the new content was ever confirmed.
  struct Case {
    app::ReplaceStep step;
    bool oldFileThere;
    bool newContentInPlace;
    std::vector<std::wstring> left;
    bool newContentRepaired;
  };
  const Case cases[] = {
      {app::ReplaceStep::NewContentWritten, true, false, {L"Pelano5.exe", fresh}, false},
      {app::ReplaceStep::BackupKept, true, false, {L"Pelano5.exe", fresh, backup}, false},
      {app::ReplaceStep::Renamed, true, true, {L"Pelano5.exe", backup}, false},
      {app::ReplaceStep::Verified, true, true, {L"Pelano5.exe", backup}, false},
      {app::ReplaceStep::NewContentWritten, false, false, {fresh}, false},
      {app::ReplaceStep::Renamed, false, true, {L"Pelano5.exe"}, true},
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
    expected = each.newContentRepaired ? newContent : each.oldFileThere ? oldContent : std::vector<char>{};
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
  EXPECT_EQ(testing_support::MessageOf<rtl::EWriteError>([&] { Replace(tooLarge); }),
            rtl::Utf8ToSjis("ｽﾄﾘｰﾑへの書き込みｴﾗｰ"))
      << "a write beyond the limit";
  EXPECT_EQ(ReadWholeFile(TargetWide()), oldContent);
  EXPECT_EQ(folder.Entries(), std::vector<std::wstring>{L"Pelano5.exe"});
}

}  // namespace
