#include "framework/DirectoryListBox.h"

#include <algorithm>

#include "framework/ErrorModeGuard.h"
#include "framework/GlyphListItem.h"
#include "rtl/Handles.h"
#include "rtl/Sjis.h"

namespace framework {

using paths::CurrentFolder;
using paths::DriveLetter;
using paths::ExpandFolder;
using paths::PathParts;
using paths::RootLength;
using paths::SameFolder;
using paths::WithBackslash;

namespace {

const wchar_t* const kFolderGlyphNames[] = {L"OPENFOLDER", L"CURRENTFOLDER", L"CLOSEDFOLDER"};
constexpr int32_t kIndent = 10;

int32_t TextWidth(HDC dc, const std::wstring& text) {
  SIZE size{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  return size.cx;
}

}  // namespace

const TClass& TDirectoryListBox::StaticClass() {
  static const TClass info =
      TClassBuilder<TDirectoryListBox>("TDirectoryListBox", &TWinControl::StaticClass())
          .Component("DirLabel", &TDirectoryListBox::DirLabel, &TDirectoryListBox::SetDirLabel)
          .Integer("ItemHeight", &TDirectoryListBox::ItemHeight, &TDirectoryListBox::SetItemHeight, 16)
          .Boolean("TabStop", &TDirectoryListBox::TabStop, &TDirectoryListBox::SetTabStop, true)
          .Event("OnChange", &TDirectoryListBox::OnChange);
  return info;
}

TDirectoryListBox::TDirectoryListBox(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 145, 97);
  SetTabStop(true);
  SetColor(clWindow);
  clickOnMouseUp_ = false;
  for (int i = 0; i < 3; ++i) LoadGlyph(glyphs_[i], kFolderGlyphNames[i]);
  directory_ = CurrentFolder();
  ReadEntries();
}

std::string TDirectoryListBox::Directory() const { return rtl::WideToSjis(directory_); }

char TDirectoryListBox::Drive() const { return DriveLetter(directory_); }

void TDirectoryListBox::SetDirectory(const std::string& path) {
  if (path.empty()) return;
  std::wstring wide = rtl::SjisToWide(path);
  if (SameFolder(wide, directory_)) return;
  Enter(wide);
}

void TDirectoryListBox::Enter(const std::wstring& folder) {
  std::wstring expanded = ExpandFolder(folder);
  if (SameFolder(expanded, directory_)) return;
  directory_ = expanded;
  ReadEntries();
  FillWindow();
  UpdateLabel();
  if (followDrive_) followDrive_(Drive());
  OnChange(this);
}

void TDirectoryListBox::ReadEntries() {
  entries_.clear();
  std::size_t rootLength = RootLength(directory_);
  if (rootLength == 0) {
    entries_.push_back({directory_, directory_, 0, TFolderGlyph::Current});
    currentIndex_ = 0;
    return;
  }
  std::wstring path = WithBackslash(directory_.substr(0, rootLength));
  entries_.push_back({path, path, 0, TFolderGlyph::Open});
  for (const std::wstring& part : PathParts(directory_, rootLength)) {
    path = WithBackslash(path) + part;
    entries_.push_back({part, path, static_cast<int32_t>(entries_.size()), TFolderGlyph::Open});
  }
  entries_.back().Glyph = TFolderGlyph::Current;
  currentIndex_ = static_cast<int32_t>(entries_.size()) - 1;

  std::vector<std::wstring> names;
  {
    TErrorModeGuard quiet;
    WIN32_FIND_DATAW data{};
    rtl::TFindHandle found(FindFirstFileW((WithBackslash(directory_) + L"*").c_str(), &data));
    if (found) {
      do {
        std::wstring name = data.cFileName;
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || name == L"." || name == L"..") continue;
        if (data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) continue;
        names.push_back(name);
      } while (FindNextFileW(found.get(), &data));
    }
  }
  std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), static_cast<int>(a.size()), b.c_str(),
                          static_cast<int>(b.size())) == CSTR_LESS_THAN;
  });
  int32_t level = currentIndex_ + 1;
  for (const std::wstring& name : names) {
    entries_.push_back({name, WithBackslash(directory_) + name, level, TFolderGlyph::Closed});
  }
}

std::string TDirectoryListBox::EntryName(int32_t index) const {
  return rtl::WideToSjis(entries_.at(static_cast<std::size_t>(index)).Name);
}

