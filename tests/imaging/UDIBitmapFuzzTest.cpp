// Every parser of the DIB-section graphic over mutated and shortened forms of valid inputs: each
// either loads or raises one of the library's exceptions, and none reads past its data, which ends
// right at a page that may not be read.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DIBImages.h"
#include "imaging/UDIBitmap.h"
#include "imaging/UPalette.h"
#include "rtl/Exception.h"
#include "support/GuardedStream.h"
#include "support/Mutations.h"

namespace {

using namespace testing_support;
using imaging::TDIBitmap;
using testing_support::Mutate;
using testing_support::Random;
using testing_support::TGuardedStream;

std::vector<Bytes> ValidBmps() {
  Image rgb565 = MakeImage(7, 4, 16, [](int32_t x, int32_t y) { return uint32_t((x * 9) << 11 | (y * 15) << 5 | x); });
  auto indexed = [](int bits, int32_t w, int32_t h, int colors) {
    return MakeImage(w, h, bits, [=](int32_t x, int32_t y) { return uint32_t((x * 3 + y + x / 4) % colors); },
                     TestColors(colors));
  };
  return {MakeBmp(indexed(8, 9, 5, 11), {.clrUsed = 11}),
          MakeBmp(indexed(8, 37, 9, 11), {.compression = BI_RLE8}),
          MakeBmp(indexed(4, 21, 6, 7), {.compression = BI_RLE4}),
          MakeBmp(indexed(4, 9, 5, 16), {.headerSize = 12}),
          MakeBmp(indexed(1, 19, 3, 2)),
          MakeBmp(rgb565, {.headerSize = 124, .compression = BI_BITFIELDS, .masks = {0xF800, 0x07E0, 0x001F}}),
          MakeBmp(rgb565, {.compression = BI_BITFIELDS, .masks = {0xF800, 0x07E0, 0x001F}}),
          MakeBmp(MakeImage(5, 6, 24, [](int32_t x, int32_t y) { return MakeRgb(x, y, 9); }), {.topDown = true})};
}

class Fuzz : public ::testing::Test {
 protected:
  // Runs parse over mutations of each valid input; a load is then drawn, both ways, and saved.
  void Run(const std::vector<Bytes>& valid, size_t headerEnd, int perInput,
           const std::function<void(TDIBitmap&, const Bytes&)>& parse) {
    Random random(0x5EED1234u + uint32_t(valid.size()));
    Target target(24, 24);
    for (const Bytes& input : valid) {
      for (int i = 0; i < perInput; ++i) {
        Bytes mutated = Mutate(input, headerEnd, random);
        imaging::TDIBitmap::SetDefaultDrawDirect(i % 2 == 0);
        TDIBitmap graphic;
        try {
          parse(graphic, mutated);
        } catch (const rtl::Exception&) {
          ++failed_;
          continue;
        }
        ++loaded_;
        try {
          graphic.Draw(target.Canvas(), {0, 0, 24, 24});
          graphic.Palette();
          rtl::TMemoryStream saved;
          graphic.WriteData(saved);
        } catch (const rtl::EIntOverflow&) {
          // Only a stored view far outside the image may take the coordinates beyond 32 bits.
          const framework::TRect& view = graphic.ViewRect();
          const int32_t width = graphic.BitmapInfo().Header.biWidth;
          const int32_t height = std::abs(graphic.BitmapInfo().Header.biHeight);
          if (view.Left >= -width && view.Right <= 2 * width && view.Top >= -height && view.Bottom <= 2 * height) {
            ++failedAfterLoad_;
          }
        } catch (const rtl::Exception&) {
          ++failedAfterLoad_;
        }
      }
    }
    imaging::TDIBitmap::SetDefaultDrawDirect(true);
    EXPECT_GT(loaded_, 0);
    EXPECT_GT(failed_, 0);
    EXPECT_EQ(failedAfterLoad_, 0) << "a graphic that loaded must draw and save";
    RecordProperty("loaded", loaded_);
    RecordProperty("refused", failed_);
  }
  int loaded_ = 0;
  int failed_ = 0;
  int failedAfterLoad_ = 0;
};

TEST_F(Fuzz, BmpStreams) {
  Run(ValidBmps(), 14 + 124 + 64, 150, [](TDIBitmap& graphic, const Bytes& bytes) {
    TGuardedStream stream(bytes);
    graphic.LoadFromStream(stream);
  });
}

TEST_F(Fuzz, StoredFormsOfBothKinds) {
  std::vector<Bytes> forms;
  for (const Bytes& bmp : ValidBmps()) {
    Bytes own = bmp;
    for (uint32_t v : {1u, 1u, 4u, 3u}) Put32(own, v);
    forms.push_back(own);
    Bytes framework;
    Put32(framework, uint32_t(bmp.size()));
    framework.insert(framework.end(), bmp.begin(), bmp.end());
    forms.push_back(framework);
  }
  Run(forms, 18 + 124 + 64, 100, [](TDIBitmap& graphic, const Bytes& bytes) {
    TGuardedStream stream(bytes);
    graphic.ReadData(stream);
  });
}

TEST_F(Fuzz, PackedDIBs) {
  std::vector<Bytes> packed;
  for (const Bytes& bmp : ValidBmps()) packed.emplace_back(bmp.begin() + 14, bmp.end());
  Run(packed, 124 + 64, 150, [](TDIBitmap& graphic, const Bytes& bytes) {
    TGuardedStream stream(bytes);
    graphic.ReadDIB(stream);
  });
}

TEST_F(Fuzz, ClipboardBlocks) {
  std::vector<Bytes> packed;
  for (const Bytes& bmp : ValidBmps()) packed.emplace_back(bmp.begin() + 14, bmp.end());
  Run(packed, 124 + 64, 60, [](TDIBitmap& graphic, const Bytes& bytes) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.empty() ? 1 : bytes.size());
    ASSERT_NE(block, nullptr);
    if (!bytes.empty()) {
      std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
      GlobalUnlock(block);
    }
    struct Free {
      HGLOBAL block;
      ~Free() { GlobalFree(block); }
    } free{block};
    graphic.LoadFromClipboardFormat(CF_DIB, block, nullptr);
  });
}

}  // namespace

