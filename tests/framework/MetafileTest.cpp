// The metafile graphic: enhanced and placeable Windows metafiles loaded, drawn and saved, and data
// refused at its edges, also when shortened or mutated in guarded memory.
#include "framework/Metafile.h"

#include <gtest/gtest.h>

#include <algorithm>
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
using framework::TMetafile;
using testing_support::Bytes;
using testing_support::Get32;
using testing_support::LoadFrom;
using testing_support::Set16;
using testing_support::Set32;

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
  Set32(file, 0, 0x9AC6CDD7);
  Set16(file, 10, 100);
  Set16(file, 12, 50);
  Set16(file, 14, 1440);
  uint16_t checksum = 0;
  for (std::size_t i = 0; i < 10; ++i) checksum ^= static_cast<uint16_t>(file[2 * i] | (file[2 * i + 1] << 8));
  Set16(file, 20, checksum);
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

TEST_F(Metafile, LoadsAnEnhancedMetafileWithItsFrameSavesItAndCopiesIt) {
  const Bytes bytes = RedEnhancedMetafile();
  TMetafile metafile;
  EXPECT_TRUE(metafile.Empty());
  LoadFrom(metafile, bytes);
  EXPECT_FALSE(metafile.Empty());
  const int32_t frameWidth = static_cast<int32_t>(Get32(bytes, 32)) - static_cast<int32_t>(Get32(bytes, 24));
  EXPECT_EQ(metafile.MMWidth(), frameWidth);
  EXPECT_EQ(metafile.Width(), MulDiv(frameWidth, framework::ScreenPixelsPerInch(), 2540));
  const std::vector<uint32_t> pixels = testing_support::DrawnPixels(metafile, 40, 20);
  EXPECT_EQ(pixels[10 * 40 + 20], 0xFF0000u);
  TMetafile again;
  LoadFrom(again, testing_support::Saved(metafile));
  EXPECT_EQ(again.MMWidth(), metafile.MMWidth());
  EXPECT_EQ(again.MMHeight(), metafile.MMHeight());
  TMetafile copy;
  copy.Assign(&metafile);
  EXPECT_EQ(copy.MMWidth(), metafile.MMWidth());
  EXPECT_NE(copy.Handle(), metafile.Handle());
}

TEST_F(Metafile, LoadsAPlaceableMetafileAtItsStatedSize) {
  TMetafile metafile;
  LoadFrom(metafile, PlaceableMetafile());
  EXPECT_EQ(metafile.MMWidth(), MulDiv(100, 2540, 1440));
  EXPECT_EQ(metafile.MMHeight(), MulDiv(50, 2540, 1440));
  EXPECT_FALSE(metafile.Empty());
}

// A bad checksum, foreign data, and enhanced records that do not chain to the end record within the
// stated size are refused; a loaded metafile is kept.
TEST_F(Metafile, RefusesABadChecksumForeignDataAndRecordsThatDoNotChainToTheEnd) {
  Bytes placeable = PlaceableMetafile();
  placeable[20] ^= 1;
  const Bytes good = RedEnhancedMetafile();
  const uint32_t stated = Get32(good, 48);
  ASSERT_EQ(stated, good.size());
  const uint32_t headerSize = Get32(good, 4);
  auto with = [&](std::initializer_list<std::pair<std::size_t, uint32_t>> fields) {
    Bytes bytes = good;
    for (const auto& [at, value] : fields) Set32(bytes, at, value);
    return bytes;
  };
  const std::pair<const char*, Bytes> cases[] = {
      {"a bad checksum", placeable},
      {"a bitmap", testing_support::ResourceBytes(L"INDEXED", MAKEINTRESOURCEW(2))},
      {"nothing", {}},
      {"more stated than the data holds", with({{48, stated + 4}})},
      {"a record of no size, which would never let the walk advance", with({{headerSize + 4, 0}})},
      {"no end record", with({{good.size() - 20, EMR_SETBKMODE}})},
      {"a description beyond the header", with({{60, 1000}, {64, headerSize - 4}})},
  };
  for (const auto& [name, bytes] : cases) EXPECT_EQ(Refusal(bytes), invalid) << name;
  TMetafile metafile;
  LoadFrom(metafile, good);
  const int32_t width = metafile.MMWidth();
  EXPECT_THROW(LoadFrom(metafile, placeable), EInvalidGraphic);
  EXPECT_EQ(metafile.MMWidth(), width) << "the metafile is kept";
}

TEST_F(Metafile, ShortenedAndMutatedDataIsReadWithinItsBytes) {
  testing_support::Random random(11);
  for (const Bytes& file : {RedEnhancedMetafile(), PlaceableMetafile()}) {
    auto refused = [](const Bytes& bytes) {
      return testing_support::RefusedFromGuarded<EInvalidGraphic>(bytes, framework::ReadMetafile);
    };
    for (std::size_t length = 0; length < file.size(); ++length) {
      EXPECT_TRUE(refused(Bytes(file.begin(), file.begin() + length)))
          << "every shortened metafile lacks its end record: " << length;
    }
    for (int round = 0; round < 1000; ++round) {
      Bytes mutated = file;
      mutated[random.Below(static_cast<uint32_t>(mutated.size()))] = static_cast<uint8_t>(random.Next());
      refused(mutated);
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
