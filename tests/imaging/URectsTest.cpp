#include "imaging/URects.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "rtl/Exception.h"

namespace {

constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

// Shaped like the framework's rectangle.
struct FieldRect {
  int32_t Left;
  int32_t Top;
  int32_t Right;
  int32_t Bottom;
};

TEST(RectSize, IsTheDifferenceOfTheEdgesNegativeWhenInvertedAndOverflowsBeyond32Bits) {
  EXPECT_EQ(imaging::RectWidth(FieldRect{100, 0, 150, 40}), 50);
  EXPECT_EQ(imaging::RectHeight(FieldRect{100, 0, 150, 40}), 40);
  EXPECT_EQ(imaging::RectWidth(RECT{100, 0, 150, 40}), 50);
  EXPECT_EQ(imaging::RectHeight(RECT{100, 0, 150, 40}), 40);
  EXPECT_EQ(imaging::RectWidth(FieldRect{10, 0, 4, 0}), -6);
  EXPECT_EQ(imaging::RectHeight(FieldRect{0, 10, 0, 4}), -6);
  EXPECT_EQ(imaging::RectWidth(RECT{10, 0, 4, 0}), -6);
  // The largest differences still fit; one beyond raises the integer overflow.
  EXPECT_EQ(imaging::RectWidth(FieldRect{0, 0, kMax, 0}), kMax);
  EXPECT_EQ(imaging::RectWidth(FieldRect{kMin, 0, -1, 0}), kMax);
  EXPECT_EQ(imaging::RectWidth(FieldRect{0, 0, kMin, 0}), kMin);
  EXPECT_EQ(imaging::RectHeight(FieldRect{0, -1, 0, kMax - 1}), kMax);
  EXPECT_THROW(imaging::RectWidth(FieldRect{-1, 0, kMax, 0}), rtl::EIntOverflow);
  EXPECT_THROW(imaging::RectWidth(FieldRect{kMin, 0, 0, 0}), rtl::EIntOverflow);
  EXPECT_THROW(imaging::RectWidth(FieldRect{1, 0, kMin, 0}), rtl::EIntOverflow);
  EXPECT_THROW(imaging::RectHeight(FieldRect{0, -1, 0, kMax}), rtl::EIntOverflow);
  EXPECT_THROW(imaging::RectWidth(RECT{kMin, 0, kMax, 0}), rtl::EIntOverflow);
  EXPECT_THROW(imaging::RectHeight(RECT{0, kMax, 0, kMin}), rtl::EIntOverflow);
}

TEST(RectIsEmpty, OnlyEqualEdgesMakeItEmpty) {
  EXPECT_TRUE(imaging::RectIsEmpty(FieldRect{5, 5, 5, 9}));
  EXPECT_TRUE(imaging::RectIsEmpty(FieldRect{5, 5, 8, 5}));
  EXPECT_FALSE(imaging::RectIsEmpty(FieldRect{5, 5, 3, 9}));
  EXPECT_FALSE(imaging::RectIsEmpty(FieldRect{5, 5, 8, 3}));
  EXPECT_FALSE(imaging::RectIsEmpty(FieldRect{5, 5, 6, 6}));
  // Edges far apart are compared, never subtracted.
  EXPECT_FALSE(imaging::RectIsEmpty(FieldRect{kMin, kMin, kMax, kMax}));
  EXPECT_TRUE(imaging::RectIsEmpty(RECT{5, 5, 5, 9}));
  EXPECT_FALSE(imaging::RectIsEmpty(RECT{5, 5, 3, 9}));
}

}  // namespace
