// The directory list and the drive list on a plain form, against folders made by the tests and the
// drives of the Wine prefix.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "TestForms.h"
#include "support/Gui.h"
#include "framework/Application.h"
#include "framework/DirectoryListBox.h"
#include "framework/DriveComboBox.h"
#include "rtl/Sjis.h"
#include "support/Folders.h"
#include "support/MessageOf.h"
#include "support/ScratchFolder.h"

namespace {

using namespace framework;
using rtl::SjisToWide;
using rtl::Utf8ToSjis;
using rtl::WideToSjis;
using testing_support::CurrentFolder;
using testing_support::SamePath;

void MakeFolder(const std::wstring& path) { ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << WideToSjis(path); }

// The CP932 width of text in the shared font.
int32_t TextWidth(const std::string& text) {
  std::wstring wide = SjisToWide(text);
  TWindowDC screen;
  TSelectGuard font(screen.get(), SharedFont());
  SIZE size{};
  GetTextExtentPoint32W(screen.get(), wide.c_str(), static_cast<int>(wide.size()), &size);
  return size.cx;
}

// A form holding the two lists and the label, linked as the folder browser links them.
class FileLists : public testing::Test {
 protected:
  void SetUp() override {
    Application().SetOnException([this](const std::exception& error) { errors.push_back(ExceptionMessage(error)); });
    form = std::make_unique<TForm>(nullptr);
    form->SetClientSize(320, 300);
    label = testing_support::Place<TLabel>(*form, 80, 12, 213, 16);
    label->SetAutoSize(false);
    label->SetShowAccelChar(false);
    list = testing_support::Place<TDirectoryListBox>(*form, 16, 32, 273, 205);
    list->SetDirLabel(label);
    combo = testing_support::Place<TDriveComboBox>(*form, 83, 246, 206, 18);
    combo->SetTextCase(TTextCase::tcUpperCase);
    combo->SetDirList(list);
    list->OnChange = [this](TObject*) { ++listChanges; };
    // A folder under the scratch folder, with the case on disk that the tests look for.
    root = WideToSjis(scratch.path());
  }
  // The list on Alpha, whose one subfolder is Beta, on the form shown.
  void ShowAlphaWithBeta() {
    MakeFolder(scratch.File(L"Alpha"));
    MakeFolder(scratch.File(L"Alpha\\Beta"));
    list->SetDirectory(Folder("Alpha"));
    form->Show();
  }
  void TearDown() override {
    form.reset();
    testing_support::Pump();
    Application().SetOnException(nullptr);
  }

  std::string Folder(const std::string& relative) { return root + "\\" + relative; }
  int DriveIndex(char letter) const {
    for (std::size_t i = 0; i < combo->Entries().size(); ++i) {
      if (combo->Entries()[i].Letter == letter) return static_cast<int>(i);
    }
    return -1;
  }

