#include "app/FInpPath.h"

#include <windows.h>

#include <memory>
#include <vector>

#include "app/FSelDir.h"
#include "app/FileReplace.h"
#include "app/Filever.h"
#include "app/Paths.h"
#include "app/UMessage.h"
#include "framework/Application.h"
#include "rtl/Handles.h"
#include "rtl/Sjis.h"

namespace app {

using namespace framework;

std::string TargetPath;

namespace {

constexpr std::size_t kFolderBuffer = 256;     // the registered folder, its terminating zero included
constexpr std::size_t kExpansionBuffer = 261;  // the expanded %ProgramFiles%, the same

// A string value of an open key, up to its first zero whatever length it was stored with (with or
// without its terminating zero); empty when the value is missing; false when it is no string or
// could not be read.
bool ReadStringValue(HKEY key, const wchar_t* name, std::wstring& value) {
  DWORD type = 0;
  DWORD size = 0;
  LONG status = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
  if (status == ERROR_FILE_NOT_FOUND) {
    value.clear();
    return true;
  }
  if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
  std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS) {
    return false;
  }
  value = buffer.data();
  return true;
}

// A string value of a key; false when the key is missing or the value cannot be read as a string.
bool ReadRegistryString(HKEY root, const wchar_t* path, const wchar_t* name, std::wstring& value) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, path, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return false;
  rtl::TRegistryKey key(opened);
  return ReadStringValue(key.get(), name, value);
}

// A folder named by the system, in code page 932 and within the buffer the program gives it.
enum class Folder { Found, NotFound, NotRepresentable };

Folder InCodePage932(const std::wstring& wide, std::size_t buffer, std::string& folder) {
  std::string narrow;
  if (!rtl::WideToSjisExactly(wide, narrow)) return Folder::NotRepresentable;
  if (narrow.size() >= buffer) return Folder::NotFound;
  folder = std::move(narrow);
  return Folder::Found;
}

// The folder the application registered: the default value of its key under HKEY_CLASSES_ROOT
// (empty when the key has no default value).
Folder RegisteredFolder(std::string& folder) {
  std::wstring value;
  if (!ReadRegistryString(HKEY_CLASSES_ROOT, rtl::SjisToWide(regInstallDirKey()).c_str(), nullptr, value)) {
    return Folder::NotFound;
  }
  return InCodePage932(value, kFolderBuffer, folder);
}

Folder FindProgramFilesFolder(std::string& folder) {
  const wchar_t* variable = L"%ProgramFiles%";
  wchar_t expanded[kExpansionBuffer * 2];
  DWORD length = ExpandEnvironmentStringsW(variable, expanded, kExpansionBuffer * 2);
  // A variable that is set but empty names no folder: the registry is asked as when it is missing.
  if (length != 0 && length <= kExpansionBuffer * 2 && expanded[0] != L'\0' && std::wstring(expanded) != variable) {
    Folder found = InCodePage932(expanded, kExpansionBuffer, folder);
    if (found != Folder::NotFound) return found;
  }
  std::wstring value;
  if (!ReadRegistryString(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion", L"ProgramFilesDir",
                          value)) {
    return Folder::NotFound;
  }
  return InCodePage932(value, MAX_PATH + 1, folder);
}

}  // namespace

std::string ProgramFilesFolder() {
  std::string folder;
  return FindProgramFilesFolder(folder) == Folder::Found ? folder : std::string();
}

std::string ProposedInstallFolder(bool& refused) {
  std::string folder;
  Folder registered = RegisteredFolder(folder);
  refused = registered == Folder::NotRepresentable;
  if (registered == Folder::Found) return folder;
  folder.clear();
  Folder programFiles = FindProgramFilesFolder(folder);
  refused = refused || programFiles == Folder::NotRepresentable;
  if (programFiles != Folder::Found) folder.clear();
  return folder + defaultFolderName();
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
  bool refused = false;
  std::string folder = ProposedInstallFolder(refused);
  // A folder that the program's code page cannot name cannot be written to either: say so, rather
  // than propose a lookalike with "?" in it.
  if (refused) ShowAppMessage(msgCannotUpdate());
  Edit1->SetText(folder);
}

void TfrmInputPath::Edit1Change(TObject*) {
  TargetPath = JoinPath(Edit1->Text(), exeFileName());
  // A folder whose update was stopped half-way may hold our backup in the target's stead.
  installedCopy_ = InstalledCopyPath(TargetPath);
  BitBtn2->SetEnabled(!installedCopy_.empty());
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
  Edit1Change(this);  // the folder may have changed since its text did
  if (installedCopy_.empty()) return;
  // The folder may be writable by others, and the update runs as an administrator: a target that a
  // link leads elsewhere is not ours to write.
  if (!IsPlainOrMissing(TargetPath)) {
    ShowAppMessage(msgCannotUpdate());
    return;
  }
  int32_t major = 0;
  int32_t minorRelease = 0;
  GetInstalledVersion(installedCopy_, major, minorRelease);
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
