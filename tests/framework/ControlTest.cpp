// The control itself: marked for painting, painted when asked, without the message loop.
#include "framework/Control.h"

#include <gtest/gtest.h>

#include "TestForms.h"
#include "framework/GraphicControl.h"

namespace {

using namespace framework;

// Counts its paintings.
class TPaintCounter : public TGraphicControl {
 public:
  explicit TPaintCounter(TComponent* owner) : TGraphicControl(owner) {}
  int paints = 0;

 protected:
  void Paint() override { ++paints; }
};

TEST(ControlPainting, InvalidateOnlyMarksAndRepaintPaintsAtOnce) {
  TForm form(nullptr);
  form.SetClientSize(100, 60);
  auto* counter = testing_support::Place<TPaintCounter>(form, 5, 5, 20, 20);
  form.Show();
  form.Update();
  int before = counter->paints;
  EXPECT_GE(before, 1);
  counter->Invalidate();
  EXPECT_EQ(counter->paints, before);  // only marked
  form.Repaint();
  EXPECT_EQ(counter->paints, before + 1);
  counter->Repaint();
  EXPECT_EQ(counter->paints, before + 2);
}

}  // namespace
