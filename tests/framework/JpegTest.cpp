// The framework's JPEG image: decoding compared with ImageMagick's, the header read at load, the
// limits, failures that stay failed, and mutated and shortened data against guarded memory.
#include "framework/Jpeg.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/Picture.h"
#include "rtl/Sjis.h"
#include "support/GuardedStream.h"
#include "support/Graphics.h"
#include "support/MessageOf.h"
#include "support/Mutations.h"
#include "support/PictureData.h"

// After windows.h, as the framework includes them.
#include <jerror.h>
#include <jpeglib.h>

namespace {

using framework::EJPEG;
using framework::TBitmap;
using framework::TJPEGImage;
using testing_support::LoadFrom;
using testing_support::Pixels;
using testing_support::ResourceBytes;

std::vector<uint8_t> Jpeg(const wchar_t* name) { return ResourceBytes(name, L"JPEG"); }

// The image drawn at its own size onto a 24-bit bitmap, as 0x00RRGGBB pixels.
std::vector<uint32_t> DrawnPixels(TJPEGImage& image) {
  return testing_support::DrawnPixels(image, image.Width(), image.Height(), 0x123456);
}

// Where the frame header's height and width lie (SOF0 or SOF2), or 0.
std::size_t FrameHeaderSize(const std::vector<uint8_t>& bytes) {
  for (std::size_t i = 2; i + 9 < bytes.size(); ++i) {
    if (bytes[i] == 0xFF && (bytes[i + 1] == 0xC0 || bytes[i + 1] == 0xC2)) return i + 5;
  }
  return 0;
}

std::vector<uint8_t> WithSize(std::vector<uint8_t> bytes, int width, int height) {
  const std::size_t at = FrameHeaderSize(bytes);
  bytes[at] = static_cast<uint8_t>(height >> 8);
  bytes[at + 1] = static_cast<uint8_t>(height);
  bytes[at + 2] = static_cast<uint8_t>(width >> 8);
  bytes[at + 3] = static_cast<uint8_t>(width);
  return bytes;
}

// The small progressive picture with its second scan's spectral range made invalid (start after
// end): the header reads, the decoding fails.
std::vector<uint8_t> BadProgression() {
  std::vector<uint8_t> bytes = Jpeg(L"SMALLPROGRESSIVE");
  int scans = 0;
  for (std::size_t i = 2; i + 4 < bytes.size(); ++i) {
    if (bytes[i] != 0xFF || bytes[i + 1] != 0xDA || ++scans < 2) continue;
    const std::size_t components = bytes[i + 4];
    const std::size_t spectral = i + 5 + 2 * components;
    bytes[spectral] = 10;     // Ss
    bytes[spectral + 1] = 2;  // Se
    return bytes;
  }
  ADD_FAILURE() << "no second scan";
  return bytes;
}

// --- decoding against ImageMagick's decoding ---

class JpegDecoding : public ::testing::TestWithParam<std::pair<const wchar_t*, int>> {};

TEST_P(JpegDecoding, GivesImageMagicksPixels) {
  const auto [name, tolerance] = GetParam();
  const testing_support::PpmImage expected = testing_support::ParsePpm(ResourceBytes(name, L"PIXELS"));
  ASSERT_EQ(expected.width, 67);
  ASSERT_EQ(expected.height, 45);
  TJPEGImage image;
  LoadFrom(image, Jpeg(name));
  ASSERT_EQ(image.Width(), 67);
  ASSERT_EQ(image.Height(), 45);
  const std::vector<uint32_t> pixels = DrawnPixels(image);
  ASSERT_EQ(pixels.size(), expected.pixels.size());
  const int difference = testing_support::LargestChannelDifference(pixels, expected.pixels);
  EXPECT_LE(difference, tolerance);
  RecordProperty("largest_difference", difference);
}

// YCbCr and grey data go through the same library path as ImageMagick's and match exactly; CMYK is
// converted to RGB by each side's own arithmetic.
INSTANTIATE_TEST_SUITE_P(Pictures, JpegDecoding,
                         ::testing::Values(std::make_pair(L"PHOTO", 0), std::make_pair(L"PROGRESSIVE", 0),
                                           std::make_pair(L"GRAY", 0), std::make_pair(L"CMYK", 2)));

TEST(JpegImage, ReadsTheHeaderAtLoadAndDecodesOnFirstUse) {
  TJPEGImage image;
  EXPECT_TRUE(image.Empty());
  LoadFrom(image, Jpeg(L"PHOTO"));
  EXPECT_FALSE(image.Empty());
  EXPECT_EQ(image.Width(), 67);
  EXPECT_EQ(image.Height(), 45);
  EXPECT_EQ(testing_support::Saved(image), Jpeg(L"PHOTO")) << "saves the data it loaded";
  EXPECT_FALSE(image.Decoded());
  TBitmap bitmap;
  bitmap.Assign(&image);
  EXPECT_TRUE(image.Decoded());
  EXPECT_EQ(bitmap.Width(), 67);
  EXPECT_EQ(bitmap.Height(), 45);
  EXPECT_EQ(bitmap.PixelFormat(), framework::TPixelFormat::pf24bit);
  EXPECT_EQ(Pixels(bitmap), DrawnPixels(image));
}

TEST(JpegImage, TheFirstDrawReportsAChangeAndLaterDrawsDoNot) {
  framework::TPicture picture;
  TJPEGImage source;
  LoadFrom(source, Jpeg(L"SMALL"));
  picture.SetGraphic(&source);
  int changes = 0;
  picture.OnChange = [&](framework::TObject*) { ++changes; };
  TBitmap target;
  testing_support::Fill24(target, 16, 16, 0);
  target.Canvas().Draw(0, 0, *picture.Graphic());
  EXPECT_EQ(changes, 1);
  target.Canvas().Draw(0, 0, *picture.Graphic());
  EXPECT_EQ(changes, 1);
}

TEST(JpegImage, StoredFormIsALengthAndTheDataAndALengthBeyondTheStreamIsAReadError) {
  const std::vector<uint8_t> bytes = Jpeg(L"SMALL");
  TJPEGImage image;
  LoadFrom(image, bytes);
  rtl::TMemoryStream stored;
  image.WriteData(stored);
  EXPECT_EQ(stored.GetSize(), static_cast<int32_t>(bytes.size() + 4));
  stored.WriteBuffer("tail", 4);  // data after the image stays unread
  stored.SetPosition(0);
  TJPEGImage copy;
  copy.ReadData(stored);
  EXPECT_EQ(copy.Data(), bytes);
  EXPECT_EQ(stored.GetPosition(), static_cast<int32_t>(bytes.size() + 4));

  rtl::TMemoryStream cut;  // one byte more stated than follows
  cut.WriteBuffer(stored.Memory(), static_cast<int32_t>(bytes.size() + 3));
  cut.SetPosition(0);
  TJPEGImage none;
  EXPECT_THROW(none.ReadData(cut), rtl::EReadError);
  EXPECT_TRUE(none.Empty());
}

// An assignment copies data and decoded pixels; nothing assigned, or an empty stream loaded, leaves
// an empty image, and an empty image assigned empties a bitmap.
TEST(JpegImage, AssignCopiesDataAndDecodedPixelsAndEmptinessCarriesOver) {
  TJPEGImage source;
  LoadFrom(source, Jpeg(L"PHOTO"));
  DrawnPixels(source);
  TJPEGImage copy;
  copy.Assign(&source);
  EXPECT_EQ(copy.Data(), source.Data());
  EXPECT_EQ(copy.Width(), 67);
  EXPECT_TRUE(copy.Decoded());
  copy.Assign(nullptr);
  EXPECT_TRUE(copy.Empty());
  EXPECT_EQ(copy.Width(), 0);
  LoadFrom(source, {});
  EXPECT_TRUE(source.Empty());
  EXPECT_EQ(source.Width(), 0);
  TBitmap bitmap;
  testing_support::Fill24(bitmap, 4, 4, 0x00FF00);
  bitmap.Assign(&source);
  EXPECT_TRUE(bitmap.Empty());
}

TEST(JpegImage, TakesNoBitmapAndKeepsItsSize) {
  TJPEGImage image;
  TBitmap bitmap;
  const std::string message =
      testing_support::MessageOf<framework::EAssignError>([&] { image.Assign(&bitmap); });
  EXPECT_EQ(message, rtl::Utf8ToSjis("TBitmap を TJPEGImage に代入することはできません"));
  LoadFrom(image, Jpeg(L"SMALL"));
  EXPECT_THROW(image.SetWidth(10), framework::EInvalidGraphicOperation);
  EXPECT_THROW(image.SetHeight(10), framework::EInvalidGraphicOperation);
  EXPECT_EQ(image.Width(), 16);
}

// --- refused data ---

// A bitmap, and a JPEG cut inside its header, are refused with the JPEG error; the image is kept.
TEST(JpegErrors, DataThatIsNoWholeJpegHeaderIsRefusedAndTheImageKept) {
  std::vector<uint8_t> cut = Jpeg(L"PHOTO");
  cut.resize(FrameHeaderSize(cut) + 2);
  for (const auto& bytes : {ResourceBytes(L"INDEXED", MAKEINTRESOURCEW(2)), cut}) {
    TJPEGImage image;
    LoadFrom(image, Jpeg(L"SMALL"));
    const std::string message = testing_support::MessageOf<EJPEG>([&] { LoadFrom(image, bytes); });
    EXPECT_EQ(message.rfind(rtl::Utf8ToSjis("JPEG ｴﾗｰ #"), 0), 0u) << message;
    EXPECT_EQ(image.Width(), 16);
    EXPECT_EQ(image.Data(), Jpeg(L"SMALL"));
  }
}

TEST(JpegErrors, DataCutInsideTheImageShowsWhatItHolds) {
  const std::vector<uint8_t> whole = Jpeg(L"PHOTO");
  TJPEGImage full;
  LoadFrom(full, whole);
  const std::vector<uint32_t> expected = DrawnPixels(full);
  std::vector<uint8_t> cut = whole;
  cut.resize(whole.size() * 3 / 4);
  TJPEGImage image;
  LoadFrom(image, cut);
  std::vector<uint32_t> pixels;
  EXPECT_NO_THROW(pixels = DrawnPixels(image));
  // The first row of 16-pixel blocks lies well within the first three quarters of the data; its
  // last pixel row is smoothed with the next block row's colours, which the cut may have lost.
  ASSERT_EQ(pixels.size(), expected.size());
  EXPECT_TRUE(std::equal(pixels.begin(), pixels.begin() + 67 * 15, expected.begin()));
}

TEST(JpegErrors, PixelCountLimitHoldsAtItsEdge) {
  const std::vector<uint8_t> bytes = Jpeg(L"SMALL");
  // 8192 x 4096 is exactly the limit: the header is accepted (nothing is decoded here).
  ASSERT_EQ(int64_t{8192} * 4096, framework::kMaxJpegPixels);
  EXPECT_EQ(framework::ReadJpegSize(WithSize(bytes, 8192, 4096).data(), bytes.size()).Height, 4096);
  TJPEGImage image;
  if (const auto error = testing_support::ExceptionOf<EJPEG>([&] { LoadFrom(image, WithSize(bytes, 8192, 4097)); })) {
    EXPECT_EQ(error->Code(), JERR_IMAGE_TOO_BIG) << "one row beyond the limit";
  }
  EXPECT_THROW(LoadFrom(image, WithSize(bytes, 65500, 65500)), EJPEG);
}

TEST(JpegErrors, AFailedDecodingIsReportedOnceAndThenDrawsNothing) {
  TJPEGImage image;
  LoadFrom(image, BadProgression());
  EXPECT_EQ(image.Width(), 16);
  framework::TPicture picture;
  picture.SetGraphic(&image);
  int changes = 0;
  picture.OnChange = [&](framework::TObject*) { ++changes; };
  TBitmap target;
  testing_support::Fill24(target, 16, 16, 0x00FF00);
  EXPECT_THROW(target.Canvas().Draw(0, 0, *picture.Graphic()), EJPEG);
  EXPECT_NO_THROW(target.Canvas().Draw(0, 0, *picture.Graphic()));
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(Pixels(target)[0], 0x00FF00u);
  TBitmap bitmap;
  EXPECT_THROW(bitmap.Assign(picture.Graphic()), EJPEG);
}

// --- mutated and shortened data, read from memory that ends at an inaccessible page ---

// Decodes data from guarded memory; true when it decoded, false when it was refused.
bool DecodeGuarded(const std::vector<uint8_t>& bytes) {
  try {
    return !testing_support::RefusedFromGuarded<framework::EInvalidGraphic>(bytes, framework::DecodeJpeg);
  } catch (const framework::EOutOfResources&) {
    return false;
  }
}

class JpegFuzz : public ::testing::TestWithParam<const wchar_t*> {
 protected:
  uint32_t Next() { return random_.Next(); }

