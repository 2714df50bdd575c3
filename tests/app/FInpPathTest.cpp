// The install-folder dialog with real windows: its layout, the folder it proposes from the registry
// or the program-files folder, the start button and its glyph, and the version check at closing.
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
#include "support/Pixels.h"
#include "support/Registry.h"
#include "support/ScratchFolder.h"

namespace {

using namespace framework;
using app::TfrmInputPath;
using rtl::Utf8ToSjis;
using rtl::WideToSjis;
using testing_support::ReadPixels;

const wchar_t kClassKey[] = L"Pelano5.Application";
const wchar_t kCurrentVersionKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion";

// Registers the install folder as the application's installer does, under HKEY_CLASSES_ROOT.
void Register(const std::wstring& folder) {
  std::wstring key = std::wstring(kClassKey) + L"\\dstDir";
  ASSERT_EQ(RegSetValueW(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, folder.c_str(),
                         static_cast<DWORD>(folder.size() * sizeof(wchar_t))),
            ERROR_SUCCESS);
}

// A value of HKLM\Software\Microsoft\Windows\CurrentVersion as it is stored, type and bytes;
// an empty type when there is none.
struct StoredValue {
  std::optional<DWORD> type;
  std::vector<BYTE> bytes;
};

void WriteCurrentVersionValue(const wchar_t* name, const StoredValue& value) {
  rtl::TRegistryKey key = testing_support::CreateKey(HKEY_LOCAL_MACHINE, kCurrentVersionKey);
  ASSERT_TRUE(key);
  if (value.type) {
    RegSetValueExW(key.get(), name, 0, *value.type, value.bytes.data(), static_cast<DWORD>(value.bytes.size()));
  } else {
    RegDeleteValueW(key.get(), name);
  }
}

StoredValue Text(const std::wstring& text) {
  const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
  return {REG_SZ, std::vector<BYTE>(bytes, bytes + (text.size() + 1) * sizeof(wchar_t))};
}

class InputPathTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(registry.redirected());
    app::UpdateMajor = 5;
    app::UpdateMinorRelease = 16;
    app::TargetPath = "stale";
    Application().SetTitle(Utf8ToSjis("ぺらの5.16アップデーター"));
    Application().SetOnException([this](const std::exception& error) { errors.push_back(ExceptionMessage(error)); });
    folder = WideToSjis(scratch.path());
  }
  void TearDown() override {
    testing_support::CancelLater();
    form.reset();
    testing_support::Pump();
    Application().SetOnException(nullptr);
  }

  void Create() {
    form = std::make_unique<TfrmInputPath>(nullptr);
    // A modal loop that does not end in time is ended, so that a fault fails a test, not the run.
    testing_support::Later([this] { form->SetModalResult(mrAbort); }, 10000);
  }
  // Copies a fixture module in as the installed executable.
  void Install(const char* fixture, const std::wstring& into = L"") {
    std::wstring target = (into.empty() ? scratch.path() : into) + L"\\Pelano5.exe";
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
  bool HasTheUpdatersGlyph(TBitBtn& button) {
    TBitmap& glyph = button.Glyph();
    if (glyph.Width() != 32 || glyph.Height() != 32) return false;
    TBitmap expected;
    expected.LoadFromResourceName(GetModuleHandleW(nullptr), "ButtonPelano");
    return ReadPixels(glyph.Handle(), 32, 32) == ReadPixels(expected.Handle(), 32, 32);
  }

  // The registered folder and ProgramFilesDir are this process's own, whatever runs beside it.
  testing_support::RedirectedRegistry registry;
  testing_support::ScratchFolder scratch;
  std::string folder;
  std::unique_ptr<TfrmInputPath> form;
  std::vector<std::string> errors;
  testing_support::TBoxWatcher boxes;
};

