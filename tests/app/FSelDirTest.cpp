// The folder browser as the install-folder dialog uses it, with real windows, and the button glyph.
#include "app/FSelDir.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "Fixtures.h"
#include "app/Paths.h"
#include "app/UMessage.h"
#include "framework/Application.h"
#include "support/Gui.h"
#include "rtl/Sjis.h"
#include "support/Folders.h"
#include "support/Pixels.h"
#include "support/ScratchFolder.h"
#include "support/MessageOf.h"

namespace {

using namespace framework;
using app::TfrmSelDir;
using rtl::Utf8ToSjis;
using rtl::WideToSjis;
using testing_support::CurrentFolder;
using testing_support::ReadPixels;
using testing_support::SamePath;

// A drive letter with no drive behind it.
char AbsentDrive() {
  DWORD drives = GetLogicalDrives();
  for (char letter = 'Y'; letter >= 'D'; --letter) {
    if (!(drives & (1u << (letter - 'A')))) return letter;
  }
  return 0;
}

class SelDirTest : public testing::Test {
 protected:
  void SetUp() override {
    Application().SetOnException([this](const std::exception& error) { errors.push_back(ExceptionMessage(error)); });
    form = std::make_unique<TfrmSelDir>(nullptr);
    // A modal loop that does not end in time is ended, so that a fault fails a test, not the run.
    testing_support::Later([this] { form->SetModalResult(mrAbort); }, 10000);
    root = WideToSjis(scratch.path());
  }
  void TearDown() override {
    testing_support::CancelLater();
    form.reset();
    testing_support::Pump();
    Application().SetOnException(nullptr);
  }

  std::string Folder(const std::string& relative) { return root + "\\" + relative; }
  void MakeFolder(const std::wstring& relative) {
    ASSERT_TRUE(CreateDirectoryW(scratch.File(relative).c_str(), nullptr));
  }

