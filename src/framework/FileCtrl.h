// The directory list and the drive list: owner-drawn system list and combo boxes that show the
// folders on the way to the current folder and the machine's drives, with the program's glyphs.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/Bitmap.h"
#include "framework/Controls.h"
#include "framework/StdCtrls.h"
#include "rtl/Exception.h"

namespace framework {

// A folder that cannot be entered: missing, not a folder, unreadable, or on a drive that is not
// ready. ErrorCode is the system's error code.
class EInOutError : public rtl::Exception {
 public:
  EInOutError(std::string_view path, DWORD errorCode);
  DWORD ErrorCode;
};

// path (CP932) shortened until fits accepts it: leading folder names are replaced by "...", one at
// a time ("C:\...\b\c", "C:\...\c"), then the drive goes too ("...\c"). The last form is returned
// when nothing fits.
std::string MinimizeName(const std::string& path, const std::function<bool(const std::string&)>& fits);

class TDriveComboBox;

enum class TFolderGlyph { Open, Current, Closed };

// The folders from the root of the current folder's drive down to the current folder, and the
// current folder's subfolders below it. A double-click or Enter on an entry makes it current.
class TDirectoryListBox : public TWinControl {
 public:
  static const TClass& StaticClass();
  const TClass& ClassType() const override { return StaticClass(); }

  // Starts on the process's current folder; raises EResNotFound when the program lacks one of the
  // glyphs "OPENFOLDER", "CURRENTFOLDER" and "CLOSEDFOLDER".
  explicit TDirectoryListBox(TComponent* owner);
  ~TDirectoryListBox() override;

  // The current folder as the system spells it (CP932): a trailing "\" only at a root (C:\).
  std::string Directory() const;
  // An empty path, or the current folder in any case, changes nothing. Another folder (relative
  // paths are taken from the process's current folder, which this list never changes) becomes
  // current; one that cannot be entered raises EInOutError and leaves everything as it was.
  void SetDirectory(const std::string& path);
  // The upper-case letter of the current folder's drive, or 0 for a network path.
  char Drive() const;

  // Gets the current folder after each change, shortened to its width.
  TLabel* DirLabel() const { return dirLabel_; }
  void SetDirLabel(TLabel* label);
  int32_t ItemHeight() const { return itemHeight_; }
  void SetItemHeight(int32_t height);

  struct TEntry {
    std::wstring Name;  // the folder's name; the root's is the root itself (C:\)
    std::wstring Path;
    int32_t Level;      // 0 for the root
    TFolderGlyph Glyph;
  };
  const std::vector<TEntry>& Entries() const { return entries_; }
  int32_t EntryCount() const { return static_cast<int32_t>(entries_.size()); }
  std::string EntryName(int32_t index) const;
  std::string EntryPath(int32_t index) const;
  // The entry of the current folder.
  int32_t CurrentIndex() const { return currentIndex_; }
  // The entry selected in the window (-1: none).
  int32_t ItemIndex();
  void SetItemIndex(int32_t index);
  // Makes the selected entry the current folder.
  void OpenCurrent();

  TNotifyEvent OnChange;

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void WindowProc(TMessage& message) override;
  void CommandNotify(WORD code) override;
  void DrawItem(const DRAWITEMSTRUCT& item) override;
  void Notification(TComponent* component, TOperation operation) override;

 private:
  friend class TDriveComboBox;

  void Enter(const std::wstring& folder);
  void ReadEntries();
  void FillWindow();
  void UpdateLabel();

  std::wstring directory_;
  std::vector<TEntry> entries_;
  int32_t currentIndex_ = 0;
  int32_t itemHeight_ = 16;
  TLabel* dirLabel_ = nullptr;          // not owned
  TDriveComboBox* driveCombo_ = nullptr;  // not owned; set by the drive list linked to this one
  TBitmap glyphs_[3];                   // by TFolderGlyph
};

enum class TDriveType { dtUnknown, dtFloppy, dtFixed, dtNetwork, dtCDROM, dtRAM };
enum class TTextCase { tcLowerCase, tcUpperCase };

// The drives present, each with its glyph and, but for removable drives (which are never read),
// its volume label or network connection. Choosing a drive moves the linked directory list there.
class TDriveComboBox : public TWinControl {
 public:
  static const TClass& StaticClass();
  const TClass& ClassType() const override { return StaticClass(); }

  // Raises EResNotFound when the program lacks one of the glyphs "FLOPPY", "HARD", "NETWORK",
  // "CDROM" and "RAM".
  explicit TDriveComboBox(TComponent* owner);
  ~TDriveComboBox() override;

  // The upper-case letter of the selected drive, or 0.
  char Drive() const { return drive_; }
  // Selects the drive and moves the linked directory list to that drive's current folder (its
  // root unless the process's current folder is on it). When the list cannot go there, the
  // selection goes back to the list's drive and the list's EInOutError is raised.
  void SetDrive(char letter);

  TDirectoryListBox* DirList() const { return dirList_; }
  void SetDirList(TDirectoryListBox* list);
  TTextCase TextCase() const { return textCase_; }
  void SetTextCase(TTextCase textCase);

  struct TEntry {
    char Letter;  // upper case
    TDriveType Type;
    std::wstring Text;  // as shown: the letter in the list's case, a colon, and the detail
  };
  const std::vector<TEntry>& Entries() const { return entries_; }
  std::string EntryText(int32_t index) const;
  // Reads the drives again.
  void BuildList();
  // The entry selected in the window (-1: none).
  int32_t ItemIndex();

  void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) override;

  TNotifyEvent OnChange;

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void CommandNotify(WORD code) override;
  void DrawItem(const DRAWITEMSTRUCT& item) override;
  void Notification(TComponent* component, TOperation operation) override;

 private:
  friend class TDirectoryListBox;

  struct TDetail {
    char Letter;
    TDriveType Type;
    std::wstring Detail;  // " [label]", " \\server\share" or nothing
  };

  void ComposeTexts();
  void FillWindow();
  void SelectDrive();
  void FitClosedHeight();
  int32_t IndexOf(char letter) const;
  // Sets the drive that the linked list has moved to, without moving the list.
  void FollowList(char letter);

  std::vector<TDetail> drives_;
  std::vector<TEntry> entries_;
  char drive_ = 0;
  TTextCase textCase_ = TTextCase::tcLowerCase;
  int32_t closedHeight_ = 21;  // the height asked for; the system sizes the combo box itself
  static constexpr int32_t kItemHeight = 16;
  static constexpr int32_t kDropDownCount = 8;
  TDirectoryListBox* dirList_ = nullptr;  // not owned
  TBitmap glyphs_[6];                     // by TDriveType
};

}  // namespace framework