  testing_support::ScratchFolder scratch;
  std::string root;
  std::unique_ptr<TForm> form;
  TLabel* label = nullptr;
  TDirectoryListBox* list = nullptr;
  TDriveComboBox* combo = nullptr;
  int listChanges = 0;
  std::vector<std::string> errors;
};

// The list starts on the process's current folder. A folder is entered as the disk spells it; the
// same folder in another case or with a trailing backslash, and an empty path, change nothing.
TEST_F(FileLists, StartsOnTheCurrentFolderAndEntersAFolderAsTheDiskSpellsIt) {
  const std::string start = list->Directory();
  EXPECT_TRUE(SamePath(SjisToWide(start), CurrentFolder())) << start;
  EXPECT_EQ(list->Entries()[list->CurrentIndex()].Glyph, TFolderGlyph::Current);
  list->SetDirectory("");
  EXPECT_EQ(list->Directory(), start);
  EXPECT_EQ(listChanges, 0);
  MakeFolder(scratch.File(L"Alpha"));
  list->SetDirectory(Folder("ALPHA"));
  const std::string entered = list->Directory();
  EXPECT_EQ(entered.substr(entered.size() - 6), "\\Alpha");
  EXPECT_EQ(listChanges, 1);
  EXPECT_EQ(combo->Drive(), list->Drive());
  label->SetCaption("untouched");
  std::string upper = entered;
  for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  for (const std::string& same : {upper, entered + "\\", std::string()}) {
    list->SetDirectory(same);
    EXPECT_EQ(list->Directory(), entered) << same;
  }
  EXPECT_EQ(label->Caption(), "untouched");
  EXPECT_EQ(listChanges, 1);
}

TEST_F(FileLists, AFolderThatCannotBeEnteredRaisesAndKeepsEverything) {
  MakeFolder(scratch.File(L"Alpha"));
  testing_support::WriteWholeFile(scratch.File(L"file.txt"), {'x'});
  list->SetDirectory(Folder("Alpha"));
  std::string before = list->Directory();
  int entries = list->EntryCount();
  std::string caption = label->Caption();
  const char absent = testing_support::AbsentDrive();
  ASSERT_NE(absent, 0);
  const std::string bad[] = {Folder("missing"), Folder("missing\\deeper"), Folder("file.txt"),
                             std::string(1, absent) + ":\\", Folder("*"), Folder("Al?ha")};
  for (const std::string& path : bad) {
    SCOPED_TRACE(path);
    if (const auto error = testing_support::ExceptionOf<EInOutError>([&] { list->SetDirectory(path); })) {
      EXPECT_EQ(error->Message, Utf8ToSjis("ﾌｫﾙﾀﾞ ") + path + Utf8ToSjis(" に移動できません"));
      EXPECT_NE(error->SystemError, 0u);
    }
    EXPECT_EQ(list->Directory(), before);
    EXPECT_EQ(list->EntryCount(), entries);
    EXPECT_EQ(label->Caption(), caption);
  }
  EXPECT_EQ(listChanges, 1);
}

TEST_F(FileLists, ARootKeepsItsBackslashAndOtherFoldersHaveNone) {
  list->SetDirectory("c:");
  EXPECT_EQ(list->Directory().size(), 3u);
  EXPECT_EQ(list->Directory().substr(1), ":\\");
  EXPECT_EQ(list->CurrentIndex(), 0);
  EXPECT_EQ(list->Entries()[0].Glyph, TFolderGlyph::Current);

  list->SetDirectory("C:\\");
  MakeFolder(scratch.File(L"Alpha"));
  list->SetDirectory(Folder("Alpha") + "\\");
  EXPECT_NE(list->Directory().back(), '\\');
}

TEST_F(FileLists, ShowsThePathDownFromTheRootThenTheSubfoldersSorted) {
  MakeFolder(scratch.File(L"Alpha"));
  MakeFolder(scratch.File(L"Alpha\\Beta"));
  for (const wchar_t* name : {L"b2", L"A1", L"c3", L"表示"}) MakeFolder(scratch.File(std::wstring(L"Alpha\\Beta\\") + name));
  MakeFolder(scratch.File(L"Alpha\\Beta\\hidden"));
  SetFileAttributesW(scratch.File(L"Alpha\\Beta\\hidden").c_str(), FILE_ATTRIBUTE_HIDDEN);
  testing_support::WriteWholeFile(scratch.File(L"Alpha\\Beta\\a0.txt"), {'x'});
  list->SetDirectory(Folder("Alpha\\Beta"));

  const auto& entries = list->Entries();
  int current = list->CurrentIndex();
  ASSERT_EQ(list->EntryCount(), current + 5);
  EXPECT_EQ(entries[0].Level, 0);
  EXPECT_EQ(entries[0].Path.size(), 3u);
  for (int i = 0; i < current; ++i) {
    EXPECT_EQ(entries[i].Glyph, TFolderGlyph::Open) << i;
    EXPECT_EQ(entries[i].Level, i);
  }
  EXPECT_EQ(list->EntryName(current), "Beta");
  EXPECT_EQ(list->EntryName(current - 1), "Alpha");
  EXPECT_EQ(list->EntryPath(current), list->Directory());
  EXPECT_EQ(list->EntryPath(current - 1), Folder("Alpha"));
  EXPECT_EQ(entries[current].Glyph, TFolderGlyph::Current);
  std::vector<std::string> below;
  for (int i = current + 1; i < list->EntryCount(); ++i) {
    below.push_back(list->EntryName(i));
    EXPECT_EQ(entries[i].Glyph, TFolderGlyph::Closed);
    EXPECT_EQ(entries[i].Level, current + 1);
    EXPECT_EQ(list->EntryPath(i), list->Directory() + "\\" + list->EntryName(i));
  }
  EXPECT_EQ(below, (std::vector<std::string>{"A1", "b2", "c3", Utf8ToSjis("表示")}));

  // The window holds the same entries, the current one selected.
  HWND window = list->Handle();
  EXPECT_TRUE(GetWindowLongW(window, GWL_STYLE) & LBS_OWNERDRAWFIXED);
  ASSERT_EQ(SendMessageW(window, LB_GETCOUNT, 0, 0), list->EntryCount());
  for (int i = 0; i < list->EntryCount(); ++i) {
    wchar_t text[MAX_PATH] = {};
    SendMessageW(window, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
    EXPECT_EQ(WideToSjis(text), list->EntryName(i));
  }
  EXPECT_EQ(SendMessageW(window, LB_GETCURSEL, 0, 0), current);
  EXPECT_EQ(SendMessageW(window, LB_GETITEMHEIGHT, 0, 0), 16);
  RECT r = testing_support::ChildRect(window);
  EXPECT_EQ(r.right - r.left, 273);
  EXPECT_EQ(r.bottom - r.top, 205);
}

TEST_F(FileLists, AFolderNameWithA5CSecondByteIsOneEntry) {
  // "表" is 0x95 0x5C in CP932: its second byte must not split the path.
  MakeFolder(scratch.File(L"表"));
  MakeFolder(scratch.File(L"表\\ソフト"));
  list->SetDirectory(Folder(Utf8ToSjis("表\\ソフト")));
  int current = list->CurrentIndex();
  EXPECT_EQ(list->EntryName(current), Utf8ToSjis("ソフト"));
  EXPECT_EQ(list->EntryName(current - 1), Utf8ToSjis("表"));
  EXPECT_EQ(list->EntryPath(current - 1), Folder(Utf8ToSjis("表")));
}

TEST_F(FileLists, DoubleClickEntersTheClickedFolder) {
  ShowAlphaWithBeta();
  HWND window = list->Handle();
  // Presses and releases the button over the entry at index, x pixels in; twice, a double-click.
  auto click = [window](int index, int x, bool twice) {
    RECT item{};
    SendMessageW(window, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    const LPARAM at = MAKELPARAM(item.left + x, (item.top + item.bottom) / 2);
    for (UINT down : {UINT{WM_LBUTTONDOWN}, UINT{WM_LBUTTONDBLCLK}}) {
      if (down == WM_LBUTTONDBLCLK && !twice) break;
      SendMessageW(window, down, MK_LBUTTON, at);
      SendMessageW(window, WM_LBUTTONUP, 0, at);
    }
  };
  click(list->CurrentIndex() + 1, 40, false);
  EXPECT_EQ(list->Directory(), Folder("Alpha"));  // a single click only selects
  click(list->CurrentIndex() + 1, 40, true);
  EXPECT_EQ(list->Directory(), Folder("Alpha\\Beta"));
  EXPECT_EQ(SendMessageW(window, LB_GETCURSEL, 0, 0), list->CurrentIndex());
  click(0, 20, true);  // going up: a double-click on the root
  EXPECT_EQ(list->Directory(), list->EntryPath(0));
  EXPECT_EQ(list->CurrentIndex(), 0);
  EXPECT_TRUE(errors.empty());
}

TEST_F(FileLists, EnterOpensTheSelectedFolderThroughTheFormsKeyboardHandling) {
  ShowAlphaWithBeta();
  list->SetFocus();
  list->SetItemIndex(list->CurrentIndex() + 1);
  PostMessageW(list->Handle(), WM_KEYDOWN, VK_RETURN, 1);
  PostMessageW(list->Handle(), WM_CHAR, L'\r', 1);
  Application().ProcessMessages();
  EXPECT_EQ(list->Directory(), Folder("Alpha\\Beta"));
}

TEST_F(FileLists, AFolderThatVanishedIsReportedWhenOpened) {
  MakeFolder(scratch.File(L"Alpha"));
  MakeFolder(scratch.File(L"Alpha\\Gone"));
  list->SetDirectory(Folder("Alpha"));
  form->Show();
  RemoveDirectoryW(scratch.File(L"Alpha\\Gone").c_str());
  list->SetItemIndex(list->CurrentIndex() + 1);
  SendMessageW(list->Handle(), WM_KEYDOWN, VK_RETURN, 1);
  EXPECT_EQ(list->Directory(), Folder("Alpha"));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], Utf8ToSjis("ﾌｫﾙﾀﾞ ") + Folder("Alpha\\Gone") + Utf8ToSjis(" に移動できません"));
}

TEST_F(FileLists, TheLabelShowsALongFolderShortenedToItsWidth) {
  std::wstring relative;
  for (const wchar_t* name : {L"とても長い名前のフォルダ", L"Second level folder", L"Third", L"最後のフォルダ"}) {
    relative += (relative.empty() ? L"" : L"\\") + std::wstring(name);
    MakeFolder(scratch.File(relative));
  }
  list->SetDirectory(Folder(WideToSjis(relative)));
  std::string full = list->Directory();
  ASSERT_GT(TextWidth(full), 213);
  std::string shown = label->Caption();
  EXPECT_LE(TextWidth(shown), 213) << shown;
  EXPECT_EQ(shown.substr(0, 6), full.substr(0, 2) + "\\...");
  std::string tail = Utf8ToSjis("\\最後のフォルダ");
  EXPECT_EQ(shown.substr(shown.size() - tail.size()), tail);
  // No more is cut than needed: the same path with one more leading folder kept does not fit.
  std::string rest = shown.substr(6);  // "\Third\最後のフォルダ" or shorter
  std::size_t at = full.find(rest.substr(1));
  ASSERT_NE(at, std::string::npos);
  std::string before = full.substr(0, at - 1);
  std::string kept = before.substr(before.rfind('\\'));
  EXPECT_GT(TextWidth(full.substr(0, 2) + "\\..." + kept + rest), 213);

  // A short folder is shown whole.
  list->SetDirectory("C:\\");
  EXPECT_EQ(label->Caption(), list->Directory());
}

TEST_F(FileLists, GlyphsAreDrawnTransparently) {
  ShowAlphaWithBeta();
  HWND window = list->Handle();
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  int closed = list->CurrentIndex() + 1;
  RECT item{};
  SendMessageW(window, LB_GETITEMRECT, static_cast<WPARAM>(closed), reinterpret_cast<LPARAM>(&item));
  int x = item.left + 2 + list->Entries()[closed].Level * 10;
  HDC dc = GetDC(window);
  COLORREF folder = GetPixel(dc, x + 5, item.top + 8);    // the folder's yellow
  COLORREF corner = GetPixel(dc, x + 0, item.top + 15);   // the glyph's background
  ReleaseDC(window, dc);
  EXPECT_EQ(folder, RGB(255, 204, 51));
  EXPECT_EQ(corner, GetSysColor(COLOR_WINDOW));
}

TEST_F(FileLists, TheDriveListHasTheWineDrivesInUpperCase) {
  const auto& entries = combo->Entries();
  std::vector<char> letters;
  for (const auto& entry : entries) letters.push_back(entry.Letter);
  EXPECT_NE(std::find(letters.begin(), letters.end(), 'C'), letters.end());
  EXPECT_NE(std::find(letters.begin(), letters.end(), 'Z'), letters.end());
  EXPECT_TRUE(std::is_sorted(letters.begin(), letters.end()));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    std::string text = combo->EntryText(static_cast<int32_t>(i));
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text[0], entries[i].Letter);
    EXPECT_EQ(text[1], ':');
    wchar_t drive[] = {static_cast<wchar_t>(entries[i].Letter), L':', L'\\', 0};
    if (GetDriveTypeW(drive) == DRIVE_FIXED) {
      wchar_t volume[MAX_PATH + 1] = {};
      GetVolumeInformationW(drive, volume, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0);
      EXPECT_EQ(entries[i].Type, TDriveType::dtFixed);
      std::string expected = std::string(1, entries[i].Letter) + ": [" + WideToSjis(volume) + "]";
      EXPECT_EQ(text, expected);
    }
    if (GetDriveTypeW(drive) == DRIVE_REMOVABLE) {
      EXPECT_EQ(text.size(), 2u);
    }
  }

  HWND window = combo->Handle();
  LONG style = GetWindowLongW(window, GWL_STYLE);
  EXPECT_EQ(style & 3, CBS_DROPDOWNLIST);
  EXPECT_TRUE(style & CBS_OWNERDRAWFIXED);
  ASSERT_EQ(SendMessageW(window, CB_GETCOUNT, 0, 0), static_cast<LRESULT>(entries.size()));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    wchar_t text[MAX_PATH * 2] = {};
    SendMessageW(window, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
    EXPECT_EQ(WideToSjis(text), combo->EntryText(static_cast<int32_t>(i)));
  }
  RECT r = testing_support::ChildRect(window);
  EXPECT_EQ(r.right - r.left, 206);
  EXPECT_EQ(r.bottom - r.top, 18);
  EXPECT_EQ(combo->Height(), 18);

  combo->SetTextCase(TTextCase::tcLowerCase);
  EXPECT_EQ(combo->EntryText(0)[0], entries[0].Letter - 'A' + 'a');
}

