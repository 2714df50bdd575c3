// Inputs of the safety bitmap's tests: BMP bytes (from DIBImages.h) wrapped in the payload
// container, header fields patched in place, and streams that keep their data out of memory.
#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "DIBImages.h"
#include "imaging/USafetyBitmap.h"
#include "support/Painting.h"
#include "rtl/Stream.h"
#include "support/Pixels.h"

namespace testing_support {

// The container: "ZLIBCompress", 0x1A, the size (u32 little-endian), one zlib stream.
inline Bytes Wrap(const Bytes& data, uint32_t statedSize) {
  Bytes out = {'Z', 'L', 'I', 'B', 'C', 'o', 'm', 'p', 'r', 'e', 's', 's', 0x1A};
  testing_support::Put32(out, statedSize);
  uLongf packedSize = compressBound(uLong(data.size()));
  Bytes packed(packedSize);
  EXPECT_EQ(compress2(packed.data(), &packedSize, data.data(), uLong(data.size()), 9), Z_OK);
  out.insert(out.end(), packed.begin(), packed.begin() + std::ptrdiff_t(packedSize));
  return out;
}
inline Bytes Wrap(const Bytes& data) { return Wrap(data, uint32_t(data.size())); }

constexpr std::size_t kOffBitsAt = 10;
constexpr std::size_t kSizeImageAt = 34;
constexpr std::size_t kClrUsedAt = 46;

// Colour of pixel (x, y) of the test pictures: no two neighbours alike, no pure red or blue.
inline uint32_t Pattern(int x, int y) { return testing_support::MakeRgb(10 + 7 * x % 200, 20 + 11 * y % 200, 90 + (x ^ y) % 100); }

inline testing_support::Image Rgb24(int32_t width, int32_t height, uint32_t (*colour)(int, int) = Pattern) {
  return testing_support::MakeImage(width, height, 24, [colour](int32_t x, int32_t y) { return colour(x, y); });
}

// The expected pixels of an image, top row first, as GetDIBits reads them.
inline std::vector<uint32_t> ColoursOf(const testing_support::Image& image) {
  return testing_support::ExpectedPixels(image.width, image.height,
                                         [&image](int x, int y) { return image.ColorAt(x, y); });
}

// The background the drawing tests fill their targets with.
constexpr Rgb kFill = 0x123456;

// What a transparent picture shows drawn scale times its size from its column left on: its pixels,
// and the fill where they have the transparent colour.
inline std::function<Rgb(int32_t, int32_t)> Through(const Image& image, Rgb transparent, int scale = 1,
                                                   int32_t left = 0) {
  return [&image, transparent, scale, left](int32_t dx, int32_t dy) {
    const Rgb c = image.ColorAt(left + dx / scale, dy / scale);
    return c == transparent ? kFill : c;
  };
}

// Makes the safety bitmap take the NT family's path (nt) or the other one while it lives.
class TSystemFamily {
 public:
  explicit TSystemFamily(bool nt) : saved_(imaging::TSafetyBitmap::NTFamily()) {
    imaging::TSafetyBitmap::SetNTFamily(nt);
  }
  ~TSystemFamily() { imaging::TSafetyBitmap::SetNTFamily(saved_); }
  TSystemFamily(const TSystemFamily&) = delete;
  TSystemFamily& operator=(const TSystemFamily&) = delete;

 private:
  bool saved_;
};

// The names of the two runs of a test over both families (the parameter: NT).
inline std::string FamilyName(const ::testing::TestParamInfo<bool>& family) { return family.param ? "NT" : "Other"; }

// A stream over bytes that is not of the memory-stream family.
class PlainStream : public rtl::TStream {
 public:
  explicit PlainStream(Bytes bytes) : bytes_(std::move(bytes)) {}
  int32_t Read(void* buffer, int32_t count) override {
    if (count <= 0 || position_ >= int32_t(bytes_.size())) return 0;
    const int32_t n = std::min<int32_t>(count, int32_t(bytes_.size()) - position_);
    std::memcpy(buffer, bytes_.data() + position_, std::size_t(n));
    position_ += n;
    return n;
  }
  int32_t Write(const void*, int32_t) override { return 0; }
  int32_t Seek(int32_t offset, rtl::TSeekOrigin origin) override {
    switch (origin) {
      case rtl::TSeekOrigin::soBeginning: position_ = offset; break;
      case rtl::TSeekOrigin::soCurrent: position_ += offset; break;
      case rtl::TSeekOrigin::soEnd: position_ = int32_t(bytes_.size()) + offset; break;
    }
    return position_;
  }

 private:
  Bytes bytes_;
  int32_t position_ = 0;
};

}  // namespace testing_support
