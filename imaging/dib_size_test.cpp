// Checked DIB size arithmetic.
#include "imaging/dib_size.h"

#include <gtest/gtest.h>

namespace {

TEST(DibSizeTest, StridesArePaddedToFourBytes) {
  struct Case { int bits, width; std::uint32_t stride; } cases[] = {
      {32, 3, 12}, {24, 3, 12}, {24, 1, 4}, {24, 2, 8}, {8, 5, 8}, {1, 1, 4}, {1, 33, 8}, {16, 3, 8}, {4, 9, 8}, {32, 0, 0},
  };
  for (const Case& c : cases) {
    std::uint32_t stride = 99;
    ASSERT_EQ(1, DibStride(c.bits, c.width, &stride));
    EXPECT_EQ(c.stride, stride) << c.bits << " bits, width " << c.width;
  }
}

TEST(DibSizeTest, ImageSizes) {
  std::uint32_t bytes = 0;
  ASSERT_EQ(1, DibImageSize(32, 3, 2, &bytes));
  EXPECT_EQ(24u, bytes);
  ASSERT_EQ(1, DibImageSize(32, 1920, 1080, &bytes));
  EXPECT_EQ(1920u * 1080u * 4u, bytes);
  ASSERT_EQ(1, DibImageSize(24, 3, -5, &bytes));  // top-down rows: the magnitude counts
  EXPECT_EQ(60u, bytes);
}

TEST(DibSizeTest, SizesBeyondThirtyTwoBitsAreRefused) {
  std::uint32_t bytes = 7;
  // 32768 x 16384 x 4 = 2^31: one past the signed range, where 32-bit math wraps negative.
  EXPECT_EQ(0, DibImageSize(32, 32768, 16384, &bytes));
  EXPECT_EQ(7u, bytes);
  EXPECT_EQ(1, DibImageSize(32, 32768, 16383, &bytes));
  EXPECT_EQ(0, DibImageSize(32, 65536, 65536, &bytes));  // wraps to exactly 0 in 32 bits
  EXPECT_EQ(0, DibImageSize(32, 0x7FFFFFFF, 1, &bytes));
  EXPECT_EQ(0, DibImageSize(32, -1, 1, &bytes));
  EXPECT_EQ(0, DibImageSize(-32, 1, 1, &bytes));
  std::uint32_t stride = 0;
  EXPECT_EQ(0, DibStride(32, 0x20000000, &stride));
}

}  // namespace
