// Cycle statistics over frames the real tables and mapping make: the mean is
// the picture wherever the picture lies on or between the panel's levels.
#include "frc/cycle_statistics.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <sstream>
#include <vector>

#include "frc/frame_mapping.h"
#include "frc/level_tables.h"

namespace {

struct Summary {
  std::vector<std::uint8_t> mean, flicker;  // per pixel: 3 bytes, 1 byte
  CycleTotals totals;
};

// One row of every level 0..255 (blue), 255..0 (green) and a constant red,
// through all count frames, summarised.
Summary SummariseRamp(std::uint32_t count, std::uint32_t offset, std::uint8_t red) {
  const std::int32_t width = 256;
  std::vector<std::uint8_t> source(width * 4);
  for (int x = 0; x < width; ++x) {
    source[x * 4] = static_cast<std::uint8_t>(x);
    source[x * 4 + 1] = static_cast<std::uint8_t>(255 - x);
    source[x * 4 + 2] = red;
    source[x * 4 + 3] = 0x5A;
  }
  EXPECT_EQ(1, BuildLevelTables(count, offset));
  std::vector<std::vector<std::uint8_t>> frames(count, std::vector<std::uint8_t>(source.size()));
  std::vector<const std::uint8_t*> rows;
  for (std::uint32_t k = 0; k < count; ++k) {
    MapFramePixels(source.data(), frames[k].data(), width, 1, k);
    rows.push_back(frames[k].data());
  }
  Summary summary = {std::vector<std::uint8_t>(width * 3), std::vector<std::uint8_t>(width), {0, 0}};
  CycleRowScratch scratch;
  PrepareCycleRows(&scratch, width, count);
  SummarizeCycleRow(rows.data(), source.data(), width, &scratch, summary.mean.data(), summary.flicker.data(),
                    &summary.totals);
  return summary;
}

TEST(CycleStatisticsTest, MeanIsThePictureOnTheGridAndTheLowestLevelBelowIt) {
  for (std::uint32_t count : {1u, 2u, 4u, 5u, 16u, 255u}) {
    const std::uint32_t offset = count - 1;
    SCOPED_TRACE(count);
    const Summary s = SummariseRamp(count, offset, static_cast<std::uint8_t>(offset));
    // Below the grid a level is raised to its first level, above it lowered to its last.
    const std::uint32_t top = offset + (255 - offset) / count * count;
    for (std::uint32_t v = 0; v < 256; ++v) {
      const std::uint32_t shown = v < offset ? offset : v > top ? top : v;
      EXPECT_EQ(shown, s.mean[v * 3]) << v;
      EXPECT_EQ(offset, s.mean[v * 3 + 2]);
    }
    const std::uint32_t worst = offset > 255 - top ? offset : 255 - top;  // level 0, or 255
    EXPECT_EQ(worst * count, s.totals.largestError);
  }
}

TEST(CycleStatisticsTest, FlickeringPixelsCountTheSwingingOnes) {
  const Summary s = SummariseRamp(4, 0, 0);
  std::uint64_t swinging = 0;
  for (int x = 0; x < 256; ++x) {
    // Blue x and green 255 - x: steady only where both are grid levels or above the top one.
    const bool blueSteady = x % 4 == 0 || x > 252;
    const bool greenSteady = (255 - x) % 4 == 0 || 255 - x > 252;
    swinging += !(blueSteady && greenSteady);
    EXPECT_EQ(!(blueSteady && greenSteady), s.flicker[x] != 0) << x;
  }
  EXPECT_EQ(swinging, s.totals.flickeringPixels);
  // Above the top level 252 the panel stays at 252: 255 is 3 away.
  EXPECT_EQ("3.000", MeanErrorText(s.totals.largestError, 4));
}

TEST(CycleStatisticsTest, ErrorTextRoundsThousandthsHalfUp) {
  const struct {
    std::uint32_t error, count;
    const char* text;
  } cases[] = {{0, 4, "0.000"}, {1, 3, "0.333"}, {2, 3, "0.667"}, {1, 16, "0.063"}, {1, 8, "0.125"},
               {65025, 255, "255.000"}, {254, 255, "0.996"}, {1, 255, "0.004"}};
  for (const auto& c : cases) EXPECT_EQ(c.text, MeanErrorText(c.error, c.count)) << c.error << "/" << c.count;
}

TEST(CycleStatisticsTest, LevelsAreWhatTheTablesShow) {
  for (std::uint32_t count : {1u, 4u, 7u, 255u}) {
    for (std::uint32_t offset : {0u, count / 2, count - 1}) {
      std::set<std::uint32_t> shown;
      for (std::uint32_t v = 0; v < 256; ++v)
        for (std::uint32_t p = 0; p < count; ++p) shown.insert(PanelLevel(count, offset, v, p));
      std::ostringstream expected;
      for (std::uint32_t level : shown) expected << (level == *shown.begin() ? "" : ",") << level;
      EXPECT_EQ(expected.str(), PanelLevelsText(count, offset)) << count << " " << offset;
    }
  }
  const CycleTotals totals = {12, 8};
  EXPECT_EQ("width=3\nheight=2\ninterval=4\ncorrection=3\nlevels=" + PanelLevelsText(4, 3) +
                "\nflickering_pixels=12\nmax_mean_error=2.000\n",
            CycleReportText(3, 2, 4, 3, totals));
}

}  // namespace
