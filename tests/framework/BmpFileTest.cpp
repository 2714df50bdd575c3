// The bitmap's BMP reader and writer, checked pixel for pixel with GetDIBits.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "framework/Bitmap.h"
#include "framework/BmpFile.h"
#include "framework/Colors.h"
#include "framework/Errors.h"
#include "rtl/Exception.h"
#include "rtl/Stream.h"
#include "support/Bmp.h"
#include "support/Graphics.h"
#include "support/GuardedStream.h"
#include "support/Gui.h"
#include "support/MemoryStreams.h"
#include "support/MessageOf.h"
#include "support/Pixels.h"

namespace {

using namespace framework;
using Bytes = std::vector<uint8_t>;
using testing_support::S;
using testing_support::ExpectedPixels;
using testing_support::Fill;
using testing_support::Get32;
using testing_support::LoadFrom;
using testing_support::ReadPixels;
using testing_support::Saved;
using testing_support::Set16;
using testing_support::Set32;

// 0x00RRGGBB of a few distinct colours by position.
uint32_t Pattern(int x, int y) { return static_cast<uint32_t>(((x * 37) & 0xFF) << 16 | ((y * 59) & 0xFF) << 8 | ((x + y) * 11 & 0xFF)); }

std::vector<RGBQUAD> Grey16() {
  std::vector<RGBQUAD> colors;
  for (int i = 0; i < 16; ++i) colors.push_back({static_cast<BYTE>(i * 17), static_cast<BYTE>(255 - i * 17), static_cast<BYTE>(i * 8), 0});
  return colors;
}

uint32_t Rgb(const RGBQUAD& c) { return static_cast<uint32_t>(c.rgbRed << 16 | c.rgbGreen << 8 | c.rgbBlue); }

class BmpReader : public ::testing::Test {
 protected:
  void Load(const Bytes& data) { LoadFrom(bitmap, data); }
  std::vector<uint32_t> Pixels() { return testing_support::Pixels(bitmap); }
  std::string Failure(const Bytes& data) {
    return testing_support::MessageOf<EInvalidGraphic>([&] { Load(data); });
  }

  TBitmap bitmap;
};

TEST_F(BmpReader, TwentyFourBitsBottomUpTopDownAndWithoutAnImageSize) {
  for (const char* variant : {"bottom-up", "top-down", "image size 0"}) {
    Bytes data = testing_support::MakeBmp(13, 7, 24, {}, Pattern, variant[0] == 't');
    if (variant[0] == 'i') Set32(data, 34, 0);  // which means the rows' size
    Load(data);
    EXPECT_EQ(bitmap.Width(), 13);
    EXPECT_EQ(bitmap.Height(), 7);
    EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::pf24bit);
    EXPECT_EQ(bitmap.HandleType(), TBitmapHandleType::bmDIB);
    EXPECT_EQ(bitmap.Palette(), nullptr);
    EXPECT_EQ(Pixels(), ExpectedPixels(13, 7, Pattern)) << variant;
    EXPECT_EQ(static_cast<uint8_t*>(bitmap.ScanLine(0))[2], (Pattern(0, 0) >> 16) & 0xFF) << "row 0 is the top row";
  }
}

// The colour table, sixteen entries at 8 bits too, becomes the palette and the section's table.
TEST_F(BmpReader, IndexedFormatsTakeTheirColourTableAsPalette) {
  const std::vector<RGBQUAD> colors = Grey16();
  for (int bits : {1, 4, 8}) {
    SCOPED_TRACE(bits);
    std::vector<RGBQUAD> table(colors.begin(), colors.begin() + (bits == 1 ? 2 : 16));
    const int n = static_cast<int>(table.size());
    auto index = [n](int x, int y) { return static_cast<uint32_t>((x * 3 + y) % n); };
    Load(testing_support::MakeBmp(19, 5, bits, table, index));
    const TPixelFormat format =
        bits == 1 ? TPixelFormat::pf1bit : (bits == 4 ? TPixelFormat::pf4bit : TPixelFormat::pf8bit);
    EXPECT_EQ(bitmap.PixelFormat(), format);
    EXPECT_EQ(Pixels(), ExpectedPixels(19, 5, [&](int x, int y) { return Rgb(table[index(x, y)]); }));
    ASSERT_NE(bitmap.Palette(), nullptr);
    EXPECT_EQ(GetPaletteEntries(bitmap.Palette(), 0, 0, nullptr), static_cast<UINT>(n));
    PALETTEENTRY entry{};
    GetPaletteEntries(bitmap.Palette(), 1, 1, &entry);
    EXPECT_EQ((uint32_t{entry.peRed} << 16) | (uint32_t{entry.peGreen} << 8) | entry.peBlue, Rgb(table[1]));
    RGBQUAD section[256];
    ASSERT_GE(GetDIBColorTable(bitmap.Canvas().Handle(), 0, 256, section), static_cast<UINT>(n));
    for (int i = 0; i < n; ++i) EXPECT_EQ(Rgb(section[i]), Rgb(table[i])) << i;
  }
}

