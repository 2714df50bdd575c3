// The panel's look: a lowered outer and a raised inner bevel.
#include "framework/Panel.h"

#include <gtest/gtest.h>

#include "TestForms.h"
#include "support/Gui.h"

namespace {

TEST(PanelLook, DrawsALoweredOuterAndARaisedInnerBevel) {
  if (!testing_support::TrueColorDisplay()) GTEST_SKIP() << "exact colours need a true-colour display";
  testing_support::TfrmLayoutTest form(nullptr);
  const testing_support::TCapture panel = testing_support::ShownPanel(form);
  const uint32_t shadow = testing_support::SysColor(COLOR_BTNSHADOW);
  const uint32_t highlight = testing_support::SysColor(COLOR_BTNHIGHLIGHT);
  EXPECT_EQ(panel.At(0, 0), shadow);  // lowered outer bevel
  EXPECT_EQ(panel.At(panel.width - 1, panel.height - 1), highlight);
  EXPECT_EQ(panel.At(1, 1), highlight);  // raised inner bevel
  EXPECT_EQ(panel.At(panel.width - 2, panel.height - 2), shadow);
}

}  // namespace
