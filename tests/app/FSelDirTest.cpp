// The folder browser as the install-folder dialog uses it, with real windows, and the button glyph.
#include "app/FSelDir.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "Fixtures.h"
#include "app/UMessage.h"
#include "framework/Application.h"
#include "support/Gui.h"
#include "rtl/Sjis.h"
#include "support/Folders.h"
#include "support/Layout.h"
#include "support/ScratchFolder.h"
#include "support/MessageOf.h"

namespace {

using namespace framework;
using app::TfrmSelDir;
using rtl::Utf8ToSjis;
using rtl::WideToSjis;
using testing_support::CurrentFolder;
using testing_support::SamePath;

class SelDirTest : public testing_support::DialogTest<TfrmSelDir> {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    Create();
    root = WideToSjis(scratch.path());
  }

  std::string Folder(const std::string& relative) { return root + "\\" + relative; }
  void MakeFolder(const std::wstring& relative) {
    ASSERT_TRUE(CreateDirectoryW(scratch.File(relative).c_str(), nullptr));
  }

  testing_support::ScratchFolder scratch;
  std::string root;
};

TEST_F(SelDirTest, BuildsTheWindowAsLaidOut) {
  HWND window = form->Handle();
  EXPECT_EQ(testing_support::WindowText(window), Utf8ToSjis("フォルダの選択"));
  testing_support::ExpectDialogFrame(window, 464, 298, true);
  EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
  testing_support::ExpectPlaced({{form->OKBtn, 343, 16, 105, 43, "はい"},
                                 {form->CancelBtn, 343, 71, 105, 43, "いいえ"},
                                 {form->Panel1, 12, 12, 305, 277, nullptr},
                                 {form->DirectoryListBox, 16, 32, 273, 205, nullptr},
                                 {form->DriveComboBox1, 83, 246, 206, 18, nullptr},
                                 {form->lblDirName, 80, 12, 213, 16, nullptr},
                                 {form->Label1, 16, 12, -1, -1, "フォルダ(&F):"},
                                 {form->Label2, 20, 250, -1, -1, "ドライブ(&V)"}});
  EXPECT_EQ(GetParent(form->DirectoryListBox->Handle()), form->Panel1->Handle());
  EXPECT_EQ(GetParent(form->DriveComboBox1->Handle()), form->Panel1->Handle());
  EXPECT_FALSE(form->lblDirName->AutoSize());
  testing_support::ExpectConfirmAndCancelButtons(form->OKBtn, form->CancelBtn);
  testing_support::ExpectWindowFont(*form);
  EXPECT_TRUE(testing_support::IsTheUpdatersGlyph(form->OKBtn->Glyph()));
  EXPECT_TRUE(form->CancelBtn->Glyph().Empty());

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

TEST_F(SelDirTest, StartsOnTheProcesssCurrentFolderAndFindsTheSystemsProgramFilesFolderBelowAMissingOne) {
  EXPECT_TRUE(SamePath(form->SelectedFolder(), WideToSjis(CurrentFolder()))) << form->SelectedFolder();
  wchar_t programFiles[MAX_PATH] = {};
  ASSERT_GT(ExpandEnvironmentStringsW(L"%ProgramFiles%", programFiles, MAX_PATH), 0u);
  form->SetStartFolder(WideToSjis(programFiles) + "\\PELANO5W");
  EXPECT_TRUE(SamePath(form->SelectedFolder(), WideToSjis(programFiles))) << form->SelectedFolder();
}

// A start folder that is not there opens on its nearest existing parent, and one that gives none
// (nothing, a trailing backslash, a drive that is not there) leaves the list where it was.
TEST_F(SelDirTest, AStartFolderOpensOnItselfOrItsNearestExistingParent) {
  MakeFolder(L"Program Files");
  MakeFolder(L"Apps");
  testing_support::WriteWholeFile(scratch.File(L"Pelano5.exe"), {'M', 'Z'});
  const std::string absent(1, testing_support::AbsentDrive());
  ASSERT_NE(absent[0], 0);
  const struct {
    std::string start;
    std::string selected;  // empty: where the list was
  } cases[] = {
      {Folder("Program Files\\PELANO5W"), Folder("Program Files")},
      {Folder("a\\b\\c"), root},
      {Folder("Apps\\X\\"), ""},
      {Folder("Apps\\X"), Folder("Apps")},
      {"C:", "C:\\"},
      {"C:\\", "C:\\"},  // a root keeps its backslash
      {absent + ":\\X", ""},
      {absent + ":", ""},
      {Folder("Pelano5.exe"), root},  // a file is no folder, but its folder is
      {"", ""},
  };
  for (const auto& each : cases) {
    SCOPED_TRACE(each.start);
    form->SetStartFolder(Folder("Apps"));
    form->SetStartFolder(each.start);
    EXPECT_EQ(form->SelectedFolder(), each.selected.empty() ? Folder("Apps") : each.selected);
  }
  EXPECT_TRUE(errors.empty());
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