TEST_F(BmpReader, ThirtyTwoAndSixteenBitsWithAndWithoutMasks) {
  Load(testing_support::MakeBmp(6, 3, 32, {}, Pattern));
  EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::pf32bit);
  EXPECT_EQ(Pixels(), ExpectedPixels(6, 3, Pattern));

  // 5-6-5 bit fields after a 40-byte header: red at the top.
  Bytes data = testing_support::MakeBmp(4, 2, 16, {}, [](int, int) { return 0u; });
  Set32(data, 30, BI_BITFIELDS);
  const uint32_t masks[3] = {0xF800, 0x07E0, 0x001F};
  data.insert(data.begin() + 54, reinterpret_cast<const uint8_t*>(masks), reinterpret_cast<const uint8_t*>(masks) + 12);
  Set16(data, 66, 0xF800);  // the bottom row's first pixel
  Load(data);
  EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::pf16bit);
  EXPECT_EQ(Pixels()[4], 0xFF0000u);

  Bytes plain = testing_support::MakeBmp(4, 2, 16, {}, [](int, int) { return 0u; });
  Set16(plain, 54, 0x7C00);
  Load(plain);
  EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::pf15bit);
  EXPECT_EQ(Pixels()[4], 0xFF0000u);
}

TEST_F(BmpReader, ACoreHeaderWithThreeByteColours) {
  Bytes data = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  const uint8_t header[12] = {12, 0, 0, 0, 3, 0, 2, 0, 1, 0, 1, 0};  // 3 x 2, 1 bit
  data.insert(data.end(), header, header + 12);
  const uint8_t colors[6] = {0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00};  // red, blue (B, G, R)
  data.insert(data.end(), colors, colors + 6);
  const uint8_t rows[8] = {0xA0, 0, 0, 0, 0x40, 0, 0, 0};  // bottom row 1 0 1, top row 0 1 0
  data.insert(data.end(), rows, rows + 8);
  Load(data);
  EXPECT_EQ(Pixels(), (std::vector<uint32_t>{0xFF0000, 0x0000FF, 0xFF0000, 0x0000FF, 0xFF0000, 0x0000FF}));
}

TEST_F(BmpReader, PixelsFollowTheColourTableWhateverTheOffsetSays) {
  const std::vector<RGBQUAD> table = Grey16();
  auto index = [](int x, int y) { return static_cast<uint32_t>((x + y) % 16); };
  Bytes data = testing_support::MakeBmp(8, 4, 4, table, index);
  for (uint32_t offset : {0u, 1u, 118u + 7u, 0xFFFFFFFFu}) {
    Set32(data, 10, offset);
    Load(data);
    EXPECT_EQ(Pixels(), ExpectedPixels(8, 4, [&](int x, int y) { return Rgb(table[index(x, y)]); })) << offset;
  }
}

TEST_F(BmpReader, ReadsAtMostSizeImageAndLeavesTheStreamAfterIt) {
  // 400 x 360 at 24 bits: 1,200 bytes a row, 432,000 in all; one byte short leaves the top-right
  // pixel's red at 0.
  auto white = [](int, int) { return 0xFFFFFFu; };
  Bytes data = testing_support::MakeBmp(400, 360, 24, {}, white);
  ASSERT_EQ(Get32(data, 34), 432000u);
  Set32(data, 34, 431999);
  data.insert(data.end(), {1, 2, 3, 4, 5});
  rtl::TMemoryStream stream;
  Fill(stream, data);
  bitmap.LoadFromStream(stream);
  EXPECT_EQ(stream.GetPosition(), static_cast<int32_t>(data.size()) - 5 - 1);
  std::vector<uint32_t> pixels = Pixels();
  EXPECT_EQ(pixels[399], 0x00FFFFu);
  EXPECT_EQ(pixels[398], 0xFFFFFFu);
  EXPECT_EQ(pixels[400], 0xFFFFFFu);
}

