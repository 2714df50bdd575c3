#include "imaging/UDIBitmap.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DIBImages.h"
#include "support/Painting.h"
#include "PaletteEntries.h"
#include "data/UGMEMStream.h"
#include "framework/Errors.h"
#include "framework/GraphicsObjects.h"
#include "framework/Picture.h"
#include "imaging/UCanvas.h"
#include "rtl/Exception.h"
#include "rtl/Sjis.h"
#include "support/MemoryStreams.h"
#include "support/MessageOf.h"
#include "support/Palettes.h"

namespace {

using namespace testing_support;
using framework::TRect;
using imaging::TDIBitmap;

constexpr Rgb kFill = MakeRgb(1, 2, 3);

// x in red, y in green: every pixel tells where it came from.
Image Coordinates(int32_t width, int32_t height) {
  return MakeImage(width, height, 24, [](int32_t x, int32_t y) { return MakeRgb(x, y, 7); });
}

// Row y in grey level 10 + y.
Image Rows(int32_t width, int32_t height) {
  return MakeImage(width, height, 24, [](int32_t, int32_t y) { return MakeRgb(10 + y, 10 + y, 10 + y); });
}

// Runs and unequal neighbours, so that run-length data has both kinds of packets.
Image Indexed(int bitCount, int32_t width, int32_t height, int colors) {
  return MakeImage(width, height, bitCount, [=](int32_t x, int32_t y) {
    return uint32_t(x < width / 2 ? (x / 5 + y) % colors : (x * 3 + y) % colors);
  }, TestColors(colors));
}

// The graphic loaded from the BMP stream, or with ReadData from its stored form; where the read
// left the stream goes to endedAt if given.
std::unique_ptr<TDIBitmap> Load(const Bytes& data, int32_t* endedAt = nullptr,
                                void (TDIBitmap::*read)(rtl::TStream&) = &TDIBitmap::LoadFromStream) {
  auto graphic = std::make_unique<TDIBitmap>();
  ByteStream stream(data);
  ((*graphic).*read)(stream);
  if (endedAt) *endedAt = stream.GetPosition();
  return graphic;
}

// The BMP stream the graphic saves, or with WriteData its stored form.
Bytes Saved(const TDIBitmap& graphic,
            void (TDIBitmap::*write)(rtl::TStream&) const = &TDIBitmap::SaveToStream) {
  rtl::TMemoryStream stream;
  (graphic.*write)(stream);
  return testing_support::Contents(stream);
}

Bytes WithView(Bytes bmp, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  for (int32_t v : {left, top, right, bottom}) Put32(bmp, uint32_t(v));
  return bmp;
}

// The graphic drawn over the whole of a target of that size on the fill, compared with expected.
::testing::AssertionResult Draws(framework::TGraphic& graphic, int32_t width, int32_t height,
                                 const std::function<Rgb(int32_t, int32_t)>& expected) {
  Target target(width, height, kFill);
  graphic.Draw(target.Canvas(), {0, 0, width, height});
  return ShowsAt(target, {0, 0, width, height}, expected, kFill);
}

::testing::AssertionResult DrawsImage(TDIBitmap& graphic, const Image& image, bool masks565 = false) {
  return Draws(graphic, image.width, image.height,
               [&](int32_t dx, int32_t dy) { return image.ColorAt(dx, dy, masks565); });
}

// The graphic read from its stored form: the BMP stream, then the view.
std::unique_ptr<TDIBitmap> ReadStored(const Bytes& data, int32_t* endedAt = nullptr) {
  return Load(data, endedAt, &TDIBitmap::ReadData);
}

const std::string kInvalidBitmap = rtl::Utf8ToSjis("ﾋﾞｯﾄﾏｯﾌﾟｲﾒｰｼﾞが不正です");

// The class-wide draw mode for the graphics made inside a scope.
class DrawModeScope {
 public:
  explicit DrawModeScope(bool direct) : old_(TDIBitmap::DefaultDrawDirect()) { TDIBitmap::SetDefaultDrawDirect(direct); }
  ~DrawModeScope() { TDIBitmap::SetDefaultDrawDirect(old_); }

