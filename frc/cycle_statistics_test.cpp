// The summary texts of a cycle: the levels are those the tables show, and the
// mean error is rounded to thousandths half up.
#include "frc/cycle_statistics.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "frc/level_tables.h"

namespace {

TEST(CycleStatisticsTest, LevelsAreWhatTheTablesShowAndTheErrorIsRoundedHalfUp) {
  for (std::uint32_t count : {1u, 4u, 7u, 255u}) {
    for (std::uint32_t offset : {0u, count / 2, count - 1}) {
      std::set<std::uint32_t> shown;
      for (std::uint32_t v = 0; v < 256; ++v)
        for (std::uint32_t p = 0; p < count; ++p) shown.insert(PanelLevel(count, offset, v, p));
      std::string expected;
      for (std::uint32_t level : shown) expected += (expected.empty() ? "" : ",") + std::to_string(level);
      EXPECT_EQ(expected, PanelLevelsText(count, offset)) << count << " " << offset;
    }
  }
  const struct {
    std::uint32_t error, count;
    const char* text;
  } cases[] = {{0, 4, "0.000"}, {1, 3, "0.333"}, {2, 3, "0.667"}, {1, 16, "0.063"}, {1, 8, "0.125"},
               {65025, 255, "255.000"}, {254, 255, "0.996"}, {1, 255, "0.004"}};
  for (const auto& c : cases) EXPECT_EQ(c.text, MeanErrorText(c.error, c.count)) << c.error << "/" << c.count;
}

}  // namespace
