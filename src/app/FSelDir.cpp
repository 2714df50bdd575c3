#include "app/FSelDir.h"

#include <exception>

#include "app/Paths.h"
#include "app/UMessage.h"
#include "rtl/Sjis.h"

namespace app {

using namespace framework;

namespace {

// Everything up to and including the last "\" or ":" (whole characters only); empty when there
// is neither.
std::string FolderPart(const std::string& path) {
  std::size_t end = 0;
  for (std::size_t i = 0; i < path.size(); ++i) {
    auto byte = static_cast<unsigned char>(path[i]);
    if (rtl::IsSjisLeadByte(byte) && i + 1 < path.size()) {
      ++i;
    } else if (byte == '\\' || byte == ':') {
      end = i + 1;
    }
  }
  return path.substr(0, end);
}

}  // namespace

const TClass& TfrmSelDir::StaticClass() {
  static const TClass info = TClassBuilder<TfrmSelDir>("TfrmSelDir", &TForm::StaticClass())
                                 .Field("OKBtn", &TfrmSelDir::OKBtn)
                                 .Field("CancelBtn", &TfrmSelDir::CancelBtn)
                                 .Field("Panel1", &TfrmSelDir::Panel1)
                                 .Field("Label1", &TfrmSelDir::Label1)
                                 .Field("lblDirName", &TfrmSelDir::lblDirName)
                                 .Field("DirectoryListBox", &TfrmSelDir::DirectoryListBox)
                                 .Field("Label2", &TfrmSelDir::Label2)
                                 .Field("DriveComboBox1", &TfrmSelDir::DriveComboBox1)
                                 .Method("FormCreate", &TfrmSelDir::FormCreate);
  return info;
}

TfrmSelDir::TfrmSelDir(TComponent* owner) : TForm(owner) { InitializeForm(); }

void TfrmSelDir::FormCreate(TObject*) { LoadButtonGlyph(*OKBtn); }

void TfrmSelDir::SetStartFolder(const std::string& path) {
  std::string folder = path;
  for (;;) {
    try {
      bool bareDrive = folder.size() == 2 && folder[1] == ':';
      DirectoryListBox->SetDirectory(bareDrive ? folder + "\\" : folder);
      return;
    } catch (const std::exception&) {
      // Not there: try the folder above.
    }
    std::string part = FolderPart(folder);
    // A path ending in "\" or ":" cannot get shorter: the list stays where it was.
    if (part.size() == folder.size()) return;
    folder = RemoveBackslash(part);
  }
}

std::string TfrmSelDir::SelectedFolder() const { return DirectoryListBox->Directory(); }

}  // namespace app