 private:
  bool old_;
};

// --- a new graphic

TEST(NewDIBitmap, IsEmptyAndDrawsAndWritesNothing) {
  TDIBitmap graphic;
  EXPECT_TRUE(graphic.Empty());
  EXPECT_EQ(graphic.Width(), 0);
  EXPECT_EQ(graphic.Height(), 0);
  EXPECT_EQ(graphic.BitmapInfo().Header.biSize, 40u);
  EXPECT_EQ(graphic.BitmapInfo().Header.biBitCount, 24);
  EXPECT_EQ(graphic.BitmapInfo().Header.biPlanes, 1);
  EXPECT_EQ(graphic.DrawDirect(), TDIBitmap::DefaultDrawDirect());
  EXPECT_TRUE(Saved(graphic).empty());
  rtl::TMemoryStream packed;
  graphic.WriteDIB(packed);
  EXPECT_EQ(packed.GetSize(), 0);
  UINT format = 0;
  HANDLE data = reinterpret_cast<HANDLE>(1);
  HPALETTE palette = nullptr;
  graphic.SaveToClipboardFormat(format, data, palette);
  EXPECT_EQ(format, UINT(CF_DIB));
  EXPECT_EQ(data, nullptr);
  EXPECT_EQ(graphic.Palette(), nullptr);
  EXPECT_TRUE(Draws(graphic, 4, 4, [](int32_t, int32_t) { return kFill; }));
}

TEST(DrawMode, IsDirectOutsideTheNTFamilyAndSetFromTheSystemAtStartUp) {
  EXPECT_FALSE(imaging::DrawDirectForPlatform(VER_PLATFORM_WIN32_NT));
  EXPECT_TRUE(imaging::DrawDirectForPlatform(VER_PLATFORM_WIN32_WINDOWS));
  EXPECT_TRUE(imaging::DrawDirectForPlatform(VER_PLATFORM_WIN32s));
  DrawModeScope restore(true);
  imaging::InitDIBitmapDrawMode();
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  ASSERT_TRUE(GetVersionExA(&version));
  EXPECT_EQ(TDIBitmap::DefaultDrawDirect(), version.dwPlatformId != VER_PLATFORM_WIN32_NT);
  EXPECT_EQ(framework::FindClass("TDIBitmap"), &TDIBitmap::StaticClass());
}

// --- loading BMP streams

// A four-bit table without a count has sixteen colours, one with a count that many; the table is
// read and saved with that many entries.
TEST(LoadBmp, AFourBitTableHasItsCountOfColoursOrSixteen) {
  for (int count : {16, 5}) {
    SCOPED_TRACE(count);
    Image image = Indexed(4, 9, 3, count);
    Bytes bmp = MakeBmp(image, {.clrUsed = count == 16 ? 0u : uint32_t(count)});
    int32_t endedAt = 0;
    auto graphic = Load(bmp, &endedAt);
    EXPECT_EQ(endedAt, int32_t(bmp.size()));
    ASSERT_EQ(graphic->ColorCount(), count);
    for (int i = 0; i < count; ++i) {
      EXPECT_EQ(graphic->BitmapInfo().Colors[i].rgbRed, image.colors[i].rgbRed) << i;
      EXPECT_EQ(graphic->BitmapInfo().Colors[i].rgbBlue, image.colors[i].rgbBlue) << i;
    }
    EXPECT_TRUE(DrawsImage(*graphic, image));
    Bytes saved = Saved(*graphic);
    ASSERT_GE(saved.size(), 54u);
    if (count != 16) {
      EXPECT_EQ(Get32(saved, 14 + 32), uint32_t(count));  // biClrUsed
    }
    EXPECT_EQ(Get32(saved, 10), 14u + 40 + 4 * count);      // bfOffBits
    EXPECT_EQ(saved.size(), 14u + 40 + 4 * count + 8 * 3);  // 9 pixels of 4 bits: 8 bytes a row
  }
}

TEST(LoadBmp, TopDownRowsStayTheRightWayUp) {
  Image image = Coordinates(6, 9);
  auto graphic = Load(MakeBmp(image, {.topDown = true}));
  EXPECT_LT(graphic->BitmapInfo().Header.biHeight, 0);
  EXPECT_EQ(graphic->Height(), 9);
  EXPECT_TRUE(DrawsImage(*graphic, image));
  // Saved as it lies in memory: top-down again.
  Bytes saved = Saved(*graphic);
  EXPECT_EQ(int32_t(Get32(saved, 22)), -9);
  EXPECT_EQ(Saved(*Load(saved)), saved);
}

TEST(LoadBmp, RunLengthDataLoadsToThePixelsOfThePlainForm) {
  for (auto [bits, compression] : {std::pair{8, uint32_t(BI_RLE8)}, std::pair{4, uint32_t(BI_RLE4)}}) {
    SCOPED_TRACE(bits);
    Image image = Indexed(bits, 37, 9, bits == 8 ? 11 : 7);
    Bytes plain = MakeBmp(image);
    Bytes rle = MakeBmp(image, {.compression = compression});
    ASSERT_NE(rle, plain);
    auto fromRle = Load(rle);
    EXPECT_EQ(fromRle->Width(), 37);
    EXPECT_EQ(fromRle->Height(), 9);
    EXPECT_TRUE(DrawsImage(*fromRle, image));
    // Saved uncompressed: exactly what the plain form holds, colour table included.
    Bytes saved = Saved(*fromRle);
    EXPECT_EQ(Get32(saved, 14 + 16), 0u);
    EXPECT_EQ(saved, Saved(*Load(plain)));
    EXPECT_EQ(Bytes(saved.begin() + 54, saved.end()), Bytes(plain.begin() + 54, plain.end()));
  }
}

// Every depth keeps its pixels, from the 40-byte header or the core one (which has no 32 bits), and
// is saved with the 40-byte header, four-byte colour entries and the same rows.
TEST(LoadBmp, EveryDepthKeepsItsPixelsAndACoreHeaderIsSavedAsTheFortyByteOne) {
  for (auto [headerSize, bits] : {std::pair{40u, 1}, {40u, 4}, {40u, 8}, {40u, 24}, {40u, 32}, {12u, 1}, {12u, 4},
                                  {12u, 8}, {12u, 24}}) {
    SCOPED_TRACE(testing::Message() << headerSize << " bytes, " << bits << " bits");
    Image image = bits <= 8 ? Indexed(bits, 11, 6, 1 << std::min(bits, 4)) : Coordinates(11, 6);
    image.bitCount = bits;
    auto graphic = Load(MakeBmp(image, {.headerSize = headerSize}));
    EXPECT_EQ(graphic->BitmapInfo().Header.biBitCount, bits);
    EXPECT_TRUE(DrawsImage(*graphic, image));
    Bytes saved = Saved(*graphic);
    Bytes plain = MakeBmp(image);
    ASSERT_EQ(saved.size(), plain.size());
    EXPECT_EQ(Get32(saved, 14), 40u);
    EXPECT_EQ(Bytes(saved.begin(), saved.begin() + 14 + 24), Bytes(plain.begin(), plain.begin() + 14 + 24));
    EXPECT_EQ(Bytes(saved.begin() + 54, saved.end()), Bytes(plain.begin() + 54, plain.end()))
        << "four-byte colour entries and the same rows";
  }
}

TEST(LoadBmp, LargerHeadersAndBitFieldMasksAreRead) {
  Image rgb565 = MakeImage(7, 4, 16, [](int32_t x, int32_t y) { return uint32_t((x * 9) << 11 | (y * 15) << 5 | x * 4); });
  Image bgr32 = Coordinates(7, 4);
  bgr32.bitCount = 32;
  for (uint32_t headerSize : {40u, 52u, 56u, 108u, 124u}) {
    SCOPED_TRACE(headerSize);
    BmpOptions masks565{.headerSize = headerSize, .compression = BI_BITFIELDS, .masks = {0xF800, 0x07E0, 0x001F}};
    auto graphic = Load(MakeBmp(rgb565, masks565));
    EXPECT_EQ(graphic->BitmapInfo().Header.biCompression, uint32_t(BI_BITFIELDS));
    EXPECT_TRUE(DrawsImage(*graphic, rgb565, true));
    // Saved with its masks behind the 40-byte header, and read back the same.
    Bytes saved = Saved(*graphic);
    EXPECT_EQ(Get32(saved, 14), 40u);
    EXPECT_EQ(Get32(saved, 54), 0xF800u);
    EXPECT_EQ(Get32(saved, 10), 14u + 40 + 12);
    EXPECT_TRUE(DrawsImage(*Load(saved), rgb565, true));

    BmpOptions masks888{.headerSize = headerSize, .compression = BI_BITFIELDS, .masks = {0xFF0000, 0xFF00, 0xFF}};
    EXPECT_TRUE(DrawsImage(*Load(MakeBmp(bgr32, masks888)), bgr32));
    EXPECT_TRUE(DrawsImage(*Load(MakeBmp(Coordinates(7, 4), {.headerSize = headerSize})), Coordinates(7, 4)));
  }
}

TEST(LoadBmp, AStreamNotBeginningWithBMIsRefusedAndTheImageKept) {
  Image image = Rows(3, 3);
  auto graphic = Load(MakeBmp(image));
  Bytes other = MakeBmp(Coordinates(5, 5));
  other[1] = 'A';
  ByteStream stream(other);
  EXPECT_EQ(MessageOf<framework::EInvalidGraphic>([&] { graphic->LoadFromStream(stream); }), kInvalidBitmap);
  EXPECT_TRUE(DrawsImage(*graphic, image));
}

// Whether loading the BMP raises E and leaves the graphic empty.
template <typename E>
bool Refused(const Bytes& bmp) {
  TDIBitmap graphic;
  ByteStream stream(bmp);
  try {
    graphic.LoadFromStream(stream);
  } catch (const E&) {
    return graphic.Empty();
  }
  return false;
}

TEST(LoadBmp, HeadersOfOtherSizesAndImpossibleFieldsAreRefused) {
  const Bytes good = MakeBmp(Indexed(8, 4, 4, 4));
  auto with = [&](size_t offset, uint32_t value, int width = 4) {
    Bytes bad = good;
    for (int i = 0; i < width; ++i) bad[offset + size_t(i)] = uint8_t(value >> (8 * i));
    return bad;
  };
  auto refused = [&](size_t offset, uint32_t value, int width = 4) {
    return Refused<framework::EInvalidGraphic>(with(offset, value, width));
  };
  for (uint32_t size : {0u, 4u, 11u, 13u, 16u, 39u, 41u, 64u, 125u, 200u, 0xFFFFFFFFu}) {
    EXPECT_TRUE(refused(14, size)) << "header size " << size;
  }
  EXPECT_TRUE(refused(18, 0)) << "width 0";
  EXPECT_TRUE(refused(18, uint32_t(-4))) << "negative width";
  EXPECT_TRUE(refused(22, 0)) << "height 0";
  EXPECT_TRUE(refused(22, 0x80000000u)) << "height that has no magnitude";
  EXPECT_TRUE(refused(26, 2, 2)) << "two planes";
  EXPECT_TRUE(refused(28, 7, 2)) << "7 bits";
  EXPECT_TRUE(refused(30, BI_RLE4)) << "RLE4 at 8 bits";
  EXPECT_TRUE(refused(30, BI_BITFIELDS)) << "masks at 8 bits";
  EXPECT_TRUE(refused(30, 4)) << "JPEG";
  EXPECT_TRUE(refused(46, 257)) << "257 colours";
  EXPECT_TRUE(refused(18, 0x08000000)) << "a section over the size limit";
  EXPECT_TRUE(refused(18, 0x7FFFFFFF)) << "rows too long for 32 bits";
  EXPECT_TRUE(Refused<framework::EInvalidGraphic>(
      Patched(MakeBmp(Indexed(8, 4, 4, 4), {.compression = BI_RLE8}), {{22, uint32_t(-4)}})))
      << "top-down run-length rows";
  // The compression code is kept in 16 bits: beyond them the range error, before any check of its
  // meaning.
  for (uint32_t code : {0x10000u, 0x10001u, 0xFFFFFFFFu}) {
    EXPECT_TRUE(Refused<rtl::ERangeError>(with(30, code))) << "compression code " << code;
  }
}

// Run-length data whose size is 0 decodes nothing: a blank image of the header's size, all pixels
// the first colour, and the stream stands behind the colour table.
TEST(LoadBmp, RunLengthDataOfSizeZeroReadsAsABlankImage) {
  for (uint32_t compression : {uint32_t{BI_RLE8}, uint32_t{BI_RLE4}}) {
    const int bits = compression == BI_RLE8 ? 8 : 4;
    SCOPED_TRACE(bits);
    Image image = Indexed(bits, 6, 3, 5);
    int32_t endedAt = 0;
    auto graphic = Load(Patched(MakeBmp(image, {.compression = compression, .clrUsed = 5}), {{34, 0}}), &endedAt);
    EXPECT_EQ(endedAt, 14 + 40 + 4 * 5) << "the end of the colour table";
    EXPECT_EQ(graphic->Width(), 6);
    EXPECT_EQ(graphic->Height(), 3);
    EXPECT_EQ(graphic->BitmapInfo().Header.biCompression, uint32_t{BI_RGB});
    EXPECT_TRUE(DrawsImage(*graphic, MakeImage(6, 3, bits, [](int32_t, int32_t) { return 0u; }, image.colors)));
  }
}

TEST(LoadBmp, EveryShortenedStreamFailsAndLosesNothing) {
  Image kept = Rows(2, 2);
  std::vector<Bytes> inputs = {MakeBmp(Indexed(8, 9, 5, 11)), MakeBmp(Indexed(8, 37, 9, 11), {.compression = BI_RLE8}),
                               MakeBmp(Indexed(4, 9, 5, 16), {.headerSize = 12}), MakeBmp(Coordinates(5, 3)),
                               MakeBmp(Coordinates(5, 3), {.headerSize = 124})};
  for (const Bytes& full : inputs) {
    auto graphic = Load(MakeBmp(kept));
    for (size_t length = 0; length < full.size(); ++length) {
      ByteStream stream(Bytes(full.begin(), full.begin() + ptrdiff_t(length)));
      EXPECT_THROW(graphic->LoadFromStream(stream), rtl::EReadError) << "loaded " << length << " of " << full.size();
    }
    EXPECT_TRUE(DrawsImage(*graphic, kept));
    // One byte more than needed is left unread.
    Bytes longer = full;
    longer.push_back(0x5A);
    ByteStream stream(longer);
    graphic->LoadFromStream(stream);
    EXPECT_EQ(stream.GetPosition(), int32_t(full.size()));
  }
}

TEST(LoadBmp, LoadingTellsOfTheChangeBeforeThePixelsAreRead) {
  auto graphic = Load(MakeBmp(Rows(3, 3)));
  int changes = 0;
  int32_t widthSeen = -1;
  graphic->OnChange = [&](framework::TObject*) {
    ++changes;
    widthSeen = graphic->Width();
  };
  ByteStream stream(MakeBmp(Rows(8, 8)));
  graphic->LoadFromStream(stream);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(widthSeen, 3);
  graphic->SetPalette(nullptr);
  graphic->SetWidth(8);
  EXPECT_EQ(changes, 1) << "neither the same width nor a palette is a change";
  graphic->SetWidth(5);
  EXPECT_EQ(changes, 2);
}

// --- the view rectangle and the stored form

TEST(StoredForm, TheViewIsWrittenBehindTheBmpStreamAndReadBack) {
  Image image = Coordinates(100, 50);
  auto graphic = Load(MakeBmp(image));
  graphic->SetWidth(10);
  EXPECT_EQ(graphic->Width(), 10);
  EXPECT_EQ(graphic->Height(), 50);
  EXPECT_FALSE(graphic->Empty());
  Bytes whole = Saved(*graphic);
  EXPECT_EQ(Get32(whole, 18), 100u) << "SaveToStream still writes the whole image";
  Bytes data = Saved(*graphic, &TDIBitmap::WriteData);
  EXPECT_EQ(data, WithView(whole, 0, 0, 10, 50));

  int32_t endedAt = 0;
  auto restored = ReadStored(data, &endedAt);
  EXPECT_EQ(endedAt, int32_t(data.size()));
  EXPECT_EQ(restored->ViewRect(), (TRect{0, 0, 10, 50}));
  EXPECT_TRUE(Draws(*restored, 100, 50, [](int32_t dx, int32_t dy) { return MakeRgb(dx / 10, dy, 7); }));
  // An empty view of an image is no empty graphic.
  graphic->SetWidth(0);
  EXPECT_FALSE(graphic->Empty());
  EXPECT_EQ(graphic->Width(), 0);
}

// The framework bitmap's form (a length, then the BMP stream) loads the whole image and reads no
// further, even when the length itself begins with "BM".
TEST(StoredForm, TheFrameworkBitmapsFormLoadsTheWholeImageAndReadsNoFurther) {
  // A u32 length of 0x00004D42 begins with "BM" too; 14 + 40 + 71 * 276 = 19650 bytes of image.
  for (bool looksLikeBM : {false, true}) {
    SCOPED_TRACE(looksLikeBM ? "a length that looks like BM" : "a plain length");
    Image image = looksLikeBM ? Coordinates(91, 71) : Indexed(8, 6, 4, 9);
    Bytes bmp = MakeBmp(image);
    if (looksLikeBM) bmp.resize(0x4D42, 0);  // padding after the pixels belongs to the length
    Bytes data = LengthPrefixed(bmp);
    ASSERT_EQ(data[0] == 'B' && data[1] == 'M', looksLikeBM);
    data.insert(data.end(), {'X', 'Y', 'Z'});
    int32_t endedAt = 0;
    auto graphic = ReadStored(data, &endedAt);
    EXPECT_EQ(endedAt, int32_t(4 + bmp.size()));
    EXPECT_EQ(graphic->ViewRect(), (TRect{0, 0, image.width, image.height}));
    EXPECT_TRUE(DrawsImage(*graphic, image));
  }
}

TEST(StoredForm, DataOfNeitherFormOrAnImpossibleViewIsRefused) {
  Bytes data = WithView(MakeBmp(Rows(2, 2)), 0, 0, 2, 2);
  data[0] = 'b';
  TDIBitmap graphic;
  ByteStream stream(data);
  EXPECT_EQ(MessageOf<framework::EInvalidGraphic>([&] { graphic.ReadData(stream); }), kInvalidBitmap);
  EXPECT_TRUE(graphic.Empty());
  ByteStream overflowing(WithView(MakeBmp(Rows(2, 2)), INT32_MIN, 0, INT32_MAX, 2));
  EXPECT_THROW(graphic.ReadData(overflowing), framework::EInvalidGraphic) << "a view whose size overflows";
  Bytes shortView = WithView(MakeBmp(Rows(2, 2)), 0, 0, 2, 2);
  shortView.pop_back();
  ByteStream shortStream(shortView);
  EXPECT_THROW(graphic.ReadData(shortStream), rtl::EReadError);
}

TEST(StoredForm, ThePicturesDataKeepsTheGraphicAndItsView) {
  DrawModeScope restore(TDIBitmap::DefaultDrawDirect());
  imaging::InitDIBitmapDrawMode();
  Image image = Coordinates(20, 10);
  framework::TPicture picture;
  picture.SetGraphic(ReadStored(WithView(MakeBmp(image), 5, 2, 15, 8)).get());
  auto* copy = dynamic_cast<TDIBitmap*>(picture.Graphic());
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->ViewRect(), (TRect{5, 2, 15, 8}));
  rtl::TMemoryStream stored;
  picture.WriteData(stored);
  stored.SetPosition(0);
  framework::TPicture again;
  again.ReadData(stored);
  auto* read = dynamic_cast<TDIBitmap*>(again.Graphic());
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(read->ViewRect(), (TRect{5, 2, 15, 8}));
  EXPECT_EQ(Saved(*read), MakeBmp(image));
}

