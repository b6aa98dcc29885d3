// Tests of the generated test pictures against their definitions.
#include "imaging/test_patterns.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
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
  struct Ramp {
    TestPattern pattern;
    double top;
    bool blue, green, red;
  };
  const Ramp ramps[] = {
      {TestPattern::kGray, 255, true, true, true},     {TestPattern::kRed, 255, false, false, true},
      {TestPattern::kGreen, 255, false, true, false},  {TestPattern::kBlue, 255, true, false, false},
      {TestPattern::kCyan, 255, true, true, false},    {TestPattern::kMagenta, 255, true, false, true},
      {TestPattern::kYellow, 255, false, true, true},  {TestPattern::kDark, 38, true, true, true},
  };
  const std::int32_t sizes[][2] = {{1, 1}, {2, 3}, {3, 2}, {256, 2}, {511, 1}, {1920, 2}};
  for (const Ramp& ramp : ramps) {
    for (const auto& size : sizes) {
      const Picture picture = Make(ramp.pattern, size[0], size[1]);
      for (std::int32_t y = 0; y < size[1]; ++y) {
        for (std::int32_t x = 0; x < size[0]; ++x) {
          const double exact = size[0] == 1 ? 0 : ramp.top * x / (size[0] - 1);
          const int level = static_cast<int>(std::floor(exact + 0.5));
          const std::uint8_t* pixel = picture.At(x, y);
          const int expected[4] = {ramp.blue ? level : 0, ramp.green ? level : 0, ramp.red ? level : 0, 0};
          for (int channel = 0; channel < 4; ++channel)
            ASSERT_EQ(pixel[channel], expected[channel])
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
  for (const Spot& spot : spots) {
    const std::uint8_t* pixel = picture.At(spot.x, spot.y);
    EXPECT_EQ(pixel[0], spot.level) << spot.x << "," << spot.y;
    EXPECT_EQ(pixel[1], spot.level) << spot.x << "," << spot.y;
    EXPECT_EQ(pixel[2], spot.level) << spot.x << "," << spot.y;
    EXPECT_EQ(pixel[3], 0) << spot.x << "," << spot.y;
  }
}

TEST(TestPatternsTest, SquaresSitInTheMiddleOfTheirCellsFromOneTopLeftToThirtyTwo) {
  // Cells of 100 x 100 with margins of 25.
  ExpectGreySpots(Make(TestPattern::kSquares, 800, 400),
                  {{0, 0, 0}, {24, 25, 0}, {25, 24, 0}, {25, 25, 1}, {74, 74, 1}, {75, 74, 0}, {74, 75, 0},
                   {125, 30, 2}, {774, 74, 8}, {50, 124, 0}, {50, 125, 9}, {725, 325, 32}, {799, 399, 0}});
  // Cells of unequal sizes: columns 0..3, 3..7 ... 26..30 and rows 0..2 ... 7..10.
  ExpectGreySpots(Make(TestPattern::kSquares, 30, 10),
                  {{0, 0, 1}, {2, 1, 1}, {3, 0, 0}, {4, 0, 2}, {28, 9, 32}, {29, 9, 0}, {26, 7, 0}});
  // Every pixel belongs to a square or is black.
  const Picture large = Make(TestPattern::kSquares, 333, 97);
  for (std::size_t i = 0; i < large.pixels.size(); i += 4) {
    ASSERT_LE(large.pixels[i], 32);
    ASSERT_EQ(large.pixels[i + 3], 0);
  }
}

TEST(TestPatternsTest, PairsAreOneLevelApartAcrossTheRange) {
  ExpectGreySpots(Make(TestPattern::kPairs, 160, 10),
                  {{0, 0, 0}, {0, 4, 0}, {0, 5, 1}, {9, 9, 1}, {10, 0, 17}, {10, 9, 18}, {80, 0, 135},
                   {80, 5, 136}, {159, 0, 254}, {159, 9, 255}});
  // A single row is the lower half of the pairs.
  ExpectGreySpots(Make(TestPattern::kPairs, 16, 1), {{0, 0, 1}, {15, 0, 255}});
}

TEST(TestPatternsTest, NamesAreFoundOnlyWhenExact) {
  for (int i = 0; i < kTestPatternCount; ++i) {
    const TestPattern pattern = static_cast<TestPattern>(i);
    const char* name = TestPatternName(pattern);
    std::wstring wide(name, name + std::strlen(name));
    TestPattern found = TestPattern::kPairs;
    EXPECT_TRUE(FindTestPattern(wide.c_str(), wide.size(), &found)) << name;
    EXPECT_EQ(found, pattern);
    EXPECT_FALSE(FindTestPattern(wide.c_str(), wide.size() - 1, &found)) << name;
    EXPECT_FALSE(FindTestPattern((wide + L"s").c_str(), wide.size() + 1, &found)) << name;
  }
  TestPattern found;
  EXPECT_FALSE(FindTestPattern(L"Gray", 4, &found));
  EXPECT_FALSE(FindTestPattern(L"", 0, &found));
}

}  // namespace
