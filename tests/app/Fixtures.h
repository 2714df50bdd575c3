// Where the app tests find the modules built beside them, and what the updater's dialogs share.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/Application.h"
#include "framework/BitBtn.h"
#include "framework/Form.h"
#include "framework/GraphicsObjects.h"
#include "rtl/Sjis.h"
#include "support/Folders.h"
#include "support/Gui.h"
#include "support/Pixels.h"

namespace testing_support {

inline std::string FixturePath(const std::string& name) { return ProgramFolder() + name; }

// A module loaded for its resources only, freed on scope exit.
class DataModule {
 public:
  explicit DataModule(const std::string& name)
      : module_(LoadLibraryExW(rtl::SjisToWide(FixturePath(name)).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
  ~DataModule() {
    if (module_) FreeLibrary(module_);
  }
  DataModule(const DataModule&) = delete;
  DataModule& operator=(const DataModule&) = delete;
  HMODULE get() const { return module_; }

 private:
  HMODULE module_;
};

// The tests of a dialog of class F, made by Create: what reaches the application's exception handler
// is collected, and a modal loop that has not ended in 10 s is ended, so that a fault fails a test,
// not the run.
template <typename F>
class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    framework::Application().SetOnException(
        [this](const std::exception& error) { errors.push_back(framework::ExceptionMessage(error)); });
  }
  void TearDown() override {
    CancelLater();
    form.reset();
    Pump();
    framework::Application().SetOnException(nullptr);
  }
  void Create() {
    form = std::make_unique<F>(nullptr);
    Later([this] { form->SetModalResult(framework::mrAbort); }, 10000);
  }

  std::unique_ptr<F> form;
  std::vector<std::string> errors;
};

// A dialog's confirming and cancelling pair: Enter presses the first (modal result OK, first in the
// tab order), Escape the second (Cancel, second).
inline void ExpectConfirmAndCancelButtons(const framework::TBitBtn* confirm, const framework::TBitBtn* cancel) {
  EXPECT_TRUE(confirm->Default());
  EXPECT_EQ(confirm->ModalResult(), framework::mrOk);
  EXPECT_EQ(confirm->TabOrder(), 0);
  EXPECT_TRUE(cancel->Cancel());
  EXPECT_EQ(cancel->ModalResult(), framework::mrCancel);
  EXPECT_EQ(cancel->TabOrder(), 1);
}

// Whether glyph is the updater's own 32 x 32 button picture, pixel for pixel.
inline bool IsTheUpdatersGlyph(const framework::TBitmap& glyph) {
  if (glyph.Width() != 32 || glyph.Height() != 32) return false;
  framework::TBitmap expected;
  expected.LoadFromResourceName(GetModuleHandleW(nullptr), "ButtonPelano");
  return Pixels(glyph) == Pixels(expected);
}

inline BOOL CALLBACK CollectWindow(HWND window, LPARAM windows) {
  reinterpret_cast<std::vector<HWND>*>(windows)->push_back(window);
  return TRUE;
}

// The form's look: the one font of the windows, "ＭＳ Ｐゴシック", Shift-JIS character set, 12 pixels
// high, is the font of every system control on it. The framework's own windows (the form, panels)
// keep no font: they and the labels on them paint with that one.
inline void ExpectWindowFont(framework::TForm& form) {
  LOGFONTW font{};
  ASSERT_EQ(GetObjectW(framework::SharedFont(), sizeof font, &font), static_cast<int>(sizeof font));
  EXPECT_EQ(rtl::WideToSjis(font.lfFaceName), rtl::Utf8ToSjis("ＭＳ Ｐゴシック"));
  EXPECT_EQ(font.lfCharSet, SHIFTJIS_CHARSET);
  EXPECT_EQ(font.lfHeight, -12);
  std::vector<HWND> windows;
  EnumChildWindows(form.Handle(), CollectWindow, reinterpret_cast<LPARAM>(&windows));
  for (HWND window : windows) {
    if (reinterpret_cast<HMODULE>(GetClassLongPtrW(window, GCLP_HMODULE)) == GetModuleHandleW(nullptr)) continue;
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)), framework::SharedFont())
        << rtl::WideToSjis(className);
  }
}

}  // namespace testing_support