 private:
  testing_support::Random random_{20240601};
};

TEST_P(JpegFuzz, EveryShortenedDataDecodesOrIsRefused) {
  const std::vector<uint8_t> bytes = Jpeg(GetParam());
  ASSERT_FALSE(bytes.empty());
  int refused = 0;
  for (std::size_t length = 0; length <= bytes.size(); ++length) {
    if (!DecodeGuarded(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length)))) {
      ++refused;
    }
  }
  EXPECT_GT(refused, 0);
  EXPECT_TRUE(DecodeGuarded(bytes));
}

TEST_P(JpegFuzz, MutatedDataDecodesOrIsRefused) {
  const std::vector<uint8_t> bytes = Jpeg(GetParam());
  int decoded = 0;
  int refused = 0;
  for (int round = 0; round < 2000; ++round) {
    std::vector<uint8_t> mutated = bytes;
    const int changes = 1 + static_cast<int>(Next() % 4);
    for (int i = 0; i < changes; ++i) {
      const std::size_t at = Next() % mutated.size();
      switch (Next() % 3) {
        case 0: mutated[at] = static_cast<uint8_t>(Next()); break;
        case 1: mutated[at] ^= static_cast<uint8_t>(1u << (Next() % 8)); break;
        default: mutated[at] = (Next() % 2) ? 0xFF : 0x00; break;
      }
    }
    if (Next() % 8 == 0) mutated.resize(Next() % mutated.size());
    (DecodeGuarded(mutated) ? decoded : refused)++;
  }
  RecordProperty("decoded", decoded);
  RecordProperty("refused", refused);
  EXPECT_GT(decoded, 0);
  EXPECT_GT(refused, 0);
}

INSTANTIATE_TEST_SUITE_P(Pictures, JpegFuzz, ::testing::Values(L"SMALL", L"SMALLPROGRESSIVE", L"PHOTO"));

}  // namespace
