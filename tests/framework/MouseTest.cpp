// The routing of the mouse to the control under it: the topmost enabled, visible control at the
// point takes the press in its own coordinates, and the release goes to the one that was pressed.
#include <gtest/gtest.h>

#include "TestForms.h"
#include "framework/Application.h"
#include "framework/Image.h"
#include "support/Gui.h"

namespace {

using namespace framework;

struct TMouseRecord {
  std::string who;
  std::string what;
  int x;
  int y;
  friend bool operator==(const TMouseRecord&, const TMouseRecord&) = default;
};

std::ostream& operator<<(std::ostream& out, const TMouseRecord& r) {
  return out << r.who << " " << r.what << " " << r.x << "," << r.y;
}

// A form filled by an image, with a label over it.
class MouseRouting : public ::testing::Test {
 protected:
  void SetUp() override {
    form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(TFormBorderStyle::bsDialog);
    form->SetClientSize(200, 100);
    image = testing_support::Place<TImage>(*form, 0, 0, 1, 1);
    image->Picture().Bitmap().SetSize(200, 100);
    image->SetAutoSize(true);
    label = testing_support::Place<TLabel>(*form, 10, 10, 40, 20);
    label->SetAutoSize(false);
    label->SetCaption("Label");
    Watch(image, "image");
    Watch(label, "label");
    form->Handle();
  }
  void TearDown() override {
    form.reset();
    testing_support::Pump();
  }

  void Watch(TControl* control, const std::string& who) {
    control->OnMouseDown = [this, who](TObject*, TMouseButton b, TShiftState, int32_t x, int32_t y) {
      log.push_back({who, b == TMouseButton::mbLeft ? "down" : "rdown", x, y});
    };
    control->OnMouseUp = [this, who](TObject*, TMouseButton b, TShiftState, int32_t x, int32_t y) {
      log.push_back({who, b == TMouseButton::mbLeft ? "up" : "rup", x, y});
    };
    control->OnClick = [this, who](TObject*) { log.push_back({who, "click", 0, 0}); };
  }

  void Click(int x, int y) {
    SendMessageW(form->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageW(form->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  }

  std::unique_ptr<TForm> form;
  TImage* image = nullptr;
  TLabel* label = nullptr;
  std::vector<TMouseRecord> log;
};

// The image covering the client area takes a click at its origin; the topmost control at a point
// takes it in its own coordinates, unless disabled or hidden.
TEST_F(MouseRouting, TheTopmostEnabledVisibleControlTakesAClickInItsOwnCoordinates) {
  EXPECT_EQ(image->BoundsRect(), (TRect{0, 0, 200, 100}));
  Click(0, 0);
  Click(15, 12);
  label->SetEnabled(false);
  Click(15, 12);
  label->SetEnabled(true);
  label->Hide();
  Click(16, 12);
  std::vector<TMouseRecord> expected = {{"image", "down", 0, 0},   {"image", "up", 0, 0},   {"image", "click", 0, 0},
                                        {"label", "down", 5, 2},   {"label", "up", 5, 2},   {"label", "click", 0, 0},
                                        {"image", "down", 15, 12}, {"image", "up", 15, 12}, {"image", "click", 0, 0},
                                        {"image", "down", 16, 12}, {"image", "up", 16, 12}, {"image", "click", 0, 0}};
  EXPECT_EQ(log, expected);
}

TEST_F(MouseRouting, TheReleaseGoesToTheControlThatWasPressedAndClicksOnlyInside) {
  SendMessageW(form->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(15, 12));
  EXPECT_EQ(GetCapture(), form->Handle());
  SendMessageW(form->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(150, 80));
  EXPECT_EQ(GetCapture(), nullptr);
  std::vector<TMouseRecord> expected = {{"label", "down", 5, 2}, {"label", "up", 140, 70}};
  EXPECT_EQ(log, expected);
}

TEST_F(MouseRouting, APostedReleaseAtTheOriginReachesAOnePixelControlOnceItIsDisabled) {
  auto* catcher = testing_support::Place<TControl>(*form, 0, 0, 1, 1);
  Watch(catcher, "catcher");
  catcher->OnMouseUp = [this, catcher](TObject*, TMouseButton b, TShiftState, int32_t x, int32_t y) {
    catcher->SetEnabled(false);
    log.push_back({"catcher", b == TMouseButton::mbRight ? "rup" : "up", x, y});
  };
  PostMessageW(form->Handle(), WM_RBUTTONUP, 0, 0);
  Application().ProcessMessages();
  PostMessageW(form->Handle(), WM_RBUTTONUP, 0, 0);
  Application().ProcessMessages();
  std::vector<TMouseRecord> expected = {{"catcher", "rup", 0, 0}, {"image", "rup", 0, 0}};
  EXPECT_EQ(log, expected);
}

}  // namespace