TEST_F(FileLists, TheDriveListFollowsTheDirectoryListAndLeadsItWhereItCan) {
  form->Show();
  HWND window = combo->Handle();
  list->SetDirectory("Z:\\");
  EXPECT_EQ(combo->Drive(), 'Z');
  EXPECT_EQ(SendMessageW(window, CB_GETCURSEL, 0, 0), DriveIndex('Z'));
  list->SetDirectory("C:\\windows");
  EXPECT_EQ(combo->Drive(), 'C');
  EXPECT_EQ(SendMessageW(window, CB_GETCURSEL, 0, 0), DriveIndex('C'));

  // The user picks Z in the closed list: the notification reaches the combo box through its parent.
  SendMessageW(window, CB_SETCURSEL, static_cast<WPARAM>(DriveIndex('Z')), 0);
  SendMessageW(form->Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(window));
  EXPECT_EQ(combo->Drive(), 'Z');
  EXPECT_EQ(list->Drive(), 'Z');
  // The process's current folder when it is on that drive, else the root.
  wchar_t full[MAX_PATH] = {};
  GetFullPathNameW(L"Z:", MAX_PATH, full, nullptr);
  std::wstring expected = full;
  if (expected.size() > 3 && expected.back() == L'\\') expected.pop_back();
  EXPECT_TRUE(SamePath(SjisToWide(list->Directory()), expected)) << list->Directory() << " " << WideToSjis(expected);
  EXPECT_TRUE(errors.empty());
  // A drive the list cannot enter puts the selection back.
  list->SetDirectory("C:\\");
  const char absent = testing_support::AbsentDrive();
  ASSERT_NE(absent, 0);
  EXPECT_THROW(combo->SetDrive(absent), EInOutError);
  EXPECT_EQ(combo->Drive(), 'C');
  EXPECT_EQ(list->Directory(), "C:\\");
  EXPECT_EQ(combo->ItemIndex(), DriveIndex('C'));
}

