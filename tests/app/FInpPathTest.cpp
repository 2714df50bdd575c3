// The install-folder dialog with real windows: its layout, the folder it proposes from the registry
// or the program-files folder (read as the system stores them and brought into code page 932
// whatever the system's own code page), the start button and its glyph, and the version check at
// closing.
#include "app/FInpPath.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Fixtures.h"
#include "app/FileReplace.h"
#include "app/UMessage.h"
#include "framework/Application.h"
#include "rtl/ScopeExit.h"
#include "rtl/Sjis.h"
#include "support/Folders.h"
#include "support/Gui.h"
#include "support/Layout.h"
#include "support/Registry.h"
#include "support/ScratchFolder.h"

namespace {

using namespace framework;
using app::TfrmInputPath;
using rtl::Utf8ToSjis;
using rtl::WideToSjis;
using testing_support::IsTheUpdatersGlyph;

// HKEY_CLASSES_ROOT and HKEY_LOCAL_MACHINE are this process's own, and %ProgramFiles% is unset
// unless a test sets it, whatever runs beside it.
class InputPathTest : public testing_support::DialogTest<TfrmInputPath> {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    ASSERT_TRUE(registry.redirected());
    wchar_t value[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"ProgramFiles", value, MAX_PATH) > 0) programFiles = value;
    SetEnvironmentVariableW(L"ProgramFiles", nullptr);
    app::UpdateMajor = 5;
    app::UpdateMinorRelease = 16;
    app::TargetPath = "stale";
    Application().SetTitle(Utf8ToSjis("ぺらの5.16アップデーター"));
    folder = WideToSjis(scratch.path());
  }
  void TearDown() override {
    DialogTest::TearDown();
    if (programFiles) SetEnvironmentVariableW(L"ProgramFiles", programFiles->c_str());
  }
  // The registered install folder, stored with exactly these characters (a terminating zero only if
  // given); RegisterFolder stores it as the application's installer does.
  void Register(const std::wstring& data, DWORD type = REG_SZ) {
    rtl::TRegistryKey key = testing_support::CreateKey(registry.classes(), L"Pelano5.Application\\dstDir");
    ASSERT_TRUE(key);
    ASSERT_EQ(RegSetValueExW(key.get(), nullptr, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size() * sizeof(wchar_t))),
              ERROR_SUCCESS);
  }
  void RegisterFolder(const std::wstring& path) { Register(path + L'\0'); }
  void SetProgramFilesDir(const std::wstring& data) {
    rtl::TRegistryKey key =
        testing_support::CreateKey(registry.machine(), L"Software\\Microsoft\\Windows\\CurrentVersion");
    ASSERT_TRUE(key);
    RegSetValueExW(key.get(), L"ProgramFilesDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  }
  std::string Proposed() {
    refused = true;
    return app::ProposedInstallFolder(refused);
  }
  // Copies a fixture module in as the installed executable.
  void Install(const char* fixture) {
    const std::wstring target = scratch.File(L"Pelano5.exe");
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(CopyFileW(rtl::SjisToWide(testing_support::FixturePath(fixture)).c_str(), target.c_str(), FALSE));
  }
  // What the close query decides when "開始" is pressed: whether the dialog may close.
  bool PressStart() {
    form->SetModalResult(mrOk);
    bool canClose = true;
    form->FormCloseQuery(form.get(), canClose);
    return canClose;
  }

  testing_support::RedirectedRegistry registry;
  std::optional<std::wstring> programFiles;
  testing_support::ScratchFolder scratch;
  std::string folder;
  bool refused = false;
  testing_support::TBoxWatcher boxes;
};

TEST_F(InputPathTest, BuildsTheWindowAsLaidOut) {
  Create();
  EXPECT_EQ(testing_support::WindowText(form->Handle()), Utf8ToSjis("ぺらの5.16アップデーター"));
  testing_support::ExpectDialogFrame(form->Handle(), 491, 215, true);
  testing_support::ExpectPlaced({{form->BitBtn2, 112, 164, 105, 43, "開始"},
                                 {form->BitBtn3, 240, 164, 105, 43, "いいえ"},
                                 {form->Panel1, 8, 12, 473, 129, nullptr},
                                 {form->Edit1, 16, 83, 337, 20, nullptr},
                                 {form->BitBtn1, 366, 74, 93, 39, "参照(&R)..."},
                                 {form->Bevel1, 16, 40, 441, 13, nullptr},
                                 {form->Label1, 48, 16, -1, -1, "ぺらのちゃん５がインストールされているフォルダを指定してください"},
                                 {form->Label2, 16, 64, -1, -1, "フォルダ(&F)"}});
  for (TWinControl* child : {static_cast<TWinControl*>(form->Edit1), static_cast<TWinControl*>(form->BitBtn1)}) {
    EXPECT_EQ(GetParent(child->Handle()), form->Panel1->Handle());
  }
  testing_support::ExpectConfirmAndCancelButtons(form->BitBtn2, form->BitBtn3);
  testing_support::ExpectWindowFont(*form);
  EXPECT_TRUE(form->BitBtn1->Glyph().Empty());
}

// The registered folder is proposed as it is, and enables the start button with the updater's glyph
// when the executable is there. An empty value is a folder text like any other: the target is the
// bare file name, looked up in the current folder.
TEST_F(InputPathTest, TheRegisteredFolderIsProposedAndEnablesStartWithTheGlyph) {
  Install("version_5_1_5_9.dll");
  const std::wstring before = testing_support::CurrentFolder();
  ASSERT_TRUE(SetCurrentDirectoryW(scratch.path().c_str()));
  rtl::TScopeExit back([&before] { SetCurrentDirectoryW(before.c_str()); });
  const struct {
    std::wstring registered;
    std::string shown;
    std::string target;
  } cases[] = {{scratch.path(), folder, folder + "\\Pelano5.exe"},
               {scratch.path() + L"\\", folder + "\\", folder + "\\Pelano5.exe"},
               {L"", "", "Pelano5.exe"}};
  for (const auto& each : cases) {
    SCOPED_TRACE(each.shown);
    RegisterFolder(each.registered);
    Create();
    EXPECT_EQ(form->Edit1->Text(), each.shown);
    EXPECT_EQ(app::TargetPath, each.target);
    EXPECT_TRUE(form->BitBtn2->Enabled());
    EXPECT_TRUE(IsTheUpdatersGlyph(form->BitBtn2->Glyph()));
  }
}

TEST_F(InputPathTest, TheGlyphComesAndGoesWithTheExecutable) {
  Install("version_5_1_5_9.dll");
  ASSERT_TRUE(CreateDirectoryW(scratch.File(L"empty").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(scratch.File(L"withFolder").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(scratch.File(L"withFolder\\Pelano5.exe").c_str(), nullptr));
  RegisterFolder(scratch.path());
  Create();
  ASSERT_TRUE(form->BitBtn2->Enabled());
  for (const char* without : {"\\empty", "\\withFolder"}) {
    form->Edit1->SetText(folder + without);
    EXPECT_FALSE(form->BitBtn2->Enabled()) << without;
    EXPECT_TRUE(form->BitBtn2->Glyph().Empty()) << without;
    EXPECT_EQ(app::TargetPath, folder + without + "\\Pelano5.exe");
  }
  form->Edit1->SetText(folder);
  EXPECT_TRUE(form->BitBtn2->Enabled());
  EXPECT_TRUE(IsTheUpdatersGlyph(form->BitBtn2->Glyph()));
}

// --- the proposed folder as the registry and the environment give it ---

TEST_F(InputPathTest, AJapaneseRegisteredFolderArrivesInCodePage932WhateverTheSystemsCodePage) {
  Register(L"C:\\\u30d7\u30ed\u30b0\u30e9\u30e0\\\u307a\u3089\u306e\u8868\u793a" + std::wstring(1, L'\0'));
  EXPECT_EQ(Proposed(), Utf8ToSjis("C:\\プログラム\\ぺらの表示"));
  EXPECT_FALSE(refused);
}

TEST_F(InputPathTest, TheValueEndsAtItsFirstZeroWhateverItsStoredLength) {
  Register(L"D:\\Apps\\X");  // stored without a terminating zero
  EXPECT_EQ(Proposed(), "D:\\Apps\\X");
  Register(std::wstring(L"D:\\Apps\\Y\0garbage after the zero", 31));
  EXPECT_EQ(Proposed(), "D:\\Apps\\Y");
  Register(L"D:\\Apps\\Z", REG_EXPAND_SZ);
  EXPECT_EQ(Proposed(), "D:\\Apps\\Z");
}

TEST_F(InputPathTest, AKeyWithoutValueProposesAnEmptyFolderAndNoKeyTheDefault) {
  SetEnvironmentVariableW(L"ProgramFiles", L"C:\\Program Files");
  EXPECT_EQ(Proposed(), "C:\\Program Files\\PELANO5W");
  EXPECT_FALSE(refused);
  ASSERT_TRUE(testing_support::CreateKey(HKEY_CLASSES_ROOT, L"Pelano5.Application\\dstDir"));
  EXPECT_EQ(Proposed(), "");
  Register(L"");
  EXPECT_EQ(Proposed(), "");
}

TEST_F(InputPathTest, ARegisteredFolderBeyondTheBufferIsPassedOver) {
  SetEnvironmentVariableW(L"ProgramFiles", L"C:\\PF");
  std::wstring fits = L"C:\\" + std::wstring(126, L'\u3042');  // 3 + 252 bytes: 255 and the zero
  Register(fits);
  EXPECT_EQ(Proposed().size(), 255u);
  Register(fits + L"x");
  EXPECT_EQ(Proposed(), "C:\\PF\\PELANO5W");
  EXPECT_FALSE(refused);
}

TEST_F(InputPathTest, AFolderCodePage932CannotRepresentIsRefusedNotGuessed) {
  SetEnvironmentVariableW(L"ProgramFiles", L"C:\\Program Files");
  Register(L"C:\\\ud55c\uae00");  // Hangul, which code page 932 lacks
  EXPECT_EQ(Proposed(), "C:\\Program Files\\PELANO5W");
  EXPECT_TRUE(refused);
  Register(L"C:\\caf\u00e9");  // a Latin letter with an accent: no "best fit" to a plain e either
  EXPECT_EQ(Proposed(), "C:\\Program Files\\PELANO5W");
  EXPECT_TRUE(refused);
}

TEST_F(InputPathTest, TheProgramFilesFolderComesFromTheEnvironmentElseTheRegistry) {
  SetEnvironmentVariableW(L"ProgramFiles", L"C:\\\u30d7\u30ed\u30b0\u30e9\u30e0");
  SetProgramFilesDir(L"D:\\Registry Programs");
  EXPECT_EQ(app::ProgramFilesFolder(), Utf8ToSjis("C:\\プログラム"));
  SetEnvironmentVariableW(L"ProgramFiles", L"");  // set, but empty
  EXPECT_EQ(app::ProgramFilesFolder(), "D:\\Registry Programs");
  EXPECT_EQ(Proposed(), "D:\\Registry Programs\\PELANO5W");
  SetEnvironmentVariableW(L"ProgramFiles", nullptr);
  EXPECT_EQ(app::ProgramFilesFolder(), "D:\\Registry Programs");
  Create();
  EXPECT_EQ(form->Edit1->Text(), "D:\\Registry Programs\\PELANO5W");
  EXPECT_EQ(app::TargetPath, "D:\\Registry Programs\\PELANO5W\\Pelano5.exe");
  EXPECT_FALSE(form->BitBtn2->Enabled());
  SetProgramFilesDir(L"D:\\\ud55c");
  EXPECT_EQ(app::ProgramFilesFolder(), "");
  EXPECT_EQ(Proposed(), "\\PELANO5W");
  EXPECT_TRUE(refused);
}

TEST_F(InputPathTest, WithoutAnyProgramFilesFolderTheProposalIsTheFolderNameAlone) {
  EXPECT_EQ(app::ProgramFilesFolder(), "");
  EXPECT_EQ(Proposed(), "\\PELANO5W");
  EXPECT_FALSE(refused);
  Create();
  EXPECT_EQ(form->Edit1->Text(), "\\PELANO5W");
  EXPECT_EQ(app::TargetPath, "\\PELANO5W\\Pelano5.exe");
  EXPECT_FALSE(form->BitBtn2->Enabled());
  EXPECT_TRUE(errors.empty());
}

// --- pressing "開始" ---

TEST_F(InputPathTest, AcceptsCopiesOlderThanTheUpdateOfTheSameMajorVersion) {
  RegisterFolder(scratch.path());
  // 5.1.5.0 and 5.1.5.9 both stand for 5.15: the fourth number never counts.
  for (const char* fixture : {"version_5_1_5_0.dll", "version_5_1_5_9.dll"}) {
    Install(fixture);
    Create();
    EXPECT_TRUE(PressStart()) << fixture;
    form.reset();
  }
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(InputPathTest, RefusesOtherCopiesWithTheirMessageAndStaysOpen) {
  struct Case {
    const char* fixture;
    std::string message;
  };
  const Case cases[] = {
      {"version_5_1_6_0.dll", app::msgNoUpdateNeeded()}, {"version_5_2_0_0.dll", app::msgNoUpdateNeeded()},
      {"version_4_9_9_0.dll", app::msgCannotUpdate()},   {"version_6_0_0_0.dll", app::msgCannotUpdate()},
      {"record_none.dll", app::msgCannotUpdate()},
  };
  RegisterFolder(scratch.path());
  Install(cases[0].fixture);
  Create();
  for (const Case& each : cases) {
    Install(each.fixture);
    boxes.boxes.clear();
    EXPECT_FALSE(PressStart()) << each.fixture;
    ASSERT_EQ(boxes.boxes.size(), 1u) << each.fixture;
    EXPECT_EQ(boxes.boxes[0].text, each.message) << each.fixture;
    EXPECT_EQ(boxes.boxes[0].caption, Utf8ToSjis("ぺらの5.16アップデーター"));
    EXPECT_TRUE(boxes.boxes[0].exclamationIcon);
  }
}

TEST_F(InputPathTest, AnExecutableDeletedAfterTheButtonWasEnabledKeepsTheDialogOpenWithoutAMessage) {
  Install("version_5_1_5_9.dll");
  RegisterFolder(scratch.path());
  Create();
  ASSERT_TRUE(form->BitBtn2->Enabled());
  ASSERT_TRUE(DeleteFileW(scratch.File(L"Pelano5.exe").c_str()));
  EXPECT_FALSE(PressStart());
  EXPECT_FALSE(form->BitBtn2->Enabled());
  EXPECT_TRUE(form->BitBtn2->Glyph().Empty());
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(InputPathTest, ShownModallyItClosesWithOneOnlyForAnAcceptedCopyAndWithTwoWhenCancelled) {
  Install("version_5_1_5_9.dll");
  RegisterFolder(scratch.path());
  Create();
  testing_support::Later([&] { SendMessageW(form->BitBtn2->Handle(), BM_CLICK, 0, 0); }, 100);
  EXPECT_EQ(form->ShowModal(), mrOk);

  Install("version_5_1_6_0.dll");
  testing_support::Later([&] {
    SendMessageW(form->BitBtn2->Handle(), BM_CLICK, 0, 0);  // refused: the dialog stays
    testing_support::Later([&] { SendMessageW(form->BitBtn3->Handle(), BM_CLICK, 0, 0); }, 100);
  }, 100);
  EXPECT_EQ(form->ShowModal(), mrCancel);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, app::msgNoUpdateNeeded());
  EXPECT_TRUE(errors.empty());
}

// Until "開始" has been pressed and the version accepted, the folder is looked at and nothing in it
// touched: what an update stopped half-way left there stays. A folder where our backup stands in
// for the executable is offered and judged by the backup; a target a link leads elsewhere is refused.
TEST_F(InputPathTest, TheFolderIsOnlyLookedAtAndAnInterruptedUpdateCanBeChosen) {
  Install("version_5_1_5_9.dll");
  const std::wstring target = scratch.File(L"Pelano5.exe");
  ASSERT_TRUE(CopyFileW(target.c_str(), app::NewContentPathFor(target).c_str(), FALSE));
  ASSERT_TRUE(MoveFileW(target.c_str(), app::BackupPathFor(target).c_str()));
  const std::vector<std::wstring> left = scratch.Entries();
  RegisterFolder(scratch.path());
  Create();
  EXPECT_TRUE(form->BitBtn2->Enabled());
  EXPECT_TRUE(PressStart());
  EXPECT_EQ(scratch.Entries(), left);

  Install("version_5_1_5_9.dll");
  rtl::TScopeExit plainAgain([] { app::SetReparseTagHook(nullptr); });
  app::SetReparseTagHook([&target](const std::wstring& path) -> DWORD {
    return CompareStringOrdinal(path.c_str(), -1, (L"\\\\?\\" + target).c_str(), -1, TRUE) == CSTR_EQUAL
               ? IO_REPARSE_TAG_SYMLINK
               : 0;
  });
  EXPECT_FALSE(PressStart());
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, app::msgCannotUpdate());
  EXPECT_EQ(scratch.Entries().size(), left.size() + 1);
}

}  // namespace
