// The windowed control: the notifications of a system control reach the control that owns it.
#include "framework/WinControl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "TestForms.h"

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
