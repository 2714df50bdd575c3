// The main window: its frame, buttons and keys; its logo, which comes through the matrix image pack
// of the window's layout, fills the client area, and on a palette display carries the start button
// glyph's palette.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "Fixtures.h"
#include "app/FMain.h"
#include "app/UMessage.h"
#include "support/ResFileWriter.h"
#include "framework/Application.h"
#include "support/Gui.h"
#include "support/Layout.h"
#include "imaging/UPalette.h"
#include "imaging/USafetyBitmap.h"
#include "rtl/Sjis.h"
#include "support/Palettes.h"
#include "support/PictureData.h"
#include "support/Pixels.h"

namespace {

using framework::TBitmap;
using testing_support::PaletteEntries;
using testing_support::Pixels;

bool SameEntries(const std::vector<PALETTEENTRY>& a, const std::vector<PALETTEENTRY>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].peRed != b[i].peRed || a[i].peGreen != b[i].peGreen || a[i].peBlue != b[i].peBlue) return false;
  }
  return true;
}

class MainLogo : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(module.get(), nullptr);
    app::SetResourceModule(module.get());
    framework::Application().SetOnException([this](const std::exception& error) { errors.push_back(error.what()); });
    window = std::make_unique<app::TfrmMain>(nullptr);
  }
  void TearDown() override {
    window.reset();
    framework::Application().SetOnException(nullptr);
    app::SetResourceModule(nullptr);
  }

  // The program's own "LOGO" as the platform reads it.
  static void ShippedLogo(TBitmap& logo) { logo.LoadFromResourceName(GetModuleHandleW(nullptr), "LOGO"); }

  testing_support::DataModule module{"main_window.dll"};
  std::vector<std::string> errors;
  std::unique_ptr<app::TfrmMain> window;
};

// The image pack of the layout holds the logo from its resource, and the logo fills the client area.
TEST_F(MainLogo, ThePackOfTheLayoutHoldsTheLogoThatFillsTheClientArea) {
  ASSERT_TRUE(errors.empty()) << errors.front();
  ASSERT_NE(window->MatrixImagePack1, nullptr);
  const imaging::TResourceImageLoader& loader = window->MatrixImagePack1->ImageLoader();
  EXPECT_EQ(loader.ResFile(), "PeImage.res");
  EXPECT_EQ(loader.ResType(), "RT_BITMAP");
  EXPECT_EQ(loader.ResName(), "LOGO");
  EXPECT_TRUE(loader.Ready());
  EXPECT_EQ(window->MatrixImagePack1->CountCol(), 1);
  EXPECT_EQ(window->MatrixImagePack1->CountRow(), 1);
  EXPECT_TRUE(window->MatrixImagePack1->Image().FromResource());
  EXPECT_NE(dynamic_cast<imaging::TSafetyBitmap*>(window->MatrixImagePack1->Image().Graphic()), nullptr);
  testing_support::ExpectPlaced({{window->Image1, 0, 0, 400, 360, nullptr}});
  EXPECT_EQ(window->ClientWidth(), 400);
  EXPECT_EQ(window->ClientHeight(), 360);
  EXPECT_EQ(window->btnSetup->Left(), 52);
  EXPECT_EQ(window->btnAbort->Left(), 236);
}

class MainWindow : public MainLogo {
 protected:
  void TearDown() override {
    testing_support::CancelLater();
    MainLogo::TearDown();
  }
  // Handles the messages as the program's loop does (keys through the form's dialog keys) until
  // done, for five seconds at most.
  static void RunUntil(const bool& done) {
    for (int waited = 0; !done && waited < 5000; waited += 10) {
      framework::Application().ProcessMessages();
      if (!done) Sleep(10);
    }
  }
};

