// The matrix image pack: the grid and its edges, copying and drawing cells, counts and their
// changes, and the pack read from a layout, which loads its picture once the layout is complete.
#include "imaging/UMatrixImagePack.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "support/Painting.h"
#include "support/PictureData.h"
#include "framework/LayoutReader.h"
#include "framework/LayoutWriter.h"
#include "imaging/UPalette.h"
#include "imaging/USafetyBitmap.h"
#include "rtl/Exception.h"
#include "support/Pixels.h"

namespace {

using framework::TBitmap;
using framework::TRect;
using imaging::TMatrixImagePack;
using testing_support::Pixels;

bool SameRect(const TRect& a, const TRect& b) {
  return a.Left == b.Left && a.Top == b.Top && a.Right == b.Right && a.Bottom == b.Bottom;
}
std::string Show(const TRect& r) {
  return "(" + std::to_string(r.Left) + ", " + std::to_string(r.Top) + ", " + std::to_string(r.Right) + ", " +
         std::to_string(r.Bottom) + ")";
}
#define EXPECT_RECT(actual, ...) EXPECT_PRED2(SameRect, actual, (TRect{__VA_ARGS__})) << Show(actual)

class MatrixImagePack : public ::testing::Test {
 protected:
  MatrixImagePack() {
    pack.OnChange = [this](framework::TObject*) { ++changes; };
  }

  // Fills the pack's picture from the test program's resource, a bitmap unless said otherwise.
  void LoadBitmap(const char* name, const char* type = "RT_BITMAP") {
    pack.ImageLoader().SetResType(type);
    pack.ImageLoader().SetResName(name);
    pack.ImageLoader().Load();
  }
  void Grid(int32_t cols, int32_t rows) {
    pack.SetCountCol(cols);
    pack.SetCountRow(rows);
  }
  // Cell index of the pack, which must be a bitmap of width x height (null when it is no bitmap).
  TBitmap* Cell(int32_t index, int32_t width, int32_t height) {
    pack.GetImage(cell, index);
    auto* bitmap = dynamic_cast<TBitmap*>(cell.Graphic());
    EXPECT_NE(bitmap, nullptr);
    if (bitmap == nullptr) return nullptr;
    EXPECT_EQ(bitmap->Width(), width);
    EXPECT_EQ(bitmap->Height(), height);
    return bitmap;
  }

