#include "framework/StandardClasses.h"

#include "framework/BitBtn.h"
#include "framework/Bevel.h"
#include "framework/DirectoryListBox.h"
#include "framework/DriveComboBox.h"
#include "framework/Edit.h"
#include "framework/Form.h"
#include "framework/Icon.h"
#include "framework/Image.h"
#include "framework/Jpeg.h"
#include "framework/Label.h"
#include "framework/Metafile.h"
#include "framework/Panel.h"
#include "framework/ProgressBar.h"

namespace framework {

void RegisterStandardClasses() {
  RegisterClasses({&TForm::StaticClass(), &TBitBtn::StaticClass(), &TLabel::StaticClass(), &TEdit::StaticClass(),
                   &TPanel::StaticClass(), &TBevel::StaticClass(), &TImage::StaticClass(),
                   &TProgressBar::StaticClass(), &TBitmap::StaticClass(), &TIcon::StaticClass(),
                   &TMetafile::StaticClass(), &TJPEGImage::StaticClass(), &TDirectoryListBox::StaticClass(),
                   &TDriveComboBox::StaticClass()});
}

}  // namespace framework
