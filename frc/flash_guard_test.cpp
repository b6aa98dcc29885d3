// The general flash threshold: the count of changes over a repeating cycle,
// the window search over synthetic frames, and the cycle the tables make.
#include "frc/flash_guard.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "frc/frame_mapping.h"
#include "frc/level_tables.h"

namespace {

constexpr std::uint32_t k60Hz = 166667, kSecond = 10000000;

// `pulses` bright frames spread over `interval` dark ones.
std::vector<float> Pulses(std::uint32_t interval, std::uint32_t pulses, float dark, float bright) {
  std::vector<float> means(interval, dark);
  for (std::uint32_t p = 0; p < pulses; ++p) means[p * interval / pulses] = bright;
  return means;
}

TEST(FlashChanges, CountedPerHalfOpenSecondOfTheRepeatedCycle) {
  const struct {
    std::vector<float> means;
    std::uint32_t frameDuration, changes;
  } cases[] = {
      {Pulses(2, 1, 0, 1), k60Hz, 60},                  // black and white at 60 Hz
      {Pulses(40, 3, 0, 1), kSecond / 40, 6},           // exactly three flashes a second
      {Pulses(40, 4, 0, 1), kSecond / 40, 8},           // four
      {Pulses(2, 1, 0, 1), kSecond / 2, 2},             // slow
      {Pulses(2, 1, 0, 1), 0, 0},                       // the clock stands
      {Pulses(2, 1, 0.5f, 0.59f), k60Hz, 0},            // too small a change
      {Pulses(2, 1, 0.8f, 1), k60Hz, 0},                // the darker state is bright
      {Pulses(2, 1, 0.79f, 1), k60Hz, 60},
      {{0, 0.05f, 0.1f, 0.05f}, k60Hz, 30},             // a change built up over frames
      {{0.5f, 0.5f, 0.5f}, k60Hz, 0},
  };
  for (const auto& c : cases) {
    const std::uint32_t interval = static_cast<std::uint32_t>(c.means.size());
    EXPECT_EQ(c.changes, MostFlashChangesPerSecond(c.means.data(), interval, c.frameDuration))
        << interval << " frames of " << c.frameDuration;
    EXPECT_EQ(c.changes > 6, FlashesHarmfully(c.means.data(), interval, c.frameDuration));
  }
}

TEST(FlashWindows, StartsEveryQuarterAndAtTheFarEdge) {
  EXPECT_EQ((std::vector<std::int32_t>{0, 10, 20, 30, 37}), FlashWindowStarts(77, 40));
  EXPECT_EQ((std::vector<std::int32_t>{0}), FlashWindowStarts(40, 40));
  EXPECT_TRUE(FlashWindowStarts(39, 40).empty());
  EXPECT_EQ(175, FlashWindowSide(39.56));
}

// Frames of a grey background with a square that takes levels[k] in frame k.
struct SquareCycle {
  std::int32_t width, left, bottom, size;
  std::vector<std::uint8_t> levels;
};

void MapSquare(void* context, std::uint32_t frame, std::int32_t firstRow, std::int32_t endRow, std::uint8_t* pixels) {
  const SquareCycle* cycle = static_cast<const SquareCycle*>(context);
  for (std::int32_t y = firstRow; y < endRow; ++y)
    for (std::int32_t x = 0; x < cycle->width; ++x) {
      const bool inside = x >= cycle->left && x < cycle->left + cycle->size && y >= cycle->bottom &&
                          y < cycle->bottom + cycle->size;
      std::uint8_t* pixel = pixels + (std::size_t(y) * cycle->width + x) * 4;
      pixel[0] = pixel[1] = pixel[2] = inside ? cycle->levels[frame] : 128;
    }
}

FlashVerdict JudgeSquare(SquareCycle square, std::int32_t height, std::uint32_t frameDuration,
                         const std::atomic<bool>* cancel = nullptr) {
  const FlashCycle cycle = {square.width, height, static_cast<std::uint32_t>(square.levels.size()), frameDuration,
                            40, MapSquare, &square, cancel};
  return JudgeFlashing(cycle);
}

TEST(FlashJudge, FindsAFlashingAreaAnywhereAndOnlyWhenItFlashesFastEnough) {
  const std::vector<std::uint8_t> blackWhite = {0, 255};
  // A square the window's size in the far corner, off the quarter grid.
  EXPECT_EQ(FlashVerdict::kExceeded, JudgeSquare({97, 57, 23, 40, blackWhite}, 63, k60Hz));
  EXPECT_EQ(FlashVerdict::kExceeded, JudgeSquare({97, 13, 9, 40, blackWhite}, 63, k60Hz));
  EXPECT_EQ(FlashVerdict::kWithin, JudgeSquare({97, 57, 23, 40, blackWhite}, 63, kSecond / 4));
  EXPECT_EQ(FlashVerdict::kWithin, JudgeSquare({97, 57, 23, 40, {0, 40}}, 63, k60Hz));  // a small swing
  EXPECT_EQ(FlashVerdict::kWithin, JudgeSquare({97, 0, 0, 97, blackWhite}, 39, k60Hz));  // lower than the window
  EXPECT_EQ(FlashVerdict::kWithin, JudgeSquare({97, 57, 23, 40, {255, 255}}, 63, k60Hz));
  const std::atomic<bool> cancel(true);
  EXPECT_EQ(FlashVerdict::kCancelled, JudgeSquare({97, 57, 23, 40, blackWhite}, 63, k60Hz, &cancel));
}

// N = 128 with correction 127: code 191 shows 255 in the odd phases and 127
// in the even ones, every code below 127 shows 127. Neighbouring pixels are
// out of step, so an even field does not flash, but one that takes 191 only
// where frame 0 shows an even phase flashes as one.
TEST(FlashJudge, TheCycleOfTheTablesFlashesWhenThePixelsAreInStep) {
  ASSERT_EQ(1, BuildLevelTables(128, 127));
  const std::int32_t size = 64;
  std::vector<std::uint8_t> even(std::size_t(size) * size * 4, 191), inStep(even.size(), 0);
  for (std::int32_t y = 0; y < size; ++y)
    for (std::int32_t x = 0; x < size; ++x)
      if (PixelPhase(std::uint32_t(x), std::uint32_t(y), 0) % 2 == 0)
        for (int c = 0; c < 3; ++c) inStep[(std::size_t(y) * size + x) * 4 + c] = 191;
  EXPECT_EQ(FlashVerdict::kExceeded, JudgeFlashingOfPicture(inStep.data(), size, size, k60Hz, 50, nullptr));
  EXPECT_EQ(FlashVerdict::kWithin, JudgeFlashingOfPicture(even.data(), size, size, k60Hz, 50, nullptr));
  ReleaseLevelTables();
}

}  // namespace