// --- drawing, from the pixel memory and through the memory context

class DIBitmapDraw : public ::testing::TestWithParam<bool> {
 protected:
  std::unique_ptr<TDIBitmap> Read(const Bytes& data) {
    DrawModeScope mode(GetParam());
    auto graphic = ReadStored(data);
    EXPECT_EQ(graphic->DrawDirect(), GetParam());
    return graphic;
  }
};

// The view is drawn at its size, or stretched over the destination, from either row order.
TEST_P(DIBitmapDraw, TheViewIsDrawnAtItsSizeOrStretched) {
  for (bool topDown : {false, true}) {
    SCOPED_TRACE(topDown ? "top-down" : "bottom-up");
    auto graphic = Read(WithView(MakeBmp(Coordinates(200, 50), {.topDown = topDown}), 100, 0, 150, 40));
    EXPECT_EQ(graphic->Width(), 50);
    EXPECT_EQ(graphic->Height(), 40);
    Target target(80, 70, kFill);
    target.Canvas().Draw(10, 20, *graphic);
    EXPECT_TRUE(ShowsAt(target, {10, 20, 60, 60}, [](int32_t dx, int32_t dy) { return MakeRgb(100 + dx, dy, 7); },
                        kFill));
    EXPECT_FALSE(graphic->Canvas().HandleAllocated()) << "the memory context is let go";
    auto rows = Read(WithView(MakeBmp(Rows(4, 100), {.topDown = topDown}), 0, 10, 4, 30));
    EXPECT_TRUE(Draws(*rows, 4, 40, [](int32_t, int32_t dy) {
      return MakeRgb(20 + dy / 2, 20 + dy / 2, 20 + dy / 2);
    }));
  }
}

