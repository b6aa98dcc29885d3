// The frame cache's rules played out: a model cache follows them through
// playback with steps, jumps and changes of the budget, and must never hold
// more sections than the budget, never give up the frame on screen, and
// always have the frame wanted made before the next one is asked for.
#include "frc/frame_plan.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>

namespace {

struct ModelCache {
  std::uint32_t interval, slots, current = 0, onScreen = kNoFrame, sections = 0, shows = 0, lead = 0;
  bool filled[256] = {};
  std::uint32_t lastShown[256] = {};

  ModelCache(std::uint32_t n, std::uint32_t s) : interval(n), slots(s) {}
  FramePlan Plan() const { return {interval, slots, current, onScreen, filled, lastShown, lead}; }

  // A section for frame `next`, from the budget or by eviction.
  ::testing::AssertionResult TakeSection(std::uint32_t next) {
    if (sections < slots) return ++sections, ::testing::AssertionSuccess();
    const std::uint32_t victim = FrameToEvict(Plan());
    if (victim == kNoFrame) return ::testing::AssertionFailure() << "no section for frame " << next;
    if (victim == onScreen) return ::testing::AssertionFailure() << "the frame on screen evicted";
    filled[victim] = false;
    lastShown[victim] = 0;
    return ::testing::AssertionSuccess();
  }

  // What the maker does until nothing more is wanted, after the current frame
  // is made at once if it is missing, as a step does; false on a rule broken.
  ::testing::AssertionResult MakeAhead() {
    for (bool now = !filled[current];; now = false) {
      const std::uint32_t next = now ? current : NextFrameToMake(Plan());
      if (next == kNoFrame) return ::testing::AssertionSuccess();
      if (::testing::AssertionResult taken = TakeSection(next); !taken) return taken;
      filled[next] = true;
    }
  }
};

TEST(FramePlanTest, PlaybackWithJumpsStaysInTheBudgetAndKeepsTheFrameOnScreen) {
  std::mt19937 random(7);
  const std::uint32_t cases[][2] = {{1, 1}, {2, 2}, {5, 4}, {11, 4}, {16, 16}, {64, 24}, {255, 4}, {255, 6}};
  for (const auto& c : cases) {
    ModelCache cache(c[0], c[1]);
    for (int step = 0; step < 2000; ++step) {
      // Mostly forward, sometimes a jump (a step back, a restart at 0).
      const std::uint32_t roll = random() % 10;
      cache.current = roll < 8 ? (cache.current + 1) % cache.interval : random() % cache.interval;
      // A jump seen by a maker measuring how far the clock moved.
      cache.lead = roll < 8 ? 0 : random() % cache.interval;
      ASSERT_TRUE(cache.MakeAhead()) << "N=" << c[0] << " slots=" << c[1] << " step " << step;
      ASSERT_TRUE(cache.filled[cache.current]) << "N=" << c[0] << " step " << step;
      ASSERT_LE(cache.sections, cache.slots);
      if (cache.onScreen != kNoFrame) {
        ASSERT_TRUE(cache.filled[cache.onScreen]);
      }
      cache.onScreen = cache.current;
      cache.lastShown[cache.current] = ++cache.shows;
    }
    if (c[1] >= c[0]) {
      EXPECT_EQ(c[0], cache.sections) << "a cycle that fits is made whole";
    }
  }
}

// A maker slower than the refresh, as at 8K on two cores: each frame takes
// `cost` refreshes to make. Aiming where the clock will be, the frames it
// makes are on screen at their time; aiming at the current frame, every one
// would be finished after its refresh and the screen would stand still.
TEST(FramePlanTest, AMakerSlowerThanTheRefreshStillShowsFramesAtTheirTime) {
  const std::uint32_t cases[][3] = {{255, 4, 3}, {255, 6, 2}, {64, 24, 5}, {255, 4, 4}, {255, 6, 1}};
  for (const auto& c : cases) {
    ModelCache cache(c[0], c[1]);
    std::uint32_t making = kNoFrame, left = 0, startedAt = 0, onTime = 0;
    const std::uint32_t refreshes = 3000;
    for (std::uint32_t refresh = 0; refresh < refreshes; ++refresh) {
      cache.current = refresh % cache.interval;
      if (cache.filled[cache.current]) {
        ++onTime;
        cache.onScreen = cache.current;
        cache.lastShown[cache.current] = ++cache.shows;
      }
      if (making != kNoFrame && --left == 0) {
        cache.filled[making] = true;
        const std::uint32_t passed = (cache.current + cache.interval - startedAt) % cache.interval;
        cache.lead = NextLead(cache.lead, (making + cache.interval - startedAt) % cache.interval, passed);
        making = kNoFrame;
      }
      if (making == kNoFrame && (making = NextFrameToMake(cache.Plan())) != kNoFrame) {
        ASSERT_TRUE(cache.TakeSection(making));
        left = c[2];
        startedAt = cache.current;
      }
    }
    // Nearly one refresh in `cost` shows its own frame.
    EXPECT_GE(onTime, refreshes / (c[2] + 1)) << "N=" << c[0] << " slots=" << c[1] << " cost " << c[2];
  }
}

}  // namespace
