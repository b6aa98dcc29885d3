// The statistics from the picture and the tables against the frame-based
// ones on frames the engine's mapping renders: every interval, three
// corrections each, every input value in every channel position, to the bit.
#include "frc/cycle_values.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "frc/frame_mapping.h"
#include "frc/level_tables.h"

namespace {

constexpr std::int32_t kWidth = 8, kHeight = 4;
constexpr std::size_t kFrameBytes = std::size_t{kWidth} * kHeight * 4;

// Where the frames-free results first differ from the frames' for the current
// tables and values built from them; empty when nowhere.
std::string FirstDifference(const CycleValues& values, const std::uint8_t* source, const std::uint8_t* frames) {
  const std::uint32_t interval = values.interval;
  CycleRowScratch scratch;
  PrepareCycleRows(&scratch, kWidth, interval);
  LightRowScratch lightScratch;
  PrepareLightRows(&lightScratch, kWidth, interval);
  CycleTotals totals[2] = {{0, 0}, {0, 0}};
  LightTotals lightTotals[2] = {{0, 0}, {0, 0}};
  for (std::int32_t y = 0; y < kHeight; ++y) {
    const std::uint8_t* sourceRow = source + std::size_t(y) * kWidth * 4;
    const std::uint8_t* rows[kLargestTableInterval];
    for (std::uint32_t k = 0; k < interval; ++k) rows[k] = frames + k * kFrameBytes + std::size_t(y) * kWidth * 4;
    std::uint8_t means[2][kWidth * 3], flicker[2][kWidth], modulation[2][kWidth], uppers[2][kWidth * 3], periods[2][kWidth];
    std::uint16_t light[2][kWidth * 3];
    SummarizeCycleRow(rows, sourceRow, kWidth, &scratch, means[0], flicker[0], &totals[0]);
    SummarizeCycleRowByValue(values, sourceRow, kWidth, means[1], flicker[1], &totals[1]);
    SummarizeLightRow(rows, sourceRow, kWidth, SrgbLightTables(), &lightScratch, light[0], modulation[0], uppers[0],
                      periods[0], &lightTotals[0]);
    SummarizeLightRowByValue(values, sourceRow, kWidth, light[1], modulation[1], uppers[1], periods[1], &lightTotals[1]);
    const std::string row = " of row " + std::to_string(y);
    if (std::memcmp(means[0], means[1], sizeof means[0])) return "means" + row;
    if (std::memcmp(flicker[0], flicker[1], sizeof flicker[0])) return "flicker" + row;
    if (std::memcmp(light[0], light[1], sizeof light[0])) return "light means" + row;
    if (std::memcmp(modulation[0], modulation[1], sizeof modulation[0])) return "modulation" + row;
    if (std::memcmp(uppers[0], uppers[1], sizeof uppers[0])) return "uppers" + row;
    if (std::memcmp(periods[0], periods[1], sizeof periods[0])) return "periods" + row;

    for (std::int32_t x = 0; x < kWidth; ++x) {
      const std::uint8_t* sourcePixel = sourceRow + x * 4;
      const std::uint8_t* framePixels[kLargestTableInterval];
      PixelCycle cycle;
      MeasurePixelCycle(sourcePixel, static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), &cycle);
      std::uint32_t sums[3] = {0, 0, 0};
      for (std::uint32_t k = 0; k < interval; ++k) {
        framePixels[k] = rows[k] + x * 4;
        if (std::memcmp(cycle.frames[k], framePixels[k], 4)) return "frame " + std::to_string(k) + " of a pixel" + row;
        for (int c = 0; c < 3; ++c) sums[c] += framePixels[k][c];
      }
      PixelLight pixel;
      MeasurePixelLight(framePixels, sourcePixel, interval, &pixel);
      if (cycle.interval != interval || std::memcmp(cycle.sums, sums, sizeof sums) ||
          std::memcmp(&cycle.light, &pixel, sizeof pixel))
        return "pixel " + std::to_string(x) + row;
    }
  }
  if (totals[0].flickeringPixels != totals[1].flickeringPixels || totals[0].largestError != totals[1].largestError)
    return "code totals";
  if (lightTotals[0].largestError != lightTotals[1].largestError ||
      lightTotals[0].largestModulation != lightTotals[1].largestModulation)
    return "light totals";
  return std::string();
}

TEST(CycleValuesTest, EqualTheFramesFiguresForEveryIntervalAndValue) {
  std::vector<std::uint8_t> source(kFrameBytes), frames(kFrameBytes * kLargestTableInterval);
  CycleValues fromTables, fromPanel;
  for (std::uint32_t interval = 1; interval <= kLargestTableInterval; ++interval) {
    const std::uint32_t corrections[] = {0, interval / 2, interval - 1};
    for (std::uint32_t i = 0; i < 3; ++i) {
      SCOPED_TRACE(testing::Message() << "N=" << interval << " correction=" << corrections[i]);
      ASSERT_EQ(1, BuildLevelTables(interval, corrections[i]));
      // 96 colour bytes a picture, the three pictures of one N all 256 values
      // between them, each value in another channel and phase for every N.
      std::uint32_t next = i * 96 + interval;
      for (std::size_t b = 0; b < kFrameBytes; ++b) source[b] = static_cast<std::uint8_t>(b % 4 == 3 ? b : next++);
      // The engine's own rendering of the whole cycle, whose vector paths
      // share no arithmetic with the summaries.
      std::uint8_t* targets[kLargestTableInterval];
      for (std::uint32_t k = 0; k < interval; ++k) targets[k] = frames.data() + k * kFrameBytes;
      ASSERT_EQ(1, MapCycleRows(source.data(), targets, kWidth, 0, kHeight));
      SummarizeCycleValues(LevelTable, interval, &fromTables);
      SummarizePanelValues(interval, corrections[i], &fromPanel);
      ASSERT_EQ("", FirstDifference(fromTables, source.data(), frames.data())) << "summary of the tables";
      ASSERT_EQ("", FirstDifference(fromPanel, source.data(), frames.data())) << "summary of the panel rule";
    }
  }
  ReleaseLevelTables();
}

}  // namespace