  testing_support::ScratchFolder scratch;
  std::string root;
  std::unique_ptr<TfrmSelDir> form;
  std::vector<std::string> errors;
};

TEST_F(SelDirTest, BuildsTheWindowAsLaidOut) {
  HWND window = form->Handle();
  EXPECT_EQ(testing_support::WindowText(window), Utf8ToSjis("フォルダの選択"));
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 464);
  EXPECT_EQ(client.bottom, 298);
  LONG style = GetWindowLongW(window, GWL_STYLE);
  LONG exStyle = GetWindowLongW(window, GWL_EXSTYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
  EXPECT_TRUE(exStyle & WS_EX_DLGMODALFRAME);
  EXPECT_TRUE(exStyle & WS_EX_TOPMOST);

  testing_support::ExpectChildRect(form->OKBtn->Handle(), 343, 16, 105, 43, "OKBtn");
  testing_support::ExpectChildRect(form->CancelBtn->Handle(), 343, 71, 105, 43, "CancelBtn");
  testing_support::ExpectChildRect(form->Panel1->Handle(), 12, 12, 305, 277, "Panel1");
  testing_support::ExpectChildRect(form->DirectoryListBox->Handle(), 16, 32, 273, 205, "DirectoryListBox");
  testing_support::ExpectChildRect(form->DriveComboBox1->Handle(), 83, 246, 206, 18, "DriveComboBox1");
  EXPECT_EQ(GetParent(form->DirectoryListBox->Handle()), form->Panel1->Handle());
  EXPECT_EQ(GetParent(form->DriveComboBox1->Handle()), form->Panel1->Handle());
  EXPECT_EQ(form->lblDirName->BoundsRect(), (TRect{80, 12, 80 + 213, 12 + 16}));
  EXPECT_FALSE(form->lblDirName->AutoSize());
  EXPECT_EQ(form->Label1->Left(), 16);
  EXPECT_EQ(form->Label1->Top(), 12);
  EXPECT_EQ(form->Label2->Left(), 20);
  EXPECT_EQ(form->Label2->Top(), 250);

  EXPECT_EQ(testing_support::WindowText(form->OKBtn->Handle()), Utf8ToSjis("はい"));
  EXPECT_EQ(testing_support::WindowText(form->CancelBtn->Handle()), Utf8ToSjis("いいえ"));
  EXPECT_EQ(form->Label1->Caption(), Utf8ToSjis("フォルダ(&F):"));
  EXPECT_EQ(form->Label2->Caption(), Utf8ToSjis("ドライブ(&V)"));
  testing_support::ExpectConfirmAndCancelButtons(form->OKBtn, form->CancelBtn);
  testing_support::ExpectWindowFont(*form);

  EXPECT_EQ(form->Label1->FocusControl(), form->DirectoryListBox);
  EXPECT_EQ(form->Label2->FocusControl(), form->DriveComboBox1);
  EXPECT_EQ(form->DirectoryListBox->DirLabel(), form->lblDirName);
  EXPECT_EQ(form->DirectoryListBox->ItemHeight(), 16);
  EXPECT_EQ(form->DriveComboBox1->DirList(), form->DirectoryListBox);
  EXPECT_EQ(form->DriveComboBox1->TextCase(), TTextCase::tcUpperCase);
  EXPECT_EQ(form->DriveComboBox1->Drive(), form->DirectoryListBox->Drive());
  // A folder short enough for the label is shown whole (a long one is shortened with "...").
  form->DirectoryListBox->SetDirectory("C:\\windows");
  EXPECT_TRUE(SamePath(form->lblDirName->Caption(), form->DirectoryListBox->Directory()))
      << form->lblDirName->Caption();
  EXPECT_TRUE(SamePath(form->lblDirName->Caption(), "C:\\windows")) << form->lblDirName->Caption();
}

TEST_F(SelDirTest, PutsTheUpdatersGlyphOnTheOkButton) {
  TBitmap& glyph = form->OKBtn->Glyph();
  ASSERT_EQ(glyph.Width(), 32);
  ASSERT_EQ(glyph.Height(), 32);
  TBitmap expected;
  expected.LoadFromResourceName(GetModuleHandleW(nullptr), "ButtonPelano");
  EXPECT_EQ(ReadPixels(glyph.Handle(), 32, 32), ReadPixels(expected.Handle(), 32, 32));
  EXPECT_TRUE(form->CancelBtn->Glyph().Empty());
}

TEST_F(SelDirTest, StartsOnTheProcesssCurrentFolderAndStaysThereForAnEmptyStart) {
  EXPECT_TRUE(SamePath(form->SelectedFolder(), WideToSjis(CurrentFolder()))) << form->SelectedFolder();
  std::string before = form->SelectedFolder();
  form->SetStartFolder("");
  EXPECT_EQ(form->SelectedFolder(), before);
}

TEST_F(SelDirTest, AMissingFolderOpensOnItsNearestExistingParent) {
  MakeFolder(L"Program Files");
  form->SetStartFolder(Folder("Program Files\\PELANO5W"));
  EXPECT_EQ(form->SelectedFolder(), Folder("Program Files"));
  form->SetStartFolder(Folder("a\\b\\c"));
  EXPECT_EQ(form->SelectedFolder(), root);
  EXPECT_TRUE(errors.empty());
}

TEST_F(SelDirTest, TheSystemsProgramFilesFolderIsFoundBelowAMissingOne) {
  wchar_t programFiles[MAX_PATH] = {};
  ASSERT_GT(ExpandEnvironmentStringsW(L"%ProgramFiles%", programFiles, MAX_PATH), 0u);
  std::string folder = WideToSjis(programFiles);
  form->SetStartFolder(folder + "\\PELANO5W");
  EXPECT_TRUE(SamePath(form->SelectedFolder(), folder)) << form->SelectedFolder();
}

TEST_F(SelDirTest, AMissingFolderWithATrailingBackslashLeavesTheListWhereItWas) {
  MakeFolder(L"Apps");
  std::string before = form->SelectedFolder();
  form->SetStartFolder(Folder("Apps\\X\\"));
  EXPECT_EQ(form->SelectedFolder(), before);
  // Without the backslash the same folder falls back to its parent.
  form->SetStartFolder(Folder("Apps\\X"));
  EXPECT_EQ(form->SelectedFolder(), Folder("Apps"));
  EXPECT_TRUE(errors.empty());
}

TEST_F(SelDirTest, ABareDriveOpensOnItsRoot) {
  form->SetStartFolder("C:");
  EXPECT_EQ(form->SelectedFolder(), "C:\\");
}

TEST_F(SelDirTest, AFolderOnADriveThatIsNotThereLeavesTheListWhereItWas) {
  char absent = AbsentDrive();
  ASSERT_NE(absent, 0);
  std::string before = form->SelectedFolder();
  form->SetStartFolder(std::string(1, absent) + ":\\X");
  EXPECT_EQ(form->SelectedFolder(), before);
  form->SetStartFolder(std::string(1, absent) + ":");
  EXPECT_EQ(form->SelectedFolder(), before);
  EXPECT_TRUE(errors.empty());
}

TEST_F(SelDirTest, AFileIsNotAFolderButItsFolderIs) {
  testing_support::WriteWholeFile(scratch.File(L"Pelano5.exe"), {'M', 'Z'});
  form->SetStartFolder(Folder("Pelano5.exe"));
  EXPECT_EQ(form->SelectedFolder(), root);
}

TEST_F(SelDirTest, ADriveRootJoinsTheFileNameWithoutADoubledBackslash) {
  form->SetStartFolder("C:\\");
  ASSERT_EQ(form->SelectedFolder(), "C:\\");
  EXPECT_EQ(app::JoinPath(form->SelectedFolder(), app::exeFileName()), "C:\\Pelano5.exe");
  MakeFolder(L"Apps");
  form->SetStartFolder(Folder("Apps"));
  EXPECT_EQ(app::JoinPath(form->SelectedFolder(), app::exeFileName()), Folder("Apps\\Pelano5.exe"));
}

// --- shown modally ---

TEST_F(SelDirTest, OkReturnsOneWithTheFolderShown) {
  MakeFolder(L"Apps");
  MakeFolder(L"Apps\\Pelano5");
  MakeFolder(L"Apps\\データ");
  form->SetStartFolder(Folder("Apps"));
  RECT bounds{};
  bool visible = false;
  bool topmost = false;
  testing_support::Later([&] {
    HWND window = form->Handle();
    visible = IsWindowVisible(window) != FALSE;
    topmost = (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    GetWindowRect(window, &bounds);
    // With PEUPDATE_SCREENSHOTS set, a driver outside takes a picture of the screen now.
    wchar_t folder[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"PEUPDATE_SCREENSHOTS", folder, MAX_PATH) > 0) {
      Application().ProcessMessages();
      std::wstring request = std::wstring(folder) + L"\\selDir.request";
      testing_support::WriteWholeFile(request, {});
      for (int i = 0; i < 100 && GetFileAttributesW(request.c_str()) != INVALID_FILE_ATTRIBUTES; ++i) {
        Application().ProcessMessages();
        Sleep(50);
      }
    }
    SendMessageW(form->OKBtn->Handle(), BM_CLICK, 0, 0);
  }, 200);
  EXPECT_EQ(form->ShowModal(), mrOk);
  EXPECT_EQ(form->SelectedFolder(), Folder("Apps"));
  EXPECT_TRUE(visible);
  EXPECT_TRUE(topmost);
  int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  EXPECT_LE(std::abs((bounds.left + bounds.right) - screenWidth), 1);
  EXPECT_LE(std::abs((bounds.top + bounds.bottom) - screenHeight), 1);
  EXPECT_TRUE(errors.empty());
}

TEST_F(SelDirTest, CancelEscapeAndTheCloseBoxReturnTwo) {
  testing_support::Later([&] { SendMessageW(form->CancelBtn->Handle(), BM_CLICK, 0, 0); }, 100);
  EXPECT_EQ(form->ShowModal(), mrCancel);
  // To a control of the form: under X, the focus may not have arrived yet.
  testing_support::Later([&] { PostMessageW(form->OKBtn->Handle(), WM_KEYDOWN, VK_ESCAPE, 1); }, 100);
  EXPECT_EQ(form->ShowModal(), mrCancel);
  testing_support::Later([&] { PostMessageW(form->Handle(), WM_CLOSE, 0, 0); }, 100);
  EXPECT_EQ(form->ShowModal(), mrCancel);
}

TEST_F(SelDirTest, EnterInTheFolderListEntersTheFolderAndEnterOnTheButtonCloses) {
  MakeFolder(L"Apps");
  MakeFolder(L"Apps\\Pelano");
  form->SetStartFolder(Folder("Apps"));
  std::string afterEnter;
  bool stillOpen = false;
  testing_support::Later([&] {
    TDirectoryListBox* list = form->DirectoryListBox;
    list->SetFocus();
    list->SetItemIndex(list->CurrentIndex() + 1);
    PostMessageW(list->Handle(), WM_KEYDOWN, VK_RETURN, 1);
    testing_support::Later([&] {
      afterEnter = form->SelectedFolder();
      stillOpen = IsWindowVisible(form->Handle()) != FALSE;
      form->OKBtn->SetFocus();
      PostMessageW(form->OKBtn->Handle(), WM_KEYDOWN, VK_RETURN, 1);
    }, 100);
  }, 100);
  EXPECT_EQ(form->ShowModal(), mrOk);
  EXPECT_EQ(afterEnter, Folder("Apps\\Pelano"));
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(form->SelectedFolder(), Folder("Apps\\Pelano"));
}

TEST_F(SelDirTest, TheAcceleratorsFocusTheLists) {
  bool listFocused = false;
  bool comboFocused = false;
  testing_support::Later([&] {
    // Under X the form becomes active some time after it is shown; focus follows only then.
    testing_support::PumpUntilActive(form->Handle());
    form->OKBtn->SetFocus();
    // The application's loop gives keys to the form's keyboard handling, as the modal loop does.
    PostMessageW(form->OKBtn->Handle(), WM_SYSCHAR, L'f', 1 << 29);
    framework::Application().ProcessMessages();
    listFocused = form->DirectoryListBox->Focused();
    PostMessageW(form->DirectoryListBox->Handle(), WM_SYSCHAR, L'v', 1 << 29);
    framework::Application().ProcessMessages();
    comboFocused = form->DriveComboBox1->Focused();
    form->SetModalResult(mrCancel);
  }, 100);
  form->ShowModal();
  EXPECT_TRUE(listFocused);
  EXPECT_TRUE(comboFocused);
}

// --- LoadButtonGlyph ---

class LoadButtonGlyphTest : public testing::Test {
 protected:
  void SetUp() override {
    host = std::make_unique<TForm>(nullptr);
    button = new TBitBtn(host.get());
    button->SetParent(host.get());
    TBitmap small;
    small.SetSize(4, 4);
    button->SetGlyph(&small);
  }
  void TearDown() override { app::SetResourceModule(nullptr); }

  std::unique_ptr<TForm> host;
  TBitBtn* button = nullptr;
};

TEST_F(LoadButtonGlyphTest, ReplacesTheGlyphWithThe256ColourPicture) {
  app::LoadButtonGlyph(*button);
  EXPECT_EQ(button->Glyph().Width(), 32);
  EXPECT_EQ(button->Glyph().Height(), 32);
  EXPECT_EQ(button->Glyph().PixelFormat(), TPixelFormat::pf8bit);
  EXPECT_NE(button->Glyph().Palette(), nullptr);
}

TEST_F(LoadButtonGlyphTest, AModuleWithoutThePictureRaisesAndKeepsTheGlyph) {
  testing_support::DataModule bare("record_none.dll");
  ASSERT_NE(bare.get(), nullptr);
  app::SetResourceModule(bare.get());
  EXPECT_EQ(testing_support::MessageOf<rtl::EResNotFound>([&] { app::LoadButtonGlyph(*button); }),
            Utf8ToSjis("ButtonPelano ﾘｿｰｽが見つかりません"));
  EXPECT_EQ(button->Glyph().Width(), 4);
}

}  // namespace
