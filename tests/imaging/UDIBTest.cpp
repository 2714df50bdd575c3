#include "imaging/UDIB.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "DIBImages.h"
#include "PaletteEntries.h"
#include "framework/Errors.h"
#include "framework/GdiHandles.h"
#include "rtl/Exception.h"
#include "support/Pixels.h"

namespace {

using namespace testing_support;
using framework::TRect;
using imaging::IBitsHolder;
using imaging::TDIB;

// Row y of the image is grey level 10 + y: each row tells where it came from.
Rgb RowColor(int32_t y) { return MakeRgb(10 + y, 10 + y, 10 + y); }

// A DIB section of 24 bits owned by the test; rows as RowColor, or x and y in red and green.
class Section {
 public:
  Section(int32_t width, int32_t height, bool topDown, bool coordinates = false)
      : width_(width),
        height_(height),
        handle_(testing_support::CreateSection(width, topDown ? -height : height, 24, &bits_)) {
    EXPECT_TRUE(handle_);
    const int32_t stride = imaging::RowBytes(width, 24, 32);
    for (int32_t y = 0; y < height; ++y) {
      auto* row = static_cast<uint8_t*>(bits_) + size_t(topDown ? y : height - 1 - y) * size_t(stride);
      for (int32_t x = 0; x < width; ++x) {
        Rgb c = coordinates ? MakeRgb(x, y, 7) : RowColor(y);
        row[3 * x] = uint8_t(c);
        row[3 * x + 1] = uint8_t(c >> 8);
        row[3 * x + 2] = uint8_t(c >> 16);
      }
    }
  }
  HBITMAP get() const { return handle_.get(); }
  void* bits() const { return bits_; }

