#include "app/FInpPath.h"

#include <windows.h>

#include <memory>

#include "app/FSelDir.h"
#include "app/Filever.h"
#include "app/Paths.h"
#include "app/UMessage.h"
#include "framework/Application.h"
#include "rtl/Sjis.h"

namespace app {

using namespace framework;

std::string TargetPath;

namespace {

bool FileExists(const std::string& path) {
  DWORD attributes = GetFileAttributesW(rtl::SjisToWide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The default value of a key under HKEY_CLASSES_ROOT, read into 256 bytes as the registry's ANSI
// call gives it; false when there is no such key or the value does not fit.
bool ReadClassesRootDefault(const std::string& key, std::string& value) {
  char buffer[256];
  LONG size = sizeof buffer;
  if (RegQueryValueA(HKEY_CLASSES_ROOT, key.c_str(), buffer, &size) != ERROR_SUCCESS) return false;
  buffer[sizeof buffer - 1] = '\0';
  value = buffer;
  return true;
}

}  // namespace

std::string ProgramFilesFolder() {
  std::string result;
  char expanded[261];
  const char* variable = "%ProgramFiles%";
  DWORD length = ExpandEnvironmentStringsA(variable, expanded, sizeof expanded);
  // A length beyond the buffer means the expansion did not fit: treated as none.
  if (length != 0 && length <= sizeof expanded && std::string(expanded) != variable) result = expanded;
  if (result.empty()) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", 0, KEY_READ, &key) ==
        ERROR_SUCCESS) {
      char value[MAX_PATH + 1] = {};
      DWORD size = MAX_PATH;
      DWORD type = 0;
      if (RegQueryValueExA(key, "ProgramFilesDir", nullptr, &type, reinterpret_cast<BYTE*>(value), &size) ==
              ERROR_SUCCESS &&
          (type == REG_SZ || type == REG_EXPAND_SZ)) {
        result = value;
      }
      RegCloseKey(key);
    }
  }
  return result;
}

const TClass& TfrmInputPath::StaticClass() {
  static const TClass info = TClassBuilder<TfrmInputPath>("TfrmInputPath", &TForm::StaticClass())
                                 .Field("BitBtn1", &TfrmInputPath::BitBtn1)
                                 .Field("BitBtn2", &TfrmInputPath::BitBtn2)
                                 .Field("BitBtn3", &TfrmInputPath::BitBtn3)
                                 .Field("Panel1", &TfrmInputPath::Panel1)
                                 .Field("Label1", &TfrmInputPath::Label1)
                                 .Field("Label2", &TfrmInputPath::Label2)
                                 .Field("Bevel1", &TfrmInputPath::Bevel1)
                                 .Field("Edit1", &TfrmInputPath::Edit1)
                                 .Method("FormCreate", &TfrmInputPath::FormCreate)
                                 .Method("FormCloseQuery", &TfrmInputPath::FormCloseQuery)
                                 .Method("Edit1Change", &TfrmInputPath::Edit1Change)
                                 .Method("BitBtn1Click", &TfrmInputPath::BitBtn1Click);
  return info;
}

TfrmInputPath::TfrmInputPath(TComponent* owner) : TForm(owner) { InitializeForm(ResourceModule()); }

void TfrmInputPath::FormCreate(TObject*) {
  SetCaption(Application().Title());
  DefaultInstallFolder();
}

void TfrmInputPath::DefaultInstallFolder() {
  std::string folder;
  if (!ReadClassesRootDefault(regInstallDirKey(), folder)) folder = ProgramFilesFolder() + defaultFolderName();
  Edit1->SetText(folder);
}

void TfrmInputPath::Edit1Change(TObject*) {
  TargetPath = JoinPath(Edit1->Text(), exeFileName());
  BitBtn2->SetEnabled(FileExists(TargetPath));
  if (BitBtn2->Enabled()) {
    LoadButtonGlyph(*BitBtn2);
  } else {
    BitBtn2->SetGlyph(nullptr);
  }
}

void TfrmInputPath::BitBtn1Click(TObject*) {
  std::unique_ptr<TfrmSelDir> browser(new TfrmSelDir(this));
  browser->SetStartFolder(Edit1->Text());
  if (browser->ShowModal() == mrOk) Edit1->SetText(browser->SelectedFolder());
}

void TfrmInputPath::FormCloseQuery(TObject*, bool& canClose) {
  if (ModalResult() != mrOk) return;
  canClose = false;
  Edit1Change(this);
  if (!BitBtn2->Enabled()) return;
  int32_t major = 0;
  int32_t minorRelease = 0;
  GetInstalledVersion(TargetPath, major, minorRelease);
  if (major == UpdateMajor) {
    if (minorRelease < UpdateMinorRelease) {
      canClose = true;
    } else {
      ShowAppMessage(msgNoUpdateNeeded());
    }
  } else {
    ShowAppMessage(msgCannotUpdate());
  }
}

}  // namespace app
