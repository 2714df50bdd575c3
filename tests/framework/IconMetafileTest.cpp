// The framework's icon and metafile graphics: loading, choosing, drawing and saving, and data that
// is refused at its edges, also when shortened or mutated in guarded memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "framework/Errors.h"
#include "framework/Icon.h"
#include "framework/Metafile.h"
#include "framework/Picture.h"
#include "support/Painting.h"
#include "support/PictureData.h"
#include "rtl/Sjis.h"
#include "support/GuardedStream.h"
#include "support/MemoryStreams.h"
#include "support/MessageOf.h"
#include "support/Pixels.h"

namespace {

using framework::EInvalidGraphic;
using framework::TBitmap;
using framework::TIcon;
using framework::TMetafile;
using Bytes = std::vector<uint8_t>;
using testing_support::Fill;

void Put16(Bytes& b, std::size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(Bytes& b, std::size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
uint32_t Get32(const Bytes& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

template <typename G>
void LoadInto(G& graphic, const Bytes& bytes) {
  rtl::TMemoryStream stream;
  Fill(stream, bytes);
  graphic.LoadFromStream(stream);
}

// An icon image of size x size pixels and bitCount bits (colour table of all colours for indexed
// depths), every pixel colour 0 or the colour given, AND mask all opaque.
Bytes IconImage(int size, int bitCount, uint32_t bgra) {
  Bytes image(40);
  Put32(image, 0, 40);
  Put32(image, 4, static_cast<uint32_t>(size));
  Put32(image, 8, static_cast<uint32_t>(size * 2));
  Put16(image, 12, 1);
  Put16(image, 14, static_cast<uint16_t>(bitCount));
  if (bitCount <= 8) {
    for (int i = 0; i < (1 << bitCount); ++i) {
      const uint32_t entry = i == 1 ? bgra : 0;
      for (int k = 0; k < 4; ++k) image.push_back(static_cast<uint8_t>(entry >> (8 * k)));
    }
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
  Put16(file, 2, 1);
  Put16(file, 4, static_cast<uint16_t>(images.size()));
  for (std::size_t i = 0; i < images.size(); ++i) {
    const std::size_t entry = 6 + 16 * i;
    const auto [size, bitCount] = images[i].second;
    file[entry] = static_cast<uint8_t>(size);
    file[entry + 1] = static_cast<uint8_t>(size);
    Put16(file, entry + 4, 1);
    Put16(file, entry + 6, static_cast<uint16_t>(bitCount));
    Put32(file, entry + 8, static_cast<uint32_t>(images[i].first.size()));
    Put32(file, entry + 12, static_cast<uint32_t>(file.size()));
    file.insert(file.end(), images[i].first.begin(), images[i].first.end());
  }
  return file;
}

// The graphic drawn into a 24-bit bitmap of the given size filled with white.
template <typename G>
std::vector<uint32_t> Drawn(G& graphic, int width, int height) {
  TBitmap target;
  testing_support::Fill24(target, width, height, 0xFFFFFF);
  target.Canvas().StretchDraw({0, 0, width, height}, graphic);
  return testing_support::Pixels(target);
}

// --- icons ---

class Icon : public ::testing::Test {
 protected:
  const Bytes resource = testing_support::ResourceBytes(L"TESTICON", MAKEINTRESOURCEW(3));
  const std::string invalid = rtl::Utf8ToSjis("ｱｲｺﾝ ｲﾒｰｼﾞが不正です");

  std::string Refusal(const Bytes& bytes) {
    return testing_support::MessageOf<EInvalidGraphic>([&] { framework::ChooseIconImage(bytes.data(), bytes.size()); });
  }
};

TEST_F(Icon, LoadsAnIconFileAndDrawsIt) {
  TIcon icon;
  EXPECT_TRUE(icon.Empty());
  LoadInto(icon, resource);
  EXPECT_FALSE(icon.Empty());
  EXPECT_EQ(icon.Width(), 32);
  EXPECT_EQ(icon.Height(), 32);
  const std::vector<uint32_t> pixels = Drawn(icon, 32, 32);
  EXPECT_EQ(pixels[5 * 32 + 5], 0xFF0000u);    // top half red
  EXPECT_EQ(pixels[25 * 32 + 5], 0x0000FFu);   // bottom half blue
}

TEST_F(Icon, SavesTheFileItLoadedAndCopiesByAssignment) {
  TIcon icon;
  LoadInto(icon, resource);
  rtl::TMemoryStream saved;
  icon.SaveToStream(saved);
  ASSERT_EQ(saved.GetSize(), static_cast<int32_t>(resource.size()));
  EXPECT_EQ(std::memcmp(saved.Memory(), resource.data(), resource.size()), 0);
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
  LoadInto(icon, file);
  EXPECT_EQ(Drawn(icon, system, system)[0], 0x0000FFu);  // the 32-bit image is blue
}

TEST_F(Icon, RefusesWhatIsNoIconFile) {
  EXPECT_EQ(Refusal({}), invalid);
  Bytes file = resource;
  Put16(file, 0, 1);  // reserved word
  EXPECT_EQ(Refusal(file), invalid);
  file = resource;
  Put16(file, 2, 2);  // a cursor
  EXPECT_EQ(Refusal(file), invalid);
  file = resource;
  Put16(file, 4, 0);  // no image
  EXPECT_EQ(Refusal(file), invalid);
  file = resource;
  Put16(file, 4, 2);  // a second entry that the directory has no room for... it runs into the image
  EXPECT_EQ(Refusal(Bytes(file.begin(), file.begin() + 6 + 16 + 15)), invalid);
  TIcon icon;
  LoadInto(icon, resource);
  EXPECT_THROW(LoadInto(icon, testing_support::ResourceBytes(L"INDEXED", MAKEINTRESOURCEW(2))), EInvalidGraphic);
  EXPECT_EQ(icon.Width(), 32) << "the icon is kept";
}

TEST_F(Icon, ImageMustLieWithinTheFileToTheByte) {
  Bytes file = resource;
  const uint32_t size = Get32(file, 6 + 8);
  Put32(file, 6 + 8, size + 1);  // one byte beyond the file
  EXPECT_EQ(Refusal(file), invalid);
  file.push_back(0);  // now it fits
  EXPECT_NO_THROW(framework::ChooseIconImage(file.data(), file.size()));
  Put32(file, 6 + 12, 0xFFFFFFF0);  // an offset far beyond
  EXPECT_EQ(Refusal(file), invalid);
}

TEST_F(Icon, ImageHeaderMustAgreeWithItsSize) {
  const Bytes image = IconImage(32, 32, 0xFFFFFFFF);
  const Bytes exact = IconFile({{image, {32, 32}}});
  EXPECT_NO_THROW(framework::ChooseIconImage(exact.data(), exact.size()));
  // The same image one byte short of its AND mask.
  Bytes shortImage(image.begin(), image.end() - 1);
  EXPECT_EQ(Refusal(IconFile({{shortImage, {32, 32}}})), invalid);
  Bytes wide = image;
  Put32(wide, 4, 257);
  EXPECT_EQ(Refusal(IconFile({{wide, {32, 32}}})), invalid);
  Bytes depth = image;
  Put16(depth, 14, 7);
  EXPECT_EQ(Refusal(IconFile({{depth, {32, 32}}})), invalid);
  Bytes header = image;
  Put32(header, 0, static_cast<uint32_t>(image.size() + 1));
  EXPECT_EQ(Refusal(IconFile({{header, {32, 32}}})), invalid);
}

TEST_F(Icon, KeepsItsSize) {
  TIcon icon;
  LoadInto(icon, resource);
  EXPECT_THROW(icon.SetWidth(16), framework::EInvalidGraphicOperation);
  EXPECT_THROW(icon.SetHeight(16), framework::EInvalidGraphicOperation);
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
  LoadInto(icon, resource);
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(framework::TPicture::FileFormatClass("ico"), &TIcon::StaticClass());
}

TEST_F(Icon, ShortenedAndMutatedFilesAreReadWithinTheirBytes) {
  const Bytes file = IconFile({{IconImage(16, 4, 0xFF00FF00), {16, 4}}, {IconImage(32, 32, 0xFF0000FF), {32, 32}}});
  int refused = 0;
  auto check = [&](const Bytes& bytes) {
    testing_support::TGuardedStream guarded(bytes);
    try {
      framework::ChooseIconImage(static_cast<const uint8_t*>(guarded.Memory()), bytes.size());
    } catch (const EInvalidGraphic&) {
      ++refused;
    }
  };
  for (std::size_t length = 0; length < file.size(); ++length) check(Bytes(file.begin(), file.begin() + length));
  EXPECT_EQ(refused, static_cast<int>(file.size())) << "every shortened file lacks part of its chosen image";
  uint32_t state = 7;
  for (int round = 0; round < 2000; ++round) {
    Bytes mutated = file;
    state = state * 1103515245u + 12345u;
    mutated[(state >> 8) % 64] = static_cast<uint8_t>(state >> 20);  // the directory and the headers
    check(mutated);
  }
}

// --- metafiles ---

// An enhanced metafile of frame 25.4 x 12.7 mm holding one red rectangle over all of it.
Bytes RedEnhancedMetafile() {
  const RECT frame{0, 0, 2540, 1270};
  HDC reference = GetDC(nullptr);
  HDC dc = CreateEnhMetaFileW(reference, nullptr, &frame, nullptr);
  ReleaseDC(nullptr, reference);
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  const RECT all{0, 0, 96, 48};
  FillRect(dc, &all, red);
  DeleteObject(red);
  HENHMETAFILE metafile = CloseEnhMetaFile(dc);
  Bytes bytes(GetEnhMetaFileBits(metafile, 0, nullptr));
  GetEnhMetaFileBits(metafile, static_cast<UINT>(bytes.size()), bytes.data());
  DeleteEnhMetaFile(metafile);
  return bytes;
}

// A placeable Windows metafile of 100 x 50 units at 1440 units per inch.
Bytes PlaceableMetafile() {
  HDC dc = CreateMetaFileW(nullptr);
  SetWindowExtEx(dc, 100, 50, nullptr);
  Rectangle(dc, 0, 0, 100, 50);
  HMETAFILE metafile = CloseMetaFile(dc);
  Bytes records(GetMetaFileBitsEx(metafile, 0, nullptr));
  GetMetaFileBitsEx(metafile, static_cast<UINT>(records.size()), records.data());
  DeleteMetaFile(metafile);
  Bytes file(22 + records.size());
  Put32(file, 0, 0x9AC6CDD7);
  Put16(file, 10, 100);
  Put16(file, 12, 50);
  Put16(file, 14, 1440);
  uint16_t checksum = 0;
  for (std::size_t i = 0; i < 10; ++i) checksum ^= static_cast<uint16_t>(file[2 * i] | (file[2 * i + 1] << 8));
  Put16(file, 20, checksum);
  std::copy(records.begin(), records.end(), file.begin() + 22);
  return file;
}

class Metafile : public ::testing::Test {
 protected:
  const std::string invalid = rtl::Utf8ToSjis("ﾒﾀﾌｧｲﾙが不正です");
  std::string Refusal(const Bytes& bytes) {
    return testing_support::MessageOf<EInvalidGraphic>([&] { framework::ReadMetafile(bytes.data(), bytes.size()); });
  }
};

TEST_F(Metafile, LoadsAnEnhancedMetafileWithItsFrame) {
  const Bytes bytes = RedEnhancedMetafile();
  TMetafile metafile;
  EXPECT_TRUE(metafile.Empty());
  LoadInto(metafile, bytes);
  EXPECT_FALSE(metafile.Empty());
  const int32_t frameWidth = static_cast<int32_t>(Get32(bytes, 32)) - static_cast<int32_t>(Get32(bytes, 24));
  EXPECT_EQ(metafile.MMWidth(), frameWidth);
  EXPECT_EQ(metafile.Width(), MulDiv(frameWidth, framework::ScreenPixelsPerInch(), 2540));
  const std::vector<uint32_t> pixels = Drawn(metafile, 40, 20);
  EXPECT_EQ(pixels[10 * 40 + 20], 0xFF0000u);
}

TEST_F(Metafile, SavesAnEnhancedMetafileThatLoadsAgain) {
  TMetafile metafile;
  LoadInto(metafile, RedEnhancedMetafile());
  rtl::TMemoryStream saved;
  metafile.SaveToStream(saved);
  Bytes bytes(static_cast<const uint8_t*>(saved.Memory()), static_cast<const uint8_t*>(saved.Memory()) + saved.GetSize());
  TMetafile again;
  LoadInto(again, bytes);
  EXPECT_EQ(again.MMWidth(), metafile.MMWidth());
  EXPECT_EQ(again.MMHeight(), metafile.MMHeight());
  TMetafile copy;
  copy.Assign(&metafile);
  EXPECT_EQ(copy.MMWidth(), metafile.MMWidth());
  EXPECT_NE(copy.Handle(), metafile.Handle());
}

TEST_F(Metafile, LoadsAPlaceableMetafileAtItsStatedSize) {
  TMetafile metafile;
  LoadInto(metafile, PlaceableMetafile());
  EXPECT_EQ(metafile.MMWidth(), MulDiv(100, 2540, 1440));
  EXPECT_EQ(metafile.MMHeight(), MulDiv(50, 2540, 1440));
  EXPECT_FALSE(metafile.Empty());
}

TEST_F(Metafile, RefusesABadChecksumAndForeignData) {
  Bytes placeable = PlaceableMetafile();
  placeable[20] ^= 1;
  EXPECT_EQ(Refusal(placeable), invalid);
  EXPECT_EQ(Refusal(testing_support::ResourceBytes(L"INDEXED", MAKEINTRESOURCEW(2))), invalid);
  EXPECT_EQ(Refusal({}), invalid);
  TMetafile metafile;
  LoadInto(metafile, RedEnhancedMetafile());
  const int32_t width = metafile.MMWidth();
  EXPECT_THROW(LoadInto(metafile, placeable), EInvalidGraphic);
  EXPECT_EQ(metafile.MMWidth(), width) << "the metafile is kept";
}

TEST_F(Metafile, EnhancedRecordsMustChainToTheEndRecordWithinTheStatedSize) {
  const Bytes good = RedEnhancedMetafile();
  const uint32_t stated = Get32(good, 48);
  ASSERT_EQ(stated, good.size());
  Bytes bytes = good;
  Put32(bytes, 48, stated + 4);  // states more than the data holds
  EXPECT_EQ(Refusal(bytes), invalid);
  bytes = good;
  const uint32_t headerSize = Get32(good, 4);
  Put32(bytes, headerSize + 4, 0);  // a record of no size would never let the walk advance
  EXPECT_EQ(Refusal(bytes), invalid);
  bytes = good;
  Put32(bytes, good.size() - 20, EMR_SETBKMODE);  // no end record
  EXPECT_EQ(Refusal(bytes), invalid);
  bytes = good;
  Put32(bytes, 60, 1000);  // a description beyond the header
  Put32(bytes, 64, headerSize - 4);
  EXPECT_EQ(Refusal(bytes), invalid);
}

TEST_F(Metafile, ShortenedAndMutatedDataIsReadWithinItsBytes) {
  for (const Bytes& file : {RedEnhancedMetafile(), PlaceableMetafile()}) {
    int refused = 0;
    auto check = [&](const Bytes& bytes) {
      testing_support::TGuardedStream guarded(bytes);
      try {
        framework::ReadMetafile(static_cast<const uint8_t*>(guarded.Memory()), bytes.size());
      } catch (const EInvalidGraphic&) {
        ++refused;
      }
    };
    for (std::size_t length = 0; length < file.size(); ++length) check(Bytes(file.begin(), file.begin() + length));
    EXPECT_EQ(refused, static_cast<int>(file.size())) << "every shortened metafile lacks its end record";
    uint32_t state = 11;
    for (int round = 0; round < 1000; ++round) {
      Bytes mutated = file;
      state = state * 1103515245u + 12345u;
      mutated[(state >> 8) % mutated.size()] = static_cast<uint8_t>(state >> 20);
      check(mutated);
    }
  }
}

TEST_F(Metafile, APictureTurnsItsGraphicIntoAMetafile) {
  framework::TPicture picture;
  picture.Bitmap().SetSize(4, 4);
  TMetafile& metafile = picture.Metafile();
  EXPECT_TRUE(metafile.Empty());
  EXPECT_EQ(framework::TPicture::FileFormatClass("emf"), &TMetafile::StaticClass());
  EXPECT_EQ(framework::TPicture::FileFormatClass("WMF"), &TMetafile::StaticClass());
}

}  // namespace
