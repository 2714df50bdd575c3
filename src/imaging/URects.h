// Rectangle helpers of the image library. Widths and heights are signed 32-bit and checked: a
// difference that does not fit raises EIntOverflow; a negative one is returned as it is.
#pragma once

#include <windows.h>

#include <concepts>
#include <cstdint>

#include "rtl/Checked.h"

namespace imaging {

// A rectangle of the framework's kind: signed 32-bit Left, Top, Right, Bottom, Right and Bottom
// exclusive. Win32's RECT is served by the overloads below.
template <typename R>
concept RectWithFields = requires(const R& r) {
  { r.Left } -> std::convertible_to<int32_t>;
  { r.Top } -> std::convertible_to<int32_t>;
  { r.Right } -> std::convertible_to<int32_t>;
  { r.Bottom } -> std::convertible_to<int32_t>;
};

template <RectWithFields R>
int32_t RectWidth(const R& rect) {
  return rtl::CheckedSub(rect.Right, rect.Left);
}

template <RectWithFields R>
int32_t RectHeight(const R& rect) {
  return rtl::CheckedSub(rect.Bottom, rect.Top);
}

// Only equal edges make a rectangle empty: an inverted one is not.
template <RectWithFields R>
bool RectIsEmpty(const R& rect) {
  return rect.Right == rect.Left || rect.Bottom == rect.Top;
}

inline int32_t RectWidth(const RECT& rect) { return rtl::CheckedSub(rect.right, rect.left); }
inline int32_t RectHeight(const RECT& rect) { return rtl::CheckedSub(rect.bottom, rect.top); }
inline bool RectIsEmpty(const RECT& rect) { return rect.right == rect.left || rect.bottom == rect.top; }

}  // namespace imaging
