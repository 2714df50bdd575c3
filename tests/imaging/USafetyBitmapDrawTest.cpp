// Transparent drawing of the safety bitmap through its mask and masked copy, on screens and on
// printers, on the NT family's path and on the other one; the caches and the canvas state.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "SafetyImages.h"
#include "imaging/UCanvas.h"
#include "imaging/UPalette.h"
#include "imaging/USafetyBitmap.h"
#include "rtl/Exception.h"
#include "support/GdiObjects.h"
#include "support/Pixels.h"
#include "support/TestPrinter.h"

namespace {

using framework::TRect;
using imaging::TSafetyBitmap;
using namespace testing_support;

constexpr Rgb kRed = 0xFF0000;
constexpr Rgb kBlue = 0x0000FF;

// Pure red and pure blue in a diagonal pattern, colours one step from red and others between them.
uint32_t Scene(int x, int y) {
  switch ((x * 5 + y * 3) % 7) {
    case 0: return kRed;
    case 1: return kBlue;
    case 2: return 0xFE0000;
    case 3: return 0xFF0100;
    case 4: return 0xFF0001;
    default: return Pattern(x, y);
  }
}

// Colours of the standard 256-colour table's cube, mostly beyond its first 16 entries.
uint32_t CubeColours(int x, int y) { return MakeRgb(51 * ((x + y) % 6), 51 * (x * 2 % 6), 51 * (y % 6)); }

void LoadBytes(TSafetyBitmap& bitmap, const Bytes& bytes) {
  ByteStream stream(bytes);
  bitmap.LoadFromStream(stream);
}

// Counts the library's DIB stretches and passes them on.
class StretchCounter {
 public:
  StretchCounter() { count_ = 0; }
  int count() const { return count_; }
  void Reset() { count_ = 0; }

 private:
  static int WINAPI Count(HDC dc, int x, int y, int w, int h, int sx, int sy, int sw, int sh, const void* bits,
                          const BITMAPINFO* info, UINT usage, DWORD rop) {
    ++count_;
    return ::StretchDIBits(dc, x, y, w, h, sx, sy, sw, sh, bits, info, usage, rop);
  }
  static inline int count_ = 0;
  StretchCalls replaced_{&Count, imaging::StretchBltCall()};
};

// The picture drawn at its size on the fill, every pixel compared with expected.
::testing::AssertionResult DrawsAtItsSize(TSafetyBitmap& picture,
                                          const std::function<Rgb(int32_t, int32_t)>& expected) {
  Target target(picture.Width(), picture.Height(), kFill);
  target.Canvas().Draw(0, 0, picture);
  return ShowsAt(target, {0, 0, picture.Width(), picture.Height()}, expected, kFill);
}

// A memory canvas on a 32-bit top-down section, made for a reference device (a printer here).
class MemoryTarget : public imaging::TMemoryCanvas {
 public:
  MemoryTarget(int32_t width, int32_t height, HDC reference)
      : section_(testing_support::CreateSection(width, -height, 32)), width_(width), height_(height) {
    SetReferenceDC(reference);
    Brush().SetColor(static_cast<framework::TColor>(RGB(kFill >> 16, (kFill >> 8) & 0xFF, kFill & 0xFF)));
    FillRect({0, 0, width, height});
  }
  ~MemoryTarget() override { FreeHandle(); }

  std::vector<Rgb> Pixels() { return ReadPixels(section_.get(), width_, height_); }

 protected:
  HBITMAP GetBitmapHandle() override { return section_.get(); }

 private:
  framework::TBitmapHandle section_;
  int32_t width_;
  int32_t height_;
};

// The scene picture in a safety bitmap.
class SceneBitmap {
 protected:
  void LoadScene(int32_t width, int32_t height) {
    image = Rgb24(width, height, Scene);
    LoadBytes(bitmap, MakeBmp(image));
  }
  void MakeTransparent(framework::TColor colour) {
    bitmap.SetTransparent(true);
    bitmap.SetTransparentColor(colour);
  }