// A refused stretch is drawn row by row from the view's top; rows the clip hides are not tried, and
// a destination the clip hides entirely tries none.
TEST_P(DIBitmapDraw, ARefusedStretchIsDrawnRowByRowWithinTheClip) {
  const struct {
    const char* name;
    Bytes data;
    int32_t width, height;  // of the target
    TRect clip;             // none when empty
    TRect dest;
    int maxCalls;
    TRect shown;
    std::function<Rgb(int32_t, int32_t)> expected;
  } cases[] = {
      {"rows stretched", WithView(MakeBmp(Rows(4, 10)), 0, 0, 4, 10), 4, 25, {}, {0, 0, 4, 25}, 1 + 25, {0, 0, 4, 25},
       [](int32_t, int32_t dy) { return MakeRgb(10 + dy * 10 / 25, 10 + dy * 10 / 25, 10 + dy * 10 / 25); }},
      {"clipped below", WithView(MakeBmp(Coordinates(8, 10)), 2, 3, 6, 8), 8, 12, {0, 0, 8, 6}, {0, 0, 8, 10}, 1 + 7,
       {0, 0, 8, 6}, [](int32_t dx, int32_t dy) { return MakeRgb(2 + dx / 2, 3 + dy * 5 / 10, 7); }},
      {"clipped away", WithView(MakeBmp(Rows(4, 10)), 0, 0, 4, 10), 20, 20, {0, 0, 5, 5}, {10, 10, 14, 20}, 0, {},
       nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto graphic = Read(c.data);
    Target target(c.width, c.height, kFill);
    if (!c.clip.IsEmpty()) IntersectClipRect(target.dc(), c.clip.Left, c.clip.Top, c.clip.Right, c.clip.Bottom);
    RefusingDevice device;
    graphic->Draw(target.Canvas(), c.dest);
    EXPECT_LE(RefusingDevice::calls(), c.maxCalls);
    SelectClipRgn(target.dc(), nullptr);
    EXPECT_TRUE(ShowsAt(target, c.shown, c.expected, kFill));
  }
}

TEST_P(DIBitmapDraw, DrawingOnTheGraphicsCanvasChangesItsPixels) {
  auto graphic = Read(WithView(MakeBmp(Rows(6, 6)), 0, 0, 6, 6));
  graphic->Canvas().Brush().SetColor(framework::TColor(0x00C08040));
  graphic->Canvas().FillRect({0, 0, 3, 6});
  EXPECT_TRUE(Draws(*graphic, 6, 6, [](int32_t dx, int32_t dy) {
    return dx < 3 ? MakeRgb(0x40, 0x80, 0xC0) : MakeRgb(10 + dy, 10 + dy, 10 + dy);
  }));
  EXPECT_EQ(Saved(*graphic)[54], 0xC0) << "the saved stream holds the drawn pixels";
}

INSTANTIATE_TEST_SUITE_P(DrawDirect, DIBitmapDraw, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& param) { return param.param ? "Direct" : "ThroughContext"; });

