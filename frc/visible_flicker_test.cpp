// The visible flicker against a plain computation over whole frames, and the
// classes of flicker at either side of every limit.
#include "frc/visible_flicker.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "frc/frame_mapping.h"
#include "frc/level_tables.h"
#include "frc/light_statistics.h"

namespace {

std::uint64_t RefLightCode(std::uint8_t code) {
  const double c = code / 255.0;
  const double light = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  return static_cast<std::uint64_t>(std::floor(light * 65535 + 0.5));
}

using RefFlicker = std::pair<double, std::uint32_t>;  // modulation, period

// Every frame made whole, every disc found by testing each pixel of the picture.
std::vector<RefFlicker> RefMap(const std::vector<std::uint8_t>& source, int width, int height, std::uint32_t n,
                               double ppd) {
  std::vector<std::vector<std::uint8_t>> frames(n, std::vector<std::uint8_t>(source.size()));
  for (std::uint32_t k = 0; k < n; ++k) MapFramePixelsByTable(source.data(), frames[k].data(), width, height, k);
  const double reach2 = (0.05 * ppd) * (0.05 * ppd);
  std::vector<RefFlicker> result;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      std::vector<std::uint64_t> sums(n * 3, 0);
      for (std::uint32_t k = 0; k < n; ++k)
        for (int j = 0; j < height; ++j)
          for (int i = 0; i < width; ++i)
            if (double(i - x) * (i - x) + double(j - y) * (j - y) <= reach2)
              for (int c = 0; c < 3; ++c) sums[k * 3 + c] += RefLightCode(frames[k][(j * width + i) * 4 + c]);
      int best = 0;
      double modulation[3];
      std::uint64_t total[3] = {0, 0, 0};
      for (int c = 0; c < 3; ++c) {
        std::uint64_t lo = sums[c], hi = sums[c];
        for (std::uint32_t k = 0; k < n; ++k) {
          total[c] += sums[k * 3 + c];
          lo = std::min(lo, sums[k * 3 + c]);
          hi = std::max(hi, sums[k * 3 + c]);
        }
        modulation[c] = hi + lo ? double(hi - lo) / double(hi + lo) : 0;
        if (total[c] > total[best] || (total[c] == total[best] && modulation[c] > modulation[best])) best = c;
      }
      std::uint32_t period = 1;
      for (;; ++period) {
        bool repeats = n % period == 0;
        for (std::uint32_t k = 0; repeats && k < n; ++k)
          repeats = sums[k * 3 + best] == sums[((k + period) % n) * 3 + best];
        if (repeats) break;
      }
      result.push_back({modulation[best], period});
    }
  return result;
}

TEST(VisibleFlickerTest, MapAndPixelEqualWholeFrames) {
  // Intervals, corrections and discs from the pixel alone to several rows;
  // small bands make rows reach across band edges.
  const struct {
    std::uint32_t interval, correction;
    double ppd;
    int width, height, bandRows;
  } cases[] = {
      {4, 3, 39.6, 13, 9, 0},  {4, 3, 39.6, 13, 9, 2},  {6, 2, 10, 7, 5, 1},   {1, 0, 39.6, 5, 4, 0},
      {16, 15, 75, 11, 10, 3}, {5, 4, 120, 9, 12, 4},   {3, 1, 19.9, 8, 3, 0}, {8, 7, 60, 1, 6, 1},
  };
  std::mt19937 random(7);
  for (const auto& c : cases) {
    ASSERT_TRUE(BuildLevelTables(c.interval, c.correction));
    std::vector<std::uint8_t> source(std::size_t(c.width) * c.height * 4);
    // Flat areas of a few levels, so that discs keep their sums, and noise.
    for (std::size_t i = 0; i < source.size(); ++i)
      source[i] = std::uint8_t(i % 7 < 4 ? 40 + 64 * ((i / 28) % 3) + (i % 4) : random() & 0xFF);
    const std::vector<RefFlicker> expected = RefMap(source, c.width, c.height, c.interval, c.ppd);
    std::vector<std::uint8_t> grey(std::size_t(c.width) * c.height, 0xEE);
    VisibleFlickerTotals totals;
    ASSERT_TRUE(VisibleFlickerMap(source.data(), c.width, c.height, c.ppd, grey.data(), c.width, &totals, c.bandRows));
    RefFlicker largest = {-1, 0};
    for (int y = c.height - 1; y >= 0; --y)
      for (int x = 0; x < c.width; ++x) {
        const RefFlicker& want = expected[std::size_t(y) * c.width + x];
        SCOPED_TRACE(testing::Message() << "N " << c.interval << " ppd " << c.ppd << " x " << x << " y " << y);
        EXPECT_EQ(ModulationGrey(want.first), grey[std::size_t(y) * c.width + x]);
        VisibleFlicker pixel;
        MeasureVisibleFlicker(source.data(), c.width, c.height, x, y, c.ppd, &pixel);
        EXPECT_EQ(want.first, pixel.modulation);
        EXPECT_EQ(want.second, pixel.period);
        if (want.first > largest.first) largest = want;
      }
    EXPECT_EQ(largest.first, totals.largestModulation);
    EXPECT_EQ(largest.second, totals.period);
  }
  ReleaseLevelTables();
}

TEST(VisibleFlickerTest, ClassesAtEitherSideOfEachLimit) {
  const FlickerClass none = FlickerClass::kNoEffect, low = FlickerClass::kLowRisk, above = FlickerClass::kAbove;
  const struct {
    double percent, hertz;
    FlickerClass expected;
  } cases[] = {
      {0, 10, none},      {50, 0, none},       {0.59, 60, none},    {0.61, 60, low},     {1.49, 60, low},
      {1.51, 60, above},  {0.89, 89.9, none},  {0.9, 89.9, low},    {2.24, 89.9, low},   {2.25, 89.9, above},
      {2.99, 90, none},   {3.0, 90, low},      {7.19, 90, low},     {7.21, 90, above},   {33.2, 1000, none},
      {33.4, 1000, low},  {79.9, 1000, low},   {80.1, 1000, above}, {99.9, 1249, low},   {100, 1251, low},
      {66.5, 2000, none}, {66.7, 2000, low},   {99.8, 3000, none},  {100, 3000, low},    {100, 3001, none},
  };
  for (const auto& c : cases)
    EXPECT_EQ(static_cast<int>(c.expected), static_cast<int>(ClassifyFlicker(c.percent, c.hertz)))
        << c.percent << " % at " << c.hertz << " Hz";
}

}  // namespace
