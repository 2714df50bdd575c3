// Checked signed 32-bit arithmetic: overflow raises EIntOverflow, an index out of range ERangeError.
#pragma once

#include <cstdint>

#include "rtl/Exception.h"

namespace rtl {

inline int32_t CheckedAdd(int32_t a, int32_t b) {
  int32_t r;
  if (__builtin_add_overflow(a, b, &r)) throw EIntOverflow();
  return r;
}

inline int32_t CheckedSub(int32_t a, int32_t b) {
  int32_t r;
  if (__builtin_sub_overflow(a, b, &r)) throw EIntOverflow();
  return r;
}

inline int32_t CheckedMul(int32_t a, int32_t b) {
  int32_t r;
  if (__builtin_mul_overflow(a, b, &r)) throw EIntOverflow();
  return r;
}

// Narrows any integer to signed 32 bits, raising EIntOverflow when it does not fit.
template <typename T>
int32_t CheckedInt32(T value) {
  int32_t r;
  if (__builtin_add_overflow(value, 0, &r)) throw EIntOverflow();
  return r;
}

// Raises ERangeError unless low <= index <= high.
inline void RangeCheck(int64_t index, int64_t low, int64_t high) {
  if (index < low || index > high) throw ERangeError();
}

}  // namespace rtl
