// The drive list: an owner-drawn system combo box of the machine's drives, with the program's
// glyphs, that moves a linked directory list.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "framework/Bitmap.h"
#include "framework/DirectoryListBox.h"
#include "framework/WinControl.h"

namespace framework {

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
