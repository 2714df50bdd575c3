// The image library's start-up steps. The file's name puts it after the palette tests in the
// program's order: realising a default palette fills the 8-bit screen's system palette, and the
// first of those tests must find it unfilled.
#include "imaging/UStartup.h"

#include <gtest/gtest.h>

#include "framework/Graphics.h"
#include "imaging/UPalette.h"
#include "imaging/UPictureEX.h"
#include "imaging/USafetyBitmap.h"

namespace {

TEST(ImagingStartup, TakesItsStepsAndUndoesThemAtTheEnd) {
  ASSERT_EQ(imaging::DefaultPaletteHandle(), nullptr);
  EXPECT_GE(imaging::TImagingStartup::StepCount(), 1u);
  HPALETTE made = nullptr;
  {
    // A module without palette resources: the test program's own default palette stays out of the
    // screen's system palette, which the palette tests look at.
    imaging::TImagingStartup startup(GetModuleHandleW(L"kernel32.dll"));
    made = imaging::DefaultPaletteHandle();
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(GetPaletteEntries(made, 0, 0, nullptr), 256u);
    EXPECT_EQ(framework::TPicture::FileFormatClass("CBM"), &imaging::TSafetyBitmap::StaticClass());
    EXPECT_EQ(framework::TPicture::FileFormatClass("BMP"), &imaging::TSafetyBitmap::StaticClass());
    EXPECT_EQ(framework::TPicture::FileFormatClass("jpeg"), &imaging::TSafetyJPEGImage::StaticClass());
  }
  EXPECT_EQ(imaging::DefaultPaletteHandle(), nullptr);
  EXPECT_EQ(framework::TPicture::FileFormatClass("CBM"), nullptr);
  EXPECT_EQ(framework::TPicture::FileFormatClass("jpeg"), nullptr);
  EXPECT_EQ(framework::TPicture::FileFormatClass("BMP"), &framework::TBitmap::StaticClass());
  EXPECT_EQ(GetObjectType(made), 0u);
}

}  // namespace
