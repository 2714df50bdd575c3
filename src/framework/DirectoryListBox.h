// The directory list: an owner-drawn system list box of the folders on the way to the current
// folder and the current folder's subfolders, with the program's glyphs.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/Bitmap.h"
#include "framework/FolderPaths.h"
#include "framework/Label.h"
#include "framework/WinControl.h"

namespace framework {

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
  friend class TDriveComboBox;  // links itself here (TDriveComboBox::SetDirList)

  void Enter(const std::wstring& folder);
  void ReadEntries();
  void FillWindow();
  void UpdateLabel();

  std::wstring directory_;
  std::vector<TEntry> entries_;
  int32_t currentIndex_ = 0;
  int32_t itemHeight_ = 16;
  TLabel* dirLabel_ = nullptr;  // not owned
  // The drive list linked to this one (not owned), and how it follows each new drive.
  TComponent* driveCombo_ = nullptr;
  std::function<void(char)> followDrive_;
  TBitmap glyphs_[3];           // by TFolderGlyph
};

}  // namespace framework