// --- palettes

// Made once from the colour table; a palette given is owned and replaces it without touching the
// pixels.
TEST(DIBitmapPalette, IsMadeFromTheColourTableAndAGivenOneIsOwned) {
  Image image = Indexed(8, 5, 5, 7);
  auto graphic = Load(MakeBmp(image, {.clrUsed = 7}));
  HPALETTE made = graphic->Palette();
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(graphic->Palette(), made) << "made once";
  std::vector<PALETTEENTRY> entries = PaletteEntries(made);
  ASSERT_EQ(entries.size(), 7u);
  for (size_t i = 0; i < 7; ++i) {
    EXPECT_EQ(entries[i], testing_support::Entry(image.colors[i].rgbRed, image.colors[i].rgbGreen, image.colors[i].rgbBlue))
        << i;
  }
  EXPECT_EQ(Load(MakeBmp(Coordinates(3, 3)))->Palette(), nullptr) << "24 bits: no colour table";
  HPALETTE raw = testing_support::MakePalette({testing_support::Entry(1, 2, 3)}).release();
  graphic->SetPalette(raw);
  EXPECT_EQ(GetObjectType(made), 0u);
  EXPECT_EQ(graphic->Palette(), raw);
  EXPECT_TRUE(DrawsImage(*graphic, image)) << "the colour table is unchanged";
  graphic.reset();
  EXPECT_EQ(GetObjectType(raw), 0u);
}