TEST_F(FileLists, TheDriveListDropsDownFarEnoughForItsDrives) {
  form->Show();
  HWND window = combo->Handle();
  combo->SetFocus();
  Application().ProcessMessages();
  SendMessageW(window, CB_SHOWDROPDOWN, TRUE, 0);
  EXPECT_TRUE(SendMessageW(window, CB_GETDROPPEDSTATE, 0, 0));
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  ASSERT_TRUE(GetComboBoxInfo(window, &info));
  RECT dropped{};
  GetWindowRect(info.hwndList, &dropped);
  auto shown = std::min<LONG>(static_cast<LONG>(combo->Entries().size()), 8);
  EXPECT_GE(dropped.bottom - dropped.top, shown * 16);
  EXPECT_EQ(SendMessageW(info.hwndList, LB_GETITEMHEIGHT, 0, 0), 16);
  wchar_t folder[MAX_PATH] = {};
  if (GetEnvironmentVariableW(L"PEUPDATE_SCREENSHOTS", folder, MAX_PATH) > 0) {
    std::wstring request = std::wstring(folder) + L"\\drives.request";
    testing_support::WriteWholeFile(request, {});
    for (int i = 0; i < 100 && GetFileAttributesW(request.c_str()) != INVALID_FILE_ATTRIBUTES; ++i) {
      Application().ProcessMessages();
      Sleep(50);
    }
    EXPECT_TRUE(SendMessageW(window, CB_GETDROPPEDSTATE, 0, 0));
  }
  SendMessageW(window, CB_SHOWDROPDOWN, FALSE, 0);
  // Closing the list without a choice leaves the drive as it was.
  EXPECT_EQ(combo->Drive(), list->Drive());
  EXPECT_TRUE(errors.empty());
}

TEST_F(FileLists, LinksAreDroppedWhenTheLinkedControlsGo) {
  delete label;
  label = nullptr;
  EXPECT_EQ(list->DirLabel(), nullptr);
  list->SetDirectory("C:\\");  // nothing to update: must not touch the freed label
  // A list follows one drive list: another one takes it over, and when that one goes the list
  // follows none.
  auto* second = new TDriveComboBox(form.get());
  second->SetDirList(list);
  EXPECT_EQ(combo->DirList(), nullptr);
  list->SetDirectory("Z:\\");
  EXPECT_EQ(second->Drive(), 'Z');
  EXPECT_EQ(combo->Drive(), 'C');
  delete second;
  list->SetDirectory("C:\\");
  combo->SetDirList(list);
  delete list;
  list = nullptr;
  EXPECT_EQ(combo->DirList(), nullptr);
  combo->SetDrive('Z');
  EXPECT_EQ(combo->Drive(), 'Z');
}

}  // namespace
