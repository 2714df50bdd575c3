// The bevel's look, painted by the windowed control it stands on.
#include "framework/Bevel.h"

#include <gtest/gtest.h>

#include "TestForms.h"
#include "support/Gui.h"

namespace {

TEST(BevelLook, ALoweredTopLineIsAShadowOverAHighlight) {
  if (!testing_support::TrueColorDisplay()) GTEST_SKIP() << "exact colours need a true-colour display";
  testing_support::TfrmLayoutTest form(nullptr);
  ASSERT_EQ(form.Bevel1->Shape(), framework::TBevelShape::bsTopLine);
  const testing_support::TCapture panel = testing_support::ShownPanel(form);
  const int32_t top = form.Bevel1->Top();
  EXPECT_EQ(panel.At(100, top), testing_support::SysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(panel.At(100, top + 1), testing_support::SysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(panel.At(100, top + 5), testing_support::SysColor(COLOR_BTNFACE));
}

}  // namespace
