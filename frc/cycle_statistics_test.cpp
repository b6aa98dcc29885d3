// The summary texts of a cycle: the levels are those the tables show, and the
// mean error is rounded to thousandths half up.
#include "frc/cycle_statistics.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "frc/level_tables.h"

namespace {

TEST(CycleStatisticsTest, LevelsAreWhatTheTablesShowAndTheErrorIsRoundedHalfUp) {
  for (std::uint32_t interval : {1u, 4u, 7u, 255u}) {
    for (std::uint32_t correction : {0u, interval / 2, interval - 1}) {
      std::set<std::uint32_t> shown;
      for (std::uint32_t v = 0; v < 256; ++v)
        for (std::uint32_t p = 0; p < interval; ++p) shown.insert(PanelLevel(interval, correction, v, p));
      std::string expected;
      for (std::uint32_t level : shown) expected += (expected.empty() ? "" : ",") + std::to_string(level);
      EXPECT_EQ(expected, PanelLevelsText(interval, correction)) << interval << " " << correction;
    }
  }
  const struct {
    std::uint32_t error, interval;
    const char* text;
  } cases[] = {{0, 4, "0.000"}, {1, 3, "0.333"}, {2, 3, "0.667"}, {1, 16, "0.063"}, {1, 8, "0.125"},
               {65025, 255, "255.000"}, {254, 255, "0.996"}, {1, 255, "0.004"}};
  for (const auto& c : cases) EXPECT_EQ(c.text, MeanErrorText(c.error, c.interval)) << c.error << "/" << c.interval;
}

// The mean of each channel over the cycle is rounded half up, exactly at the
// halves included.
TEST(CycleStatisticsTest, RowMeansRoundHalfUp) {
  const struct {
    std::vector<std::uint8_t> levels;  // one channel's level in each frame
    std::uint8_t mean;
  } cases[] = {{{0, 1}, 1},       {{2, 3}, 3},       {{254, 255}, 255}, {{0, 0, 1}, 0},
               {{0, 1, 1}, 1},    {{0, 0, 1, 1}, 1}, {{0, 0, 0, 1}, 0}, {{0, 1, 1, 1}, 1},
               {{3, 4, 4, 4, 4, 4}, 4}, {{0, 0, 0, 1, 1, 1}, 1}, {{7}, 7}};
  for (const auto& c : cases) {
    const std::uint32_t interval = static_cast<std::uint32_t>(c.levels.size());
    CycleRowScratch scratch;
    PrepareCycleRows(&scratch, 1, interval);
    // Blue carries the levels, green stays 9.
    std::vector<std::vector<std::uint8_t>> frames;
    for (std::uint8_t level : c.levels) frames.push_back({level, 9, 0, 0});
    std::vector<const std::uint8_t*> rows;
    for (const auto& frame : frames) rows.push_back(frame.data());
    const std::uint8_t source[4] = {c.levels[0], 9, 0, 0};
    std::uint8_t mean[3] = {}, flicker = 0;
    CycleTotals totals = {};
    SummarizeCycleRow(rows.data(), source, 1, &scratch, mean, &flicker, &totals);
    EXPECT_EQ(c.mean, mean[0]) << "interval " << interval;
    EXPECT_EQ(9, mean[1]) << "interval " << interval;
  }
}

// A row of five pixels whose neighbours differ: each pixel's mean, flicker and
// error land in its own place of the three-byte mean row and one-byte flicker
// row, nothing is written past them, the fourth byte never counts, and the
// totals add up over rows. The packed row is the pixels' first three bytes.
TEST(CycleStatisticsTest, WideRowsKeepEveryPixelInItsPlace) {
  const std::uint8_t frame0[] = {10, 20, 30, 1, 0, 0, 0, 0, 1, 8, 0, 0, 255, 255, 254, 9, 7, 7, 7, 0};
  const std::uint8_t frame1[] = {10, 20, 30, 2, 4, 0, 0, 0, 2, 0, 0, 0, 255, 255, 255, 9, 7, 7, 7, 0};
  const std::uint8_t source[] = {10, 20, 30, 0, 2, 0, 0, 0, 1, 4, 0, 0, 255, 255, 254, 0, 7, 7, 3, 0};
  // Means rounded half up (1.5 -> 2, 254.5 -> 255); flicker the widest channel swing.
  const std::vector<std::uint8_t> means = {10, 20, 30, 2, 0, 0, 2, 4, 0, 255, 255, 255, 7, 7, 7};
  const std::vector<std::uint8_t> flickers = {0, 4, 8, 1, 0};
  const std::uint8_t* rows[] = {frame0, frame1};
  CycleRowScratch scratch;
  PrepareCycleRows(&scratch, 5, 2);
  CycleTotals totals = {};
  for (int row = 1; row <= 2; ++row) {
    std::vector<std::uint8_t> mean(15 + 4, 0xEE), flicker(5 + 4, 0xEE);
    SummarizeCycleRow(rows, source, 5, &scratch, mean.data(), flicker.data(), &totals);
    EXPECT_EQ(means, std::vector<std::uint8_t>(mean.begin(), mean.begin() + 15)) << "row " << row;
    EXPECT_EQ(flickers, std::vector<std::uint8_t>(flicker.begin(), flicker.begin() + 5)) << "row " << row;
    EXPECT_EQ(std::vector<std::uint8_t>(4, 0xEE), std::vector<std::uint8_t>(mean.begin() + 15, mean.end()));
    EXPECT_EQ(std::vector<std::uint8_t>(4, 0xEE), std::vector<std::uint8_t>(flicker.begin() + 5, flicker.end()));
    EXPECT_EQ(3u * row, totals.flickeringPixels);
    EXPECT_EQ(8u, totals.largestError);  // the last pixel's red: 7 + 7 against 2 * 3
  }
  std::vector<std::uint8_t> packed(15 + 4, 0xEE);
  PackRowBgr(frame0, 5, packed.data());
  const std::vector<std::uint8_t> triples = {10, 20, 30, 0, 0, 0, 1, 8, 0, 255, 255, 254, 7, 7, 7, 0xEE, 0xEE, 0xEE, 0xEE};
  EXPECT_EQ(triples, packed);
}

}  // namespace