TEST_F(BmpReader, PixelDataCutShortLoadsWhatIsThereAndTheRestIsBlack) {
  auto white = [](int, int) { return 0xFFFFFFu; };
  Bytes data = testing_support::MakeBmp(4, 4, 24, {}, white);  // 12 bytes a row, the bottom row first
  data.resize(data.size() - 2 * 12 - 5);
  Load(data);
  // The bottom row whole; of the next, 7 bytes: two pixels and the blue of the third.
  const uint32_t W = 0xFFFFFF;
  const std::vector<uint32_t> expected = {0, 0, 0, 0, 0, 0, 0, 0, W, W, 0x0000FF, 0, W, W, W, W};
  EXPECT_EQ(Pixels(), expected);
}

TEST_F(BmpReader, DataThatIsNoBmpRaisesInvalidGraphic) {
  const std::string message = S("ﾋﾞｯﾄﾏｯﾌﾟｲﾒｰｼﾞが不正です");
  Bytes good = testing_support::MakeBmp(3, 3, 24, {}, Pattern);
  Bytes tooManyColours = testing_support::MakeBmp(3, 3, 8, Grey16(), [](int, int) { return 0u; });
  Set32(tooManyColours, 46, 0x40000000);
  EXPECT_EQ(Failure(tooManyColours), message);
  // Rows that would not fit in memory: the largest sizes the header can state, and the first
  // size past 2 GiB of pixels.
  Bytes huge = good;
  Set32(huge, 18, 0x7FFFFFFF);
  Set32(huge, 22, 0x80000001);  // -0x7FFFFFFF: top-down
  Set16(huge, 28, 32);
  EXPECT_EQ(Failure(huge), message);
  Bytes justPast = good;
  Set32(justPast, 18, 0x2000);   // 0x8000 bytes a row at 32 bits
  Set32(justPast, 22, 0x10000);  // 2^31 bytes in all
  Set16(justPast, 28, 32);
  EXPECT_EQ(Failure(justPast), message);
  // One field of the header set to a value that no BMP has.
  struct TBadField {
    std::size_t at;
    bool wide;  // 32 bits, else 16
    uint32_t value;
  };
  const std::vector<TBadField> badFields = {
      {0, false, 'B' | ('N' << 8)},  // no "BM"
      {26, false, 2},                // two planes
      {14, true, 39},                // a header of 39 bytes
      {14, true, 13},                // a header of 13 bytes
      {30, true, 4},                 // JPEG data
      {30, true, 9},                 // an unknown compression
      {28, false, 7},                // 7 bits a pixel
      {18, true, 0},                 // no width
      {22, true, 0},                 // no height
      {22, true, 0x80000000},        // a height of -2^31, which cannot be turned top-down
      {18, true, 0x7FFFFFFF},        // more pixels than the file holds
  };
  for (const TBadField& field : badFields) {
    Bytes bad = good;
    if (field.wide) {
      Set32(bad, field.at, field.value);
    } else {
      Set16(bad, field.at, static_cast<uint16_t>(field.value));
    }
    EXPECT_EQ(Failure(bad), message) << field.at << ": " << field.value;
  }
  Bytes fullTable = testing_support::MakeBmp(2, 2, 8, std::vector<RGBQUAD>(256), [](int, int) { return 1u; });
  Set32(fullTable, 46, 256);
  EXPECT_NO_THROW(Load(fullTable));
  // Every cut inside the headers and the colour table.
  Bytes indexed = testing_support::MakeBmp(3, 3, 8, Grey16(), [](int, int) { return 1u; });
  for (std::size_t length = 1; length < 14 + 40 + 64; ++length) {
    EXPECT_EQ(Failure(Bytes(indexed.begin(), indexed.begin() + static_cast<std::ptrdiff_t>(length))), message) << length;
  }
  // A refused file leaves the bitmap as it was.
  Load(good);
  EXPECT_EQ(Failure(Bytes(good.begin(), good.begin() + 30)), message);
  EXPECT_EQ(Pixels(), ExpectedPixels(3, 3, Pattern));
}

