#include "framework/DriveComboBox.h"

#include "framework/ErrorModeGuard.h"
#include "framework/GlyphListItem.h"
#include "rtl/ScopeExit.h"
#include "rtl/Sjis.h"
#include "rtl/SystemDlls.h"

namespace framework {

namespace {

// By TDriveType; an unknown drive shows as a fixed one.
const wchar_t* const kDriveGlyphNames[] = {L"HARD", L"FLOPPY", L"HARD", L"NETWORK", L"CDROM", L"RAM"};

}  // namespace

const TClass& TDriveComboBox::StaticClass() {
  static const TClass info =
      TClassBuilder<TDriveComboBox>("TDriveComboBox", &TWinControl::StaticClass())
          .Component("DirList", &TDriveComboBox::DirList, &TDriveComboBox::SetDirList)
          .Boolean("TabStop", &TDriveComboBox::TabStop, &TDriveComboBox::SetTabStop, true)
          .Enumeration("TextCase", &TDriveComboBox::TextCase, &TDriveComboBox::SetTextCase,
                       {"tcLowerCase", "tcUpperCase"}, TTextCase::tcLowerCase)
          .Event("OnChange", &TDriveComboBox::OnChange);
  return info;
}

TDriveComboBox::TDriveComboBox(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 145, 21);
  SetTabStop(true);
  SetColor(clWindow);
  clickOnMouseUp_ = false;
  for (int i = 0; i < 6; ++i) LoadGlyph(glyphs_[i], kDriveGlyphNames[i]);
  BuildList();
  if (char letter = paths::DriveLetter(paths::CurrentFolder())) drive_ = letter;
}

TDriveComboBox::~TDriveComboBox() { SetDirList(nullptr); }

void TDriveComboBox::BuildList() {
  drives_.clear();
  TErrorModeGuard quiet;
  DWORD present = GetLogicalDrives();
  for (int i = 0; i < 26; ++i) {
    if (!(present & (DWORD{1} << i))) continue;
    char letter = static_cast<char>('A' + i);
    wchar_t root[] = {static_cast<wchar_t>(L'A' + i), L':', L'\\', 0};
    TDriveType type = TDriveType::dtUnknown;
    switch (GetDriveTypeW(root)) {
      case DRIVE_NO_ROOT_DIR:
        continue;
      case DRIVE_REMOVABLE:
        type = TDriveType::dtFloppy;
        break;
      case DRIVE_FIXED:
        type = TDriveType::dtFixed;
        break;
      case DRIVE_REMOTE:
        type = TDriveType::dtNetwork;
        break;
      case DRIVE_CDROM:
        type = TDriveType::dtCDROM;
        break;
      case DRIVE_RAMDISK:
        type = TDriveType::dtRAM;
        break;
      default:
        break;
    }
    std::wstring detail;
    if (type == TDriveType::dtFixed || type == TDriveType::dtCDROM || type == TDriveType::dtRAM) {
      wchar_t label[MAX_PATH + 1] = {};
      if (!GetVolumeInformationW(root, label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0)) label[0] = 0;
      detail = L" [" + std::wstring(label) + L"]";
    } else if (type == TDriveType::dtNetwork) {
      wchar_t local[] = {root[0], L':', 0};
      wchar_t remote[MAX_PATH + 1] = {};
      DWORD length = MAX_PATH + 1;
      if (rtl::sys::WNetGetConnectionW(local, remote, &length) == NO_ERROR) detail = L" " + std::wstring(remote);
    }
    drives_.push_back({letter, type, detail});
  }
  ComposeTexts();
  FillWindow();
}

void TDriveComboBox::ComposeTexts() {
  entries_.clear();
  for (const TDetail& drive : drives_) {
    wchar_t letter = static_cast<wchar_t>(textCase_ == TTextCase::tcUpperCase ? drive.Letter : drive.Letter - 'A' + 'a');
    entries_.push_back({drive.Letter, drive.Type, std::wstring{letter, L':'} + drive.Detail});
  }
}

std::string TDriveComboBox::EntryText(int32_t index) const {
  return rtl::WideToSjis(entries_.at(static_cast<std::size_t>(index)).Text);
}

void TDriveComboBox::SetTextCase(TTextCase textCase) {
  if (textCase == textCase_) return;
  textCase_ = textCase;
  ComposeTexts();
  FillWindow();
}

int32_t TDriveComboBox::IndexOf(char letter) const {
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].Letter == letter) return static_cast<int32_t>(i);
  }
  return -1;
}

