// Tests of the generated test pictures against their definitions.
#include "imaging/test_patterns.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

struct Picture {
  std::int32_t width, height;
  std::vector<std::uint8_t> pixels;
  // Blue, green, red and the fourth byte of column x, row y counted from the top.
  const std::uint8_t* At(std::int32_t x, std::int32_t y) const {
    return &pixels[(std::size_t(height - 1 - y) * width + x) * 4];
  }
};

Picture Make(TestPattern pattern, std::int32_t width, std::int32_t height) {
  Picture picture{width, height, std::vector<std::uint8_t>(std::size_t(width) * height * 4, 0xAB)};
  FillTestPattern(pattern, picture.pixels.data(), width, height);
  return picture;
}

TEST(TestPatternsTest, RampsRiseFromZeroToTheirTopInEveryRow) {
  // Pattern, top level, and which of blue, green, red it drives (bits 1, 2, 4).
  const struct {
    TestPattern pattern;
    double top;
    int channels;
  } ramps[] = {{TestPattern::kGray, 255, 7}, {TestPattern::kRed, 255, 4},     {TestPattern::kGreen, 255, 2},
               {TestPattern::kBlue, 255, 1}, {TestPattern::kCyan, 255, 3},    {TestPattern::kMagenta, 255, 5},
               {TestPattern::kYellow, 255, 6}, {TestPattern::kDark, 38, 7}};
  const std::int32_t sizes[][2] = {{1, 1}, {2, 3}, {3, 2}, {256, 2}, {511, 1}, {1920, 2}};
  for (const auto& ramp : ramps) {
    for (const auto& size : sizes) {
      const Picture picture = Make(ramp.pattern, size[0], size[1]);
      for (std::int32_t y = 0; y < size[1]; ++y) {
        for (std::int32_t x = 0; x < size[0]; ++x) {
          const int level = size[0] == 1 ? 0 : static_cast<int>(std::floor(ramp.top * x / (size[0] - 1) + 0.5));
          for (int channel = 0; channel < 4; ++channel)
            ASSERT_EQ(picture.At(x, y)[channel], ramp.channels >> channel & 1 ? level : 0)
                << TestPatternName(ramp.pattern) << " " << size[0] << "x" << size[1] << " at " << x << "," << y;
        }
      }
    }
  }
}

struct Spot {
  std::int32_t x, y;  // y from the top
  int level;
};

void ExpectGreySpots(const Picture& picture, const std::vector<Spot>& spots) {
  for (const Spot& spot : spots)
    for (int channel = 0; channel < 4; ++channel)
      EXPECT_EQ(picture.At(spot.x, spot.y)[channel], channel < 3 ? spot.level : 0) << spot.x << "," << spot.y;
}

TEST(TestPatternsTest, SquaresSitInTheMiddleOfTheirCellsFromOneTopLeftToThirtyTwo) {
  // Cells of 100 x 100 with margins of 25.
  ExpectGreySpots(Make(TestPattern::kSquares, 800, 400),
                  {{0, 0, 0}, {24, 25, 0}, {25, 24, 0}, {25, 25, 1}, {74, 74, 1}, {75, 74, 0}, {74, 75, 0},
                   {125, 30, 2}, {774, 74, 8}, {50, 124, 0}, {50, 125, 9}, {725, 325, 32}, {799, 399, 0}});
  // Cells of unequal sizes: columns 0..3, 3..7 ... 26..30 and rows 0..2 ... 7..10.
  ExpectGreySpots(Make(TestPattern::kSquares, 30, 10),
                  {{0, 0, 1}, {2, 1, 1}, {3, 0, 0}, {4, 0, 2}, {28, 9, 32}, {29, 9, 0}, {26, 7, 0}});
}

TEST(TestPatternsTest, PairsAreOneLevelApartAcrossTheRange) {
  ExpectGreySpots(Make(TestPattern::kPairs, 160, 10),
                  {{0, 0, 0}, {0, 4, 0}, {0, 5, 1}, {9, 9, 1}, {10, 0, 17}, {10, 9, 18}, {80, 0, 135},
                   {80, 5, 136}, {159, 0, 254}, {159, 9, 255}});
  // A single row is the lower half of the pairs.
  ExpectGreySpots(Make(TestPattern::kPairs, 16, 1), {{0, 0, 1}, {15, 0, 255}});
}

}  // namespace