  TMatrixImagePack pack{nullptr};
  framework::TPicture cell;
  int changes = 0;
};

TEST_F(MatrixImagePack, StartsAsOneEmptyCellWithAnAutoLoadingLoaderNotReady) {
  EXPECT_EQ(pack.CountCol(), 1);
  EXPECT_EQ(pack.CountRow(), 1);
  EXPECT_EQ(pack.GetCount(), 1);
  EXPECT_EQ(pack.Image().Graphic(), nullptr);
  EXPECT_TRUE(pack.IsInvalidIndex(0)) << "no picture";
  EXPECT_TRUE(pack.ImageLoader().AutoLoad());
  EXPECT_FALSE(pack.ImageLoader().Ready());
  EXPECT_RECT(pack.ImageRect(0), 0, 0, 0, 0);
}

// One by one, the only cell is a copy of the whole picture in the picture's own class.
TEST_F(MatrixImagePack, OneByOneGivesTheWholePictureAsACopyOfItsClass) {
  const struct {
    const char* name;
    const char* type;
    const framework::TClass* kind;
    int32_t width, height;
  } cases[] = {{"PACK", "RT_BITMAP", &imaging::TSafetyBitmap::StaticClass(), 400, 360},
               {"PHOTO", "JPEG", &imaging::TSafetyJPEGImage::StaticClass(), 67, 45}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    LoadBitmap(c.name, c.type);
    EXPECT_EQ(pack.GetCount(), 1);
    EXPECT_RECT(pack.ImageRect(0), 0, 0, c.width, c.height);
    framework::TPicture copy;
    pack.GetImage(copy, 0);
    ASSERT_NE(copy.Graphic(), nullptr);
    EXPECT_EQ(&copy.Graphic()->ClassType(), c.kind);
    EXPECT_NE(copy.Graphic(), pack.Image().Graphic());
    EXPECT_EQ(copy.Width(), c.width);
    EXPECT_EQ(copy.Height(), c.height);
    if (auto* bitmap = dynamic_cast<TBitmap*>(copy.Graphic())) {
      EXPECT_EQ(Pixels(*bitmap), Pixels(static_cast<TBitmap&>(*pack.Image().Graphic())));
    }
  }
}

TEST_F(MatrixImagePack, ThreeByTwoCellsTileThePicture) {
  LoadBitmap("PACK");
  Grid(3, 2);
  EXPECT_EQ(pack.GetCount(), 6);
  EXPECT_RECT(pack.ImageRect(4), 133, 180, 267, 360);
  EXPECT_RECT(pack.ImageRect(0), 0, 0, 133, 180);
  EXPECT_RECT(pack.ImageRect(1), 133, 0, 267, 180);
  EXPECT_RECT(pack.ImageRect(2), 267, 0, 400, 180);
  EXPECT_RECT(pack.ImageRect(3), 0, 180, 133, 360);
  EXPECT_RECT(pack.ImageRect(5), 267, 180, 400, 360);
  EXPECT_EQ(pack.ImageWidth(0), 133);
  EXPECT_EQ(pack.ImageWidth(1), 134);
  EXPECT_EQ(pack.ImageWidth(2), 133);
}

TEST_F(MatrixImagePack, MoreCellsThanPixelsGiveEmptyCellsNotGaps) {
  TBitmap tiny;
  tiny.SetSize(2, 1);
  pack.SetImage(nullptr);
  pack.Image().SetGraphic(&tiny);
  Grid(3, 1);
  EXPECT_RECT(pack.ImageRect(0), 0, 0, 1, 1);
  EXPECT_RECT(pack.ImageRect(1), 1, 0, 1, 1);
  EXPECT_RECT(pack.ImageRect(2), 1, 0, 2, 1);
  framework::TPicture copy;
  pack.GetImage(copy, 1);
  EXPECT_EQ(copy.Graphic(), nullptr);
}

TEST_F(MatrixImagePack, InvalidIndexesGiveEmptyRectanglesAndEmptyPictures) {
  LoadBitmap("PACK");
  Grid(3, 2);
  framework::TPicture copy;
  for (int32_t index : {6, -1, INT_MAX, INT_MIN}) {
    copy.Bitmap().SetSize(3, 3);
    EXPECT_RECT(pack.ImageRect(index), 0, 0, 0, 0);
    pack.GetImage(copy, index);
    EXPECT_EQ(copy.Graphic(), nullptr) << index;
  }
  EXPECT_FALSE(pack.IsInvalidIndex(5));
  pack.SetImage(nullptr);
  EXPECT_TRUE(pack.IsInvalidIndex(0)) << "no graphic";
  TBitmap empty;
  pack.Image().SetGraphic(&empty);
  EXPECT_TRUE(pack.IsInvalidIndex(0)) << "an empty graphic";
  EXPECT_RECT(pack.ImageRect(0), 0, 0, 0, 0);
}

// No columns or rows: no images and no division. Negative counts with a positive product: that many
// empty cells. A count beyond 32 bits: an overflow.
TEST_F(MatrixImagePack, CountsAtTheirEdges) {
  LoadBitmap("PACK");
  Grid(0, 2);
  EXPECT_EQ(pack.GetCount(), 0);
  EXPECT_TRUE(pack.IsInvalidIndex(0));
  EXPECT_RECT(pack.ImageRect(0), 0, 0, 0, 0);
  Grid(2, 0);
  EXPECT_EQ(pack.GetCount(), 0);
  EXPECT_RECT(pack.ImageRect(1), 0, 0, 0, 0);
  Grid(-2, -3);
  EXPECT_EQ(pack.GetCount(), 6);
  for (int32_t index = 0; index < 6; ++index) {
    EXPECT_FALSE(pack.IsInvalidIndex(index));
    EXPECT_RECT(pack.ImageRect(index), 0, 0, 0, 0);
  }
  Grid(-2, 3);
  EXPECT_EQ(pack.GetCount(), -6);
  EXPECT_TRUE(pack.IsInvalidIndex(0));
  Grid(65536, 32768);
  EXPECT_THROW(pack.GetCount(), rtl::EIntOverflow);
  EXPECT_THROW(pack.ImageRect(0), rtl::EIntOverflow);
  Grid(65536, 32767);
  EXPECT_EQ(pack.GetCount(), 65536 * 32767);
}

// A count reaches the pack's listeners only when it is a new value; so do the picture's changes.
TEST_F(MatrixImagePack, NewCountsAndChangesOfThePictureReachThePack) {
  Grid(1, 1);
  EXPECT_EQ(changes, 0);
  pack.SetCountCol(3);
  EXPECT_EQ(changes, 1);
  pack.SetCountRow(2);
  pack.SetCountRow(2);
  EXPECT_EQ(changes, 2);
  LoadBitmap("PACK");
  EXPECT_EQ(changes, 3) << "a load through the loader";
  static_cast<TBitmap&>(*pack.Image().Graphic()).Canvas().SetPixel(0, 0, framework::clRed);
  EXPECT_EQ(changes, 4) << "an edit of the graphic";
  TBitmap other;
  other.SetSize(4, 4);
  pack.SetImage(nullptr);
  pack.Image().SetGraphic(&other);
  EXPECT_EQ(changes, 6) << "a new graphic";
  EXPECT_EQ(pack.Image().Width(), 4);
}

TEST_F(MatrixImagePack, TheOwnedObjectsTakeSettingsAndAreNeverReplaced) {
  imaging::TPictureEx* picture = &pack.Image();
  imaging::TResourceImageLoader* loader = &pack.ImageLoader();
  imaging::TPictureEx otherPicture;
  imaging::TResourceImageLoader other(otherPicture);
  other.SetResType("RT_BITMAP");
  other.SetResName("INDEXED");
  pack.SetImageLoader(&other);
  EXPECT_EQ(&pack.ImageLoader(), loader);
  EXPECT_EQ(pack.ImageLoader().ResName(), "INDEXED");
  EXPECT_EQ(pack.Image().Graphic(), nullptr) << "not ready yet";
  other.Load();
  pack.SetImage(&otherPicture);
  EXPECT_EQ(&pack.Image(), picture);
  EXPECT_EQ(pack.Image().Width(), 60);
}

// Cells copied from a multi-cell pack: the cell's pixels at the screen's depth, or on a palette
// display an 8-bit bitmap with a copy of the source's palette.
TEST_F(MatrixImagePack, ACellIsCopiedPixelForPixel) {
  LoadBitmap("PACK");
  Grid(3, 2);
  TBitmap* bitmap = Cell(4, 134, 180);
  ASSERT_NE(bitmap, nullptr);
  if (imaging::IsPaletteDisplay()) {
    EXPECT_EQ(bitmap->PixelFormat(), framework::TPixelFormat::pf8bit);
    return;
  }
  const std::vector<uint32_t> pixels = Pixels(*bitmap);
  for (int y : {0, 90, 179}) {
    for (int x : {0, 67, 133}) {
      EXPECT_EQ(pixels[y * 134 + x], testing_support::PackColour(133 + x, 180 + y)) << x << "," << y;
    }
  }
}

TEST_F(MatrixImagePack, OnAPaletteDisplayACellCarriesACopyOfTheSourcePalette) {
  LoadBitmap("INDEXED");
  Grid(2, 2);
  TBitmap* bitmap = Cell(3, 30, 20);
  ASSERT_NE(bitmap, nullptr);
  if (!imaging::IsPaletteDisplay()) {
    EXPECT_NE(bitmap->PixelFormat(), framework::TPixelFormat::pf8bit);
    return;
  }
  EXPECT_EQ(bitmap->PixelFormat(), framework::TPixelFormat::pf8bit);
  HPALETTE source = pack.Image().Graphic()->Palette();
  ASSERT_NE(bitmap->Palette(), nullptr);
  EXPECT_NE(bitmap->Palette(), source);
  PALETTEENTRY copied[256];
  PALETTEENTRY original[256];
  ASSERT_EQ(GetPaletteEntries(bitmap->Palette(), 0, 256, copied), GetPaletteEntries(source, 0, 256, original));
  EXPECT_EQ(std::memcmp(copied, original, sizeof copied), 0);
}

TEST_F(MatrixImagePack, StretchDrawTakesTheCellStraightFromTheBitmap) {
  LoadBitmap("PACK");
  Grid(3, 2);
  TBitmap target;
  testing_support::Fill24(target, 268, 360, 0x000000);
  pack.StretchDraw(target.Canvas(), {0, 0, 268, 360}, 4);  // twice the cell's size
  const std::vector<uint32_t> pixels = Pixels(target);
  EXPECT_EQ(pixels[0], testing_support::PackColour(133, 180));
  EXPECT_EQ(pixels[359 * 268 + 267], testing_support::PackColour(266, 359));
  EXPECT_EQ(pixels[100 * 268 + 100], testing_support::PackColour(133 + 50, 180 + 50));
}

TEST_F(MatrixImagePack, DrawPlacesACellAtItsOwnSizeAndInvalidCellsDrawNothing) {
  LoadBitmap("PACK");
  Grid(3, 2);
  TBitmap target;
  testing_support::Fill24(target, 200, 200, 0x00FF00);
  pack.StretchDraw(target.Canvas(), {0, 0, 20, 20}, 6);
  pack.Draw(target.Canvas(), 0, 0, -1);
  for (uint32_t pixel : Pixels(target)) ASSERT_EQ(pixel, 0x00FF00u) << "invalid cells";
  pack.Draw(target.Canvas(), 10, 20, 1);
  const std::vector<uint32_t> pixels = Pixels(target);
  EXPECT_EQ(pixels[20 * 200 + 10], testing_support::PackColour(133, 0));
  EXPECT_EQ(pixels[199 * 200 + 143], testing_support::PackColour(266, 179));
  EXPECT_EQ(pixels[19 * 200 + 10], 0x00FF00u) << "nothing above the cell";
  EXPECT_EQ(pixels[20 * 200 + 9], 0x00FF00u) << "nothing left of it";
}

TEST_F(MatrixImagePack, AJpegCellIsDrawnThroughACopy) {
  LoadBitmap("PHOTO", "JPEG");
  Grid(1, 3);
  TBitmap whole;
  testing_support::Fill24(whole, 67, 45, 0);
  whole.Canvas().Draw(0, 0, *pack.Image().Graphic());
  TBitmap target;
  testing_support::Fill24(target, 67, 15, 0);
  pack.Draw(target.Canvas(), 0, 0, 2);
  if (imaging::IsPaletteDisplay()) return;  // colours pass through the screen's palette there
  const std::vector<uint32_t> expected = Pixels(whole);
  const std::vector<uint32_t> pixels = Pixels(target);
  EXPECT_EQ(pixels[0], expected[30 * 67]);
  EXPECT_EQ(pixels[14 * 67 + 66], expected[44 * 67 + 66]);
}

// --- read from a layout ---

class TPackHolder : public framework::TComponent {
 public:
  static const framework::TClass& StaticClass() {
    static const framework::TClass info =
        framework::TClassBuilder<TPackHolder>("TPackHolder", &framework::TComponent::StaticClass())
            .Field("Pack1", &TPackHolder::Pack1);
    return info;
  }
  const framework::TClass& ClassType() const override { return StaticClass(); }
  explicit TPackHolder(framework::TComponent* owner) : TComponent(owner) {}

