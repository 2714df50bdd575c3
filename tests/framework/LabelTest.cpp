// The label: sized to its text in the shared font, and drawn by the windowed control it stands on.
#include "framework/Label.h"

#include <gtest/gtest.h>

#include "TestForms.h"
#include "rtl/Sjis.h"
#include "support/Gui.h"

namespace {

using namespace framework;
using testing_support::S;

TEST(LabelSize, IsTheSizeOfItsTextUnlessFixed) {
  testing_support::TfrmLayoutTest form(nullptr);
  TLabel* label = form.Label1;
  HDC screen = GetDC(nullptr);
  HGDIOBJ old = SelectObject(screen, SharedFont());
  std::wstring text = rtl::SjisToWide(label->Caption());
  RECT r{0, 0, 0, 0};
  DrawTextW(screen, text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_EXPANDTABS);
  SelectObject(screen, old);
  ReleaseDC(nullptr, screen);
  EXPECT_GT(r.right, 200);
  EXPECT_EQ(label->Width(), r.right);
  EXPECT_EQ(label->Height(), r.bottom);
  label->SetCaption("");
  EXPECT_GT(label->Height(), 0);  // an empty label keeps one line's height
  label->SetAutoSize(false);
  int32_t width = label->Width();
  label->SetCaption(S("とても長いキャプションにしても大きさは変わらない"));
  EXPECT_EQ(label->Width(), width);
}

TEST(LabelLook, ItsTextIsDrawnInItsPlace) {
  if (!testing_support::TrueColorDisplay()) GTEST_SKIP() << "exact colours need a true-colour display";
  testing_support::TfrmLayoutTest form(nullptr);
  const testing_support::TCapture panel = testing_support::ShownPanel(form);
  const uint32_t face = testing_support::SysColor(COLOR_BTNFACE);
  int inked = 0;
  const TRect label = form.Label1->BoundsRect();
  for (int y = label.Top; y < label.Bottom; ++y) {
    for (int x = label.Left; x < label.Right; ++x) inked += panel.At(x, y) != face;
  }
  EXPECT_GT(inked, 100);
}

}  // namespace
