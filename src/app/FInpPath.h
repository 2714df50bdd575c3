// The install-folder dialog: proposes the installed folder, lets the user type or browse, and
// accepts the folder only when its executable is of the update's major version and older.
#pragma once

#include <string>

#include "framework/Bevel.h"
#include "framework/BitBtn.h"
#include "framework/Edit.h"
#include "framework/Form.h"
#include "framework/Label.h"
#include "framework/Panel.h"

namespace app {

// Full path of the installed executable to update (CP932); written on every change of the
// dialog's folder text, read by the update window.
extern std::string TargetPath;

class TfrmInputPath : public framework::TForm {
 public:
  static const framework::TClass& StaticClass();
  const framework::TClass& ClassType() const override { return StaticClass(); }
  explicit TfrmInputPath(framework::TComponent* owner);

  void FormCreate(framework::TObject* sender);
  void Edit1Change(framework::TObject* sender);
  void BitBtn1Click(framework::TObject* sender);
  void FormCloseQuery(framework::TObject* sender, bool& canClose);
  void DefaultInstallFolder();

  framework::TBitBtn* BitBtn1 = nullptr;
  framework::TBitBtn* BitBtn2 = nullptr;
  framework::TBitBtn* BitBtn3 = nullptr;
  framework::TPanel* Panel1 = nullptr;
  framework::TLabel* Label1 = nullptr;
  framework::TLabel* Label2 = nullptr;
  framework::TBevel* Bevel1 = nullptr;
  framework::TEdit* Edit1 = nullptr;

 private:
  std::string installedCopy_;  // what InstalledCopyPath found for TargetPath at its last change
};

// The system's program-files folder: %ProgramFiles% when it is set and not empty, else the
// registry's ProgramFilesDir, else "".
// Both are read as the system stores them and given in code page 932; a folder that code page
// cannot represent counts as none.
std::string ProgramFilesFolder();

// The folder the dialog proposes: the registered one, else the default under the program-files
// folder. refused tells that the system named a folder code page 932 cannot represent, which is
// then passed over.
std::string ProposedInstallFolder(bool& refused);

}  // namespace app
