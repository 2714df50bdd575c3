// The controls as they look and store themselves: the image, the progress bar, the button and
// the panel, and the owner-drawn items that reach their control.
#include <gtest/gtest.h>

#include <memory>

#include "TestForms.h"
#include "support/Gui.h"
#include "framework/Application.h"
#include "framework/Image.h"
#include "framework/LayoutReader.h"
#include "framework/LayoutWriter.h"
#include "support/Pixels.h"

namespace {

using namespace framework;
using testing_support::S;
using testing_support::ReadPixels;

TEST(ImageControl, TakesTheSizeOfItsPictureWhenAutoSized) {
  TForm form(nullptr);
  auto* image = testing_support::Place<TImage>(form, 36, 0, 400, 360);
  image->Picture().Bitmap().SetSize(37, 23);
  EXPECT_EQ(image->Width(), 400);  // not auto-sized yet
  image->SetBounds(0, 0, 1, 1);
  image->SetAutoSize(false);
  image->SetAutoSize(true);
  EXPECT_EQ(image->BoundsRect(), (TRect{0, 0, 37, 23}));
  image->Picture().Bitmap().SetSize(50, 10);  // and follows its changes
  EXPECT_EQ(image->BoundsRect(), (TRect{0, 0, 50, 10}));
}

TEST(ImageControl, StoresItsPictureAndAButtonGlyphInTheLayout) {
  TForm form(nullptr);
  form.SetName("frmPictures");
  form.SetClientSize(120, 80);
  auto* image = new TImage(&form);
  image->SetName("Image1");
  image->SetParent(&form);
  image->SetAutoSize(true);
  TBitmap& bitmap = image->Picture().Bitmap();
  bitmap.SetSize(3, 2);
  bitmap.Canvas().SetPixel(2, 1, clRed);
  auto* button = new TBitBtn(&form);
  button->SetName("BitBtn1");
  button->SetParent(&form);
  button->Glyph().LoadFromResourceName(GetModuleHandleW(nullptr), "GLYPH8");

  std::string layout = WriteLayout(form);
  EXPECT_NE(layout.find("    Picture.Data = {"), std::string::npos) << layout;
  EXPECT_NE(layout.find("    Glyph.Data = {"), std::string::npos) << layout;
  EXPECT_NE(layout.find("    AutoSize = True"), std::string::npos) << layout;

  TForm copy(nullptr);
  ReadLayout(copy, layout, "TForm");
  auto* image2 = dynamic_cast<TImage*>(copy.FindComponent("Image1"));
  auto* button2 = dynamic_cast<TBitBtn*>(copy.FindComponent("BitBtn1"));
  ASSERT_NE(image2, nullptr);
  ASSERT_NE(button2, nullptr);
  EXPECT_EQ(image2->BoundsRect(), (TRect{0, 0, 3, 2}));
  EXPECT_EQ(ReadPixels(image2->Picture().Bitmap().Handle(), 3, 2), ReadPixels(bitmap.Handle(), 3, 2));
  EXPECT_EQ(button2->Glyph().PixelFormat(), TPixelFormat::pf8bit);
  EXPECT_EQ(ReadPixels(button2->Glyph().Handle(), 16, 16), ReadPixels(button->Glyph().Handle(), 16, 16));
  EXPECT_EQ(WriteLayout(copy), layout);
}

class ProgressBar : public ::testing::Test {
 protected:
  void SetUp() override { form = std::make_unique<testing_support::TfrmProgressTest>(nullptr); }
  void TearDown() override {
    form.reset();
    testing_support::Pump();
  }
  std::unique_ptr<testing_support::TfrmProgressTest> form;
};

TEST_F(ProgressBar, IsAlignedToTheBottomEdgeAtFullWidth) {
  EXPECT_EQ(form->ProgressBar1->BoundsRect(), (TRect{0, 126, 368, 142}));
  form->SetClientSize(300, 100);
  EXPECT_EQ(form->ProgressBar1->BoundsRect(), (TRect{0, 84, 300, 100}));
  RECT r = testing_support::ChildRect(form->ProgressBar1->Handle());
  EXPECT_EQ(r.top, 84);
  EXPECT_EQ(r.right, 300);
}

TEST_F(ProgressBar, KeepsItsPositionInItsRange) {
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

TEST(ButtonLook, DrawsTheGlyphTransparentlyAndGreysItWhenDisabled) {
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

TEST(PanelLook, DrawsItsBevelsAndTheControlsWithoutWindows) {
  if (!testing_support::TrueColorDisplay()) GTEST_SKIP() << "exact colours need a true-colour display";
  testing_support::TfrmLayoutTest form(nullptr);
  form.Show();
  form.Repaint();
  testing_support::TCapture panel = testing_support::CaptureClient(form.Panel1->Handle());
  const uint32_t shadow = testing_support::SysColor(COLOR_BTNSHADOW);
  const uint32_t highlight = testing_support::SysColor(COLOR_BTNHIGHLIGHT);
  const uint32_t face = testing_support::SysColor(COLOR_BTNFACE);
  EXPECT_EQ(panel.At(0, 0), shadow);                              // lowered outer bevel
  EXPECT_EQ(panel.At(panel.width - 1, panel.height - 1), highlight);
  EXPECT_EQ(panel.At(1, 1), highlight);                           // raised inner bevel
  EXPECT_EQ(panel.At(panel.width - 2, panel.height - 2), shadow);
  EXPECT_EQ(panel.At(100, 40), shadow);                           // the bevel's top line
  EXPECT_EQ(panel.At(100, 41), highlight);
  EXPECT_EQ(panel.At(100, 45), face);
  // The label's text is drawn in its place.
  int inked = 0;
  TRect label = form.Label1->BoundsRect();
  for (int y = label.Top; y < label.Bottom; ++y) {
    for (int x = label.Left; x < label.Right; ++x) inked += panel.At(x, y) != face;
  }
  EXPECT_GT(inked, 100);
}

}  // namespace

namespace {

using namespace framework;

// An owner-drawn list box of the system's class, as a directory list is.
class TOwnerDrawList : public TWinControl {
 public:
  explicit TOwnerDrawList(TComponent* owner) : TWinControl(owner) {}
  std::vector<UINT> drawn;
  std::vector<WORD> notifications;

 protected:
  void CreateParams(TCreateParams& params) override {
    TWinControl::CreateParams(params);
    params.SystemClass = L"LISTBOX";
    params.Style |= LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY | WS_VSCROLL;
  }
  void DrawItem(const DRAWITEMSTRUCT& item) override { drawn.push_back(item.itemID); }
  void CommandNotify(WORD code) override { notifications.push_back(code); }
};

TEST(OwnerDrawing, ReachesTheControlThatDrawsItsItems) {
  TForm form(nullptr);
  form.SetClientSize(200, 150);
  auto* list = testing_support::Place<TOwnerDrawList>(form, 10, 10, 150, 100);
  for (const wchar_t* text : {L"C:\\", L"Program Files", L"PELANO5W"}) {
    SendMessageW(list->Handle(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  }
  form.Show();
  form.Repaint();
  EXPECT_NE(std::find(list->drawn.begin(), list->drawn.end(), 2u), list->drawn.end());
  SendMessageW(list->Handle(), LB_SETCURSEL, 1, 0);
  SendMessageW(list->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 2));
  SendMessageW(list->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 2));
  EXPECT_NE(std::find(list->notifications.begin(), list->notifications.end(), LBN_SELCHANGE),
            list->notifications.end());
}

}  // namespace