int32_t TDriveComboBox::ItemIndex() {
  if (!HandleAllocated()) return IndexOf(drive_);
  return static_cast<int32_t>(SendMessageW(Handle(), CB_GETCURSEL, 0, 0));
}

void TDriveComboBox::SetDrive(char letter) {
  if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
  if (letter < 'A' || letter > 'Z') return;
  if (letter == drive_) {
    SelectDrive();
    return;
  }
  if (dirList_ != nullptr && dirList_->Drive() != letter) {
    // When the list cannot go there, the window shows the drive that stays selected.
    rtl::TScopeExit reselect([this] { SelectDrive(); });
    // The linked list calls back FollowList once it is there.
    dirList_->Enter(std::wstring{static_cast<wchar_t>(letter), L':'});
    reselect.Dismiss();
    if (drive_ == letter) return;
  }
  drive_ = letter;
  SelectDrive();
  OnChange(this);
}

void TDriveComboBox::FollowList(char letter) {
  if (letter == 0 || letter == drive_) return;
  drive_ = letter;
  SelectDrive();
  OnChange(this);
}

void TDriveComboBox::SetDirList(TDirectoryListBox* list) {
  if (dirList_ != nullptr) {
    dirList_->driveCombo_ = nullptr;
    dirList_->followDrive_ = nullptr;
    dirList_->RemoveFreeNotification(this);
  }
  dirList_ = list;
  if (list == nullptr) return;
  // A list follows one drive list: the one it followed lets go of it.
  if (list->driveCombo_ != nullptr && list->driveCombo_ != this) {
    auto* previous = static_cast<TDriveComboBox*>(list->driveCombo_);
    previous->dirList_ = nullptr;
    list->RemoveFreeNotification(previous);
  }
  list->driveCombo_ = this;
  list->followDrive_ = [this](char letter) { FollowList(letter); };
  list->FreeNotification(this);
  FollowList(list->Drive());
}

void TDriveComboBox::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation == TOperation::opRemove && component == dirList_) dirList_ = nullptr;
}

void TDriveComboBox::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  closedHeight_ = height;
  TWinControl::SetBounds(left, top, width, height);
  if (HandleAllocated()) FitClosedHeight();
}

void TDriveComboBox::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.SystemClass = L"COMBOBOX";
  params.Style |= WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS;
  // The height given at creation sets how far the list drops down.
  params.Height = closedHeight_ + kItemHeight * kDropDownCount + 2;
}

void TDriveComboBox::CreateWnd() {
  SendMessageW(Handle(), CB_SETITEMHEIGHT, 0, kItemHeight);
  FitClosedHeight();
  FillWindow();
}

// The closed combo box takes its height from its selection field: size that field so that the
// box is as high as asked. The field height read back need not be the one set (the system may add
// its padding), so each step corrects the value set before.
void TDriveComboBox::FitClosedHeight() {
  HWND window = Handle();
  auto field = static_cast<int32_t>(SendMessageW(window, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
  for (int attempt = 0; attempt < 3; ++attempt) {
    RECT r{};
    GetWindowRect(window, &r);
    int32_t difference = closedHeight_ - (r.bottom - r.top);
    if (difference == 0 || field + difference < 1) return;
    field += difference;
    SendMessageW(window, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
  }
}

void TDriveComboBox::FillWindow() {
  if (!HandleAllocated()) return;
  HWND window = Handle();
  SendMessageW(window, CB_RESETCONTENT, 0, 0);
  for (const TEntry& entry : entries_) {
    SendMessageW(window, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.Text.c_str()));
  }
  SelectDrive();
}

void TDriveComboBox::SelectDrive() {
  if (HandleAllocated()) SendMessageW(Handle(), CB_SETCURSEL, static_cast<WPARAM>(IndexOf(drive_)), 0);
}

void TDriveComboBox::CommandNotify(WORD code) {
  // While the list is down, moving through it only looks; the choice counts when it closes.
  if (code == CBN_SELCHANGE && SendMessageW(Handle(), CB_GETDROPPEDSTATE, 0, 0)) return;
  if (code != CBN_SELCHANGE && code != CBN_SELENDOK) return;
  int32_t index = ItemIndex();
  if (index >= 0 && index < static_cast<int32_t>(entries_.size())) SetDrive(entries_[static_cast<std::size_t>(index)].Letter);
}

void TDriveComboBox::DrawItem(const DRAWITEMSTRUCT& item) {
  if (item.itemID >= entries_.size()) {
    DrawBlankEntry(item);
    return;
  }
  const TEntry& entry = entries_[item.itemID];
  DrawEntry(item, 0, &glyphs_[static_cast<int>(entry.Type)], entry.Text);
}

}  // namespace framework
