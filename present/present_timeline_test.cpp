// What reached the screen, from series of present statistics: exact, doubled
// and missed presents, unread stretches, repeated and impossible readings,
// counters that wrap.
#include "present/present_timeline.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// "present@refresh+held verdict ..." then "| refreshes exact doubled missed unknown".
std::string Trace(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& pairs, std::uint32_t k) {
  std::vector<PresentStatistics> readings;
  for (const auto& pair : pairs) readings.push_back({pair.first, pair.second, 0, 0, 0});
  std::vector<PresentOutcome> outcomes(3);
  const PresentTally tally = TracePresents(readings.data(), readings.size(), k, &outcomes);
  std::string text;
  for (const PresentOutcome& o : outcomes) {
    text += std::to_string(o.present) + "@" + std::to_string(o.appearedOn) + "+" + std::to_string(o.heldRefreshes) +
            "EDM?"[static_cast<int>(o.verdict)] + " ";
  }
  return text + "| " + std::to_string(tally.refreshes) + " " + std::to_string(tally.exact) + " " +
         std::to_string(tally.doubled) + " " + std::to_string(tally.missed) + " " + std::to_string(tally.unknown);
}

TEST(PresentTimelineTest, JudgesEachPresentFromTheReadings) {
  const std::uint32_t top = 0xFFFFFFFFu;
  const struct {
    std::uint32_t k;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> readings;
    const char* expected;
  } cases[] = {
      {1, {{10, 100}, {11, 101}, {12, 102}}, "10@100+1E 11@101+1E | 2 2 0 0 0"},
      // One late present: the one before stays a refresh longer, it one shorter.
      {2, {{1, 10}, {2, 13}, {3, 14}, {4, 16}}, "1@10+3D 2@13+1M 3@14+2E | 6 1 1 1 0"},
      // Unread presents: even spacing is taken as exact; anything else is not known.
      {2, {{1, 10}, {4, 16}}, "1@10+2E 2@12+2E 3@14+2E | 6 3 0 0 0"},
      {2, {{1, 10}, {4, 17}, {5, 19}}, "1@0+0? 2@0+0? 3@0+0? 4@17+2E | 9 1 0 0 3"},
      // Repeated, out of order, and a reading whose refresh does not advance.
      {1, {{5, 50}, {5, 50}, {4, 49}, {6, 51}}, "4@49+1E 5@50+1E | 2 2 0 0 0"},
      {1, {{1, 10}, {2, 10}, {3, 12}}, "1@10+1E 2@11+1E | 2 2 0 0 0"},
      // Both counters wrap.
      {1, {{top, top - 1}, {0, top}, {1, 0}}, "4294967295@4294967294+1E 0@4294967295+1E | 2 2 0 0 0"},
      {3, {{7, 70}, {8, 75}}, "7@70+5D | 5 0 1 0 0"},
      // Nothing to judge.
      {1, {{1, 10}}, "| 0 0 0 0 0"},
      {0, {{1, 10}, {2, 11}}, "| 0 0 0 0 0"},
      {1, {{1, 10}, {1u + kMaxTracedPresents, 20}}, "| 0 0 0 0 0"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.expected, Trace(c.readings, c.k)) << c.expected;
}

// Presents judged one at a time, k = 2: only presents of an unbroken stretch of
// scheduled changes count; an unscheduled present (a restart, a step) ends it.
TEST(PresentTimelineTest, JudgesScheduledPresentsAsTheyAreRead) {
  const struct {
    bool scheduled, read;
    PresentStatistics reading;  // present on screen, its refresh, latest present
  } presents[] = {
      {false, true, {0, 0, 0, 0, 1}},    // a schedule's first frame
      {true, true, {1, 10, 0, 0, 2}},    // its present 1 is not judged
      {true, true, {2, 12, 0, 0, 3}},
      {true, true, {3, 14, 0, 0, 4}},    // 2 exact
      {true, true, {4, 17, 0, 0, 5}},    // 3 doubled
      {true, false, {}},
      {true, true, {6, 20, 0, 0, 7}},    // 4 and 5 spanned 3 refreshes: unknown
      {false, true, {7, 21, 0, 0, 8}},   // a step: 6 and 7 are not judged
      {true, true, {8, 22, 0, 0, 9}},
      {true, true, {9, 23, 0, 0, 10}},
      {true, true, {10, 24, 0, 0, 11}},  // 9 missed
      {true, true, {10, 24, 0, 0, 12}},  // read again
      {true, true, {12, 28, 0, 0, 13}},  // 10 and 11 exact
  };
  PresentJudge judge = {};
  PresentTally tally = {};
  for (const auto& p : presents) JudgePresent(&judge, p.scheduled, p.read ? &p.reading : nullptr, 2, &tally);
  EXPECT_EQ(3u, tally.exact);
  EXPECT_EQ(1u, tally.doubled);
  EXPECT_EQ(1u, tally.missed);
  EXPECT_EQ(2u, tally.unknown);
}

}  // namespace