TEST_F(BmpReader, LoadsBitmapResourcesOfTheModule) {
  bitmap.LoadFromResourceName(GetModuleHandleW(nullptr), "GLYPH8");
  EXPECT_EQ(bitmap.Width(), 16);
  EXPECT_EQ(bitmap.Height(), 16);
  EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::pf8bit);
  std::vector<uint32_t> pixels = Pixels();
  EXPECT_EQ(pixels[0], 0xFF00FFu);
  EXPECT_EQ(pixels[5 * 16 + 5], 0xFF0000u);
  EXPECT_EQ(pixels[7 * 16 + 5], 0x0000FFu);
  EXPECT_EQ(bitmap.TransparentColor(), static_cast<TColor>(RGB(255, 0, 255)));  // the bottom-left pixel
  EXPECT_EQ(testing_support::MessageOf<rtl::EResNotFound>(
                [&] { bitmap.LoadFromResourceName(GetModuleHandleW(nullptr), "NOPE"); }),
            S("NOPE ﾘｿｰｽが見つかりません"));
  EXPECT_EQ(bitmap.Width(), 16);
}

// An empty stream empties the bitmap, and an empty bitmap writes nothing.
TEST_F(BmpReader, AnEmptyStreamEmptiesTheBitmapWhichWritesNothing) {
  Load(testing_support::MakeBmp(3, 3, 24, {}, Pattern));
  ASSERT_FALSE(bitmap.Empty());
  Load({});
  EXPECT_TRUE(bitmap.Empty());
  EXPECT_EQ(bitmap.Width(), 0);
  EXPECT_TRUE(Saved(bitmap).empty());
}

// Run-length data as GDI decodes it (SetDIBits into a section of the same colours).
std::vector<uint32_t> DecodedByGdi(const Bytes& file, int width, int height) {
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
  } info{};
  std::memcpy(&info, &file[14], 40 + 4 * Get32(file, 46));
  auto uncompressed = info;
  uncompressed.header.biCompression = BI_RGB;
  uncompressed.header.biSizeImage = 0;
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&uncompressed), DIB_RGB_COLORS, &bits,
                                     nullptr, 0);
  HDC screen = GetDC(nullptr);
  SetDIBits(screen, section, 0, static_cast<UINT>(height), &file[Get32(file, 10)],
            reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  std::vector<uint32_t> pixels = ReadPixels(section, width, height);
  DeleteObject(section);
  return pixels;
}

Bytes RleFile(int width, int height, int bits, const Bytes& codes) {
  std::vector<RGBQUAD> colors;
  for (int i = 0; i < (bits == 8 ? 256 : 16); ++i) {
    colors.push_back({static_cast<BYTE>(i * 7), static_cast<BYTE>(i * 13), static_cast<BYTE>(255 - i), 0});
  }
  Bytes file = testing_support::MakeBmp(width, height, bits, colors, [](int, int) { return 0u; });
  file.resize(14 + 40 + colors.size() * 4);
  Set32(file, 30, bits == 8 ? BI_RLE8 : BI_RLE4);
  Set32(file, 34, static_cast<uint32_t>(codes.size()));
  file.insert(file.end(), codes.begin(), codes.end());
  return file;
}

TEST_F(BmpReader, RunLengthDataDecodesAsGdiDecodesIt) {
  // Runs, an end of line, a delta, odd and even absolute runs, a run past the row's end, the end.
  const Bytes rle8 = {3, 5, 0, 3, 9, 10, 11, 0, 2, 7, 0, 0, 0, 2, 2, 1, 0, 4, 1, 2, 3, 4, 12, 200, 0, 0, 1, 250, 0, 1};
  const Bytes rle4 = {5, 0x12, 0, 3, 0x34, 0x50, 0, 0, 0, 2, 3, 1, 4, 0xAB, 0, 5, 0x12, 0x34, 0x50, 0, 0, 1};
  for (const Bytes& file : {RleFile(10, 4, 8, rle8), RleFile(11, 3, 4, rle4)}) {
    Load(file);
    const int width = static_cast<int>(Get32(file, 18)), height = static_cast<int>(Get32(file, 22));
    EXPECT_EQ(bitmap.PixelFormat(), width == 10 ? TPixelFormat::pf8bit : TPixelFormat::pf4bit);
    EXPECT_EQ(Pixels(), DecodedByGdi(file, width, height)) << width;
  }
}

