// The main window: the logo with the update and exit buttons over it, and the update flow.
#pragma once

#include <memory>

#include "framework/BitBtn.h"
#include "framework/Form.h"
#include "framework/Image.h"
#include "imaging/UMatrixImagePack.h"

namespace app {

class TfrmMain : public framework::TForm {
 public:
  static const framework::TClass& StaticClass();
  const framework::TClass& ClassType() const override { return StaticClass(); }
  explicit TfrmMain(framework::TComponent* owner);

  void FormCreate(framework::TObject* sender);
  void btnSetupClick(framework::TObject* sender);
  void btnAbortClick(framework::TObject* sender);
  // The palette of the start button's glyph, which stays the glyph's.
  HPALETTE WindowPalette() const;
  HPALETTE GetPalette() const override { return WindowPalette(); }

  // Shows a new window of class T owned by this one; true when it closed with OK.
  template <typename T>
  bool RunModal() {
    std::unique_ptr<T> window(new T(this));
    return window->ShowModal() == framework::mrOk;
  }
  void RunUpdateFlow();
  // Both buttons back after the flow, "アップデート" with the focus as at start.
  void ShowButtons();
  // The logo into Image1: image 0 of MatrixImagePack1, remapped to the window's palette on a
  // palette display.
  void ShowLogo();

  framework::TImage* Image1 = nullptr;
  framework::TBitBtn* btnSetup = nullptr;
  framework::TBitBtn* btnAbort = nullptr;
  // Holds the logo, loaded by its resource loader once the layout has been read.
  imaging::TMatrixImagePack* MatrixImagePack1 = nullptr;
};

}  // namespace app