  testing_support::Image image;
  TSafetyBitmap bitmap;
};

// Every test runs on the NT family's path and on the other one.
class SafetyDraw : public ::testing::TestWithParam<bool>, protected SceneBitmap {
 private:
  testing_support::TSystemFamily family_{GetParam()};
};

INSTANTIATE_TEST_SUITE_P(BothFamilies, SafetyDraw, ::testing::Values(true, false),
                         FamilyName);

// Test colours with black first, white last and pure red at redAt.
std::vector<RGBQUAD> TableWithRed(int count, int redAt) {
  std::vector<RGBQUAD> colours = testing_support::TestColors(count);
  colours[0] = {0, 0, 0, 0};
  colours[std::size_t(redAt)] = {0, 0, 255, 0};
  colours[std::size_t(count - 1)] = {255, 255, 255, 0};
  return colours;
}

// Every format masks exactly the pixels of the transparent colour, drawn at its size and stretched:
// the bottom-left pixel's colour unless one is given, compared without a 32-bit picture's fourth
// byte; an 8-bit picture's colour must be an entry of its palette, or nothing is masked.
TEST_P(SafetyDraw, APictureMasksExactlyThePixelsOfItsTransparentColour) {
  const Image eight =
      MakeImage(9, 4, 8, [](int32_t x, int32_t y) { return uint32_t((x + y) % 5); }, TableWithRed(256, 3));
  // Colours every screen shows exactly, palette screens included.
  static const Rgb pure[] = {kRed, kBlue, 0x00FF00, 0xFFFF00, 0x000000};
  using framework::TPixelFormat;
  const struct {
    const char* name;
    testing_support::Image picture;
    TPixelFormat format;
    std::optional<framework::TColor> transparent;  // none: the bottom-left pixel's colour
    Rgb masked;                                     // the colour whose pixels the draw leaves out
  } cases[] = {
      {"24 bits", Rgb24(8, 6, Scene), TPixelFormat::pf24bit, framework::clRed, kRed},
      {"24 bits, automatic", Rgb24(8, 6, Scene), TPixelFormat::pf24bit, std::nullopt, Scene(0, 5)},
      {"32 bits",
       MakeImage(7, 5, 32, [](int32_t x, int32_t y) { return Scene(x, y) | (uint32_t(x * 40 + y) << 24); }),
       TPixelFormat::pf32bit, framework::clBlue, kBlue},
      {"8 bits", eight, TPixelFormat::pf8bit, framework::clRed, kRed},
      {"8 bits, a colour not in the palette", eight, TPixelFormat::pf8bit,
       static_cast<framework::TColor>(RGB(254, 0, 0)), kFill},  // no pixel has it
      {"4 bits",
       MakeImage(11, 3, 4, [](int32_t x, int32_t y) { return uint32_t((x * 2 + y) % 8); }, TableWithRed(16, 6)),
       TPixelFormat::pf4bit, framework::clRed, kRed},
      {"device", MakeImage(6, 4, 24, [](int32_t x, int32_t y) { return pure[(x + 2 * y) % 5]; }),
       TPixelFormat::pfDevice, framework::clRed, kRed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TSafetyBitmap picture;
    LoadBytes(picture, MakeBmp(c.picture));
    if (c.format == TPixelFormat::pfDevice) picture.SetPixelFormat(c.format);
    ASSERT_EQ(picture.PixelFormat(), c.format);
    picture.SetTransparent(true);
    if (c.transparent) picture.SetTransparentColor(*c.transparent);
    const int32_t w = c.picture.width, h = c.picture.height;
    EXPECT_TRUE(DrawsAtItsSize(picture, Through(c.picture, c.masked)));
    Target stretched(2 * w + 4, 2 * h + 4, kFill);
    stretched.Canvas().StretchDraw({2, 2, 2 + 2 * w, 2 + 2 * h}, picture);
    EXPECT_TRUE(ShowsAt(stretched, {2, 2, 2 + 2 * w, 2 + 2 * h}, Through(c.picture, c.masked, 2), kFill))
        << "stretched";
  }
}

// Channel levels either side of the ends and of the middle of a byte.
uint32_t Edges(int x, int y) {
  static const uint8_t edges[] = {0x00, 0x01, 0x7E, 0x7F, 0x80, 0x81, 0xFE, 0xFF};
  return MakeRgb(edges[x % 8], edges[(x + 3 * y) % 8], edges[(5 * x + y) % 8]);
}

// The mask of every format is set exactly where GetPixel, read pixel by pixel, shows the transparent
// colour, and the draw shows the picture elsewhere. Red is the column's level in each picture and
// the other channels run through theirs; the transparent colour is taken from the first, the two
// middle and the last columns: the lowest and highest levels and the two either side of the middle.
TEST_P(SafetyDraw, TheMaskOfEveryFormatIsWhatGetPixelReadsPixelByPixel) {
  auto levels555 = [](int32_t x, int32_t y) {
    return uint32_t(x << 10 | (x + 16 * (y % 2)) % 32 << 5 | (31 - x + 8 * (y % 2)) % 32);
  };
  auto levels565 = [](int32_t x, int32_t y) {
    return uint32_t(x << 11 | (2 * x + 33 * (y % 2)) % 64 << 5 | (31 - x + 8 * (y % 2)) % 32);
  };
  struct Case {
    const char* name;
    Bytes bmp;
    framework::TPixelFormat convertTo;
  };
  using framework::TPixelFormat;
  const Case cases[] = {
      // A colour table without black first and white last, as no normalisation gives.
      {"1 bit", MakeBmp(MakeImage(13, 4, 1, [](int32_t x, int32_t y) { return uint32_t((x + y) % 3 == 0); },
                                  {{0x99, 0x66, 0x33, 0}, {0, 0, 255, 0}})),
       TPixelFormat::pf1bit},
      {"15 bits", MakeBmp(MakeImage(32, 4, 16, levels555)), TPixelFormat::pf15bit},
      {"16 bits",
       MakeBmp(MakeImage(32, 4, 16, levels565), {.compression = BI_BITFIELDS, .masks = {0xF800, 0x07E0, 0x001F}}),
       TPixelFormat::pf16bit},
      {"24 bits", MakeBmp(Rgb24(8, 3, Edges)), TPixelFormat::pf24bit},
      {"device", MakeBmp(Rgb24(8, 3, Edges)), TPixelFormat::pfDevice},
      // Converted after loading: the standard colours have white at 15, not at 255.
      {"8 bits, standard colours", MakeBmp(Rgb24(9, 5, CubeColours)), TPixelFormat::pf8bit},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TSafetyBitmap picture;
    LoadBytes(picture, c.bmp);
    picture.SetPixelFormat(c.convertTo);
    ASSERT_EQ(picture.PixelFormat(), c.convertTo);
    const int32_t w = picture.Width();
    const int32_t h = picture.Height();
    Target plain(w, h, kFill);
    plain.Canvas().Draw(0, 0, picture);
    HDC source = picture.Canvas().Handle();
    const std::vector<uint32_t> shown =
        ExpectedPixels(w, h, [&](int32_t x, int32_t y) { return GetPixel(source, x, y); });
    auto transparent = [&](COLORREF colour, int32_t x, int32_t y) { return shown[std::size_t(y * w + x)] == colour; };
    picture.SetTransparent(true);
    const int32_t columns[] = {0, w / 2 - 1, w / 2, w - 1};
    for (int probe = 0; probe < 4; ++probe) {
      const COLORREF colour = shown[std::size_t(probe % h * w + columns[probe])];
      SCOPED_TRACE(colour);
      picture.SetTransparentColor(static_cast<framework::TColor>(colour));
      EXPECT_TRUE(DrawsAtItsSize(
          picture, [&](int32_t x, int32_t y) { return transparent(colour, x, y) ? kFill : plain.Pixel(x, y); }));
      EXPECT_EQ(ReadPixels(picture.Mask().Handle(), w, h),
                ExpectedPixels(w, h, [&](int32_t x, int32_t y) { return transparent(colour, x, y) ? 0xFFFFFFu : 0u; }));
    }
  }
}

// On the NT family's path the screen draw stretches no DIB; elsewhere the masked copy's build gets
// the mask's DIB, kept for the draws that follow.
TEST_P(SafetyDraw, TheMaskHasABitForEachTransparentPixelAndTheMaskedCopyIsWhiteThere) {
  LoadScene(10, 3);
  MakeTransparent(framework::clRed);
  Target target(10, 3, kFill);
  StretchCounter counter;
  target.Canvas().Draw(0, 0, bitmap);
  EXPECT_EQ(counter.count(), GetParam() ? 0 : 2);
  counter.Reset();
  target.Canvas().Draw(0, 0, bitmap);  // cached
  EXPECT_EQ(counter.count(), GetParam() ? 0 : 1);
  EXPECT_TRUE(ShowsAt(target, {0, 0, 10, 3}, Through(image, kRed), kFill));
  EXPECT_EQ(ReadPixels(bitmap.Mask().Handle(), 10, 3),
            ExpectedPixels(10, 3, [&](int32_t x, int32_t y) { return image.ColorAt(x, y) == kRed ? 0xFFFFFFu : 0u; }));
  EXPECT_EQ(ReadPixels(bitmap.MaskedImage().Handle(), 10, 3), ExpectedPixels(10, 3, [&](int32_t x, int32_t y) {
              const Rgb c = image.ColorAt(x, y);
              return c == kRed ? 0xFFFFFFu : c;
            }));
  EXPECT_FALSE(bitmap.MaskedImage().Transparent());
  EXPECT_EQ(bitmap.MaskDIB().Bits() != nullptr, !GetParam()) << "the mask's DIB is kept outside the NT family only";
}

TEST_P(SafetyDraw, APictureThatIsNotTransparentIsTheBaseDrawAndNoDrawChangesTheDestinationsState) {
  LoadScene(6, 4);
  Target target(6, 4, kFill);
  target.Canvas().SetCopyMode(SRCINVERT);  // the base draw honours the copy mode
  target.Canvas().Draw(0, 0, bitmap);
  EXPECT_TRUE(ShowsAt(target, {0, 0, 6, 4}, [&](int32_t x, int32_t y) { return image.ColorAt(x, y) ^ kFill; }, kFill));
  EXPECT_TRUE(bitmap.Mask().Empty());
  EXPECT_TRUE(bitmap.MaskedImage().Empty());
  EXPECT_TRUE(bitmap.MaskStale());
  EXPECT_TRUE(bitmap.MaskedImageStale());
  // The destination keeps its colours, copy mode and stretch mode on every way out.
  HDC dc = target.dc();
  for (bool transparent : {true, false}) {
    bitmap.SetTransparent(transparent);
    SetBkColor(dc, RGB(1, 2, 3));
    SetTextColor(dc, RGB(4, 5, 6));
    SetStretchBltMode(dc, HALFTONE);
    target.Canvas().SetCopyMode(SRCCOPY);
    target.Canvas().Draw(0, 0, bitmap);
    EXPECT_EQ(GetBkColor(dc), RGB(1, 2, 3));
    EXPECT_EQ(GetTextColor(dc), RGB(4, 5, 6));
    EXPECT_EQ(GetStretchBltMode(dc), HALFTONE);
    EXPECT_EQ(target.Canvas().CopyMode(), DWORD(SRCCOPY));
  }
}

// --- the caches ---

// A new picture or a drawing on it makes both caches stale, a new transparent colour the mask; the
// next transparent draw rebuilds them with the colour it has then.
TEST_P(SafetyDraw, ChangesMakeTheCachesStaleAndATransparentDrawRebuildsThem) {
  EXPECT_FALSE(bitmap.MaskStale());
  EXPECT_FALSE(bitmap.MaskedImageStale());
  bitmap.SetTransparent(true);
  Target empty(4, 4, kFill);
  bitmap.Draw(empty.Canvas(), {0, 0, 4, 4});
  EXPECT_TRUE(ShowsAt(empty, {0, 0, 0, 0}, [](int32_t, int32_t) { return kFill; }, kFill)) << "an empty picture";
  LoadScene(8, 6);
  EXPECT_TRUE(bitmap.MaskStale());
  EXPECT_TRUE(bitmap.MaskedImageStale());
  MakeTransparent(framework::clRed);
  Target target(8, 6, kFill);
  target.Canvas().Draw(0, 0, bitmap);
  EXPECT_FALSE(bitmap.MaskStale());
  EXPECT_FALSE(bitmap.MaskedImageStale());

  bitmap.SetTransparentColor(framework::clBlue);
  EXPECT_TRUE(bitmap.MaskStale());
  EXPECT_TRUE(DrawsAtItsSize(bitmap, Through(image, kBlue)));

  bitmap.Canvas().SetPixel(1, 1, framework::clBlue);
  EXPECT_TRUE(bitmap.MaskStale());
  EXPECT_TRUE(bitmap.MaskedImageStale());
  EXPECT_TRUE(DrawsAtItsSize(
      bitmap, [&](int32_t x, int32_t y) { return x == 1 && y == 1 ? kFill : Through(image, kBlue)(x, y); }))
      << "the pixel made blue is transparent now";
}

TEST_P(SafetyDraw, AssignFromASafetyBitmapCopiesMaskMaskedCopyAndFlags) {
  LoadScene(8, 6);
  MakeTransparent(framework::clRed);
  Target target(8, 6, kFill);
  target.Canvas().Draw(0, 0, bitmap);

  TSafetyBitmap copy;
  copy.Assign(&bitmap);
  EXPECT_FALSE(copy.MaskStale());
  EXPECT_FALSE(copy.MaskedImageStale());
  EXPECT_EQ(ReadPixels(copy.Mask().Handle(), 8, 6), ReadPixels(bitmap.Mask().Handle(), 8, 6));
  EXPECT_EQ(ReadPixels(copy.MaskedImage().Handle(), 8, 6),
            ReadPixels(bitmap.MaskedImage().Handle(), 8, 6));
  if (!GetParam()) {
    EXPECT_EQ(copy.MaskDIB().Holder(), bitmap.MaskDIB().Holder());
  } else {
    EXPECT_EQ(copy.MaskDIB().Holder(), nullptr);
  }
  EXPECT_TRUE(DrawsAtItsSize(copy, Through(image, kRed)));

  framework::TBitmap plain;
  plain.Assign(&bitmap);
  copy.Assign(&plain);
  EXPECT_TRUE(copy.MaskStale());
  EXPECT_TRUE(copy.MaskedImageStale());
}

// --- printers ---

class SafetyPrint : public SafetyDraw {
 protected:
  void SetUp() override { ASSERT_NE(HDC(printer), nullptr) << testing_support::TestPrinterFailure(); }
  const testing_support::TTestPrinterDC printer;
};

INSTANTIATE_TEST_SUITE_P(BothFamilies, SafetyPrint, ::testing::Values(true, false),
                         FamilyName);

int32_t Locks(const framework::TBitmap& bitmap) { return const_cast<framework::TBitmap&>(bitmap).Canvas().LockCount(); }

// The lock counts of the picture's canvas, its mask's and its masked copy's, each time the printer
// canvas reports a drawing.
class LockWatch {
 public:
  LockWatch(framework::TCanvas& target, TSafetyBitmap& picture) : picture_(picture) {
    target.OnChange = [this](framework::TObject*) {
      seen.push_back({picture_.Canvas().LockCount(), Locks(picture_.Mask()), Locks(picture_.MaskedImage())});
      if (seen.size() == failAt) throw rtl::Exception("the printer failed");
    };
  }
  std::vector<std::array<int32_t, 3>> seen;
  std::size_t failAt = 0;  // the report that raises an error; 0: none

 private:
  TSafetyBitmap& picture_;
};

// On the NT family's path the picture's canvases stay locked while it draws (a report after each of
// the two stretches inside the locks, then one after the whole draw) and no DIB is stretched;
// elsewhere the masked copy's build, then mask and picture, each go through a DIB, unlocked. An
// error raised on the printer leaves every lock released.
TEST_P(SafetyPrint, ATransparentPictureReachesAPrinterCanvasWithItsMaskAndReleasesTheLocks) {
  LoadScene(8, 6);
  MakeTransparent(framework::clRed);
  MemoryTarget target(16, 12, printer);
  ASSERT_TRUE(imaging::IsPrinterCanvas(target));
  LockWatch watch(target, bitmap);
  StretchCounter counter;
  target.StretchDraw({0, 0, 16, 12}, bitmap);
  using Seen = std::vector<std::array<int32_t, 3>>;
  EXPECT_EQ(watch.seen, (GetParam() ? Seen{{1, 1, 1}, {1, 1, 1}, {0, 0, 0}} : Seen{{0, 0, 0}}));
  EXPECT_EQ(counter.count(), GetParam() ? 0 : 3);
  EXPECT_EQ(target.Pixels(), ExpectedPixels(16, 12, Through(image, kRed, 2)));
  EXPECT_EQ(bitmap.Canvas().LockCount(), 0);
  EXPECT_EQ(Locks(bitmap.Mask()), 0);

  // An error while drawing a fresh picture on the printer releases the locks too.
  LoadScene(8, 6);
  MakeTransparent(framework::clRed);
  MemoryTarget failing(16, 12, printer);
  LockWatch failingWatch(failing, bitmap);
  failingWatch.failAt = 1;
  EXPECT_THROW(failing.StretchDraw({0, 0, 16, 12}, bitmap), rtl::Exception);
  ASSERT_EQ(failingWatch.seen.size(), 1u);
  EXPECT_EQ(failingWatch.seen[0][0], GetParam() ? 1 : 0) << "the error came from inside the locks";
  EXPECT_EQ(bitmap.Canvas().LockCount(), 0);
  EXPECT_EQ(Locks(bitmap.Mask()), 0);
  EXPECT_EQ(Locks(bitmap.MaskedImage()), 0);
}

TEST_P(SafetyPrint, APictureThatIsNotTransparentIsPrintedWholeAndBuildsNoMask) {
  LoadScene(8, 6);
  MemoryTarget target(8, 6, printer);
  StretchCounter counter;
  target.Draw(0, 0, bitmap);
  EXPECT_EQ(counter.count(), GetParam() ? 0 : 1);
  EXPECT_EQ(target.Pixels(), ExpectedPixels(8, 6, [&](int32_t x, int32_t y) { return image.ColorAt(x, y); }));
  EXPECT_TRUE(bitmap.Mask().Empty());
}

TEST_P(SafetyPrint, AMetafileMadeForThePrinterRecordsTheDrawAndKeepsItsState) {
  LoadScene(8, 6);
  MakeTransparent(framework::clRed);
  HDC metafile = CreateEnhMetaFileA(printer, nullptr, nullptr, nullptr);
  ASSERT_NE(metafile, nullptr);
  framework::TCanvas canvas(metafile);
  EXPECT_TRUE(imaging::IsPrinterCanvas(canvas)) << "a metafile made for a printer counts as one";
  SetBkColor(metafile, RGB(1, 1, 1));
  canvas.SetCopyMode(SRCCOPY);
  const int recordsBefore = [&] {
    HENHMETAFILE empty = CloseEnhMetaFile(CreateEnhMetaFileA(printer, nullptr, nullptr, nullptr));
    ENHMETAHEADER header{};
    GetEnhMetaFileHeader(empty, sizeof header, &header);
    DeleteEnhMetaFile(empty);
    return int(header.nRecords);
  }();
  canvas.StretchDraw({0, 0, 80, 60}, bitmap);
  EXPECT_EQ(GetBkColor(metafile), RGB(1, 1, 1));
  EXPECT_EQ(canvas.CopyMode(), DWORD(SRCCOPY));
  HENHMETAFILE recorded = CloseEnhMetaFile(metafile);
  ENHMETAHEADER header{};
  ASSERT_NE(GetEnhMetaFileHeader(recorded, sizeof header, &header), 0u);
  EXPECT_GE(int(header.nRecords), recordsBefore + 2) << "the mask and the masked copy";
  DeleteEnhMetaFile(recorded);
}

// Outside the NT family pictures reach printers through DIBs, drawn row by row when refused.
class SafetyPrintElsewhere : public SafetyPrint {};

INSTANTIATE_TEST_SUITE_P(OtherFamily, SafetyPrintElsewhere, ::testing::Values(false), FamilyName);

TEST_P(SafetyPrintElsewhere, APrinterThatRefusesAWholeStretchGetsItRowByRow) {
  LoadScene(8, 6);
  MakeTransparent(framework::clRed);
  MemoryTarget target(8, 6, printer);
  target.Handle();
  bitmap.Draw(target, {0, 0, 8, 6});  // builds the caches with a willing device
  MemoryTarget fresh(8, 6, printer);
  testing_support::RefusingDevice refusing;
  fresh.Draw(0, 0, bitmap);
  EXPECT_GT(refusing.calls(), 2 * 6);
  EXPECT_EQ(fresh.Pixels(), ExpectedPixels(8, 6, Through(image, kRed)));
  // A part is drawn row by row as that part, transparent or not: columns 2-5 of rows 1-3, doubled.
  for (bool transparent : {true, false}) {
    bitmap.SetTransparent(transparent);
    MemoryTarget part(8, 6, printer);
    imaging::StretchDrawPart(part, {0, 0, 8, 6}, bitmap, {2, 1, 6, 4});
    EXPECT_EQ(part.Pixels(), ExpectedPixels(8, 6, [&](int32_t x, int32_t y) {
                const Rgb c = image.ColorAt(2 + x / 2, 1 + y / 2);
                return transparent && c == kRed ? kFill : c;
              }))
        << (transparent ? "transparent" : "opaque");
  }
}

TEST_P(SafetyPrintElsewhere, AnErrorWhilePrintingLeavesTheCanvasAsItWas) {
  // One pixel wide and 100,000 high, banded into 30,000 rows: a band's source row overflows.
  image = Rgb24(1, 100000, [](int, int y) { return y % 2 == 0 ? kRed : 0x00FF00u; });
  LoadBytes(bitmap, MakeBmp(image));
  MakeTransparent(framework::clRed);
  MemoryTarget target(4, 4, printer);
  HDC dc = target.Handle();
  SetBkColor(dc, RGB(7, 8, 9));
  SetTextColor(dc, RGB(10, 11, 12));
  target.SetCopyMode(NOTSRCCOPY);
  testing_support::RefusingDevice refusing;
  EXPECT_THROW(bitmap.Draw(target, {0, 0, 1, 30000}), rtl::EIntOverflow);
  EXPECT_EQ(GetBkColor(dc), RGB(7, 8, 9));
  EXPECT_EQ(GetTextColor(dc), RGB(10, 11, 12));
  EXPECT_EQ(target.CopyMode(), DWORD(NOTSRCCOPY));
}

// --- handles ---

TEST_P(SafetyDraw, RepeatedLoadsAndTransparentDrawsKeepNoGdiObjects) {
  Target target(8, 6, kFill);
  const Bytes bmp = MakeBmp(Rgb24(8, 6, Scene));
  const Bytes rle = MakeBmp(MakeImage(8, 6, 8, [](int32_t x, int32_t y) { return uint32_t((x + y) % 7); },
                                      testing_support::TestColors(7)),
                            {.compression = BI_RLE8});
  auto round = [&] {
    TSafetyBitmap picture;
    LoadBytes(picture, bmp);
    picture.SetTransparent(true);
    picture.Draw(target.Canvas(), {0, 0, 8, 6});
    LoadBytes(picture, Wrap(rle));
    picture.Draw(target.Canvas(), {0, 0, 8, 6});
    TSafetyBitmap copy;
    copy.Assign(&picture);
  };
  round();
  const int before = testing_support::LiveGdiObjects();
  for (int i = 0; i < 50; ++i) round();
  EXPECT_EQ(testing_support::LiveGdiObjects(), before);
}

}  // namespace