// Notes the palette selected into the destination while the stretch runs.
class PaletteSpy {
 public:
  PaletteSpy() { seen_ = nullptr; }
  static HGDIOBJ seen() { return seen_; }

 private:
  static int WINAPI SpyDIB(HDC dc, int x, int y, int w, int h, int sx, int sy, int sw, int sh, const void* bits,
                           const BITMAPINFO* info, UINT usage, DWORD rop) {
    seen_ = GetCurrentObject(dc, OBJ_PAL);
    return ::StretchDIBits(dc, x, y, w, h, sx, sy, sw, sh, bits, info, usage, rop);
  }
  static BOOL WINAPI SpyBlt(HDC dc, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh, DWORD rop) {
    seen_ = GetCurrentObject(dc, OBJ_PAL);
    return ::StretchBlt(dc, x, y, w, h, src, sx, sy, sw, sh, rop);
  }
  static inline HGDIOBJ seen_ = nullptr;
  testing_support::StretchCalls replaced_{&SpyDIB, &SpyBlt};
};

TEST(DIBitmapPalette, DrawSelectsItWhileItStretchesAndPutsTheOldOneBack) {
  Image image = Indexed(8, 16, 4, 40);
  auto graphic = Load(MakeBmp(image, {.clrUsed = 40}));
  for (bool direct : {true, false}) {
    SCOPED_TRACE(direct);
    DrawModeScope mode(direct);
    TDIBitmap drawn;
    drawn.Assign(graphic.get());
    Target target(16, 4, kFill);
    HGDIOBJ before = GetCurrentObject(target.dc(), OBJ_PAL);
    PaletteSpy spy;
    drawn.Draw(target.Canvas(), {0, 0, 16, 4});
    EXPECT_EQ(PaletteSpy::seen(), drawn.Palette());
    EXPECT_EQ(GetCurrentObject(target.dc(), OBJ_PAL), before);
    EXPECT_TRUE(ShowsAt(target, {0, 0, 16, 4}, [&](int32_t dx, int32_t dy) { return image.ColorAt(dx, dy); }, kFill));
  }
  PaletteSpy spy;
  Target target(3, 3, kFill);
  Load(MakeBmp(Coordinates(3, 3)))->Draw(target.Canvas(), {0, 0, 3, 3});
  EXPECT_EQ(PaletteSpy::seen(), GetStockObject(DEFAULT_PALETTE)) << "24 bits: no palette selected";
}

// On an 8-bit screen a screen-compatible bitmap holds colours of the system palette: each pixel drawn
// is the device's own rendition of the table's colour, as SetPixel of that colour gives it.
TEST(DIBitmapPalette, OnAPaletteDisplayTheTablesColoursReachTheScreensBitmap) {
  if (!testing_support::ExpectPaletteDisplay()) GTEST_SKIP() << "needs the 8-bit screen";
  Image image = Indexed(8, 16, 4, 40);
  auto graphic = Load(MakeBmp(image, {.clrUsed = 40}));
  HDC screen = GetDC(nullptr);
  HBITMAP ddb = CreateCompatibleBitmap(screen, 17, 4);
  ReleaseDC(nullptr, screen);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, ddb);
  framework::TCanvas canvas(dc);
  graphic->Draw(canvas, {0, 0, 16, 4});
  int same = 0;
  for (int32_t y = 0; y < 4; ++y) {
    for (int32_t x = 0; x < 16; ++x) {
      Rgb c = image.ColorAt(x, y);
      SetPixel(dc, 16, y, RGB(c >> 16, (c >> 8) & 0xFF, c & 0xFF));
      same += GetPixel(dc, x, y) == GetPixel(dc, 16, y);
    }
  }
  EXPECT_EQ(same, 64);
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(ddb);
}