TEST_F(InputPathTest, BuildsTheWindowAsLaidOut) {
  Create();
  HWND window = form->Handle();
  EXPECT_EQ(testing_support::WindowText(window), Utf8ToSjis("ぺらの5.16アップデーター"));
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 491);
  EXPECT_EQ(client.bottom, 215);
  LONG style = GetWindowLongW(window, GWL_STYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
  EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);

  testing_support::ExpectChildRect(form->BitBtn2->Handle(), 112, 164, 105, 43, "BitBtn2");
  testing_support::ExpectChildRect(form->BitBtn3->Handle(), 240, 164, 105, 43, "BitBtn3");
  testing_support::ExpectChildRect(form->Panel1->Handle(), 8, 12, 473, 129, "Panel1");
  testing_support::ExpectChildRect(form->Edit1->Handle(), 16, 83, 337, 20, "Edit1");
  testing_support::ExpectChildRect(form->BitBtn1->Handle(), 366, 74, 93, 39, "BitBtn1");
  for (TWinControl* child : {static_cast<TWinControl*>(form->Edit1), static_cast<TWinControl*>(form->BitBtn1)}) {
    EXPECT_EQ(GetParent(child->Handle()), form->Panel1->Handle());
  }
  EXPECT_EQ(form->Bevel1->BoundsRect(), (TRect{16, 40, 16 + 441, 40 + 13}));
  EXPECT_EQ(form->Label1->Left(), 48);
  EXPECT_EQ(form->Label1->Top(), 16);
  EXPECT_EQ(form->Label2->Left(), 16);
  EXPECT_EQ(form->Label2->Top(), 64);

  EXPECT_EQ(testing_support::WindowText(form->BitBtn2->Handle()), Utf8ToSjis("開始"));
  EXPECT_EQ(testing_support::WindowText(form->BitBtn3->Handle()), Utf8ToSjis("いいえ"));
  EXPECT_EQ(testing_support::WindowText(form->BitBtn1->Handle()), Utf8ToSjis("参照(&R)..."));
  EXPECT_EQ(form->Label1->Caption(), Utf8ToSjis("ぺらのちゃん５がインストールされているフォルダを指定してください"));
  EXPECT_EQ(form->Label2->Caption(), Utf8ToSjis("フォルダ(&F)"));
  testing_support::ExpectConfirmAndCancelButtons(form->BitBtn2, form->BitBtn3);
  testing_support::ExpectWindowFont(*form);
  EXPECT_TRUE(form->BitBtn1->Glyph().Empty());
}

TEST_F(InputPathTest, TheRegisteredFolderIsProposedAndEnablesStartWithTheGlyph) {
  Install("version_5_1_5_9.dll");
  Register(scratch.path());
  Create();
  EXPECT_EQ(form->Edit1->Text(), folder);
  EXPECT_EQ(app::TargetPath, folder + "\\Pelano5.exe");
  EXPECT_TRUE(form->BitBtn2->Enabled());
  EXPECT_TRUE(HasTheUpdatersGlyph(*form->BitBtn2));
  form.reset();

  // With a trailing backslash the target is the same.
  Register(scratch.path() + L"\\");
  Create();
  EXPECT_EQ(form->Edit1->Text(), folder + "\\");
  EXPECT_EQ(app::TargetPath, folder + "\\Pelano5.exe");
  EXPECT_TRUE(form->BitBtn2->Enabled());
}