namespace {

// RIFF palettes: a mutated one is a palette or not (0), never a crash or a read past its end.
TEST(PaletteFuzz, RiffPalettes) {
  std::vector<Bytes> valid;
  for (uint32_t count : {1u, 16u, 256u}) {
    Bytes riff = {'R', 'I', 'F', 'F'};
    Put32(riff, 12 + 4 + 4 * count);
    for (char c : std::string("PAL data")) riff.push_back(uint8_t(c));
    Put32(riff, 4 + 4 * count);
    riff.push_back(0x00);
    riff.push_back(0x03);
    riff.push_back(uint8_t(count));
    riff.push_back(uint8_t(count >> 8));
    for (uint32_t i = 0; i < count; ++i) {
      for (uint8_t b : {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7), uint8_t(0)}) riff.push_back(b);
    }
    valid.push_back(riff);
  }
  Random random(0xC0FFEEu);
  int palettes = 0, refused = 0;
  for (const Bytes& input : valid) {
    for (int i = 0; i < 1000; ++i) {
      Bytes mutated = Mutate(input, 24, random);
      TGuardedStream stream(mutated);
      framework::TPaletteHandle palette = imaging::ReadRiffPalette(stream);
      if (palette) {
        ++palettes;
        PALETTEENTRY entries[256];
        EXPECT_LE(GetPaletteEntries(palette.get(), 0, 256, entries), 256u);
      } else {
        ++refused;
      }
    }
  }
  EXPECT_GT(palettes, 0);
  EXPECT_GT(refused, 0);
}

}  // namespace