// --- clipboard

class Clipboard : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override { DestroyWindow(window_); }
  HWND window_ = nullptr;
};

TEST_F(Clipboard, APackedDIBGoesThroughTheSystemClipboard) {
  Image image = Indexed(8, 13, 7, 9);
  auto graphic = Load(MakeBmp(image, {.clrUsed = 9}));
  UINT format = 0;
  HANDLE data = nullptr;
  HPALETTE palette = reinterpret_cast<HPALETTE>(7);
  graphic->SaveToClipboardFormat(format, data, palette);
  EXPECT_EQ(format, UINT(CF_DIB));
  EXPECT_EQ(palette, reinterpret_cast<HPALETTE>(7));
  ASSERT_NE(data, nullptr);
  {
    auto* packed = static_cast<const uint8_t*>(GlobalLock(data));
    ASSERT_NE(packed, nullptr);
    Bytes saved = Saved(*graphic);
    ASSERT_GE(GlobalSize(data), saved.size() - 14);
    EXPECT_EQ(Bytes(packed, packed + saved.size() - 14), Bytes(saved.begin() + 14, saved.end()));
    GlobalUnlock(data);
  }
  ASSERT_TRUE(OpenClipboard(window_));
  ASSERT_TRUE(EmptyClipboard());
  ASSERT_NE(SetClipboardData(format, data), nullptr);
  ASSERT_TRUE(CloseClipboard());

  ASSERT_TRUE(OpenClipboard(window_));
  HANDLE pasted = GetClipboardData(CF_DIB);
  ASSERT_NE(pasted, nullptr);
  TDIBitmap copy;
  copy.LoadFromClipboardFormat(CF_DIB, pasted, nullptr);
  EXPECT_EQ(GlobalFlags(pasted) & GMEM_LOCKCOUNT, 0u) << "left unlocked";
  EXPECT_NE(GetClipboardData(CF_DIB), nullptr) << "left with the clipboard";
  EmptyClipboard();
  CloseClipboard();
  EXPECT_EQ(copy.ColorCount(), 9);
  EXPECT_TRUE(DrawsImage(copy, image));
  EXPECT_EQ(Saved(copy), Saved(*graphic));
}

// Other formats and no data are refused; a block shorter than its DIB fails and stays its owner's.
TEST_F(Clipboard, OtherFormatsNoDataAndShortBlocksAreRefused) {
  const std::string text = rtl::Utf8ToSjis("未対応のｸﾘｯﾌﾟﾎﾞｰﾄﾞ ﾃﾞｰﾀです");
  TDIBitmap graphic;
  Bytes bmp = MakeBmp(Coordinates(40, 40));
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 100);
  std::memcpy(GlobalLock(block), bmp.data() + 14, 100);
  GlobalUnlock(block);
  EXPECT_EQ(MessageOf<framework::EInvalidGraphic>([&] { graphic.LoadFromClipboardFormat(CF_BITMAP, block, nullptr); }),
            text);
  EXPECT_EQ(MessageOf<framework::EInvalidGraphic>([&] { graphic.LoadFromClipboardFormat(CF_DIB, nullptr, nullptr); }),
            text);
  EXPECT_THROW(graphic.LoadFromClipboardFormat(CF_DIB, block, nullptr), rtl::EReadError);
  EXPECT_EQ(GlobalFlags(block) & GMEM_LOCKCOUNT, 0u);
  EXPECT_EQ(GlobalFree(block), nullptr);
}

// --- assignment

// From a framework bitmap through its stream, from another graphic with its view; an empty source
// of either kind empties the graphic.
TEST(DIBitmapAssign, FromAFrameworkBitmapOrAnotherDIBitmap) {
  Image image = Indexed(8, 9, 6, 12);
  framework::TBitmap bitmap;
  ByteStream stream(MakeBmp(image));
  bitmap.LoadFromStream(stream);
  TDIBitmap graphic;
  graphic.Assign(&bitmap);
  EXPECT_EQ(graphic.BitmapInfo().Header.biBitCount, 8);
  EXPECT_TRUE(DrawsImage(graphic, image));
  framework::TBitmap empty;
  graphic.Assign(&empty);
  EXPECT_TRUE(graphic.Empty());
  EXPECT_EQ(graphic.Width(), 0);

  auto source = ReadStored(WithView(MakeBmp(Coordinates(30, 20)), 3, 4, 13, 9));
  graphic.Assign(source.get());
  EXPECT_EQ(graphic.ViewRect(), (TRect{3, 4, 13, 9}));
  EXPECT_EQ(Saved(graphic), Saved(*source));
  TDIBitmap emptyGraphic;
  graphic.Assign(&emptyGraphic);
  EXPECT_TRUE(graphic.Empty());
}

