// The font: its size in points against its height and the pixels per inch of its device.
#include "framework/GraphicsObjects.h"

#include <gtest/gtest.h>

#include "rtl/Exception.h"

namespace {

using namespace framework;

TEST(Font, SizeInPointsFollowsHeightAndPixelsPerInch) {
  TFont font;
  EXPECT_EQ(font.PixelsPerInch(), ScreenPixelsPerInch());
  EXPECT_EQ(font.Height(), -12);
  EXPECT_EQ(font.Handle(), SharedFont());
  font.SetPixelsPerInch(96);
  EXPECT_EQ(font.Size(), 9);
  font.SetPixelsPerInch(300);
  EXPECT_EQ(font.Height(), -12);
  font.SetSize(9);
  EXPECT_EQ(font.Height(), -38);  // 9 x 300 / 72 = 37.5
  HFONT own = font.Handle();
  EXPECT_NE(own, SharedFont());
  LOGFONTW lf{};
  GetObjectW(own, sizeof lf, &lf);
  EXPECT_EQ(lf.lfHeight, -38);
  EXPECT_EQ(lf.lfCharSet, SHIFTJIS_CHARSET);
  EXPECT_THROW(font.SetPixelsPerInch(0), rtl::ERangeError);
}

}  // namespace