  TMatrixImagePack* Pack1 = nullptr;
};

class MatrixImagePackLayout : public ::testing::Test {
 protected:
  // Stored pictures name the safety bitmap's class, which its start-up step makes known.
  static void SetUpTestSuite() {
    framework::RegisterClasses({&TMatrixImagePack::StaticClass()});
    imaging::InitSafetyBitmap();
  }
  static void TearDownTestSuite() { imaging::DoneSafetyBitmap(); }

  std::unique_ptr<TPackHolder> Read(const std::string& packProperties) {
    auto holder = std::make_unique<TPackHolder>(nullptr);
    framework::ReadLayout(*holder, "object Holder: TPackHolder\n  object Pack1: TMatrixImagePack\n" + packProperties +
                                       "  end\nend\n",
                          "TPackHolder");
    return holder;
  }
};

TEST_F(MatrixImagePackLayout, LoadsOnceTheLayoutIsCompleteAndThenReloadsAtOnce) {
  auto holder = Read(
      "    CountCol = 3\n    CountRow = 2\n    ImageLoader.ResFile = 'PeImage.res'\n"
      "    ImageLoader.ResType = 'RT_BITMAP'\n    ImageLoader.ResName = 'PACK'\n");
  TMatrixImagePack& pack = *holder->Pack1;
  EXPECT_TRUE(pack.ImageLoader().Ready());
  EXPECT_EQ(pack.Image().Width(), 400);
  EXPECT_TRUE(pack.Image().FromResource());
  EXPECT_RECT(pack.ImageRect(4), 133, 180, 267, 360);
  int changes = 0;
  pack.OnChange = [&](framework::TObject*) { ++changes; };
  pack.ImageLoader().SetResName("INDEXED");
  EXPECT_EQ(pack.Image().Width(), 60);
  // The 8-bit picture's palette has no black first: the load and then the palette's rearrangement.
  EXPECT_EQ(changes, 2) << "the reload reaches the pack's listeners";
}

TEST_F(MatrixImagePackLayout, WithAutoLoadOffNothingIsLoadedButTheLoaderIsReady) {
  auto holder = Read("    ImageLoader.ResType = 'RT_BITMAP'\n    ImageLoader.ResName = 'PACK'\n"
                     "    ImageLoader.AutoLoad = False\n");
  EXPECT_EQ(holder->Pack1->Image().Graphic(), nullptr);
  EXPECT_TRUE(holder->Pack1->ImageLoader().Ready());
}

TEST_F(MatrixImagePackLayout, AMissingResourceFailsTheLayout) {
  EXPECT_THROW(Read("    ImageLoader.ResType = 'RT_BITMAP'\n    ImageLoader.ResName = 'NOSUCH'\n"), rtl::EResNotFound);
}

TEST_F(MatrixImagePackLayout, ThePictureFromAResourceStaysOutOfTheWrittenLayout) {
  auto holder = Read("    ImageLoader.ResType = 'RT_BITMAP'\n    ImageLoader.ResName = 'INDEXED'\n");
  const std::string written = framework::WriteLayout(*holder);
  EXPECT_NE(written.find("ImageLoader.ResName = 'INDEXED'"), std::string::npos) << written;
  EXPECT_EQ(written.find("Image.Data"), std::string::npos) << written;
  // The name changed without a load: the picture is the layout's own again, and read back.
  holder->Pack1->ImageLoader().SetAutoLoad(false);
  holder->Pack1->ImageLoader().SetResName("PACK");
  const std::string rewritten = framework::WriteLayout(*holder);
  EXPECT_NE(rewritten.find("Image.Data = {"), std::string::npos);
  auto copy = std::make_unique<TPackHolder>(nullptr);
  framework::ReadLayout(*copy, rewritten, "TPackHolder");
  EXPECT_EQ(copy->Pack1->Image().Width(), 60) << "AutoLoad off: the stored picture";
  EXPECT_FALSE(copy->Pack1->Image().FromResource());
  std::string loading = rewritten;
  loading.replace(loading.find("ImageLoader.AutoLoad = False"), 28, "ImageLoader.AutoLoad = True");
  copy = std::make_unique<TPackHolder>(nullptr);
  framework::ReadLayout(*copy, loading, "TPackHolder");
  EXPECT_EQ(copy->Pack1->Image().Width(), 400) << "the stored picture is replaced by the load";
}

}  // namespace
