// The icon graphic: loading, choosing the image to show, drawing and saving, and icon files refused
// at their edges, also when shortened or mutated in guarded memory.
#include "framework/Icon.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/Errors.h"
#include "framework/Picture.h"
#include "rtl/Sjis.h"
#include "support/Bmp.h"
#include "support/GuardedStream.h"
#include "support/Graphics.h"
#include "support/MessageOf.h"
#include "support/Mutations.h"
#include "support/PictureData.h"

namespace {

using framework::EInvalidGraphic;
using framework::TIcon;
using testing_support::Bytes;
using testing_support::DrawnPixels;
using testing_support::Get32;
using testing_support::LoadFrom;
using testing_support::Set16;
using testing_support::Set32;

// An icon image of size x size pixels and bitCount bits (colour table of all colours for indexed
// depths), every pixel colour 0 or the colour given, AND mask all opaque.
Bytes IconImage(int size, int bitCount, uint32_t bgra) {
  Bytes image(40);
  Set32(image, 0, 40);
  Set32(image, 4, static_cast<uint32_t>(size));
  Set32(image, 8, static_cast<uint32_t>(size * 2));
  Set16(image, 12, 1);
  Set16(image, 14, static_cast<uint16_t>(bitCount));
  if (bitCount <= 8) {
    for (int i = 0; i < (1 << bitCount); ++i) testing_support::Put32(image, i == 1 ? bgra : 0);
  }
  const std::size_t xorRow = (static_cast<std::size_t>(size) * bitCount + 31) / 32 * 4;
  const std::size_t andRow = (static_cast<std::size_t>(size) + 31) / 32 * 4;
  for (int y = 0; y < size; ++y) {
    Bytes row(xorRow);
    if (bitCount == 32) {
      for (int x = 0; x < size; ++x) std::memcpy(&row[4 * x], &bgra, 4);
    } else if (bitCount == 4) {
      for (std::size_t x = 0; x < static_cast<std::size_t>(size) / 2; ++x) row[x] = 0x11;
    }
    image.insert(image.end(), row.begin(), row.end());
  }
  image.insert(image.end(), andRow * size, 0);
  return image;
}

// An icon file of the given images; each image's directory entry names its size and depth.
Bytes IconFile(const std::vector<std::pair<Bytes, std::pair<int, int>>>& images) {
  Bytes file(6 + 16 * images.size());
  Set16(file, 2, 1);
  Set16(file, 4, static_cast<uint16_t>(images.size()));
  for (std::size_t i = 0; i < images.size(); ++i) {
    const std::size_t entry = 6 + 16 * i;
    const auto [size, bitCount] = images[i].second;
    file[entry] = static_cast<uint8_t>(size);
    file[entry + 1] = static_cast<uint8_t>(size);
    Set16(file, entry + 4, 1);
    Set16(file, entry + 6, static_cast<uint16_t>(bitCount));
    Set32(file, entry + 8, static_cast<uint32_t>(images[i].first.size()));
    Set32(file, entry + 12, static_cast<uint32_t>(file.size()));
    file.insert(file.end(), images[i].first.begin(), images[i].first.end());
  }
  return file;
}

class Icon : public ::testing::Test {
 protected:
  const Bytes resource = testing_support::ResourceBytes(L"TESTICON", MAKEINTRESOURCEW(3));
  const std::string invalid = rtl::Utf8ToSjis("ｱｲｺﾝ ｲﾒｰｼﾞが不正です");

