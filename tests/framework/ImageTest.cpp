// The image control: it takes its picture's size when auto-sized, and stores its picture.
#include "framework/Image.h"

#include <gtest/gtest.h>

#include "TestForms.h"
#include "support/Pixels.h"

namespace {

using namespace framework;
using testing_support::Pixels;

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

TEST(ImageControl, StoresItsPictureInTheLayout) {
  TForm form(nullptr);
  form.SetName("frmPicture");
  auto* image = new TImage(&form);
  image->SetName("Image1");
  image->SetParent(&form);
  image->SetAutoSize(true);
  TBitmap& bitmap = image->Picture().Bitmap();
  bitmap.SetSize(3, 2);
  bitmap.Canvas().SetPixel(2, 1, clRed);
  TForm copy(nullptr);
  const std::string layout = testing_support::WrittenAndReadBack(form, copy);
  EXPECT_NE(layout.find("    Picture.Data = {"), std::string::npos) << layout;
  EXPECT_NE(layout.find("    AutoSize = True"), std::string::npos) << layout;
  auto* read = dynamic_cast<TImage*>(copy.FindComponent("Image1"));
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(read->BoundsRect(), (TRect{0, 0, 3, 2}));
  EXPECT_EQ(Pixels(read->Picture().Bitmap()), Pixels(bitmap));
}

}  // namespace