 private:
  int32_t width_;
  int32_t height_;
  void* bits_ = nullptr;
  framework::TBitmapHandle handle_;
};

imaging::TBitsHolder* HolderOf(const TDIB& dib) {
  IBitsHolder* holder = nullptr;
  if (dib.Holder() == nullptr ||
      FAILED(dib.Holder()->QueryInterface(imaging::IID_IBitsHolder, reinterpret_cast<void**>(&holder)))) {
    return nullptr;
  }
  holder->Release();
  return static_cast<imaging::TBitsHolder*>(holder);
}

Rgb ColourOf(const RGBQUAD& c) { return MakeRgb(c.rgbRed, c.rgbGreen, c.rgbBlue); }

// Whether pixel (x, y) of a monochrome bitmap of 16 pixels a row, one word each, is set.
bool BitSet(const uint16_t* rows, int32_t x, int32_t y) { return (rows[y] >> (x < 8 ? 7 - x : 15 - (x - 8))) & 1; }

// A section and the DIB captured from it, which borrows its pixels.
struct Captured {
  Captured(int32_t width, int32_t height, bool topDown, bool coordinates = false)
      : section(width, height, topDown, coordinates) {
    dib.FromHandle(section.get(), nullptr);
  }
  Section section;
  TDIB dib;
};

TEST(RowBytes, PadsToTheAlignmentAndOverflowsWhenTheRowsBitsPassThirtyOneBits) {
  EXPECT_EQ(imaging::RowBytes(1, 1, 32), 4);
  EXPECT_EQ(imaging::RowBytes(32, 1, 32), 4);
  EXPECT_EQ(imaging::RowBytes(33, 1, 32), 8);
  EXPECT_EQ(imaging::RowBytes(3, 24, 32), 12);
  EXPECT_EQ(imaging::RowBytes(5, 4, 32), 4);
  EXPECT_EQ(imaging::RowBytes(9, 4, 16), 6);
  EXPECT_EQ(imaging::RowBytes(0, 24, 32), 0);
  // Width x bits per pixel, and that product rounded up, are signed 32-bit values: a row of 2^31
  // bits or more overflows even where its byte count would fit.
  EXPECT_EQ(imaging::RowBytes(67108863, 32, 32), 268435452);
  EXPECT_THROW(imaging::RowBytes(67108864, 32, 32), rtl::EIntOverflow);
  EXPECT_THROW(imaging::RowBytes(536870911, 32, 32), rtl::EIntOverflow);
  EXPECT_EQ(imaging::RowBytes(2147483616, 1, 32), 268435452);
  EXPECT_THROW(imaging::RowBytes(2147483617, 1, 32), rtl::EIntOverflow) << "the padding passes 2^31 - 1";
  EXPECT_THROW(imaging::RowBytes(-67108865, 32, 32), rtl::EIntOverflow);
}

// --- the holder

// The holder answers for its interface and IUnknown only, and lives until its last release, leaving
// borrowed memory alone.
TEST(BitsHolder, AnswersForItsInterfaceOnlyAndLivesUntilItsLastRelease) {
  const int32_t before = imaging::TBitsHolder::LiveCount();
  std::vector<uint8_t> borrowed(16, 0xAB);
  auto* holder = new imaging::TBitsHolder();
  holder->AddRef();
  void* asked = nullptr;
  ASSERT_EQ(holder->QueryInterface(imaging::IID_IBitsHolder, &asked), S_OK);
  EXPECT_EQ(asked, static_cast<IBitsHolder*>(holder));
  static_cast<IUnknown*>(asked)->Release();
  ASSERT_EQ(holder->QueryInterface(IID_IUnknown, &asked), S_OK);
  static_cast<IUnknown*>(asked)->Release();
  EXPECT_EQ(holder->QueryInterface(IID_IDispatch, &asked), E_NOINTERFACE);
  EXPECT_EQ(asked, nullptr);
  holder->SetBits(borrowed.data(), FALSE);
  EXPECT_EQ(holder->GetBits(), borrowed.data());
  EXPECT_FALSE(holder->OwnsBits());
  holder->AddRef();
  EXPECT_EQ(holder->Release(), 1u);
  EXPECT_EQ(imaging::TBitsHolder::LiveCount(), before + 1);
  EXPECT_EQ(holder->Release(), 0u);
  EXPECT_EQ(imaging::TBitsHolder::LiveCount(), before);
  EXPECT_EQ(borrowed[15], 0xAB);
}

// --- capture

class Capture : public ::testing::Test {
 protected:
  const int32_t liveBefore = imaging::TBitsHolder::LiveCount();
  void TearDown() override { EXPECT_EQ(imaging::TBitsHolder::LiveCount(), liveBefore); }
};

TEST_F(Capture, ADIBSectionIsBorrowedAndOutlivesTheSnapshot) {
  Section section(8, 5, false);
  {
    TDIB dib;
    dib.FromHandle(section.get(), nullptr);
    EXPECT_EQ(dib.Bits(), section.bits());
    ASSERT_NE(HolderOf(dib), nullptr);
    EXPECT_FALSE(HolderOf(dib)->OwnsBits());
    EXPECT_EQ(dib.Header().biWidth, 8);
    EXPECT_EQ(dib.Header().biHeight, 5);
    EXPECT_EQ(dib.Header().biBitCount, 24);
  }
  EXPECT_EQ(GetObjectType(section.get()), DWORD(OBJ_BITMAP));
  TDIB again;
  again.FromHandle(section.get(), nullptr);
  Target target(8, 5);
  ASSERT_TRUE(again.Draw(target.Canvas(), {0, 0, 8, 5}, {0, 0, 8, 5}));
  EXPECT_TRUE(ShowsAt(target, {0, 0, 8, 5}, [](int32_t, int32_t dy) { return RowColor(dy); }, 0));
}

// A monochrome bitmap becomes a one-bit DIB in memory of its own, its colours black and white or the
// first two of the palette given with it.
TEST_F(Capture, AMonochromeBitmapBecomesAOneBitDIBWithTwoColours) {
  const struct {
    std::vector<uint16_t> rows;
    std::vector<PALETTEENTRY> palette;
    Rgb clear, set;
  } cases[] = {
      {{0xFFFF, 0x5555, 0x0000}, {}, 0x000000, 0xFFFFFF},
      {{0xFF00, 0x00FF}, {Entry(200, 10, 20), Entry(30, 40, 220)}, MakeRgb(200, 10, 20), MakeRgb(30, 40, 220)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.palette.empty() ? "no palette" : "a palette");
    const int32_t height = int32_t(c.rows.size());
    framework::TBitmapHandle mono(CreateBitmap(16, height, 1, 1, c.rows.data()));
    framework::TPaletteHandle palette = c.palette.empty() ? framework::TPaletteHandle() : MakePalette(c.palette);
    TDIB dib;
    dib.FromHandle(mono.get(), palette.get());
    EXPECT_EQ(dib.Header().biBitCount, 1);
    EXPECT_EQ(dib.Header().biHeight, height);
    ASSERT_NE(HolderOf(dib), nullptr);
    EXPECT_TRUE(HolderOf(dib)->OwnsBits());
    EXPECT_EQ(ColourOf(dib.Colors()[0]), c.clear);
    EXPECT_EQ(ColourOf(dib.Colors()[1]), c.set);
    Target target(16, height);
    ASSERT_TRUE(dib.Draw(target.Canvas(), {0, 0, 16, height}, {0, 0, 16, height}));
    EXPECT_TRUE(ShowsAt(target, {0, 0, 16, height},
                        [&](int32_t dx, int32_t dy) { return BitSet(c.rows.data(), dx, dy) ? c.set : c.clear; }, 0));
  }
}

TEST_F(Capture, AHandleThatIsNoBitmapKeepsTheOldHeader) {
  Captured image(4, 4, false);
  framework::TBrushHandle brush(CreateSolidBrush(0));
  EXPECT_THROW(image.dib.FromHandle(reinterpret_cast<HBITMAP>(brush.get()), nullptr), framework::EInvalidGraphic);
  EXPECT_THROW(image.dib.FromHandle(nullptr, nullptr), framework::EInvalidGraphic);
  EXPECT_EQ(image.dib.Header().biWidth, 4);
  EXPECT_EQ(image.dib.Bits(), nullptr);  // a new, empty holder
}

TEST_F(Capture, FromBitmapTakesTheFrameworksBitmap) {
  Image image = MakeImage(6, 4, 8, [](int32_t x, int32_t y) { return uint32_t(x + 6 * y) % 7; }, TestColors(7));
  framework::TBitmap bitmap;
  ByteStream bmp(MakeBmp(image, {.clrUsed = 7}));
  bitmap.LoadFromStream(bmp);
  TDIB dib;
  dib.FromBitmap(bitmap);
  EXPECT_EQ(dib.Header().biBitCount, 8);
  Target target(6, 4);
  ASSERT_TRUE(dib.Draw(target.Canvas(), {0, 0, 6, 4}, {0, 0, 6, 4}));
  EXPECT_TRUE(ShowsAt(target, {0, 0, 6, 4}, [&](int32_t dx, int32_t dy) { return image.ColorAt(dx, dy); }, 0));
}

TEST_F(Capture, CopiesShareTheMemoryUntilTheLastGoes) {
  const uint16_t rows[2] = {0xF0F0, 0x0F0F};
  framework::TBitmapHandle mono(CreateBitmap(16, 2, 1, 1, rows));
  auto second = std::make_unique<TDIB>();
  {
    TDIB first;
    first.FromHandle(mono.get(), nullptr);
    second->CopyFrom(first);
    EXPECT_EQ(second->Bits(), first.Bits());
    EXPECT_EQ(imaging::TBitsHolder::LiveCount(), liveBefore + 1);
  }
  mono.reset();
  Target target(16, 2);
  ASSERT_TRUE(second->Draw(target.Canvas(), {0, 0, 16, 2}, {0, 0, 16, 2}));
  EXPECT_TRUE(
      ShowsAt(target, {0, 0, 16, 2}, [&](int32_t dx, int32_t dy) { return BitSet(rows, dx, dy) ? 0xFFFFFFu : 0u; }, 0));
  EXPECT_EQ(imaging::TBitsHolder::LiveCount(), liveBefore + 1);
  second.reset();
}

// --- drawing

class DIBDraw : public ::testing::Test {
 protected:
  static constexpr Rgb kFill = MakeRgb(1, 2, 3);
};

// Whichever way the rows lie in memory, the source rectangle counts from the top row, drawn whole
// and, row by row, by the fallback, which keeps to the part asked for.
TEST_F(DIBDraw, ASourceIsCountedFromTheTopRowWhicheverWayItsRowsLie) {
  for (bool topDown : {false, true}) {
    SCOPED_TRACE(topDown ? "top-down" : "bottom-up");
    Captured image(4, 100, topDown);
    Target target(4, 40, kFill);
    ASSERT_TRUE(image.dib.Draw(target.Canvas(), {0, 5, 4, 25}, {0, 10, 4, 30}));
    EXPECT_TRUE(ShowsAt(target, {0, 5, 4, 25}, [](int32_t, int32_t dy) { return RowColor(10 + dy); }, kFill));
    Captured part(6, 4, topDown, true);
    Target banded(8, 8, kFill);
    RefusingDevice device;
    part.dib.DrawBanded(banded.Canvas(), {0, 0, 8, 8}, {1, 2, 5, 4});
    EXPECT_TRUE(ShowsAt(banded, {0, 0, 8, 8}, [](int32_t dx, int32_t dy) { return MakeRgb(1 + dx / 2, 2 + dy / 4, 7); },
                        kFill));
  }
}

TEST_F(DIBDraw, APartOfTheImageIsStretchedIntoTheDestination) {
  Captured image(200, 50, false, true);
  Target target(80, 70, kFill);
  ASSERT_TRUE(image.dib.Draw(target.Canvas(), {10, 20, 60, 60}, {100, 0, 150, 40}));
  EXPECT_TRUE(ShowsAt(target, {10, 20, 60, 60}, [](int32_t dx, int32_t dy) { return MakeRgb(100 + dx, dy, 7); },
                      kFill));
  // Twice as large: each source pixel covers two by two.
  target.Fill(kFill);
  ASSERT_TRUE(image.dib.Draw(target.Canvas(), {0, 0, 20, 10}, {5, 5, 15, 10}));
  EXPECT_TRUE(ShowsAt(target, {0, 0, 20, 10}, [](int32_t dx, int32_t dy) { return MakeRgb(5 + dx / 2, 5 + dy / 2, 7); },
                      kFill));
}

TEST_F(DIBDraw, UsesTheCanvasCopyMode) {
  Captured image(4, 4, false, true);
  Target target(4, 4, 0xFFFFFF);
  target.Canvas().SetCopyMode(SRCAND);
  ASSERT_TRUE(image.dib.Draw(target.Canvas(), {0, 0, 4, 4}, {0, 0, 4, 4}));
  target.Canvas().SetCopyMode(NOTSRCCOPY);
  ASSERT_TRUE(image.dib.Draw(target.Canvas(), {0, 0, 2, 4}, {0, 0, 2, 4}));
  EXPECT_TRUE(ShowsAt(target, {0, 0, 4, 4},
                      [](int32_t dx, int32_t dy) { return dx < 2 ? ~MakeRgb(dx, dy, 7) & 0xFFFFFF : MakeRgb(dx, dy, 7); },
                      0));
}

TEST_F(DIBDraw, NothingToDrawReportsSuccess) {
  Captured image(4, 4, false);
  TDIB never;
  Target target(10, 10, kFill);
  EXPECT_TRUE(never.Draw(target.Canvas(), {0, 0, 4, 4}, {0, 0, 4, 4}));
  RefusingDevice device;
  EXPECT_TRUE(image.dib.Draw(target.Canvas(), {3, 3, 3, 3}, {2, 2, 2, 2})) << "all four sizes 0";
  IntersectClipRect(target.dc(), 0, 0, 5, 5);
  EXPECT_TRUE(image.dib.Draw(target.Canvas(), {6, 6, 10, 10}, {0, 0, 4, 4}));
  image.dib.DrawBanded(target.Canvas(), {6, 6, 10, 10}, {0, 0, 4, 4});
  EXPECT_EQ(RefusingDevice::calls(), 0);
  SelectClipRgn(target.dc(), nullptr);
  EXPECT_TRUE(ShowsAt(target, {0, 0, 0, 0}, nullptr, kFill));
}

// Only when all four sizes are 0 is the stretch skipped; an empty source with a visible destination
// still goes to the device, whose answer is the result, and its refusal starts the fallback.
TEST_F(DIBDraw, AnEmptySourceAloneIsHandedToTheDevice) {
  Captured image(4, 4, false);
  Target target(4, 4, kFill);
  RefusingDevice device;
  EXPECT_FALSE(image.dib.Draw(target.Canvas(), {0, 0, 4, 4}, {0, 0, 4, 0})) << "no source height";
  EXPECT_EQ(RefusingDevice::calls(), 1);
  EXPECT_FALSE(image.dib.Draw(target.Canvas(), {0, 0, 4, 4}, {1, 1, 1, 3})) << "no source width";
  EXPECT_EQ(RefusingDevice::calls(), 2);
  EXPECT_TRUE(ShowsAt(target, {0, 0, 0, 0}, nullptr, kFill));
  image.dib.DrawBanded(target.Canvas(), {0, 0, 4, 4}, {1, 1, 1, 3});
  EXPECT_EQ(RefusingDevice::calls(), 3 + 4) << "the whole stretch, then one per destination row";
  EXPECT_TRUE(ShowsAt(target, {0, 0, 0, 0}, nullptr, kFill)) << "each row of the source is as empty";
}

// A refused stretch reports false and draws nothing; the banded fallback then gives each destination
// row at least one source row, and no more than one.
TEST_F(DIBDraw, ARefusedStretchReportsFalseAndTheBandedFallbackGivesEachRowASourceRow) {
  Captured image(4, 10, false);
  Target target(4, 25, kFill);
  RefusingDevice device;
  EXPECT_FALSE(image.dib.Draw(target.Canvas(), {0, 0, 4, 25}, {0, 0, 4, 10}));
  EXPECT_TRUE(ShowsAt(target, {0, 0, 0, 0}, nullptr, kFill));
  image.dib.DrawBanded(target.Canvas(), {0, 0, 4, 25}, {0, 0, 4, 10});
  const int32_t expectedRows[] = {0, 0, 0, 1, 1, 2, 2, 2, 3, 3, 4, 4, 4, 5, 5, 6, 6, 6, 7, 7, 8, 8, 8, 9, 9};
  EXPECT_TRUE(ShowsAt(target, {0, 0, 4, 25}, [&](int32_t, int32_t dy) { return RowColor(expectedRows[dy]); }, kFill));
  // Squeezed, each destination row takes one of the ten source rows it covers.
  Captured tall(4, 100, true);
  Target squeezed(4, 10, kFill);
  tall.dib.DrawBanded(squeezed.Canvas(), {0, 0, 4, 10}, {0, 0, 4, 100});
  for (int32_t row = 0; row < 10; ++row) {
    const int32_t source = int32_t(squeezed.Pixel(0, row) & 0xFF) - 10;
    EXPECT_GE(source, 10 * row) << row;
    EXPECT_LT(source, 10 * row + 10) << row;
  }
}

TEST(DIBLeaks, HundredsOfCapturesAndDrawsLeaveNoHandleOrHolder) {
  const int32_t before = imaging::TBitsHolder::LiveCount();
  Target target(16, 16);
  for (int i = 0; i < 300; ++i) {
    const uint16_t rows[2] = {uint16_t(i), uint16_t(~i)};
    HBITMAP mono = CreateBitmap(16, 2, 1, 1, rows);
    Section section(16, 16, i % 2 == 0);
    {
      TDIB a;
      TDIB b;
      a.FromHandle(mono, nullptr);
      b.FromHandle(section.get(), nullptr);
      a.CopyFrom(b);
      ASSERT_TRUE(a.Draw(target.Canvas(), {0, 0, 16, 16}, {0, 0, 16, 16}));
      RefusingDevice device;
      b.DrawBanded(target.Canvas(), {0, 0, 16, 8}, {0, 0, 16, 16});
    }
    DeleteObject(mono);
    ASSERT_EQ(imaging::TBitsHolder::LiveCount(), before) << i;
  }
}

}  // namespace
