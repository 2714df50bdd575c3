// Loading of the safety bitmap: plain, repaired, run-length and container-wrapped BMP data, the
// palette's normalisation, the stored form, and the registration for "BMP" and "CBM".
#include "imaging/USafetyBitmap.h"

#include <gtest/gtest.h>

#include <string>

#include "SafetyImages.h"
#include "data/UZLIB.h"
#include "framework/Errors.h"
#include "framework/Picture.h"
#include "rtl/FileStream.h"
#include "rtl/Sjis.h"
#include "support/GuardedStream.h"
#include "support/MessageOf.h"
#include "support/Palettes.h"
#include "support/Pixels.h"
#include "support/ScratchFolder.h"

namespace {

using framework::TPixelFormat;
using imaging::TSafetyBitmap;
using namespace testing_support;

uint32_t Rgb(const PALETTEENTRY& e) { return testing_support::MakeRgb(e.peRed, e.peGreen, e.peBlue); }

testing_support::Image Indexed(int bits, int32_t width, int32_t height, int colours) {
  return MakeImage(width, height, bits, [=](int32_t x, int32_t y) { return uint32_t((x * 3 + y + x / 4) % colours); },
                   testing_support::TestColors(colours));
}

class SafetyLoad : public ::testing::Test {
 protected:
  void Load(const Bytes& bytes) {
    TGuardedStream stream(bytes);
    bitmap.LoadFromStream(stream);
  }
  TSafetyBitmap bitmap;
};

// --- plain and container-wrapped ---

// Plain, repaired, run-length and container-wrapped data all load to the pixels of their image, in
// the format of its depth; run-length data without a colour count gets the depth's whole palette.
TEST_F(SafetyLoad, EveryKindOfBmpDataLoadsToThePixelsOfItsImage) {
  const Image small = Rgb24(13, 7), large = Rgb24(31, 17), fewer = Rgb24(6, 5), mono = Indexed(1, 19, 3, 2);
  const Image rle8 = Indexed(8, 37, 9, 11), rle4 = Indexed(4, 21, 6, 7), full = Indexed(8, 16, 3, 256);
  const Image shortTable = Indexed(8, 9, 5, 16), core = Indexed(4, 9, 5, 14);
  const struct {
    const char* name;
    const testing_support::Image& image;
    Bytes bytes;
    TPixelFormat format;
    std::size_t entries;  // of the palette; 0: not checked
  } cases[] = {
      {"plain", small, MakeBmp(small), TPixelFormat::pf24bit, 0},
      {"1 bit, whose palette is left alone", mono, MakeBmp(mono), TPixelFormat::pf1bit, 2},
      // The platform loader alone would read 5 bytes of pixels, or none.
      {"stating a wrong image size", small, Patched(MakeBmp(small), {{kSizeImageAt, 5}}), TPixelFormat::pf24bit, 0},
      {"stating an image size of 0", fewer, Patched(MakeBmp(fewer), {{kSizeImageAt, 0}}), TPixelFormat::pf24bit, 0},
      {"a short colour table", shortTable, MakeBmp(shortTable, {.clrUsed = 16}), TPixelFormat::pf8bit, 0},
      // Fourteen colours: the normalised palette adds black and white and keeps all of them.
      {"a core header", core, MakeBmp(core, {.headerSize = 12}), TPixelFormat::pf4bit, 16},
      {"RLE8", rle8, MakeBmp(rle8, {.compression = BI_RLE8}), TPixelFormat::pf8bit, 256},
      {"RLE8 stating a size of 0", rle8, Patched(MakeBmp(rle8, {.compression = BI_RLE8}), {{kSizeImageAt, 0}}),
       TPixelFormat::pf8bit, 256},
      {"RLE8 of exactly 256 colours", full, MakeBmp(full, {.compression = BI_RLE8, .clrUsed = 256}),
       TPixelFormat::pf8bit, 256},
      {"RLE4", rle4, MakeBmp(rle4, {.compression = BI_RLE4}), TPixelFormat::pf4bit, 16},
      {"a container", large, Wrap(MakeBmp(large)), TPixelFormat::pf24bit, 0},
      {"a container stating a wrong image size", small, Wrap(Patched(MakeBmp(small), {{kSizeImageAt, 5}})),
       TPixelFormat::pf24bit, 0},
      {"a container of RLE8", rle8, Wrap(MakeBmp(rle8, {.compression = BI_RLE8})), TPixelFormat::pf8bit, 256},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Load(c.bytes);
    EXPECT_EQ(bitmap.PixelFormat(), c.format);
    if (c.entries != 0) {
      EXPECT_EQ(PaletteEntries(bitmap.Palette()).size(), c.entries);
    }
    EXPECT_EQ(Pixels(bitmap), ColoursOf(c.image));
  }
}

TEST_F(SafetyLoad, AContainerFoundInTheMiddleOfAStreamIsReadFromThere) {
  const testing_support::Image image = Rgb24(5, 4);
  Bytes bytes = {1, 2, 3};
  const Bytes wrapped = Wrap(MakeBmp(image));
  bytes.insert(bytes.end(), wrapped.begin(), wrapped.end());
  TGuardedStream stream(bytes);
  stream.SetPosition(3);
  bitmap.LoadFromStream(stream);
  EXPECT_EQ(Pixels(bitmap), ColoursOf(image));
}

TEST_F(SafetyLoad, ADamagedContainerRaisesTheContainersErrors) {
  Bytes wrapped = Wrap(MakeBmp(Rgb24(8, 8)));
  EXPECT_THROW(Load(Patched(wrapped, {{13, uint32_t(MakeBmp(Rgb24(8, 8)).size() + 100)}})), rtl::EReadError);
  Bytes corrupt = wrapped;
  corrupt[17] = 0x00;  // no zlib header
  EXPECT_THROW(Load(corrupt), data::EZlibError);
  EXPECT_THROW(Load(Patched(wrapped, {{13, 0}})), data::EDecompressionError);
}

TEST_F(SafetyLoad, DataThatIsNoBmpRaisesInvalidGraphicAndNoDataEmptiesThePicture) {
  const std::string message = testing_support::MessageOf<framework::EInvalidGraphic>([&] {
    Load(Bytes{'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  });
  EXPECT_EQ(message, rtl::Utf8ToSjis("ﾋﾞｯﾄﾏｯﾌﾟｲﾒｰｼﾞが不正です"));
  EXPECT_THROW(Load(Bytes{'B', 'M', 1}), framework::EInvalidGraphic);
  Load(MakeBmp(Rgb24(3, 3)));
  Load({});
  EXPECT_TRUE(bitmap.Empty()) << "an empty stream empties the picture";
}

// --- header repair ---

class SafetyHeaderRepair : public SafetyLoad {};

// A 400 x 360 picture at 24 bits stating 431999 bytes, not 432000: the platform loader alone stops one
// byte short and the top right pixel loses its red; the repaired load has every pixel.
TEST_F(SafetyHeaderRepair, A400By360Bmp24StatingOneByteTooFewLoadsWhole) {
  const testing_support::Image image = Rgb24(400, 360);
  Bytes bmp = MakeBmp(image);
  ASSERT_EQ(testing_support::Get32(bmp, kSizeImageAt), 432000u);
  Patch32(bmp, kSizeImageAt, 431999);
  ByteStream stream(bmp);
  framework::TBitmap unrepaired;
  unrepaired.LoadFromStream(stream);
  EXPECT_EQ(Pixels(unrepaired)[399], image.ColorAt(399, 0) & 0x00FFFF);
  Load(bmp);
  EXPECT_EQ(Pixels(bitmap), ColoursOf(image));
}

// Only an uncompressed info header whose image size is not that of its rows needs the repair; only
// run-length compression makes run-length data. Neither probe moves the stream.
TEST_F(SafetyHeaderRepair, TheProbesTellWhatTheHeadersSay) {
  const Bytes big = MakeBmp(Rgb24(400, 360));
  const struct {
    const char* name;
    Bytes bytes;
    bool repair, rle;
  } cases[] = {
      {"an image size of 0", Patched(MakeBmp(Rgb24(6, 5)), {{kSizeImageAt, 0}}), true, false},
      {"400 x 360 at 24 bits stating its 432000 bytes", big, false, false},
      {"400 x 360 at 24 bits stating 431999 bytes", Patched(big, {{kSizeImageAt, 431999}}), true, false},
      {"a short colour table", MakeBmp(Indexed(8, 9, 5, 16), {.clrUsed = 16}), false, false},
      {"a core header", MakeBmp(Indexed(4, 9, 5, 14), {.headerSize = 12}), false, false},
      {"RLE8", MakeBmp(Indexed(8, 37, 9, 11), {.compression = BI_RLE8}), false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ByteStream stream(c.bytes);
    EXPECT_EQ(TSafetyBitmap::NeedsHeaderRepair(stream), c.repair);
    EXPECT_EQ(TSafetyBitmap::IsRLEBitmap(stream), c.rle);
    EXPECT_EQ(stream.GetPosition(), 0);
  }
}

TEST_F(SafetyHeaderRepair, DataShorterThanTheHeadersDoesNotMatchAndKeepsItsPosition) {
  Bytes prefix = {7, 7};
  Bytes bmp = MakeBmp(Rgb24(4, 4));
  Patch32(bmp, kSizeImageAt, 0);
  Bytes bytes = prefix;
  bytes.insert(bytes.end(), bmp.begin(), bmp.begin() + 54);
  for (std::size_t cut : {0u, 1u, 13u, 14u, 17u, 18u, 53u}) {
    TGuardedStream stream(Bytes(bytes.begin(), bytes.begin() + std::ptrdiff_t(2 + cut)));
    stream.SetPosition(2);
    EXPECT_FALSE(TSafetyBitmap::NeedsHeaderRepair(stream)) << cut;
    EXPECT_EQ(stream.GetPosition(), 2);
  }
  TGuardedStream whole(bytes);
  whole.SetPosition(2);
  EXPECT_TRUE(TSafetyBitmap::NeedsHeaderRepair(whole));
  EXPECT_EQ(whole.GetPosition(), 2);
}

TEST_F(SafetyHeaderRepair, RowsBeyond32BitsRaiseIntegerOverflow) {
  ByteStream stream(Patched(MakeBmp(Rgb24(4, 4)), {{18, 0x10000}, {22, 0x10000}}));  // 196,608 bytes a row
  const std::string message = MessageOf<rtl::EIntOverflow>([&] { TSafetyBitmap::NeedsHeaderRepair(stream); });
  EXPECT_EQ(message, rtl::Utf8ToSjis("整数のｵｰﾊﾞｰﾌﾛｰ"));
  EXPECT_EQ(stream.GetPosition(), 0);
}

// A 32-bit row of 2^26 pixels is 2^31 bits: the width times the depth overflows before anything is
// made, though the row's 256 MB would fit in 32 bits as a byte count.
TEST_F(SafetyHeaderRepair, ARowOfTwoToTheThirtyOneBitsOverflowsBeforeAnythingIsMade) {
  Bytes bmp = MakeBmp(MakeImage(1, 1, 32, [](int32_t, int32_t) { return 0x123456u; }));
  Patch32(bmp, 18, 0x4000000);
  Patch32(bmp, kSizeImageAt, 0);
  for (bool wrapped : {false, true}) {
    SCOPED_TRACE(wrapped ? "in a container" : "plain");
    ByteStream stream(wrapped ? Wrap(bmp) : bmp);
    bitmap.Assign(nullptr);
    EXPECT_THROW(bitmap.LoadFromStream(stream), rtl::EIntOverflow);
    EXPECT_TRUE(bitmap.Empty());
  }
  Patch32(bmp, 18, 0x3FFFFFF);  // one pixel less: 2^31 - 32 bits, a row that needs the repair
  ByteStream stream(bmp);
  EXPECT_TRUE(TSafetyBitmap::NeedsHeaderRepair(stream));
}

// --- run-length data ---

class SafetyRunLength : public SafetyLoad {};

TEST_F(SafetyRunLength, RunsThatSkipPixelsLeaveThemAtTheFirstColourOfAFreshImage) {
  std::vector<RGBQUAD> colours = testing_support::TestColors(4);
  colours[0] = {0, 0, 0, 0};
  Bytes bmp = MakeBmp(MakeImage(6, 3, 8, [](int32_t, int32_t) { return 0u; }, colours),
                      {.compression = BI_RLE8, .clrUsed = 4});
  const uint32_t offBits = testing_support::Get32(bmp, kOffBitsAt);
  // One run of two pixels of colour 3 on the bottom row, then the end of the bitmap.
  bmp.resize(offBits);
  for (uint8_t b : {2, 3, 0, 1}) bmp.push_back(b);
  Patch32(bmp, kSizeImageAt, 4);
  Load(MakeBmp(Rgb24(6, 3, [](int, int) { return 0xFFFFFFu; })));  // what was there before
  Load(bmp);
  std::vector<uint32_t> expected(18, 0);
  const uint32_t third = testing_support::MakeRgb(colours[3].rgbRed, colours[3].rgbGreen, colours[3].rgbBlue);
  expected[12] = expected[13] = third;
  EXPECT_EQ(Pixels(bitmap), expected);
}

TEST_F(SafetyRunLength, AColourCountOf300RaisesTheRangeError) {
  Bytes bmp = MakeBmp(Indexed(8, 5, 5, 3), {.compression = BI_RLE8, .clrUsed = 300});
  const std::string message = testing_support::MessageOf<rtl::ERangeError>([&] { Load(bmp); });
  EXPECT_EQ(message, rtl::Utf8ToSjis("範囲ﾁｪｯｸｴﾗｰ"));
  // So does one beyond 16 bits, even with no table behind it.
  Patch32(bmp, kClrUsedAt, 65536);
  EXPECT_THROW(Load(bmp), rtl::ERangeError);
}

// A stream outside memory is copied and loads the same; a memory stream is used in place and left
// at its end.
TEST_F(SafetyRunLength, AStreamOutsideMemoryIsCopiedAndAMemoryStreamUsedInPlace) {
  const testing_support::Image image = Indexed(8, 37, 9, 11);
  const Bytes bmp = MakeBmp(image, {.compression = BI_RLE8});
  PlainStream other(bmp);
  bitmap.LoadFromStream(other);
  EXPECT_EQ(Pixels(bitmap), ColoursOf(image));
  TGuardedStream memory(bmp);
  bitmap.LoadFromStream(memory);
  EXPECT_EQ(memory.GetPosition(), int32_t(bmp.size()));
}

// Runs, bits or a colour table that lie beyond the data, and headers that no run-length decoder
// takes, are rejected without reading past the data; runs of exactly the stated size load.
TEST_F(SafetyRunLength, DataShorterThanItsHeaderClaimsOrHeadersNoDecoderTakesAreRejected) {
  const Bytes bmp = MakeBmp(Indexed(8, 37, 9, 11), {.compression = BI_RLE8});
  const uint32_t offBits = testing_support::Get32(bmp, kOffBitsAt);
  const uint32_t runs = uint32_t(bmp.size()) - offBits;
  EXPECT_NO_THROW(Load(Patched(bmp, {{kSizeImageAt, runs}})));
  Bytes wrongDepth = bmp;
  wrongDepth[28] = 24;
  const std::pair<const char*, Bytes> cases[] = {
      {"runs one byte longer than the data", Patched(bmp, {{kSizeImageAt, runs + 1}})},
      {"bits beyond the data", Patched(bmp, {{kOffBitsAt, uint32_t(bmp.size()) + 1}})},
      {"bits near the end of 32 bits", Patched(bmp, {{kOffBitsAt, 0xFFFFFFF0u}})},
      {"256 colours claimed, fewer present", Bytes(bmp.begin(), bmp.begin() + 54 + 1023)},
      {"no runs behind the table", Bytes(bmp.begin(), bmp.begin() + offBits)},
      {"24 bits", wrongDepth},
      {"top-down", Patched(bmp, {{22, uint32_t(-4)}})},
      {"no width", Patched(bmp, {{18, 0}})},
      {"40000 x 40000", Patched(bmp, {{18, 40000}, {22, 40000}})},
  };
  for (const auto& [name, bytes] : cases) EXPECT_THROW(Load(bytes), framework::EInvalidGraphic) << name;
}

// --- palette normalisation ---

class SafetyPalette : public SafetyLoad {};

std::vector<RGBQUAD> FullTableWith(int blackAt, int whiteAt) {
  std::vector<RGBQUAD> colours = testing_support::TestColors(256);
  colours[std::size_t(blackAt)] = {0, 0, 0, 0};
  colours[std::size_t(whiteAt)] = {255, 255, 255, 0};
  return colours;
}

testing_support::Image UsingFirstSix(const std::vector<RGBQUAD>& colours) {
  return MakeImage(10, 4, 8, [](int32_t x, int32_t y) { return uint32_t((x + 2 * y) % 6 == 5 ? 255 : (x + 2 * y) % 6); },
                   colours);
}

// An 8-bit picture whose table has black first and white last keeps it as its palette; one with white
// at index 1 gets it moved to the last entry. Either way the pixels keep their colours, as indexes
// into the palette it has: white's is 255.
TEST_F(SafetyPalette, An8BitPictureGetsWhiteAtTheLastEntryAndThePixelsKeepTheirColours) {
  for (int whiteAt : {255, 1}) {
    SCOPED_TRACE(whiteAt);
    const std::vector<RGBQUAD> colours = FullTableWith(0, whiteAt);
    const testing_support::Image image = UsingFirstSix(colours);
    Load(MakeBmp(image));
    const std::vector<PALETTEENTRY> entries = PaletteEntries(bitmap.Palette());
    ASSERT_EQ(entries.size(), 256u);
    EXPECT_EQ(Rgb(entries[0]), 0u);
    EXPECT_EQ(Rgb(entries[255]), 0xFFFFFFu);
    for (std::size_t i = 1; whiteAt == 255 && i < 255; ++i) {
      EXPECT_EQ(Rgb(entries[i]), MakeRgb(colours[i].rgbRed, colours[i].rgbGreen, colours[i].rgbBlue)) << i;
    }
    EXPECT_EQ(GetNearestPaletteIndex(bitmap.Palette(), RGB(255, 255, 255)), 255u);
    EXPECT_EQ(Pixels(bitmap), ColoursOf(image));
    int32_t whiteX = 0;
    while (whiteX < image.width && image.At(whiteX, 0) != uint32_t(whiteAt)) ++whiteX;
    ASSERT_LT(whiteX, image.width);
    EXPECT_EQ(static_cast<const uint8_t*>(bitmap.ScanLine(0))[whiteX], 255);
  }
}

// A 4-bit picture gets black at 0 and white at 15: one whose table has them elsewhere, and a
// run-length one whose short table (black first and white last already) becomes a palette of five
// entries before the normalisation, which has no white at 15.
TEST_F(SafetyPalette, A4BitPictureGetsBlackAt0AndWhiteAt15) {
  std::vector<RGBQUAD> sixteen = testing_support::TestColors(16), five = testing_support::TestColors(5);
  sixteen[3] = five[0] = {0, 0, 0, 0};
  sixteen[4] = five[4] = {255, 255, 255, 0};
  const Image plain = MakeImage(9, 3, 4, [](int32_t x, int32_t y) { return uint32_t((x + y) % 16); }, sixteen);
  const Image rle = MakeImage(12, 4, 4, [](int32_t x, int32_t y) { return uint32_t((x + y) % 5); }, five);
  const std::pair<const testing_support::Image*, Bytes> cases[] = {
      {&plain, MakeBmp(plain)}, {&rle, MakeBmp(rle, {.compression = BI_RLE4, .clrUsed = 5})}};
  for (const auto& [image, bmp] : cases) {
    SCOPED_TRACE(image == &plain ? "plain" : "run-length");
    Load(bmp);
    const std::vector<PALETTEENTRY> entries = PaletteEntries(bitmap.Palette());
    ASSERT_EQ(entries.size(), 16u);
    EXPECT_EQ(Rgb(entries[0]), 0u);
    EXPECT_EQ(Rgb(entries[15]), 0xFFFFFFu);
    EXPECT_EQ(Pixels(bitmap), ColoursOf(*image));
  }
}

// --- the stored form ---

class SafetyStoredForm : public SafetyLoad {};

// The stored form stating the length given, with extra bytes after the data.
Bytes Stored(const Bytes& data, uint32_t length, std::size_t extra) {
  Bytes bytes = Patched(LengthPrefixed(data), {{0, length}});
  bytes.resize(bytes.size() + extra, 0xA0);
  return bytes;
}

// Exactly the length is read, of plain, run-length (from the stream itself) or wrapped data, and
// whatever follows is left unread.
TEST_F(SafetyStoredForm, ExactlyTheLengthIsReadOfEveryKindOfData) {
  const testing_support::Image plain = Rgb24(7, 3), rle8 = Indexed(8, 37, 9, 11), wrapped = Rgb24(6, 6);
  const struct {
    const char* name;
    const testing_support::Image& image;
    Bytes data;
    std::size_t extra;  // bytes after the data
  } cases[] = {{"plain", plain, MakeBmp(plain), 5},
               {"RLE8", rle8, MakeBmp(rle8, {.compression = BI_RLE8}), 0},
               {"a container", wrapped, Wrap(MakeBmp(wrapped)), 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TGuardedStream stream(Stored(c.data, uint32_t(c.data.size()), c.extra));
    bitmap.ReadData(stream);
    EXPECT_EQ(stream.GetPosition(), int32_t(4 + c.data.size()));
    EXPECT_EQ(Pixels(bitmap), ColoursOf(c.image));
  }
}

// A length of 0 loads an empty picture whatever follows; one beyond the data, or a cut length, is
// the read error.
TEST_F(SafetyStoredForm, ALengthOfZeroLoadsAnEmptyPictureAndOneBeyondTheDataRaisesTheReadError) {
  for (const Bytes& stored : {Stored(MakeBmp(Rgb24(4, 4)), 0, 0), Stored({}, 0, 0)}) {
    Load(MakeBmp(Rgb24(3, 3)));
    TGuardedStream stream(stored);
    bitmap.ReadData(stream);
    EXPECT_TRUE(bitmap.Empty());
    EXPECT_EQ(stream.GetPosition(), 4);
  }
  const Bytes bmp = MakeBmp(Rgb24(3, 3));
  for (const Bytes& stored : {Stored(bmp, uint32_t(bmp.size() + 1), 0), Stored(bmp, 0xFFFFFFFFu, 0), Bytes{1, 0}}) {
    TGuardedStream stream(stored);
    EXPECT_THROW(bitmap.ReadData(stream), rtl::EReadError) << stored.size() << " bytes";
  }
}

TEST_F(SafetyStoredForm, APictureStoredByAnotherSafetyBitmapComesBackThroughThePicture) {
  const testing_support::Image image = Rgb24(5, 4);
  Load(MakeBmp(image));
  framework::TPicture picture;
  picture.SetGraphic(&bitmap);
  ASSERT_EQ(&picture.Graphic()->ClassType(), &TSafetyBitmap::StaticClass());
  imaging::InitSafetyBitmap();
  rtl::TMemoryStream stored;
  picture.WriteData(stored);
  stored.SetPosition(0);
  framework::TPicture read;
  read.ReadData(stored);
  imaging::DoneSafetyBitmap();
  ASSERT_NE(dynamic_cast<TSafetyBitmap*>(read.Graphic()), nullptr);
  EXPECT_EQ(Pixels(static_cast<TSafetyBitmap&>(*read.Graphic())), ColoursOf(image));
}

// --- registration ---

class SafetyRegistration : public ::testing::Test {
 protected:
  void TearDown() override {
    while (framework::TPicture::FileFormatClass("CBM") != nullptr) imaging::DoneSafetyBitmap();
  }
};

TEST_F(SafetyRegistration, TheStartRegistersBmpAndCbmAndTheLastFinishTakesBothAway) {
  ASSERT_EQ(framework::TPicture::FileFormatClass("CBM"), nullptr);
  ASSERT_EQ(framework::TPicture::FileFormatClass("bmp"), &framework::TBitmap::StaticClass());
  const std::size_t before = framework::TPicture::FileFormats().size();
  imaging::InitSafetyBitmap();
  imaging::InitSafetyBitmap();
  EXPECT_EQ(framework::TPicture::FileFormats().size(), before + 2);
  EXPECT_EQ(framework::TPicture::FileFormatClass("bmp"), &TSafetyBitmap::StaticClass());
  EXPECT_EQ(framework::TPicture::FileFormatClass("Cbm"), &TSafetyBitmap::StaticClass());
  const std::vector<framework::TFileFormat> formats = framework::TPicture::FileFormats();
  EXPECT_EQ(formats[before].Extension, "BMP");
  EXPECT_EQ(formats[before].Description, "Bitmaps");
  EXPECT_EQ(formats[before + 1].Extension, "CBM");
  EXPECT_EQ(formats[before + 1].Description, "Compressed Bitmaps");
  EXPECT_EQ(framework::FindClass("TSafetyBitmap"), &TSafetyBitmap::StaticClass());

  imaging::DoneSafetyBitmap();
  EXPECT_EQ(framework::TPicture::FileFormatClass("CBM"), &TSafetyBitmap::StaticClass());
  imaging::DoneSafetyBitmap();
  EXPECT_EQ(framework::TPicture::FileFormatClass("CBM"), nullptr);
  EXPECT_EQ(framework::TPicture::FileFormatClass("bmp"), &framework::TBitmap::StaticClass());
  EXPECT_EQ(framework::TPicture::FileFormats().size(), before);
}

TEST_F(SafetyRegistration, FilesLoadByTheirBytesWhateverTheirExtension) {
  imaging::InitSafetyBitmap();
  testing_support::ScratchFolder folder;
  const testing_support::Image image = Rgb24(8, 5);
  const std::string plainAsCbm = rtl::WideToSjis(folder.File(L"plain.cbm"));
  const std::string wrappedAsBmp = rtl::WideToSjis(folder.File(L"wrapped.bmp"));
  for (const auto& [name, bytes] : {std::pair{plainAsCbm, MakeBmp(image)}, std::pair{wrappedAsBmp, Wrap(MakeBmp(image))}}) {
    rtl::TFileStream file(name, rtl::fmCreate);
    file.WriteBuffer(bytes.data(), int32_t(bytes.size()));
  }
  for (const std::string& name : {plainAsCbm, wrappedAsBmp}) {
    framework::TPicture picture;
    picture.LoadFromFile(name);
    auto* loaded = dynamic_cast<TSafetyBitmap*>(picture.Graphic());
    ASSERT_NE(loaded, nullptr) << name;
    EXPECT_EQ(Pixels(*loaded), ColoursOf(image)) << name;
  }
}

}  // namespace
