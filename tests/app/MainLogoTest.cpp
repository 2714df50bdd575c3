// The main window's logo: it comes through the matrix image pack of the window's layout, fills the
// client area, and on a palette display carries the start button glyph's palette.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "Fixtures.h"
#include "app/FMain.h"
#include "app/UMessage.h"
#include "data/ResFileWriter.h"
#include "framework/Application.h"
#include "imaging/UPalette.h"
#include "imaging/USafetyBitmap.h"
#include "rtl/Sjis.h"
#include "support/Palettes.h"
#include "support/Pixels.h"
#include "support/ScratchFolder.h"

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

  apptest::DataModule module{"main_window.dll"};
  std::vector<std::string> errors;
  std::unique_ptr<app::TfrmMain> window;
};

TEST_F(MainLogo, ThePackOfTheLayoutHoldsTheLogoFromItsResource) {
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
}

TEST_F(MainLogo, TheLogoFillsTheClientArea) {
  ASSERT_TRUE(errors.empty()) << errors.front();
  EXPECT_EQ(window->Image1->Left(), 0);
  EXPECT_EQ(window->Image1->Top(), 0);
  EXPECT_EQ(window->Image1->Width(), 400);
  EXPECT_EQ(window->Image1->Height(), 360);
  EXPECT_EQ(window->ClientWidth(), 400);
  EXPECT_EQ(window->ClientHeight(), 360);
  EXPECT_EQ(window->btnSetup->Left(), 52);
  EXPECT_EQ(window->btnAbort->Left(), 236);
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
  const std::string bytes = test_res::ResFileWriter()
                                .EmptyEntry()
                                .Entry(test_res::Field::Ordinal(2), test_res::Field::Name(u"LOGO"), dib)
                                .Bytes();
  const std::string name = "MainLogo-" + std::to_string(GetCurrentProcessId()) + ".res";
  const std::wstring path = rtl::SjisToWide(apptest::ProgramFolder() + name);
  testing_support::WriteWholeFile(path, std::vector<char>(bytes.begin(), bytes.end()));
  window->MatrixImagePack1->ImageLoader().SetResFile(name);
  window->ShowLogo();
  DeleteFileW(path.c_str());
  EXPECT_EQ(window->Image1->Picture().Width(), 120);
  EXPECT_EQ(window->Image1->Picture().Height(), 80);
  if (!imaging::IsPaletteDisplay()) {
    EXPECT_EQ(Pixels(window->Image1->Picture().Bitmap())[0], 0xFF0000u);
  }
}

}  // namespace
