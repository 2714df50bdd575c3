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
#include "PaletteEntries.h"
#include "imaging/UDIBitmap.h"
#include "imaging/UPalette.h"
#include "rtl/Exception.h"
#include "support/GuardedStream.h"
#include "support/Mutations.h"

namespace {

using namespace testing_support;
using imaging::TDIBitmap;

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

// Parses the bytes through a stream that ends right at a page that may not be read.
std::function<void(TDIBitmap&, const Bytes&)> Guarded(void (TDIBitmap::*parse)(rtl::TStream&)) {
  return [parse](TDIBitmap& graphic, const Bytes& bytes) {
    TGuardedStream stream(bytes);
    (graphic.*parse)(stream);
  };
}

// The valid BMPs without their file header.
std::vector<Bytes> PackedDIBs() {
  std::vector<Bytes> packed;
  for (const Bytes& bmp : ValidBmps()) packed.emplace_back(bmp.begin() + 14, bmp.end());
  return packed;
}

TEST_F(Fuzz, BmpStreams) { Run(ValidBmps(), 14 + 124 + 64, 150, Guarded(&TDIBitmap::LoadFromStream)); }

TEST_F(Fuzz, StoredFormsOfBothKinds) {
  std::vector<Bytes> forms;
  for (const Bytes& bmp : ValidBmps()) {
    Bytes own = bmp;
    for (uint32_t v : {1u, 1u, 4u, 3u}) Put32(own, v);
    forms.push_back(own);
    forms.push_back(LengthPrefixed(bmp));
  }
  Run(forms, 18 + 124 + 64, 100, Guarded(&TDIBitmap::ReadData));
}

TEST_F(Fuzz, PackedDIBs) { Run(PackedDIBs(), 124 + 64, 150, Guarded(&TDIBitmap::ReadDIB)); }

TEST_F(Fuzz, ClipboardBlocks) {
  Run(PackedDIBs(), 124 + 64, 60, [](TDIBitmap& graphic, const Bytes& bytes) {
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

// RIFF palettes: a mutated one is a palette or not (0), never a crash or a read past its end.
TEST(PaletteFuzz, RiffPalettes) {
  std::vector<Bytes> valid;
  for (int count : {1, 16, 256}) {
    std::vector<PALETTEENTRY> entries;
    for (int i = 0; i < count; ++i) entries.push_back(Entry(i, 255 - i, i * 7));
    valid.push_back(RiffPalette(entries));
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