TEST(DIBitmapAssign, IntoAFrameworkBitmapGoesTheViewWithACopyOfThePaletteInTheBitmapsFormat) {
  Image image = Indexed(8, 20, 10, 6);
  auto source = ReadStored(WithView(MakeBmp(image, {.clrUsed = 6}), 4, 2, 12, 8));
  framework::TBitmap bitmap;
  bitmap.SetPixelFormat(framework::TPixelFormat::pf24bit);  // exact colours on any screen
  bitmap.Assign(source.get());
  EXPECT_EQ(bitmap.Width(), 8);
  EXPECT_EQ(bitmap.Height(), 6);
  ASSERT_NE(bitmap.Palette(), nullptr);
  EXPECT_NE(bitmap.Palette(), source->Palette());
  EXPECT_EQ(PaletteEntries(bitmap.Palette()), PaletteEntries(source->Palette()));
  EXPECT_TRUE(Draws(bitmap, 8, 6, [&](int32_t dx, int32_t dy) { return image.ColorAt(4 + dx, 2 + dy); }));
  // The bitmap keeps the format it has; the graphic's pixels are drawn into it.
  auto whole = Load(MakeBmp(image, {.clrUsed = 6}));
  const std::vector<uint32_t> expected =
      testing_support::ExpectedPixels(20, 10, [&](int x, int y) { return image.ColorAt(x, y); });
  for (framework::TPixelFormat format :
       {framework::TPixelFormat::pf8bit, framework::TPixelFormat::pf24bit, framework::TPixelFormat::pf32bit}) {
    SCOPED_TRACE(int(format));
    framework::TBitmap kept;
    testing_support::Fill24(kept, 3, 3, 0x808080);
    kept.SetPixelFormat(format);
    kept.Assign(whole.get());
    EXPECT_EQ(kept.PixelFormat(), format);
    EXPECT_EQ(testing_support::Pixels(kept), expected);
  }
  framework::TBitmap device;
  ASSERT_EQ(device.PixelFormat(), framework::TPixelFormat::pfDevice);
  device.Assign(whole.get());
  EXPECT_EQ(device.PixelFormat(), framework::TPixelFormat::pfDevice);
  EXPECT_EQ(device.Width(), 20);
}

TEST(DIBitmapAssign, OtherClassesAreRefusedBothWays) {
  TDIBitmap graphic;
  framework::TBrush brush;
  EXPECT_EQ(MessageOf<framework::EConvertError>([&] { graphic.Assign(&brush); }),
            rtl::Utf8ToSjis("TBrush を TDIBitmap に代入することはできません"));
  EXPECT_EQ(MessageOf<framework::EConvertError>([&] { brush.Assign(&graphic); }),
            rtl::Utf8ToSjis("TDIBitmap を TBrush に代入することはできません"));
}

// --- the graphic's canvas

// Made for the screen, the canvas scales its font to the screen's resolution, keeping its size in
// points. Deselected, it draws into the memory context's own bitmap and not into the section;
// selected again, into the section. The section's pixels are read through a saved copy.
TEST(DIBCanvas, DrawsIntoTheSectionOnlyWhileItIsSelected) {
  const Image image = Coordinates(4, 4);
  auto graphic = Load(MakeBmp(image));
  imaging::TDIBCanvas& canvas = graphic->Canvas();
  const int screenResolution = framework::ScreenPixelsPerInch();
  canvas.Font().SetPixelsPerInch(screenResolution == 72 ? 96 : 72);
  const int32_t points = canvas.Font().Size();
  canvas.Handle();
  EXPECT_EQ(canvas.Font().PixelsPerInch(), screenResolution);
  EXPECT_EQ(canvas.Font().Size(), points);
  EXPECT_FALSE(imaging::IsPrinterCanvas(canvas));
  ASSERT_TRUE(canvas.HasSelection());
  const Bytes before = Saved(*graphic);
  canvas.DeselectBitmap();
  EXPECT_FALSE(canvas.HasSelection());
  canvas.Brush().SetColor(framework::clRed);
  canvas.FillRect({0, 0, 4, 4});
  EXPECT_EQ(Saved(*graphic), before);
  canvas.SelectBitmap(graphic->GetSectionHandle());
  EXPECT_TRUE(canvas.HasSelection());
  canvas.FillRect({0, 0, 2, 4});
  auto copy = Load(Saved(*graphic));
  EXPECT_TRUE(DrawsImage(*copy, MakeImage(4, 4, 24, [&](int32_t x, int32_t y) {
    return x < 2 ? MakeRgb(255, 0, 0) : image.ColorAt(x, y);
  })));
  canvas.FreeHandle();
  EXPECT_FALSE(canvas.HasSelection());
}

// --- handles

TEST(DIBitmapLeaks, HundredsOfLoadsAndDrawsLeaveNoHandles) {
  Bytes bmp = MakeBmp(Indexed(8, 24, 16, 20), {.compression = BI_RLE8});
  Target target(24, 16);
  std::vector<HGDIOBJ> seen;
  for (int i = 0; i < 300; ++i) {
    {
      DrawModeScope mode(i % 2 == 0);
      TDIBitmap graphic;
      ByteStream stream(bmp);
      graphic.LoadFromStream(stream);
      seen.push_back(graphic.GetSectionHandle());
      seen.push_back(graphic.Palette());
      graphic.Draw(target.Canvas(), {0, 0, 24, 16});
      graphic.Canvas().FillRect({0, 0, 2, 2});
      seen.push_back(graphic.Canvas().Handle());
      UINT format;
      HANDLE data;
      HPALETTE palette;
      graphic.SaveToClipboardFormat(format, data, palette);
      ASSERT_EQ(GlobalFree(data), nullptr);
      TDIBitmap second;
      second.Assign(&graphic);
      seen.push_back(second.GetSectionHandle());
      rtl::TMemoryStream data2;
      second.WriteData(data2);
    }
    for (HGDIOBJ handle : seen) ASSERT_EQ(GetObjectType(handle), 0u) << i;
    seen.clear();
  }
}

}  // namespace
