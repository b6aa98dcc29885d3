// Level tables: the panel rule, its worked rows and the properties the
// simulation relies on (exact mean, r of N phases on the upper level).
#include "frc/level_tables.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class LevelTablesTest : public ::testing::Test {
 protected:
  void TearDown() override { ReleaseLevelTables(); }

  std::vector<int> Outputs(std::uint32_t v) const {
    std::vector<int> out;
    for (std::uint32_t p = 0; p < LevelTableInterval(); ++p) out.push_back(LevelTable[p * 256 + v]);
    return out;
  }
};

struct WorkedRow {
  std::uint32_t interval, correction, v;
  std::vector<int> outputs;
};

TEST_F(LevelTablesTest, WorkedRows) {
  const WorkedRow rows[] = {
      {4, 3, 0, {3, 3, 3, 3}},         {4, 3, 1, {3, 3, 3, 3}},         {4, 3, 2, {3, 3, 3, 3}},
      {4, 3, 4, {3, 3, 3, 7}},         {4, 3, 5, {3, 7, 3, 7}},         {4, 3, 6, {3, 7, 7, 7}},
      {4, 3, 7, {7, 7, 7, 7}},         {4, 3, 255, {255, 255, 255, 255}}, {4, 0, 253, {252, 252, 252, 252}},
      {4, 0, 254, {252, 252, 252, 252}}, {4, 0, 255, {252, 252, 252, 252}},
  };
  for (const WorkedRow& row : rows) {
    ASSERT_EQ(1, BuildLevelTables(row.interval, row.correction));
    EXPECT_EQ(row.outputs, Outputs(row.v)) << "N=" << row.interval << " correction=" << row.correction << " v=" << row.v;
  }
}

TEST_F(LevelTablesTest, IntervalOneIsTheIdentity) {
  ASSERT_EQ(1, BuildLevelTables(1, 0));
  EXPECT_EQ(1u, LevelTableInterval());
  for (std::uint32_t v = 0; v < 256; ++v) EXPECT_EQ(v, LevelTable[v]);
  EXPECT_EQ(0u, ColumnPhaseOrder[0]);
  EXPECT_EQ(0u, RowPhaseOrder[0]);
}

TEST_F(LevelTablesTest, IntervalTwoCorrectionOneAlternatesEvenLevels) {
  ASSERT_EQ(1, BuildLevelTables(2, 1));
  EXPECT_EQ((std::vector<int>{1, 1}), Outputs(0));
  for (std::uint32_t v = 1; v < 256; v += 2) EXPECT_EQ((std::vector<int>{int(v), int(v)}), Outputs(v));
  for (std::uint32_t v = 2; v < 255; v += 2) EXPECT_EQ((std::vector<int>{int(v) - 1, int(v) + 1}), Outputs(v));
}

TEST_F(LevelTablesTest, InputsBelowTheCorrectionAreRaised) {
  for (std::uint32_t correction = 1; correction < 16; ++correction) {
    ASSERT_EQ(1, BuildLevelTables(16, correction));
    for (std::uint32_t v = 0; v < correction; ++v)
      for (int out : Outputs(v)) EXPECT_EQ(int(correction), out);
  }
}

TEST_F(LevelTablesTest, IntervalTwoFiftyFiveShowsWhiteInVPhases) {
  ASSERT_EQ(1, BuildLevelTables(255, 0));
  for (std::uint32_t v = 0; v < 256; ++v) {
    int whites = 0;
    for (int out : Outputs(v)) {
      ASSERT_TRUE(out == 0 || out == 255) << "v=" << v;
      whites += out == 255;
    }
    EXPECT_EQ(v == 255 ? 255 : int(v), whites) << "v=" << v;
  }
}

