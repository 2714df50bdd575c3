// The bitmap button: its glyph drawn transparently, greyed when disabled, and stored in the layout.
#include "framework/BitBtn.h"

#include <gtest/gtest.h>

#include "TestForms.h"
#include "support/Gui.h"
#include "support/Pixels.h"

namespace {

using namespace framework;
using testing_support::Pixels;

TEST(BitBtnLook, DrawsTheGlyphTransparentlyAndGreysItWhenDisabled) {
  if (!testing_support::TrueColorDisplay()) GTEST_SKIP() << "exact colours need a true-colour display";
  TForm form(nullptr);
  form.SetClientSize(120, 60);
  auto* button = testing_support::Place<TBitBtn>(form, 10, 10, 75, 40);
  button->Glyph().LoadFromResourceName(GetModuleHandleW(nullptr), "GLYPH8");
  form.Show();
  button->Repaint();
  testing_support::TCapture capture = testing_support::CaptureClient(button->Handle());
  EXPECT_EQ(capture.Count(0xFF0000), 56);
  EXPECT_EQ(capture.Count(0x0000FF), 8);
  EXPECT_EQ(capture.Count(0xFF00FF), 0);  // the transparent colour never shows
  EXPECT_EQ(capture.At(1, 20), testing_support::SysColor(COLOR_BTNHIGHLIGHT));

  button->SetEnabled(false);
  button->Repaint();
  capture = testing_support::CaptureClient(button->Handle());
  EXPECT_EQ(capture.Count(0xFF0000), 0);
  EXPECT_EQ(capture.Count(0xFF00FF), 0);
  EXPECT_GT(capture.Count(testing_support::SysColor(COLOR_BTNSHADOW)), 8);
}

TEST(BitBtnGlyph, IsStoredInTheLayoutWithItsPixelFormat) {
  TForm form(nullptr);
  form.SetName("frmGlyph");
  auto* button = testing_support::Place<TBitBtn>(form, 10, 10, 75, 40);
  button->SetName("BitBtn1");
  button->Glyph().LoadFromResourceName(GetModuleHandleW(nullptr), "GLYPH8");
  TForm copy(nullptr);
  const std::string layout = testing_support::WrittenAndReadBack(form, copy);
  EXPECT_NE(layout.find("    Glyph.Data = {"), std::string::npos) << layout;
  auto* read = dynamic_cast<TBitBtn*>(copy.FindComponent("BitBtn1"));
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(read->Glyph().PixelFormat(), TPixelFormat::pf8bit);
  EXPECT_EQ(Pixels(read->Glyph()), Pixels(button->Glyph()));
}

}  // namespace
