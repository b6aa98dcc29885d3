// The light statistics against a plain double-precision sRGB reference: every
// pair of codes with every interval, the threshold search at every edge, and
// whole rows of engine-like and arbitrary frames.
#include "frc/light_statistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

double RefLight(double code) {
  const double c = code / 255;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double RefCode(double light) {
  return 255 * (light <= 0.0031308 ? 12.92 * light : 1.055 * std::pow(light, 1 / 2.4) - 0.055);
}

// True when some value within 1e-6 of `exact` rounds (floor(scale * v + shift))
// to `got`: the reference itself is not exact at a tie.
bool RoundsTo(std::uint32_t got, double exact, double scale, double shift) {
  const double low = std::floor(scale * (exact - 1e-6) + shift), high = std::floor(scale * (exact + 1e-6) + shift);
  return got >= low && got <= high;
}

// Brute force: the smallest step after which the sequence repeats as a cycle.
std::uint32_t RefPeriod(const std::vector<std::uint32_t>& values) {
  const std::uint32_t n = static_cast<std::uint32_t>(values.size());
  for (std::uint32_t p = 1;; ++p) {
    bool repeats = n % p == 0;
    for (std::uint32_t k = 0; repeats && k < n; ++k) repeats = values[k] == values[(k + p) % n];
    if (repeats) return p;
  }
}

TEST(LightStatisticsTest, EveryPairOfCodesAtEveryInterval) {
  const LightTables& tables = SrgbLightTables();
  double light[256];
  for (int c = 0; c < 256; ++c) light[c] = RefLight(c);
  int failures = 0;
  // One upper count per pair and interval, spread over 0..N, and every upper
  // count for the short cycles.
  for (std::uint32_t n = 1; n <= 255 && failures < 10; ++n) {
    for (std::uint32_t low = 0; low < 256; ++low) {
      for (std::uint32_t high = low; high < 256; ++high) {
        const std::uint32_t spread = (low + 3 * high + 7 * n) % (n + 1);
        for (std::uint32_t upper = n <= 16 ? 0 : spread; upper <= (n <= 16 ? n : spread); ++upper) {
          const double exact = RefCode(((n - upper) * light[low] + upper * light[high]) / n);
          const std::uint32_t twentieths = LightTwentieths(tables, TwoLevelLightMean(tables, low, high, upper, n));
          if (!RoundsTo(twentieths, exact, 20, 0) || !RoundsTo(TenthsOfTwentieths(twentieths), exact, 10, 0.5) ||
              !RoundsTo(CodeOfTwentieths(twentieths), exact, 1, 0.5)) {
            ADD_FAILURE() << low << "/" << high << " upper " << upper << " of " << n << ": " << twentieths
                          << " twentieths for " << exact;
            ++failures;
          }
        }
      }
      if (n > 1) continue;
      // Modulation depends on the pair alone.
      for (std::uint32_t high = low; high < 256; ++high) {
        const double exact = light[high] + light[low] > 0 ? (light[high] - light[low]) / (light[high] + light[low]) : 0;
        const double modulation = LightModulation(tables, low, high);
        EXPECT_NEAR(exact, modulation, 1e-12) << low << "/" << high;
        EXPECT_TRUE(RoundsTo(ModulationGrey(modulation), exact, 255, 0.5)) << low << "/" << high;
        EXPECT_TRUE(RoundsTo(ModulationTenthsOfPercent(modulation), exact, 1000, 0.5)) << low << "/" << high;
      }
    }
  }
}

TEST(LightStatisticsTest, SearchFindsEveryEdgeTheCurveRoundTripsAndFrequencies) {
  const LightTables& tables = SrgbLightTables();
  for (std::uint32_t i = 0; i <= kLightTwentieths; ++i) {
    const double edge = RefLight(i / 20.0);
    EXPECT_EQ(i, LightTwentieths(tables, edge)) << i;
    if (i > 0) {
      EXPECT_EQ(i - 1, LightTwentieths(tables, std::nextafter(edge, 0.0))) << i;
    }
    EXPECT_NEAR(i / 20.0, LightToCode(CodeToLight(i / 20.0)), 1e-6) << i;
  }
  EXPECT_EQ(0u, LightTwentieths(tables, -1));
  EXPECT_EQ(kLightTwentieths, LightTwentieths(tables, 1.5));
  EXPECT_NEAR(3.75, FlickerHertz(16, 166667), 1e-4);  // 16 frames at 1/60 s
  EXPECT_EQ(0.0, FlickerHertz(1, 166667) + FlickerHertz(16, 0));  // steady; the clock stands
}

// Rows of random frames, half of them two-level as the engine makes them,
// against the reference pixel by pixel.
TEST(LightStatisticsTest, RowsMatchTheReference) {
  std::mt19937 generator(19);
  auto random = [&generator] { return static_cast<std::uint32_t>(generator()); };
  const LightTables& tables = SrgbLightTables();
  for (int round = 0; round < 60; ++round) {
    const std::uint32_t n = round < 4 ? 1 + round : 1 + random() % 255;
    const std::int32_t width = 1 + static_cast<std::int32_t>(random() % 40);
    const bool twoLevel = round % 2 == 0;
    std::vector<std::vector<std::uint8_t>> frames(n, std::vector<std::uint8_t>(std::size_t(width) * 4));
    std::vector<std::uint8_t> source(std::size_t(width) * 4);
    for (std::size_t i = 0; i < source.size(); ++i) {
      source[i] = static_cast<std::uint8_t>(random());
      const std::uint32_t low = random() % 256, high = std::min(255u, low + random() % 20);
      // A period that divides n, so that some pixels repeat within the cycle.
      std::uint32_t period = 1 + random() % n;
      while (n % period) --period;
      for (std::uint32_t k = 0; k < n; ++k) {
        const std::uint32_t slot = k % period;
        frames[k][i] = static_cast<std::uint8_t>(
            twoLevel ? ((slot * 7 + i) % 3 == 0 ? high : low) : low + (slot * 2654435761u >> 7) % (high - low + 1));
      }
    }
    std::vector<const std::uint8_t*> rows;
    for (const auto& frame : frames) rows.push_back(frame.data());
    LightRowScratch scratch;
    PrepareLightRows(&scratch, width, n);
    LightTotals totals = {0, 0};
    std::vector<std::uint16_t> means(std::size_t(width) * 3);
    std::vector<std::uint8_t> modulation(width), uppers(std::size_t(width) * 3), periods(width);
    SummarizeLightRow(rows.data(), source.data(), width, tables, &scratch, means.data(), modulation.data(),
                      uppers.data(), periods.data(), &totals);
    double largestError = 0, largestModulation = 0;
    for (std::int32_t x = 0; x < width; ++x) {
      SCOPED_TRACE(testing::Message() << "round " << round << " N=" << n << " x=" << x);
      double pixelModulation = 0;
      std::vector<std::uint32_t> values(n);
      for (int c = 0; c < 3; ++c) {
        const std::size_t i = std::size_t(x) * 4 + c;
        double sum = 0;
        std::uint32_t low = 255, high = 0, atHigh = 0;
        for (std::uint32_t k = 0; k < n; ++k) {
          sum += RefLight(frames[k][i]);
          low = std::min<std::uint32_t>(low, frames[k][i]);
          high = std::max<std::uint32_t>(high, frames[k][i]);
          values[k] |= std::uint32_t{frames[k][i]} << (8 * c);
        }
        for (std::uint32_t k = 0; k < n; ++k) atHigh += frames[k][i] == high && low != high;
        const double exact = RefCode(sum / n);
        EXPECT_TRUE(RoundsTo(means[std::size_t(x) * 3 + c], exact, 20, 0)) << means[x * 3 + c] << " for " << exact;
        EXPECT_EQ(atHigh, uppers[std::size_t(x) * 3 + c]);
        largestError = std::max(largestError, std::fabs(exact - source[i]));
        const double l = RefLight(low), h = RefLight(high);
        pixelModulation = std::max(pixelModulation, h + l > 0 ? (h - l) / (h + l) : 0);
      }
      EXPECT_TRUE(RoundsTo(modulation[x], pixelModulation, 255, 0.5));
      EXPECT_EQ(RefPeriod(values), periods[x]);
      largestModulation = std::max(largestModulation, pixelModulation);
    }
    EXPECT_NEAR(largestError, totals.largestError, 1e-9);
    EXPECT_NEAR(largestModulation, totals.largestModulation, 1e-12);
  }
}

// A row of five pixels over six frames of 1/60 s whose neighbours repeat
// after different periods (a pixel's is the least common multiple of its
// channels'; the fourth byte never counts): each period lands in its own
// place, and gives the pixel's frequency. The report's frequency is the whole
// cycle's.
TEST(LightStatisticsTest, WideRowsReportEachPixelsPeriodAndFrequency) {
  const struct {
    std::uint32_t channelPeriods[3];  // blue, green, red
    std::uint32_t period;
    double hertz;
  } pixels[] = {{{1, 1, 1}, 1, 0}, {{2, 1, 1}, 2, 30}, {{2, 3, 1}, 6, 10}, {{1, 1, 3}, 3, 20}, {{2, 2, 2}, 2, 30}};
  const std::uint32_t n = 6, frameDuration = 166667;
  std::vector<std::vector<std::uint8_t>> frames(n, std::vector<std::uint8_t>(5 * 4));
  for (std::uint32_t k = 0; k < n; ++k)
    for (std::size_t x = 0; x < 5; ++x) {
      for (std::size_t c = 0; c < 3; ++c)
        frames[k][x * 4 + c] = static_cast<std::uint8_t>(100 + 10 * x + 30 * (k % pixels[x].channelPeriods[c]));
      frames[k][x * 4 + 3] = static_cast<std::uint8_t>(k);
    }
  std::vector<const std::uint8_t*> rows;
  for (const auto& frame : frames) rows.push_back(frame.data());
  LightRowScratch scratch;
  PrepareLightRows(&scratch, 5, n);
  LightTotals totals = {0, 0};
  std::vector<std::uint16_t> means(15);
  std::vector<std::uint8_t> modulation(5), uppers(15), periods(5 + 3, 0xEE);
  SummarizeLightRow(rows.data(), frames[0].data(), 5, SrgbLightTables(), &scratch, means.data(), modulation.data(),
                    uppers.data(), periods.data(), &totals);
  for (std::size_t x = 0; x < 5; ++x) {
    EXPECT_EQ(pixels[x].period, periods[x]) << "pixel " << x;
    EXPECT_NEAR(pixels[x].hertz, FlickerHertz(periods[x], frameDuration), 1e-3) << "pixel " << x;
  }
  EXPECT_EQ(std::vector<std::uint8_t>(3, 0xEE), std::vector<std::uint8_t>(periods.begin() + 5, periods.end()));
  // Six frames of 1/60 s repeat ten times a second; one frame of 1/4 s four times.
  const std::string report = LightReportText(totals, n, frameDuration);
  EXPECT_NE(std::string::npos, report.find("\nframe_duration=0.0166667\nflicker_hz=10.000\n")) << report;
  EXPECT_NE(std::string::npos, LightReportText(totals, 1, 2500000).find("\nflicker_hz=4.000\n"));
  EXPECT_NE(std::string::npos, LightReportText(totals, 7, 0).find("\nflicker_hz=0.000\n"));
}

// Text on a cell is chosen by the cell's luminance: dark text exactly where
// the colour is brighter than the point where both contrast alike (a
// luminance of sqrt(1.05 * 0.05) - 0.05, about 0.179).
TEST(LightStatisticsTest, TextColourFollowsLuminanceNotTheCode) {
  const struct {
    std::uint32_t red, green, blue;
    bool black;
  } cases[] = {
      {0, 0, 203, false}, {0, 0, 255, false},   {0, 203, 0, true},     {0, 120, 0, false},
      {255, 0, 0, true},  {230, 0, 0, false},   {255, 255, 255, true}, {0, 0, 0, false},
      {117, 117, 117, false}, {118, 118, 118, true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.black, BlackTextReadsBetter(c.red, c.green, c.blue)) << c.red << "," << c.green << "," << c.blue;
  EXPECT_DOUBLE_EQ(1.0, RelativeLuminance(255, 255, 255));
}

}  // namespace
