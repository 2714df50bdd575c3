// Inputs for fuzzing parsers: valid bytes changed at random, with a generator that repeats the same
// sequence for the same seed.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace testing_support {

// Xorshift: small, fast and the same on every platform.
class Random {
 public:
  explicit Random(uint32_t seed) : state_(seed ? seed : 1) {}
  uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }
  // A number below n; 0 when n is 0.
  uint32_t Below(uint32_t n) { return n == 0 ? 0 : Next() % n; }

 private:
  uint32_t state_;
};

// One to three changes: a byte set at random (mostly in the first headerEnd bytes), a 32-bit field
// there set to a value at some edge, the data cut short, or bytes added.
inline std::vector<uint8_t> Mutate(const std::vector<uint8_t>& valid, std::size_t headerEnd, Random& random) {
  // Sizes of headers and tables, offsets and the limits of 8, 16, 24 and 32 bits.
  static const uint32_t edges[] = {0,          1,          2,          3,          4,      8,      12,
                                   16,         40,         54,         124,        255,    256,    257,
                                   300,        0x7FFF,     0x8000,     0xFFFF,     0x10000, 0x01000000,
                                   0x7FFFFFFF, 0x80000000, 0xFFFFFFFE, 0xFFFFFFFF};
  std::vector<uint8_t> bytes = valid;
  const uint32_t changes = 1 + random.Below(3);
  for (uint32_t c = 0; c < changes && !bytes.empty(); ++c) {
    const std::size_t limit = std::min(headerEnd, bytes.size());
    switch (random.Below(5)) {
      case 0:
      case 1: {
        const std::size_t range = random.Below(4) != 0 ? limit : bytes.size();
        bytes[random.Below(uint32_t(range))] = uint8_t(random.Next());
        break;
      }
      case 2: {
        if (limit < 4) break;
        const std::size_t at = random.Below(uint32_t(limit - 3)) & ~std::size_t{1};
        const uint32_t value = edges[random.Below(sizeof edges / sizeof edges[0])];
        for (int i = 0; i < 4; ++i) bytes[at + std::size_t(i)] = uint8_t(value >> (8 * i));
        break;
      }
      case 3:
        bytes.resize(random.Below(uint32_t(bytes.size())));
        break;
      default:
        for (uint32_t i = 1 + random.Below(16); i > 0; --i) bytes.push_back(uint8_t(random.Next()));
        break;
    }
  }
  return bytes;
}

}  // namespace testing_support
