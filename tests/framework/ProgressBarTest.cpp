// The progress bar: aligned to its form's bottom edge, its position kept in its range, and redrawn
// at every position without the message loop.
#include "framework/ProgressBar.h"

#include <gtest/gtest.h>

#include <memory>

#include "TestForms.h"
#include "support/Gui.h"

namespace {

using namespace framework;

class ProgressBar : public ::testing::Test {
 protected:
  void SetUp() override { form = std::make_unique<testing_support::TfrmProgressTest>(nullptr); }
  void TearDown() override {
    form.reset();
    testing_support::Pump();
  }
  std::unique_ptr<testing_support::TfrmProgressTest> form;
};

TEST_F(ProgressBar, IsAlignedToTheBottomEdgeAtFullWidthAndKeepsItsPositionInItsRange) {
  EXPECT_EQ(form->ProgressBar1->BoundsRect(), (TRect{0, 126, 368, 142}));
  form->SetClientSize(300, 100);
  EXPECT_EQ(form->ProgressBar1->BoundsRect(), (TRect{0, 84, 300, 100}));
  testing_support::ExpectChildRect(form->ProgressBar1->Handle(), 0, 84, 300, 16, "ProgressBar1");
  TProgressBar* bar = form->ProgressBar1;
  EXPECT_EQ(bar->Max(), 100);
  bar->SetMax(3);
  bar->SetPosition(1);
  EXPECT_EQ(bar->Position(), 1);
  bar->SetPosition(4);
  EXPECT_EQ(bar->Position(), 3);
  bar->SetPosition(-1);
  EXPECT_EQ(bar->Position(), 0);
  bar->SetPosition(3);
  bar->SetMax(2);
  EXPECT_EQ(bar->Position(), 2);
  bar->SetMin(2);
  EXPECT_EQ(bar->FilledWidth(), 0);  // an empty range shows nothing
}

TEST_F(ProgressBar, RedrawsAtEveryPositionWithoutTheMessageLoop) {
  if (!testing_support::TrueColorDisplay()) GTEST_SKIP() << "exact colours need a true-colour display";
  form->Show();
  testing_support::Pump();
  TProgressBar* bar = form->ProgressBar1;
  bar->SetMax(3);
  const uint32_t filled = testing_support::SysColor(COLOR_HIGHLIGHT);
  const uint32_t empty = testing_support::SysColor(COLOR_BTNFACE);
  for (int position = 1; position <= 3; ++position) {
    bar->SetPosition(position);  // no message is handled from here to the capture
    testing_support::TCapture capture = testing_support::CaptureClient(bar->Handle());
    int edge = 1 + (368 - 2) * position / 3;
    EXPECT_EQ(bar->FilledWidth(), edge - 1);
    EXPECT_EQ(capture.At(edge - 1, 8), filled) << position;
    if (position < 3) {
      EXPECT_EQ(capture.At(edge, 8), empty) << position;
    }
  }
}

}  // namespace
