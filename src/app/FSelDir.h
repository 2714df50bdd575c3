// The folder browser: picks the install folder from the machine's drives and folders.
#pragma once

#include <string>

#include "framework/BitBtn.h"
#include "framework/DirectoryListBox.h"
#include "framework/DriveComboBox.h"
#include "framework/Form.h"
#include "framework/Label.h"
#include "framework/Panel.h"

namespace app {

class TfrmSelDir : public framework::TForm {
 public:
  static const framework::TClass& StaticClass();
  const framework::TClass& ClassType() const override { return StaticClass(); }

  explicit TfrmSelDir(framework::TComponent* owner);

  // Opens the list on path, or on the nearest folder above it that can be entered; when none can,
  // the list stays where it is. Never raises for a folder that cannot be entered.
  void SetStartFolder(const std::string& path);
  // The folder the list shows now (CP932; a root keeps its "\": C:\).
  std::string SelectedFolder() const;

  void FormCreate(framework::TObject* sender);

  framework::TBitBtn* OKBtn = nullptr;
  framework::TBitBtn* CancelBtn = nullptr;
  framework::TPanel* Panel1 = nullptr;
  framework::TLabel* Label1 = nullptr;
  framework::TLabel* lblDirName = nullptr;
  framework::TDirectoryListBox* DirectoryListBox = nullptr;
  framework::TLabel* Label2 = nullptr;
  framework::TDriveComboBox* DriveComboBox1 = nullptr;
};

}  // namespace app
