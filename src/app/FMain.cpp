#include "app/FMain.h"

#include "app/FDoUpdate.h"
#include "app/FInpPath.h"
#include "app/UMessage.h"
#include "framework/Application.h"
#include "imaging/UPalette.h"
#include "rtl/ScopeExit.h"

namespace app {

using namespace framework;

const TClass& TfrmMain::StaticClass() {
  static const TClass info = TClassBuilder<TfrmMain>("TfrmMain", &TForm::StaticClass())
                                 .Field("Image1", &TfrmMain::Image1)
                                 .Field("btnSetup", &TfrmMain::btnSetup)
                                 .Field("btnAbort", &TfrmMain::btnAbort)
                                 .Field("MatrixImagePack1", &TfrmMain::MatrixImagePack1)
                                 .Method("FormCreate", &TfrmMain::FormCreate)
                                 .Method("btnSetupClick", &TfrmMain::btnSetupClick)
                                 .Method("btnAbortClick", &TfrmMain::btnAbortClick);
  return info;
}

TfrmMain::TfrmMain(TComponent* owner) : TForm(owner) {
  RegisterClasses({&imaging::TMatrixImagePack::StaticClass()});
  InitializeForm(ResourceModule());
}

void TfrmMain::FormCreate(TObject*) {
  try {
    ReadUpdateVersion();
    Application().SetTitle(FormatAppTitle());
    SetCaption(Application().Title());
    Brush().SetStyle(TBrushStyle::bsClear);
    LoadButtonGlyph(*btnSetup);
    ShowLogo();
    Image1->SetBounds(0, 0, 1, 1);
    Image1->SetAutoSize(false);
    Image1->SetAutoSize(true);
    SetClientSize(Image1->Width(), Image1->Height());
  } catch (const std::exception& error) {
    Application().ShowException(error);
    Application().Terminate();
  }
}

void TfrmMain::ShowLogo() {
  MatrixImagePack1->GetImage(Image1->Picture(), 0);
  if (!imaging::IsPaletteDisplay()) return;
  TBitmap remapped;
  imaging::RemapBitmapToPalette(Image1->Picture().Bitmap(), remapped, WindowPalette());
  Image1->Picture().SetGraphic(&remapped);
}

HPALETTE TfrmMain::WindowPalette() const { return btnSetup ? btnSetup->Glyph().Palette() : nullptr; }

void TfrmMain::btnSetupClick(TObject*) {
  btnSetup->Hide();
  btnAbort->Hide();
  rtl::TScopeExit showButtons([this] { ShowButtons(); });
  RunUpdateFlow();
}

void TfrmMain::ShowButtons() {
  btnSetup->Show();
  btnAbort->Show();
  // Hidden, the buttons lost the focus, and showing them does not bring it back.
  if (btnSetup->CanFocus()) btnSetup->SetFocus();
}

void TfrmMain::btnAbortClick(TObject*) { Close(); }

void TfrmMain::RunUpdateFlow() {
  if (!RunModal<TfrmInputPath>()) return;
  if (RunModal<TfrmDoUpdate>()) {
    // Draw the window again where the update window stood before the box comes up.
    Repaint();
    ShowAppMessage(msgUpdateDone());
    BringWindowToTop(Handle());
    PostMessageW(Handle(), WM_CLOSE, 0, 0);
  } else {
    ShowAppMessage(msgUpdateFailed());
  }
}

}  // namespace app