std::string TDirectoryListBox::EntryPath(int32_t index) const {
  return rtl::WideToSjis(entries_.at(static_cast<std::size_t>(index)).Path);
}

void TDirectoryListBox::SetDirLabel(TLabel* label) {
  if (dirLabel_ != nullptr) dirLabel_->RemoveFreeNotification(this);
  dirLabel_ = label;
  if (label != nullptr) label->FreeNotification(this);
  UpdateLabel();
}

void TDirectoryListBox::UpdateLabel() {
  if (dirLabel_ == nullptr) return;
  TWindowDC screen;
  TSelectGuard font(screen.get(), SharedFont());
  int32_t width = dirLabel_->Width();
  dirLabel_->SetCaption(MinimizeName(Directory(), [&](const std::string& text) {
    return TextWidth(screen.get(), rtl::SjisToWide(text)) <= width;
  }));
}

void TDirectoryListBox::SetItemHeight(int32_t height) {
  itemHeight_ = std::clamp(height, 1, 255);
  if (HandleAllocated()) {
    SendMessageW(Handle(), LB_SETITEMHEIGHT, 0, MAKELPARAM(itemHeight_, 0));
    Invalidate();
  }
}

void TDirectoryListBox::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  if (component == dirLabel_) dirLabel_ = nullptr;
  if (component == driveCombo_) {
    driveCombo_ = nullptr;
    followDrive_ = nullptr;
  }
}

void TDirectoryListBox::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.SystemClass = L"LISTBOX";
  params.Style |= WS_TABSTOP | WS_VSCROLL | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
  params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TDirectoryListBox::CreateWnd() {
  // The item height the parent might have answered at creation is not ours: set it now.
  SendMessageW(Handle(), LB_SETITEMHEIGHT, 0, MAKELPARAM(itemHeight_, 0));
  FillWindow();
}

void TDirectoryListBox::FillWindow() {
  if (!HandleAllocated()) return;
  HWND window = Handle();
  SendMessageW(window, WM_SETREDRAW, FALSE, 0);
  SendMessageW(window, LB_RESETCONTENT, 0, 0);
  for (const TEntry& entry : entries_) {
    SendMessageW(window, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.Name.c_str()));
  }
  SendMessageW(window, LB_SETCURSEL, static_cast<WPARAM>(currentIndex_), 0);
  SendMessageW(window, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(window, nullptr, TRUE);
}

int32_t TDirectoryListBox::ItemIndex() {
  if (!HandleAllocated()) return currentIndex_;
  return static_cast<int32_t>(SendMessageW(Handle(), LB_GETCURSEL, 0, 0));
}

void TDirectoryListBox::SetItemIndex(int32_t index) {
  SendMessageW(Handle(), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void TDirectoryListBox::OpenCurrent() {
  int32_t index = ItemIndex();
  if (index < 0 || index >= EntryCount()) return;
  std::wstring path = entries_[static_cast<std::size_t>(index)].Path;
  if (!SameFolder(path, directory_)) Enter(path);
}

void TDirectoryListBox::CommandNotify(WORD code) {
  if (code == LBN_DBLCLK) OpenCurrent();
}

void TDirectoryListBox::WindowProc(TMessage& message) {
  switch (message.Msg) {
    case WM_GETDLGCODE:
      // Enter opens the selected folder instead of pressing the form's default button.
      TWinControl::WindowProc(message);
      if (message.WParam == VK_RETURN) message.Result |= DLGC_WANTALLKEYS;
      return;
    case WM_KEYDOWN:
      if (message.WParam == VK_RETURN) {
        OpenCurrent();
        message.Result = 0;
        return;
      }
      break;
    case WM_CHAR:
      if (message.WParam == L'\r') {
        message.Result = 0;
        return;
      }
      break;
    default:
      break;
  }
  TWinControl::WindowProc(message);
}

void TDirectoryListBox::DrawItem(const DRAWITEMSTRUCT& item) {
  if (item.itemID >= entries_.size()) {
    DrawBlankEntry(item);
    return;
  }
  const TEntry& entry = entries_[item.itemID];
  DrawEntry(item, entry.Level * kIndent, &glyphs_[static_cast<int>(entry.Glyph)], entry.Name);
}

}  // namespace framework