TEST_F(InputPathTest, TheGlyphComesAndGoesWithTheExecutable) {
  Install("version_5_1_5_9.dll");
  ASSERT_TRUE(CreateDirectoryW(scratch.File(L"empty").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(scratch.File(L"withFolder").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(scratch.File(L"withFolder\\Pelano5.exe").c_str(), nullptr));
  Register(scratch.path());
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
  EXPECT_TRUE(HasTheUpdatersGlyph(*form->BitBtn2));
}

// An empty registered value is a folder text like any other: the target is the bare file name,
// looked up in the current folder, and the button follows it.
TEST_F(InputPathTest, AnEmptyRegisteredValueGivesTheBareFileNameInTheCurrentFolder) {
  Install("version_5_1_5_9.dll");
  std::wstring before = testing_support::CurrentFolder();
  ASSERT_TRUE(SetCurrentDirectoryW(scratch.path().c_str()));
  Register(L"");
  Create();
  SetCurrentDirectoryW(before.c_str());
  EXPECT_EQ(form->Edit1->Text(), "");
  EXPECT_EQ(app::TargetPath, "Pelano5.exe");
  EXPECT_TRUE(form->BitBtn2->Enabled());
  EXPECT_TRUE(HasTheUpdatersGlyph(*form->BitBtn2));
}

// Without %ProgramFiles% unless a test sets it; put back afterwards.
class ProgramFilesTest : public InputPathTest {
 protected:
  void SetUp() override {
    InputPathTest::SetUp();
    wchar_t value[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"ProgramFiles", value, MAX_PATH) > 0) variable = value;
    SetEnvironmentVariableW(L"ProgramFiles", nullptr);
  }
  void TearDown() override {
    if (variable) SetEnvironmentVariableW(L"ProgramFiles", variable->c_str());
    InputPathTest::TearDown();
  }

  std::optional<std::wstring> variable;
};

TEST_F(ProgramFilesTest, TheEnvironmentComesFirstThenTheRegistry) {
  WriteCurrentVersionValue(L"ProgramFilesDir", Text(L"Q:\\Programs"));
  SetEnvironmentVariableW(L"ProgramFiles", L"P:\\Apps");
  EXPECT_EQ(app::ProgramFilesFolder(), "P:\\Apps");
  SetEnvironmentVariableW(L"ProgramFiles", nullptr);
  EXPECT_EQ(app::ProgramFilesFolder(), "Q:\\Programs");
  Create();
  EXPECT_EQ(form->Edit1->Text(), "Q:\\Programs\\PELANO5W");
  EXPECT_EQ(app::TargetPath, "Q:\\Programs\\PELANO5W\\Pelano5.exe");
  EXPECT_FALSE(form->BitBtn2->Enabled());
}

TEST_F(ProgramFilesTest, WithNeitherTheProposalIsTheFolderNameAlone) {
  WriteCurrentVersionValue(L"ProgramFilesDir", StoredValue{});
  EXPECT_EQ(app::ProgramFilesFolder(), "");
  Create();
  EXPECT_EQ(form->Edit1->Text(), "\\PELANO5W");
  EXPECT_EQ(app::TargetPath, "\\PELANO5W\\Pelano5.exe");
  EXPECT_FALSE(form->BitBtn2->Enabled());
  EXPECT_TRUE(errors.empty());
}

// --- pressing "開始" ---

TEST_F(InputPathTest, AcceptsCopiesOlderThanTheUpdateOfTheSameMajorVersion) {
  Register(scratch.path());
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
  Register(scratch.path());
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
  Register(scratch.path());
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
  Register(scratch.path());
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

}  // namespace

namespace {

// Until "開始" has been pressed and the version accepted, the folder is looked at and nothing in it
// touched: what an update stopped half-way left there stays. A folder where our backup stands in
// for the executable is offered and judged by the backup; a target a link leads elsewhere is refused.
TEST_F(InputPathTest, TheFolderIsOnlyLookedAtAndAnInterruptedUpdateCanBeChosen) {
  Install("version_5_1_5_9.dll");
  const std::wstring target = scratch.File(L"Pelano5.exe");
  ASSERT_TRUE(CopyFileW(target.c_str(), app::NewContentPathFor(target).c_str(), FALSE));
  ASSERT_TRUE(MoveFileW(target.c_str(), app::BackupPathFor(target).c_str()));
  const std::vector<std::wstring> left = scratch.Entries();
  Register(scratch.path());
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
