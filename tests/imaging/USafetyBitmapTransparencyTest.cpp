// The safety bitmap's transparent colour, and a transparent picture drawn in part: through the
// part drawing of a bitmap and through a matrix image pack, on both families' paths.
#include <gtest/gtest.h>

#include <vector>

#include "SafetyImages.h"
#include "imaging/UMatrixImagePack.h"
#include "imaging/UPalette.h"
#include "imaging/USafetyBitmap.h"

namespace {

using namespace testing_support;
using framework::TRect;
using imaging::TSafetyBitmap;

constexpr Rgb kMagenta = 0xFF00FF;

// Sixteen colours: black first and white last (so that loading keeps the order), magenta at 1, red
// at 2, unusual colours between.
std::vector<RGBQUAD> Table() {
  std::vector<RGBQUAD> colours = testing_support::TestColors(16);
  colours[0] = {0, 0, 0, 0};
  colours[1] = {255, 0, 255, 0};
  colours[2] = {0, 0, 255, 0};
  colours[15] = {255, 255, 255, 0};
  return colours;
}

// An 8 x 4 picture of two 4 x 4 cells with magenta here and there. The picture's bottom-left pixel
// is magenta; the bottom-left pixel of the right cell is red.
uint32_t Index(int32_t x, int32_t y) {
  if (x == 0 && y == 3) return 1;
  if (x == 4 && y == 3) return 2;
  if ((x * 3 + y) % 5 == 0) return 1;
  return uint32_t(3 + (x + 2 * y) % 12);
}

testing_support::Image Picture(int bitCount) {
  const testing_support::Image indexed = MakeImage(8, 4, 4, Index, Table());
  if (bitCount == 4) return indexed;
  return MakeImage(8, 4, 24, [&](int32_t x, int32_t y) { return indexed.ColorAt(x, y); });
}

void Load(TSafetyBitmap& bitmap, const testing_support::Image& image) {
  ByteStream stream(MakeBmp(image));
  bitmap.LoadFromStream(stream);
}


class SafetyTransparency : public ::testing::TestWithParam<bool> {
 private:
  testing_support::TSystemFamily family_{GetParam()};
};

INSTANTIATE_TEST_SUITE_P(BothFamilies, SafetyTransparency, ::testing::Values(true, false), testing_support::FamilyName);

// A fixed colour is compared as its low 24 bits: a system colour is not looked up.
TEST_P(SafetyTransparency, AFixedColourIsComparedWithoutItsTopByte) {
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  const Rgb faceRgb = MakeRgb(GetRValue(face), GetGValue(face), GetBValue(face));
  const Rgb low = MakeRgb(COLOR_BTNFACE, 0, 0);  // clBtnFace without its top byte, as 0xRRGGBB
  ASSERT_NE(faceRgb, low);
  const testing_support::Image image = MakeImage(6, 4, 24, [&](int32_t x, int32_t y) {
    switch ((x + 2 * y) % 3) {
      case 0: return faceRgb;
      case 1: return low;
      default: return testing_support::Pattern(x, y);
    }
  });
  TSafetyBitmap bitmap;
  Load(bitmap, image);
  bitmap.SetTransparent(true);
  bitmap.SetTransparentColor(framework::clBtnFace);
  Target target(6, 4, kFill);
  target.Canvas().Draw(0, 0, bitmap);
  EXPECT_TRUE(ShowsAt(target, {0, 0, 6, 4}, Through(image, low), kFill));
}

// The part's own pixels are masked, not the whole mask squeezed into the destination; the automatic
// colour is the whole picture's bottom-left pixel (magenta), not the part's (red). Both the
// scan-line reading (24 bits) and the device reading (4 bits) of the picture.
TEST_P(SafetyTransparency, PartOfATransparentPictureMasksThatPartsPixels) {
  for (int bitCount : {24, 4}) {
    SCOPED_TRACE(bitCount);
    const testing_support::Image image = Picture(bitCount);
    for (bool fixed : {false, true}) {
      SCOPED_TRACE(fixed ? "fixed colour" : "automatic colour");
      TSafetyBitmap bitmap;
      Load(bitmap, image);
      bitmap.SetTransparent(true);
      if (fixed) bitmap.SetTransparentColor(framework::clFuchsia);
      const int modeBefore = GetMapMode(bitmap.Canvas().Handle());
      Target target(8, 8, kFill);
      imaging::StretchDrawPart(target.Canvas(), {0, 0, 8, 8}, bitmap, {4, 0, 8, 4});
      EXPECT_TRUE(ShowsAt(target, {0, 0, 8, 8}, Through(image, kMagenta, 2, 4), kFill));
      EXPECT_EQ(GetMapMode(bitmap.Canvas().Handle()), modeBefore);
      // Drawn whole afterwards, the picture still masks its own magenta pixels.
      Target whole(8, 4, kFill);
      whole.Canvas().Draw(0, 0, bitmap);
      EXPECT_TRUE(ShowsAt(whole, {0, 0, 8, 4}, Through(image, kMagenta), kFill));
    }
  }
}

TEST_P(SafetyTransparency, AMatrixImagePackDrawsACellOfATransparentPicture) {
  const testing_support::Image image = Picture(24);
  TSafetyBitmap bitmap;
  Load(bitmap, image);
  bitmap.SetTransparent(true);
  imaging::TMatrixImagePack pack{nullptr};
  pack.Image().SetGraphic(&bitmap);
  pack.SetCountCol(2);
  Target target(10, 10, kFill);
  pack.StretchDraw(target.Canvas(), {1, 1, 9, 9}, 1);
  EXPECT_TRUE(ShowsAt(target, {1, 1, 9, 9}, Through(image, kMagenta, 2, 4), kFill));
}

}  // namespace
