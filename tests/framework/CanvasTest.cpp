// The canvas: a graphic drawn with the copy mode and stretched into a rectangle, and the lock count.
#include "framework/Canvas.h"

#include <gtest/gtest.h>

#include <vector>

#include "framework/Bitmap.h"
#include "framework/Errors.h"
#include "support/Painting.h"
#include "support/Pixels.h"

namespace {

using namespace framework;
using testing_support::Pixels;

constexpr uint32_t W = 0xFFFFFF;
constexpr uint32_t R = 0xFF0000;  // 0x00RRGGBB as ReadPixels gives them
constexpr uint32_t G = 0x00FF00;
constexpr uint32_t B = 0x0000FF;
// 4 x 2: red, green, blue, white over white, white, white, black.
const std::vector<uint32_t> kPicture = {R, G, B, W, W, W, W, 0};

// The picture above, and a green target of its size, both 24-bit.
class CanvasDrawing : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::Paint24(picture, 4, 2, [](int x, int y) { return kPicture[y * 4 + x]; });
    testing_support::Fill24(target, 4, 2, G);
  }
  TBitmap picture;
  TBitmap target;
};

TEST_F(CanvasDrawing, DrawHonoursTheCopyMode) {
  target.Canvas().SetCopyMode(SRCAND);
  target.Canvas().Draw(0, 0, picture);
  EXPECT_EQ(Pixels(target), (std::vector<uint32_t>{0, G, 0, G, G, G, G, 0}));
  target.Canvas().SetCopyMode(SRCPAINT);
  target.Canvas().Draw(0, 0, picture);
  EXPECT_EQ(Pixels(target), (std::vector<uint32_t>{R, G, B, W, W, W, W, 0}));
  target.Canvas().SetCopyMode(NOTSRCCOPY);
  target.Canvas().Draw(0, 0, picture);
  EXPECT_EQ(Pixels(target), (std::vector<uint32_t>{W ^ R, W ^ G, W ^ B, 0, 0, 0, 0, W}));
}

TEST_F(CanvasDrawing, StretchDrawScalesIntoTheRectangle) {
  TBitmap big;
  testing_support::Fill24(big, 8, 4, 0);
  big.Canvas().StretchDraw({0, 0, 8, 4}, picture);
  const std::vector<uint32_t> pixels = Pixels(big);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 8; ++x) EXPECT_EQ(pixels[y * 8 + x], kPicture[(y / 2) * 4 + x / 2]) << x << ',' << y;
  }
}

TEST_F(CanvasDrawing, LocksAreCounted) {
  TCanvas& canvas = target.Canvas();
  EXPECT_EQ(canvas.LockCount(), 0);
  {
    TCanvasLock outer(canvas);
    canvas.Lock();
    EXPECT_EQ(canvas.LockCount(), 2);
    canvas.Unlock();
  }
  EXPECT_EQ(canvas.LockCount(), 0);
  EXPECT_THROW(canvas.Unlock(), EInvalidOperation);
}

}  // namespace