// A close box alone; "アップデート" the default button with the focus, "終了" the cancel button and
// first in the tab order. Enter runs the update flow: the install-folder dialog comes up over the
// hidden buttons, and cancelled there brings them back without a message. Escape closes the window.
TEST_F(MainWindow, HasACloseBoxAloneAndItsButtonsAnswerEnterAndEscape) {
  ASSERT_TRUE(errors.empty()) << errors.front();
  HWND handle = window->Handle();
  testing_support::ExpectDialogFrame(handle, 400, 360, true);
  testing_support::ExpectWindowFont(*window);
  EXPECT_TRUE(window->btnSetup->Default());
  EXPECT_FALSE(window->btnSetup->Cancel());
  EXPECT_TRUE(window->btnAbort->Cancel());
  EXPECT_FALSE(window->btnAbort->Default());
  std::vector<framework::TWinControl*> tabOrder;
  window->GetTabOrderList(tabOrder);
  EXPECT_EQ(tabOrder, (std::vector<framework::TWinControl*>{window->btnAbort, window->btnSetup}));

  testing_support::TBoxWatcher boxes;
  window->Show();
  ASSERT_TRUE(testing_support::PumpUntilActive(handle));
  ASSERT_EQ(testing_support::PumpUntilFocused(window->btnSetup->Handle()), window->btnSetup->Handle());
  bool dialogUp = false;
  bool buttonsHidden = false;
  bool flowSeen = false;
  testing_support::Later([&] {
    HWND dialog = FindWindowW(L"TfrmInputPath", nullptr);
    dialogUp = dialog != nullptr && IsWindowVisible(dialog);
    buttonsHidden = !IsWindowVisible(window->btnSetup->Handle()) && !IsWindowVisible(window->btnAbort->Handle());
    flowSeen = true;
    if (dialog != nullptr) {
      HWND focus = GetFocus();
      if (focus == nullptr || GetAncestor(focus, GA_ROOT) != dialog) focus = dialog;
      PostMessageW(focus, WM_KEYDOWN, VK_ESCAPE, 0);
      // A dialog that Escape leaves open fails the test instead of holding it.
      testing_support::Later([dialog] {
        if (!IsWindow(dialog)) return;
        ADD_FAILURE() << "Escape left the dialog open";
        PostMessageW(dialog, WM_CLOSE, 0, 0);
      }, 5000);
    }
  }, 300);
  PostMessageW(window->btnSetup->Handle(), WM_KEYDOWN, VK_RETURN, 0);
  RunUntil(flowSeen);
  EXPECT_TRUE(dialogUp);
  EXPECT_TRUE(buttonsHidden);
  EXPECT_EQ(FindWindowW(L"TfrmInputPath", nullptr), nullptr) << "the dialog is gone";
  EXPECT_TRUE(IsWindowVisible(window->btnSetup->Handle()));
  EXPECT_TRUE(IsWindowVisible(window->btnAbort->Handle()));
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_TRUE(errors.empty());
  EXPECT_TRUE(IsWindowVisible(handle));

  ASSERT_EQ(testing_support::PumpUntilFocused(window->btnSetup->Handle()), window->btnSetup->Handle());
  PostMessageW(window->btnSetup->Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
  framework::Application().ProcessMessages();
  EXPECT_FALSE(IsWindowVisible(handle)) << "Escape closes the window";
}

TEST_F(MainLogo, OnAScreenOfManyColoursTheLogoIsKeptAsStored) {
  if (imaging::IsPaletteDisplay()) GTEST_SKIP() << "a palette display";
  auto* logo = dynamic_cast<TBitmap*>(window->Image1->Picture().Graphic());
  ASSERT_NE(logo, nullptr);
  EXPECT_NE(dynamic_cast<imaging::TSafetyBitmap*>(logo), nullptr) << "a copy of the pack's graphic, of its class";
  EXPECT_EQ(logo->Width(), 400);
  EXPECT_EQ(logo->Height(), 360);
  EXPECT_EQ(logo->PixelFormat(), framework::TPixelFormat::pf24bit);
  TBitmap shipped;
  ShippedLogo(shipped);
  EXPECT_EQ(Pixels(*logo), Pixels(shipped));
}

TEST_F(MainLogo, OnAPaletteDisplayTheLogoCarriesTheGlyphsPalette) {
  if (!imaging::IsPaletteDisplay()) {
    ASSERT_EQ(std::getenv("PEUPDATE_EXPECT_PALETTE_DISPLAY"), nullptr) << "the 8-bit run has no palette display";
    GTEST_SKIP() << "not a palette display";
  }
  auto* logo = dynamic_cast<TBitmap*>(window->Image1->Picture().Graphic());
  ASSERT_NE(logo, nullptr);
  EXPECT_EQ(logo->Width(), 400);
  EXPECT_EQ(logo->Height(), 360);
  ASSERT_NE(window->WindowPalette(), nullptr);
  ASSERT_NE(logo->Palette(), nullptr);
  EXPECT_NE(logo->Palette(), window->WindowPalette()) << "a copy";
  EXPECT_TRUE(SameEntries(PaletteEntries(logo->Palette()), PaletteEntries(window->WindowPalette())));
}

TEST_F(MainLogo, ALogoFromAResourceFileTakesThePlaceOfTheProgramsOwn) {
  // A logo of another size in a resource file beside the program, under a name of this test's own.
  TBitmap small;
  small.SetPixelFormat(framework::TPixelFormat::pf24bit);
  small.SetSize(120, 80);
  small.Canvas().Brush().SetColor(framework::clRed);
  small.Canvas().FillRect({0, 0, 120, 80});
  rtl::TMemoryStream bmp;
  small.SaveToStream(bmp);
  const std::string dib(static_cast<const char*>(bmp.Memory()) + 14, static_cast<std::size_t>(bmp.GetSize() - 14));
  const std::string bytes = testing_support::ResFileWriter()
                                .EmptyEntry()
                                .Entry(testing_support::Field::Ordinal(2), testing_support::Field::Name(u"LOGO"), dib)
                                .Bytes();
  const testing_support::FileBesideProgram file("MainLogo", bytes);
  window->MatrixImagePack1->ImageLoader().SetResFile(file.Name());
  window->ShowLogo();
  EXPECT_EQ(window->Image1->Picture().Width(), 120);
  EXPECT_EQ(window->Image1->Picture().Height(), 80);
  if (!imaging::IsPaletteDisplay()) {
    EXPECT_EQ(Pixels(window->Image1->Picture().Bitmap())[0], 0xFF0000u);
  }
}

}  // namespace