// Data cut at any length decodes the pixels of the codes that lie wholly before the cut (of an
// absolute run, each index present) and leaves the others, the rows' padding included, as they were;
// nothing is read or written outside: input and rows lie right before a page that faults.
TEST_F(BmpReader, RunLengthDataCutAnywhereDecodesWhatCameBeforeTheCut) {
  const Bytes codes = {2, 5,                       // a run: bytes 0-1
                       0, 3, 9, 10, 11, 0,         // an absolute run of three, padded: 2-7
                       0, 0,                       // end of line: 8-9
                       0, 2, 2, 0,                 // a delta two to the right: 10-13
                       0, 4, 1, 2, 3, 4,           // an absolute run of four: 14-19
                       255, 7,                     // a run past the row's end: 20-21
                       0, 0,                       // end of line: 22-23
                       3, 8,                       // a run: 24-25
                       0, 1,                       // end of bitmap: 26-27
                       4, 9};                      // after the end: never decoded
  // Rows of 7 pixels in 8 bytes, the bottom row first: each pixel's index and the shortest cut that
  // shows it (0: none does).
  struct Pixel {
    uint8_t index;
    std::size_t from;
  };
  const Pixel decoded[3][8] = {
      {{5, 2}, {5, 2}, {9, 5}, {10, 6}, {11, 7}, {}, {}, {}},
      {{}, {}, {1, 17}, {2, 18}, {3, 19}, {4, 20}, {7, 22}, {}},
      {{8, 26}, {8, 26}, {8, 26}, {}, {}, {}, {}, {}},
  };
  constexpr uint8_t kUntouched = 0xEE;
  for (std::size_t cut = 0; cut <= codes.size(); ++cut) {
    const Bytes part(codes.begin(), codes.begin() + static_cast<std::ptrdiff_t>(cut));
    testing_support::TGuardedStream source(part);
    testing_support::TGuardedStream target(Bytes(8 * 3, kUntouched));
    auto* rows = static_cast<uint8_t*>(target.Memory());
    framework::bmp::DecodeRle(static_cast<const uint8_t*>(source.Memory()), part.size(), false, 7, 3, rows, 8);
    Bytes expected;
    for (const auto& row : decoded) {
      for (const Pixel& pixel : row) {
        expected.push_back(pixel.from != 0 && pixel.from <= cut ? pixel.index : kUntouched);
      }
    }
    EXPECT_EQ(Bytes(rows, rows + 8 * 3), expected) << "cut at " << cut;
  }
}

// Valid images of every kind, then a few thousand derived ones: mutated bytes and fields set to
// edge values, and cuts at every length of the small ones. Each either loads or raises one of the
// runtime's exceptions; the data lies right before a page that faults on access.
TEST(BmpReaderFuzz, MutatedAndCutInputsLoadOrRaiseWithoutReadingOutside) {
  std::vector<Bytes> seeds = {
      testing_support::MakeBmp(9, 5, 24, {}, Pattern),
      testing_support::MakeBmp(9, 5, 24, {}, Pattern, true),
      testing_support::MakeBmp(17, 3, 1, {{0, 0, 0, 0}, {255, 255, 255, 0}}, [](int x, int) { return x % 2u; }),
      testing_support::MakeBmp(7, 6, 4, Grey16(), [](int x, int y) { return (x + y) % 16u; }),
      testing_support::MakeBmp(5, 5, 8, Grey16(), [](int x, int) { return x % 16u; }),
      testing_support::MakeBmp(4, 4, 32, {}, Pattern),
      RleFile(10, 4, 8, {3, 5, 0, 3, 9, 10, 11, 0, 2, 7, 0, 0, 0, 2, 2, 1, 0, 4, 1, 2, 3, 4, 0, 1}),
      RleFile(11, 3, 4, {5, 0x12, 0, 3, 0x34, 0x50, 0, 0, 0, 2, 3, 1, 0, 1}),
  };
  std::mt19937 random(20240601);
  const uint32_t edges[] = {0, 1, 2, 3, 4, 8, 12, 16, 24, 32, 40, 52, 108, 124, 125, 255, 256, 257,
                            0x7FFF, 0x8000, 0xFFFF, 0x10000, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFFFFFE};
  int loaded = 0;
  int refused = 0;
  auto attempt = [&](const Bytes& data) {
    testing_support::TGuardedStream stream(data);
    TBitmap bitmap;
    try {
      bitmap.LoadFromStream(stream);
      if (!bitmap.Empty() && int64_t{bitmap.Width()} * bitmap.Height() <= 1 << 20) {
        // What loaded can be drawn and saved.
        TBitmap copy;
        copy.SetSize(4, 4);
        copy.Canvas().StretchDraw({0, 0, 4, 4}, bitmap);
        rtl::TMemoryStream saved;
        bitmap.SaveToStream(saved);
      }
      ++loaded;
    } catch (const rtl::Exception&) {
      ++refused;
    }
  };
  for (const Bytes& seed : seeds) {
    for (std::size_t length = 0; length <= seed.size() && length < 400; ++length) {
      attempt(Bytes(seed.begin(), seed.begin() + static_cast<std::ptrdiff_t>(length)));
    }
    for (int round = 0; round < 300; ++round) {
      Bytes data = seed;
      const int changes = 1 + static_cast<int>(random() % 4);
      for (int c = 0; c < changes; ++c) {
        if (random() % 2 == 0) {
          // A byte anywhere, most often in the headers.
          std::size_t limit = random() % 4 == 0 ? data.size() : std::min<std::size_t>(data.size(), 70);
          data[random() % limit] = static_cast<uint8_t>(random());
        } else {
          // A header field set to an edge value.
          static const std::size_t fields[] = {2, 10, 14, 18, 22, 26, 28, 30, 34, 46, 50};
          const std::size_t at = fields[random() % std::size(fields)];
          const uint32_t value = edges[random() % std::size(edges)];
          if (at == 26 || at == 28) {
            Set16(data, at, static_cast<uint16_t>(value));
          } else {
            Set32(data, at, value);
          }
        }
      }
      if (random() % 3 == 0) data.resize(random() % (data.size() + 1));
      attempt(data);
    }
  }
  EXPECT_GT(loaded, 300);
  EXPECT_GT(refused, 300);
  std::printf("%d inputs: %d loaded, %d refused\n", loaded + refused, loaded, refused);
}

