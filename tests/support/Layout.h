// A form checked against its layout: the frame of a dialog, and where each control stands and what
// it says.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <initializer_list>

#include "framework/Control.h"
#include "framework/WinControl.h"
#include "support/Gui.h"

namespace testing_support {

// A dialog's frame: its client size, a title bar, no minimise or maximise box nor sizing border, a
// modal frame, and a system menu (which brings the close box) only when closeBox.
inline void ExpectDialogFrame(HWND window, int clientWidth, int clientHeight, bool closeBox) {
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, clientWidth);
  EXPECT_EQ(client.bottom, clientHeight);
  const LONG style = GetWindowLongW(window, GWL_STYLE);
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_EQ((style & WS_SYSMENU) != 0, closeBox);
  EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0);
  EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
}

// A control as its layout places it in its parent: a windowed control by its window's rectangle
// and text, one without a window by its bounds and caption. A width of -1 leaves the size alone (a
// label sizes itself to its text), a caption of nullptr the text.
struct TPlaced {
  framework::TControl* control;
  int left, top, width, height;
  const char* caption;  // UTF-8
};

inline void ExpectPlaced(std::initializer_list<TPlaced> controls) {
  for (const TPlaced& each : controls) {
    SCOPED_TRACE(each.control->Name());
    auto* windowed = dynamic_cast<framework::TWinControl*>(each.control);
    const framework::TRect bounds = each.control->BoundsRect();
    const RECT r =
        windowed ? ChildRect(windowed->Handle()) : RECT{bounds.Left, bounds.Top, bounds.Right, bounds.Bottom};
    EXPECT_EQ(r.left, each.left);
    EXPECT_EQ(r.top, each.top);
    if (each.width >= 0) {
      EXPECT_EQ(r.right - r.left, each.width);
      EXPECT_EQ(r.bottom - r.top, each.height);
    }
    if (each.caption != nullptr) {
      EXPECT_EQ(windowed ? WindowText(windowed->Handle()) : each.control->Caption(), S(each.caption));
    }
  }
}

}  // namespace testing_support
