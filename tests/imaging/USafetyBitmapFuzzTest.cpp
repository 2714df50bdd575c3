// The safety bitmap's loaders over mutated and shortened BMP streams, containers and stored forms:
// each input loads or raises one of the library's exceptions, none is read past its end, and
// whatever loaded draws, with and without its mask, on both platform paths. The input ends right at
// a page that may not be read, and so does every memory stream that the loaders fill on the way
// (the inflated data of a container, a copy of the rest of a stream).
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "SafetyImages.h"
#include "imaging/USafetyBitmap.h"
#include "rtl/Exception.h"
#include "support/GuardedStream.h"
#include "support/Mutations.h"

namespace {

using imaging::TSafetyBitmap;
using namespace testing_support;

std::vector<Bytes> ValidBmps() {
  auto indexed = [](int bits, int32_t w, int32_t h, int colours) {
    return MakeImage(w, h, bits, [=](int32_t x, int32_t y) { return uint32_t((x * 3 + y + x / 4) % colours); },
                     testing_support::TestColors(colours));
  };
  Bytes unsized = MakeBmp(Rgb24(9, 5));
  Patch32(unsized, kSizeImageAt, 0);
  Bytes wrongSize = MakeBmp(Rgb24(7, 4));
  Patch32(wrongSize, kSizeImageAt, 17);
  Bytes rleRest = MakeBmp(indexed(8, 23, 7, 9), {.compression = BI_RLE8});
  Patch32(rleRest, kSizeImageAt, 0);
  return {MakeBmp(Rgb24(11, 6)),
          unsized,
          wrongSize,
          MakeBmp(indexed(8, 9, 5, 11), {.clrUsed = 11}),
          MakeBmp(indexed(8, 37, 9, 11), {.compression = BI_RLE8}),
          rleRest,
          MakeBmp(indexed(4, 21, 6, 7), {.compression = BI_RLE4}),
          MakeBmp(indexed(4, 21, 6, 5), {.compression = BI_RLE4, .clrUsed = 5}),
          MakeBmp(indexed(4, 9, 5, 16), {.headerSize = 12}),
          MakeBmp(indexed(1, 19, 3, 2)),
          MakeBmp(MakeImage(5, 6, 32, [](int32_t x, int32_t y) { return Pattern(x, y); })),
          MakeBmp(Rgb24(5, 6), {.topDown = true})};
}

// Mutations of the valid inputs, taken in turn.
std::function<Bytes(Random&)> Mutations(std::vector<Bytes> valid, std::size_t headerEnd) {
  return [valid = std::move(valid), headerEnd, next = std::size_t{0}](Random& random) mutable {
    const Bytes& input = valid[next++ % valid.size()];
    return Mutate(input, headerEnd, random);
  };
}

constexpr int64_t kMaxDrawnPixels = 1 << 20;

class SafetyFuzz : public ::testing::Test {
 protected:
  void TearDown() override { TSafetyBitmap::SetNTFamily(savedFamily_); }

  // Loads count inputs; a picture that loaded is drawn, transparent and not, copied and saved.
  void Run(int count, uint32_t seed, const std::function<Bytes(Random&)>& nextInput,
           const std::function<void(TSafetyBitmap&, const Bytes&)>& load) {
    Random random(seed);
    testing_support::Target target(20, 20);
    for (int i = 0; i < count; ++i) {
      const Bytes input = nextInput(random);
      TSafetyBitmap::SetNTFamily(i % 2 == 0);
      TSafetyBitmap bitmap;
      try {
        // The loaders' own memory streams live and die inside the load.
        TGuardedMemoryStreams guarded;
        load(bitmap, input);
      } catch (const rtl::Exception&) {
        ++refused_;
        continue;
      }
      ++loaded_;
      // A few bytes may claim a picture of any size; those that loaded count, drawing them would
      // only measure how long the system takes over millions of pixels.
      if (int64_t{bitmap.Width()} * bitmap.Height() > kMaxDrawnPixels) continue;
      try {
        bitmap.Draw(target.Canvas(), {0, 0, 20, 20});
        bitmap.SetTransparent(true);
        bitmap.Draw(target.Canvas(), {2, 3, 17, 19});
        TSafetyBitmap copy;
        copy.Assign(&bitmap);
        rtl::TMemoryStream saved;
        copy.WriteData(saved);
      } catch (const rtl::Exception& e) {
        ++failedAfterLoad_;
        ADD_FAILURE() << "a loaded picture failed: " << e.Message;
      }
    }
    EXPECT_GT(loaded_, 0);
    EXPECT_GT(refused_, 0);
    EXPECT_EQ(failedAfterLoad_, 0);
    RecordProperty("loaded", loaded_);
    RecordProperty("refused", refused_);
  }

  int loaded_ = 0;
  int refused_ = 0;
  int failedAfterLoad_ = 0;

 private:
  bool savedFamily_ = TSafetyBitmap::NTFamily();
};

constexpr std::size_t kBmpHeaders = 14 + 40 + 64;

void LoadGuarded(TSafetyBitmap& bitmap, const Bytes& bytes) {
  TGuardedStream stream(bytes);
  bitmap.LoadFromStream(stream);
}

TEST(SafetyFuzzGuard, MemoryStreamsFilledWhileLoadingEndAtAPageThatMayNotBeRead) {
  TGuardedMemoryStreams guarded;
  rtl::TMemoryStream inflated;
  inflated.SetSize(100);
  const auto* bytes = static_cast<const uint8_t*>(inflated.Memory());
  EXPECT_FALSE(testing_support::Unreadable(bytes + 99));
  EXPECT_TRUE(testing_support::Unreadable(bytes + 100));
  const uint8_t first[3] = {1, 2, 3};
  inflated.SetPosition(0);
  inflated.WriteBuffer(first, 3);
  inflated.SetSize(4097);
  bytes = static_cast<const uint8_t*>(inflated.Memory());
  EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 3), std::vector<uint8_t>(first, first + 3));
  EXPECT_TRUE(testing_support::Unreadable(bytes + 4097));
}

TEST_F(SafetyFuzz, BmpStreams) { Run(2400, 0x5AFE0001u, Mutations(ValidBmps(), kBmpHeaders), LoadGuarded); }

TEST_F(SafetyFuzz, Containers) {
  std::vector<Bytes> wrapped;
  for (const Bytes& bmp : ValidBmps()) wrapped.push_back(Wrap(bmp));
  Run(720, 0x5AFE0002u, Mutations(wrapped, 17 + 8), LoadGuarded);
}

TEST_F(SafetyFuzz, ContainersOfMutatedBmps) {
  // Mutated before the wrapping, so that the inflated data reaches the BMP parsers.
  auto mutations = Mutations(ValidBmps(), kBmpHeaders);
  Run(1200, 0x5AFE0003u, [&](Random& random) { return Wrap(mutations(random)); }, LoadGuarded);
}

TEST_F(SafetyFuzz, StoredForms) {
  std::vector<Bytes> forms;
  for (const Bytes& data : ValidBmps()) {
    for (const Bytes& payload : {data, Wrap(data)}) forms.push_back(LengthPrefixed(payload));
  }
  Run(960, 0x5AFE0005u, Mutations(forms, 4 + kBmpHeaders), [](TSafetyBitmap& bitmap, const Bytes& bytes) {
    TGuardedStream stream(bytes);
    bitmap.ReadData(stream);
  });
}

}  // namespace
