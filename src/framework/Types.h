// Points, sizes and rectangles of the framework (signed 32-bit; Right and Bottom exclusive).
#pragma once

#include <windows.h>

#include <cstdint>
#include <initializer_list>

#include "rtl/Checked.h"

namespace framework {

struct TPoint {
  int32_t X = 0;
  int32_t Y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TSize {
  int32_t Width = 0;
  int32_t Height = 0;
  friend bool operator==(const TSize&, const TSize&) = default;
};

struct TRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;

  static TRect FromRECT(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }
  RECT ToRECT() const { return {Left, Top, Right, Bottom}; }
  int32_t Width() const { return Right - Left; }
  int32_t Height() const { return Bottom - Top; }
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  bool Contains(TPoint p) const { return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom; }
  friend bool operator==(const TRect&, const TRect&) = default;
};

inline TRect Bounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  return {left, top, rtl::CheckedAdd(left, width), rtl::CheckedAdd(top, height)};
}

}  // namespace framework

namespace framework {

// A set of up to 32 enumeration values, stored as one bit per ordinal.
template <typename E>
class TSet {
 public:
  constexpr TSet() = default;
  constexpr TSet(std::initializer_list<E> values) {
    for (E value : values) Include(value);
  }
  static constexpr TSet FromBits(uint32_t bits) {
    TSet set;
    set.bits_ = bits;
    return set;
  }
  constexpr uint32_t Bits() const { return bits_; }
  constexpr bool Contains(E value) const { return (bits_ & Bit(value)) != 0; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr TSet& Include(E value) {
    bits_ |= Bit(value);
    return *this;
  }
  constexpr TSet& Exclude(E value) {
    bits_ &= ~Bit(value);
    return *this;
  }
  friend constexpr bool operator==(TSet, TSet) = default;

 private:
  static constexpr uint32_t Bit(E value) { return uint32_t{1} << static_cast<unsigned>(value); }
  uint32_t bits_ = 0;
};

}  // namespace framework
