#include "framework/FileCtrl.h"

#include <algorithm>
#include <cwctype>

#include "framework/Errors.h"
#include "rtl/Sjis.h"
#include "rtl/SystemDlls.h"

namespace framework {

namespace {

const wchar_t* const kFolderGlyphNames[] = {L"OPENFOLDER", L"CURRENTFOLDER", L"CLOSEDFOLDER"};
// By TDriveType; an unknown drive shows as a fixed one.
const wchar_t* const kDriveGlyphNames[] = {L"HARD", L"FLOPPY", L"HARD", L"NETWORK", L"CDROM", L"RAM"};
constexpr int32_t kIndent = 10;

// Drive queries fail quietly instead of asking the user to insert a disk.
class TErrorModeGuard {
 public:
  TErrorModeGuard() : old_(SetErrorMode(SEM_FAILCRITICALERRORS)) {
    SetErrorMode(old_ | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  }
  ~TErrorModeGuard() { SetErrorMode(old_); }
  TErrorModeGuard(const TErrorModeGuard&) = delete;
  TErrorModeGuard& operator=(const TErrorModeGuard&) = delete;

 private:
  UINT old_;
};

class TFindHandle {
 public:
  TFindHandle(const std::wstring& pattern, WIN32_FIND_DATAW& data)
      : handle_(FindFirstFileW(pattern.c_str(), &data)) {}
  ~TFindHandle() {
    if (valid()) FindClose(handle_);
  }
  TFindHandle(const TFindHandle&) = delete;
  TFindHandle& operator=(const TFindHandle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

void LoadGlyph(TBitmap& glyph, const wchar_t* name) {
  glyph.LoadFromResourceName(GetModuleHandleW(nullptr), rtl::WideToSjis(name));
  glyph.SetTransparent(true);
}

std::wstring WithBackslash(std::wstring path) {
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  return path;
}

bool SameFolder(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

// The length of the root of a full path: 3 for C:\, up to and including the "\" after the share
// for \\server\share\...; 0 for anything else (device paths included).
std::size_t RootLength(const std::wstring& path) {
  if (path.size() >= 3 && iswalpha(path[0]) && path[1] == L':' && path[2] == L'\\') return 3;
  if (path.size() < 5 || path[0] != L'\\' || path[1] != L'\\' || path[2] == L'?' || path[2] == L'.') return 0;
  std::size_t server = path.find(L'\\', 2);
  if (server == std::wstring::npos || server == 2 || server + 1 >= path.size() || path[server + 1] == L'\\') return 0;
  std::size_t share = path.find(L'\\', server + 1);
  return share == std::wstring::npos ? path.size() : share + 1;
}

// The names between the backslashes of path from offset from on (empty ones left out).
std::vector<std::wstring> PathParts(const std::wstring& path, std::size_t from) {
  std::vector<std::wstring> parts;
  std::size_t at = from;
  while (at < path.size()) {
    std::size_t end = path.find(L'\\', at);
    if (end == std::wstring::npos) end = path.size();
    if (end > at) parts.push_back(path.substr(at, end - at));
    at = end + 1;
  }
  return parts;
}

// The upper-case drive letter of a path that starts with one, or 0.
char DriveLetter(const std::wstring& path) {
  if (path.size() < 2 || path[1] != L':' || path[0] > 0x7F) return 0;
  return static_cast<char>(towupper(path[0]));
}

// The folder that path names, as the system spells every part of it, once it is known to be a
// folder whose contents can be read.
std::wstring ExpandFolder(const std::wstring& path) {
  auto fail = [&path](DWORD code) { return EInOutError(rtl::WideToSjis(path), code); };
  // Wildcards would make the look-ups below match other names.
  if (path.find_first_of(L"*?\"<>|") != std::wstring::npos) throw fail(ERROR_INVALID_NAME);
  TErrorModeGuard quiet;
  DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) throw fail(GetLastError());
  std::wstring full(needed, L'\0');
  DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) throw fail(GetLastError());
  full.resize(length);

  std::size_t rootLength = RootLength(full);
  if (rootLength == 0) throw fail(ERROR_BAD_PATHNAME);
  std::wstring result = WithBackslash(full.substr(0, rootLength));
  if (result[1] == L':') result[0] = towupper(result[0]);
  for (const std::wstring& part : PathParts(full, rootLength)) {
    WIN32_FIND_DATAW data{};
    TFindHandle found(WithBackslash(result) + part, data);
    if (!found.valid()) throw fail(GetLastError());
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) throw fail(ERROR_DIRECTORY);
    result = WithBackslash(result) + data.cFileName;
  }
  WIN32_FIND_DATAW data{};
  TFindHandle contents(WithBackslash(result) + L"*", data);
  if (!contents.valid()) {
    DWORD code = GetLastError();
    // An empty root has no entries at all, not even "." and "..".
    if (code != ERROR_FILE_NOT_FOUND && code != ERROR_NO_MORE_FILES) throw fail(code);
  }
  return result;
}

std::wstring CurrentFolder() {
  DWORD needed = GetCurrentDirectoryW(0, nullptr);
  std::wstring folder(needed, L'\0');
  DWORD length = GetCurrentDirectoryW(needed, folder.data());
  folder.resize(length < needed ? length : 0);
  try {
    return ExpandFolder(folder);
  } catch (const EInOutError&) {
    return folder;
  }
}

int32_t TextWidth(HDC dc, const std::wstring& text) {
  SIZE size{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  return size.cx;
}

// An owner-drawn item: background, glyph (centred in the item's height), text.
void DrawEntry(const DRAWITEMSTRUCT& item, int32_t indent, TBitmap* glyph, const std::wstring& text) {
  HDC dc = item.hDC;
  TSaveDCGuard saved(dc);
  bool selected = (item.itemState & ODS_SELECTED) != 0;
  RECT r = item.rcItem;
  FillRect(dc, &r, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  int32_t x = r.left + 2 + indent;
  if (glyph != nullptr && !glyph->Empty()) {
    int32_t y = r.top + (r.bottom - r.top - glyph->Height()) / 2;
    TCanvas canvas(dc);
    glyph->Draw(canvas, Bounds(x, y, glyph->Width(), glyph->Height()));
    x += glyph->Width() + 4;
  }
  SelectObject(dc, SharedFont());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  RECT textRect{x, r.top, r.right, r.bottom};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect,
            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
  if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) DrawFocusRect(dc, &r);
}

// An item past the entries: drawn empty and never as selected.
void DrawBlankEntry(const DRAWITEMSTRUCT& item) {
  DRAWITEMSTRUCT empty = item;
  empty.itemState &= ~ODS_SELECTED;
  DrawEntry(empty, 0, nullptr, L"");
}

}  // namespace

EInOutError::EInOutError(std::string_view path, DWORD errorCode)
    : Exception(rtl::Format(rtl::Utf8ToSjis("ﾌｫﾙﾀﾞ %s に移動できません").c_str(), std::string(path).c_str())),
      ErrorCode(errorCode) {}

std::string MinimizeName(const std::string& path, const std::function<bool(const std::string&)>& fits) {
  if (fits(path)) return path;
  std::wstring wide = rtl::SjisToWide(path);
  std::size_t rootLength = RootLength(wide);
  // The drive (C:) or share (\\server\share) stays in front of "\..." as long as it can.
  std::wstring drive;
  std::wstring rest = wide;
  if (rootLength > 0) {
    drive = wide.substr(0, rootLength - (wide[rootLength - 1] == L'\\' ? 1 : 0));
    rest = wide.substr(drive.size());
  }
  std::vector<std::wstring> parts = PathParts(rest, 0);
  if (parts.empty()) return path;
  const std::wstring& name = parts.back();
  std::vector<std::wstring> candidates;
  for (std::size_t cut = 1; cut < parts.size(); ++cut) {
    std::wstring candidate = drive + L"\\...";
    for (std::size_t i = cut; i < parts.size(); ++i) candidate += L"\\" + parts[i];
    candidates.push_back(candidate);
  }
  candidates.push_back(L"...\\" + name);
  for (const std::wstring& candidate : candidates) {
    std::string text = rtl::WideToSjis(candidate);
    if (fits(text)) return text;
  }
  return rtl::WideToSjis(candidates.back());
}

// --- TDirectoryListBox ---

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

TDirectoryListBox::~TDirectoryListBox() {
  if (driveCombo_ != nullptr) driveCombo_->dirList_ = nullptr;
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
  if (driveCombo_ != nullptr) driveCombo_->FollowList(Drive());
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
    TFindHandle found(WithBackslash(directory_) + L"*", data);
    if (found.valid()) {
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
  if (component == driveCombo_) driveCombo_ = nullptr;
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

// --- TDriveComboBox ---

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
  if (char letter = DriveLetter(CurrentFolder())) drive_ = letter;
}

TDriveComboBox::~TDriveComboBox() {
  if (dirList_ != nullptr) dirList_->driveCombo_ = nullptr;
}

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
    try {
      // The linked list calls back FollowList once it is there.
      dirList_->Enter(std::wstring{static_cast<wchar_t>(letter), L':'});
    } catch (...) {
      SelectDrive();
      throw;
    }
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
    dirList_->RemoveFreeNotification(this);
  }
  dirList_ = list;
  if (list == nullptr) return;
  if (list->driveCombo_ != nullptr && list->driveCombo_ != this) list->driveCombo_->dirList_ = nullptr;
  list->driveCombo_ = this;
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