  std::string Refusal(const Bytes& bytes) {
    return testing_support::MessageOf<EInvalidGraphic>([&] { framework::ChooseIconImage(bytes.data(), bytes.size()); });
  }
};

TEST_F(Icon, LoadsAnIconFileDrawsItKeepsItsSizeSavesTheFileAndCopies) {
  TIcon icon;
  EXPECT_TRUE(icon.Empty());
  LoadFrom(icon, resource);
  EXPECT_FALSE(icon.Empty());
  EXPECT_EQ(icon.Width(), 32);
  EXPECT_EQ(icon.Height(), 32);
  const std::vector<uint32_t> pixels = DrawnPixels(icon, 32, 32);
  EXPECT_EQ(pixels[5 * 32 + 5], 0xFF0000u);    // top half red
  EXPECT_EQ(pixels[25 * 32 + 5], 0x0000FFu);   // bottom half blue
  EXPECT_THROW(icon.SetWidth(16), framework::EInvalidGraphicOperation);
  EXPECT_THROW(icon.SetHeight(16), framework::EInvalidGraphicOperation);
  EXPECT_EQ(testing_support::Saved(icon), resource);
  TIcon copy;
  copy.Assign(&icon);
  EXPECT_EQ(copy.Width(), 32);
  EXPECT_NE(copy.Handle(), icon.Handle());
  copy.Assign(nullptr);
  EXPECT_TRUE(copy.Empty());
}

TEST_F(Icon, ChoosesTheSystemSizeAndThenTheMostColours) {
  const int system = GetSystemMetrics(SM_CXICON);
  const Bytes file = IconFile({{IconImage(16, 32, 0xFF00FF00), {16, 32}},
                               {IconImage(system, 4, 0xFFFF0000), {system, 4}},
                               {IconImage(system, 32, 0xFF0000FF), {system, 32}}});
  const framework::TIconImage chosen = framework::ChooseIconImage(file.data(), file.size());
  EXPECT_EQ(chosen.Width, system);
  EXPECT_EQ(chosen.Offset, Get32(file, 6 + 16 * 2 + 12));
  TIcon icon;
  LoadFrom(icon, file);
  EXPECT_EQ(DrawnPixels(icon, system, system)[0], 0x0000FFu);  // the 32-bit image is blue
}

TEST_F(Icon, RefusesWhatIsNoIconFile) {
  EXPECT_EQ(Refusal({}), invalid);
  const struct {
    std::size_t at;
    uint16_t value;
    const char* what;
  } fields[] = {{0, 1, "a reserved word"}, {2, 2, "a cursor"}, {4, 0, "no image"}};
  for (const auto& field : fields) {
    Bytes file = resource;
    Set16(file, field.at, field.value);
    EXPECT_EQ(Refusal(file), invalid) << field.what;
  }
  // A second entry that the directory has no room for: it runs into the image.
  Bytes file = resource;
  Set16(file, 4, 2);
  EXPECT_EQ(Refusal(Bytes(file.begin(), file.begin() + 6 + 16 + 15)), invalid);
  TIcon icon;
  LoadFrom(icon, resource);
  EXPECT_THROW(LoadFrom(icon, testing_support::ResourceBytes(L"INDEXED", MAKEINTRESOURCEW(2))), EInvalidGraphic);
  EXPECT_EQ(icon.Width(), 32) << "the icon is kept";
}

TEST_F(Icon, ImageMustLieWithinTheFileToTheByte) {
  Bytes file = resource;
  const uint32_t size = Get32(file, 6 + 8);
  Set32(file, 6 + 8, size + 1);  // one byte beyond the file
  EXPECT_EQ(Refusal(file), invalid);
  file.push_back(0);  // now it fits
  EXPECT_NO_THROW(framework::ChooseIconImage(file.data(), file.size()));
  Set32(file, 6 + 12, 0xFFFFFFF0);  // an offset far beyond
  EXPECT_EQ(Refusal(file), invalid);
}

TEST_F(Icon, ImageHeaderMustAgreeWithItsSize) {
  const Bytes image = IconImage(32, 32, 0xFFFFFFFF);
  const Bytes exact = IconFile({{image, {32, 32}}});
  EXPECT_NO_THROW(framework::ChooseIconImage(exact.data(), exact.size()));
  // The same image one byte short of its AND mask.
  EXPECT_EQ(Refusal(IconFile({{Bytes(image.begin(), image.end() - 1), {32, 32}}})), invalid);
  const struct {
    std::size_t at;
    uint32_t value;
    bool wide;
    const char* what;
  } fields[] = {{4, 257, true, "wider than the entry"},
                {14, 7, false, "7 bits a pixel"},
                {0, static_cast<uint32_t>(image.size() + 1), true, "a header longer than the image"}};
  for (const auto& field : fields) {
    Bytes changed = image;
    if (field.wide) {
      Set32(changed, field.at, field.value);
    } else {
      Set16(changed, field.at, field.value);
    }
    EXPECT_EQ(Refusal(IconFile({{changed, {32, 32}}})), invalid) << field.what;
  }
}

TEST_F(Icon, APictureTurnsItsGraphicIntoAnIcon) {
  framework::TPicture picture;
  picture.Bitmap().SetSize(4, 4);
  int changes = 0;
  picture.OnChange = [&](framework::TObject*) { ++changes; };
  TIcon& icon = picture.Icon();
  EXPECT_TRUE(icon.Empty());
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(&picture.Icon(), &icon);
  EXPECT_EQ(changes, 1);
  LoadFrom(icon, resource);
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(framework::TPicture::FileFormatClass("ico"), &TIcon::StaticClass());
}

TEST_F(Icon, ShortenedAndMutatedFilesAreReadWithinTheirBytes) {
  const Bytes file = IconFile({{IconImage(16, 4, 0xFF00FF00), {16, 4}}, {IconImage(32, 32, 0xFF0000FF), {32, 32}}});
  auto refused = [](const Bytes& bytes) {
    return testing_support::RefusedFromGuarded<EInvalidGraphic>(bytes, framework::ChooseIconImage);
  };
  for (std::size_t length = 0; length < file.size(); ++length) {
    EXPECT_TRUE(refused(Bytes(file.begin(), file.begin() + length)))
        << "every shortened file lacks part of its image: " << length;
  }
  testing_support::Random random(7);
  for (int round = 0; round < 2000; ++round) {
    Bytes mutated = file;
    mutated[random.Below(64)] = static_cast<uint8_t>(random.Next());  // the directory and the headers
    refused(mutated);
  }
}

}  // namespace