TEST(BmpWriter, WritesHeadersTableAndRowsThatReadBackTheSame) {
  const std::vector<RGBQUAD> table = Grey16();
  const std::vector<Bytes> sources = {
      testing_support::MakeBmp(13, 7, 24, {}, Pattern, true),
      testing_support::MakeBmp(9, 4, 4, table, [](int x, int y) { return (x * y) % 16u; }),
      testing_support::MakeBmp(6, 6, 32, {}, Pattern),
  };
  for (const Bytes& source : sources) {
    TBitmap bitmap;
    LoadFrom(bitmap, source);
    const Bytes saved = Saved(bitmap);
    const uint32_t colors = Get32(saved, 46);
    EXPECT_EQ(Get32(saved, 14), 40u);
    EXPECT_EQ(Get32(saved, 10), 14 + 40 + 4 * colors);
    EXPECT_GT(static_cast<int32_t>(Get32(saved, 22)), 0);  // bottom-up
    EXPECT_EQ(Get32(saved, 2), saved.size());
    EXPECT_EQ(Get32(saved, 10) + Get32(saved, 34), saved.size());
    TBitmap again;
    LoadFrom(again, saved);
    EXPECT_EQ(ReadPixels(again.Handle(), again.Width(), again.Height()),
              ReadPixels(bitmap.Handle(), bitmap.Width(), bitmap.Height()));
    EXPECT_EQ(again.PixelFormat(), bitmap.PixelFormat());
  }
}

TEST(BmpWriter, ADeviceBitmapIsWrittenAsADibOfItsDepth) {
  TBitmap bitmap;
  bitmap.SetSize(5, 3);
  ASSERT_EQ(bitmap.HandleType(), TBitmapHandleType::bmDDB);
  bitmap.Canvas().Brush().SetColor(clRed);
  bitmap.Canvas().FillRect({0, 0, 5, 3});
  bitmap.Canvas().SetPixel(4, 0, clBlue);
  TBitmap again;
  LoadFrom(again, Saved(bitmap));
  std::vector<uint32_t> pixels = ReadPixels(again.Handle(), 5, 3);
  EXPECT_EQ(pixels[0], 0xFF0000u);
  EXPECT_EQ(pixels[4], 0x0000FFu);
}

TEST(BmpWriter, AnIndexedImageKeepsItsWholeTableAndItsIndexes) {
  std::vector<RGBQUAD> colors(256);
  for (int i = 0; i < 256; ++i) colors[i] = {static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i), 0};
  colors[3] = {1, 2, 3, 0};
  TBitmap bitmap;
  LoadFrom(bitmap,
           testing_support::MakeBmp(5, 4, 8, colors, [](int x, int y) { return static_cast<uint32_t>(x * y); }));
  const Bytes saved = Saved(bitmap);
  EXPECT_EQ(saved.size(), 14u + 40 + 256 * 4 + 8 * 4);
  TBitmap again;
  LoadFrom(again, saved);
  EXPECT_EQ(again.PixelFormat(), TPixelFormat::pf8bit);
  EXPECT_EQ(static_cast<uint8_t*>(again.ScanLine(1))[3], 3);  // the indexes themselves, not only their colours
}

}  // namespace