// For every N and correction: r of N phases show upper, so the mean over the cycle
// is exact whenever the upper grid level exists; grid levels never flicker.
TEST_F(LevelTablesTest, MeanOverTheCycleIsExact) {
  for (std::uint32_t interval = 1; interval <= 255; ++interval) {
    for (std::uint32_t correction : {0u, interval / 2, interval - 1}) {
      ASSERT_EQ(1, BuildLevelTables(interval, correction));
      for (std::uint32_t v = correction; v < 256; ++v) {
        const std::uint32_t lower = correction + (v - correction) / interval * interval;
        const std::uint32_t upper = lower + interval;
        const std::uint32_t r = v - lower;
        std::uint32_t sum = 0, uppers = 0;
        for (int out : Outputs(v)) {
          sum += std::uint32_t(out);
          uppers += std::uint32_t(out) == upper;
        }
        if (upper < 256) {
          ASSERT_EQ(v * interval, sum) << "N=" << interval << " correction=" << correction << " v=" << v;
          ASSERT_EQ(r, uppers);
        } else {
          ASSERT_EQ(lower * interval, sum) << "N=" << interval << " correction=" << correction << " v=" << v;
        }
      }
    }
  }
}

TEST_F(LevelTablesTest, UpperPhasesAreSpreadLikeALineStep) {
  ASSERT_EQ(1, BuildLevelTables(4, 0));
  EXPECT_EQ((std::vector<int>{0, 0, 0, 4}), Outputs(1));
  EXPECT_EQ((std::vector<int>{0, 4, 0, 4}), Outputs(2));
  EXPECT_EQ((std::vector<int>{0, 4, 4, 4}), Outputs(3));
}

TEST_F(LevelTablesTest, PhaseOrders) {
  const std::vector<std::vector<std::uint32_t>> expected = {
      {0}, {0, 1}, {0, 2, 1}, {0, 3, 1, 2}, {0, 4, 1, 3, 2}, {}, {}, {0, 7, 1, 6, 2, 5, 3, 4}};
  for (std::uint32_t interval = 1; interval <= 8; ++interval) {
    if (expected[interval - 1].empty()) continue;
    ASSERT_EQ(1, BuildLevelTables(interval, 0));
    std::vector<std::uint32_t> rows(RowPhaseOrder, RowPhaseOrder + interval);
    EXPECT_EQ(expected[interval - 1], rows) << "N=" << interval;
    for (std::uint32_t p = 0; p < interval; ++p) EXPECT_EQ(p, ColumnPhaseOrder[p]);
  }
  // The row order is a permutation for every N the program accepts.
  for (std::uint32_t interval = 1; interval <= 255; ++interval) {
    ASSERT_EQ(1, BuildLevelTables(interval, 0));
    std::vector<bool> seen(interval, false);
    for (std::uint32_t p = 0; p < interval; ++p) {
      ASSERT_LT(RowPhaseOrder[p], interval);
      ASSERT_FALSE(seen[RowPhaseOrder[p]]) << "N=" << interval;
      seen[RowPhaseOrder[p]] = true;
    }
  }
}

TEST_F(LevelTablesTest, RebuildReplacesTheTables) {
  ASSERT_EQ(1, BuildLevelTables(16, 15));
  ASSERT_EQ(1, BuildLevelTables(4, 3));
  EXPECT_EQ(4u, LevelTableInterval());
  EXPECT_EQ((std::vector<int>{3, 7, 3, 7}), Outputs(5));
}

TEST_F(LevelTablesTest, FailedBuildReleasesAndKeepsTheInterval) {
  ASSERT_EQ(1, BuildLevelTables(4, 3));
  // N x 256 bytes cannot be had for this N on any machine.
  EXPECT_EQ(0, BuildLevelTables(0xFFFFFFFFu, 0));
  EXPECT_EQ(nullptr, LevelTable);
  EXPECT_EQ(nullptr, RowPhaseOrder);
  EXPECT_EQ(4u, LevelTableInterval());
  // A later build works again.
  EXPECT_EQ(1, BuildLevelTables(2, 0));
  EXPECT_EQ(2u, LevelTableInterval());
}

TEST_F(LevelTablesTest, ReleaseTwiceIsHarmless) {
  ASSERT_EQ(1, BuildLevelTables(8, 0));
  ReleaseLevelTables();
  ReleaseLevelTables();
  EXPECT_EQ(nullptr, LevelTable);
  EXPECT_EQ(nullptr, ColumnPhaseOrder);
}

}  // namespace
