// The frame clock's index: frame lengths in counter ticks and the frame at and
// around every kind of boundary, for the counters seen in practice.
#include "frc/frame_index.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

constexpr std::int64_t kWineFrequency = 10000000;   // QueryPerformanceFrequency under Wine, Windows 10+
constexpr std::int64_t kAcpiFrequency = 3579545;    // the ACPI power-management timer

TEST(FramePeriodTicks, WorkedValuesAndPresets) {
  EXPECT_EQ(166667u, FramePeriodTicks(166667, kWineFrequency));
  EXPECT_EQ(59659u, FramePeriodTicks(166667, kAcpiFrequency));  // 59659.6..., truncated
  EXPECT_EQ(41667u, FramePeriodTicks(41667, kWineFrequency));
  EXPECT_EQ(14914u, FramePeriodTicks(41667, kAcpiFrequency));   // 14914.9..., truncated
  EXPECT_EQ(kAcpiFrequency, static_cast<std::int64_t>(FramePeriodTicks(10000000, kAcpiFrequency)));
  EXPECT_EQ(1u, FramePeriodTicks(1, kWineFrequency));
}

TEST(FramePeriodTicks, ZeroTicksBecomeOneTick) {
  EXPECT_EQ(1u, FramePeriodTicks(0, kWineFrequency));
  EXPECT_EQ(1u, FramePeriodTicks(2, kAcpiFrequency));  // 0.7 ticks
  EXPECT_EQ(1u, FramePeriodTicks(166667, 0));
  EXPECT_EQ(1u, FramePeriodTicks(166667, -5));
  EXPECT_EQ(1u, FramePeriodTicks(3, kAcpiFrequency));  // 1.07 ticks
  EXPECT_EQ(2u, FramePeriodTicks(6, kAcpiFrequency));  // 2.1 ticks
}

TEST(FramePeriodTicks, LargeProductsStayExactInUnsigned64Bits) {
  // The largest duration with a 3 GHz counter: 1.29e19, beyond the signed range.
  EXPECT_EQ(4294967295ull * 300ull, FramePeriodTicks(4294967295u, 3000000000ll));  // 3e9 / 1e7 = 300
  // A frequency with a remainder: 2,999,999,999 / 1e7 = 299 rest 9,999,999.
  EXPECT_EQ(4294967295ull * 299ull + 4294967295ull * 9999999ull / 10000000ull, FramePeriodTicks(4294967295u, 2999999999ll));
  // Beyond 64 bits saturates instead of wrapping to a short period.
  EXPECT_EQ(~std::uint64_t{0}, FramePeriodTicks(4294967295u, INT64_MAX));
}

struct Boundary {
  std::int64_t frequency;
  std::uint32_t frameDuration;
  std::uint32_t interval;
};

// At each boundary the new frame starts exactly there: one tick earlier is the
// previous frame, the boundary itself and one tick later the next.
TEST(FrameIndexAt, FramesChangeExactlyAtTheirBoundaries) {
  const Boundary cases[] = {
      {kWineFrequency, 166667, 4}, {kAcpiFrequency, 166667, 4}, {kWineFrequency, 41667, 4},
      {kAcpiFrequency, 41667, 16}, {kWineFrequency, 333333, 255}, {kAcpiFrequency, 10000000, 3},
      {kWineFrequency, 166667, 1},
  };
  for (const Boundary& b : cases) {
    const std::int64_t period = static_cast<std::int64_t>(FramePeriodTicks(b.frameDuration, b.frequency));
    for (std::int64_t frame = 1; frame < 3 * static_cast<std::int64_t>(b.interval) + 2; ++frame) {
      const std::int64_t at = frame * period;
      const std::uint32_t expected = static_cast<std::uint32_t>(frame % b.interval);
      const std::uint32_t before = static_cast<std::uint32_t>((frame - 1) % b.interval);
      EXPECT_EQ(before, FrameIndexAt(at - 1, b.frameDuration, b.frequency, b.interval)) << "frame " << frame;
      EXPECT_EQ(expected, FrameIndexAt(at, b.frameDuration, b.frequency, b.interval)) << "frame " << frame;
      EXPECT_EQ(expected, FrameIndexAt(at + 1, b.frameDuration, b.frequency, b.interval)) << "frame " << frame;
      EXPECT_EQ(expected, FrameIndexAt(at + period - 1, b.frameDuration, b.frequency, b.interval)) << "frame " << frame;
    }
    EXPECT_EQ(0u, FrameIndexAt(0, b.frameDuration, b.frequency, b.interval));
  }
}

TEST(FrameIndexAt, WorkedCycleOfFourAtSixtyHertz) {
  // 166,667 ticks a frame, 666,668 a cycle.
  EXPECT_EQ(0u, FrameIndexAt(166666, 166667, kWineFrequency, 4));
  EXPECT_EQ(1u, FrameIndexAt(166667, 166667, kWineFrequency, 4));
  EXPECT_EQ(3u, FrameIndexAt(666667, 166667, kWineFrequency, 4));
  EXPECT_EQ(0u, FrameIndexAt(666668, 166667, kWineFrequency, 4));
  // With the ACPI counter: 59,659 ticks a frame.
  EXPECT_EQ(0u, FrameIndexAt(59658, 166667, kAcpiFrequency, 4));
  EXPECT_EQ(1u, FrameIndexAt(59659, 166667, kAcpiFrequency, 4));
  EXPECT_EQ(0u, FrameIndexAt(4 * 59659, 166667, kAcpiFrequency, 4));
}

TEST(FrameIndexAt, HugeCountersUseTheLow32BitsOfTheFrameNumber) {
  // Months of uptime: the counter divides cleanly.
  const std::int64_t week = 7ll * 24 * 3600 * kWineFrequency;
  const std::uint64_t frame = static_cast<std::uint64_t>(week) / 166667u;
  EXPECT_EQ(static_cast<std::uint32_t>(frame) % 255u, FrameIndexAt(week, 166667, kWineFrequency, 255));
  // A frame number above 2^32: only its low 32 bits enter the modulo, which is
  // what a 32-bit modulo of the frame number gives.
  const std::uint64_t bigFrame = (1ull << 32) + 5;  // low 32 bits = 5
  EXPECT_EQ(5u % 3u, FrameIndexAt(static_cast<std::int64_t>(bigFrame * 41667u), 41667, kWineFrequency, 3));
  EXPECT_EQ(5u, FrameIndexAt(static_cast<std::int64_t>(bigFrame * 41667u), 41667, kWineFrequency, 255));
  // The largest counter value does not overflow anything.
  const std::uint64_t top = static_cast<std::uint64_t>(INT64_MAX) / 59659u;
  EXPECT_EQ(static_cast<std::uint32_t>(top) % 7u, FrameIndexAt(INT64_MAX, 166667, kAcpiFrequency, 7));
}

TEST(FrameIndexAt, ZeroPeriodFollowsTheCounterTickByTick) {
  // 2 units at 3.58 MHz is 0.7 ticks: treated as one, the index is the counter.
  for (std::int64_t c = 1000; c < 1010; ++c)
    EXPECT_EQ(static_cast<std::uint32_t>(c % 4), FrameIndexAt(c, 2, kAcpiFrequency, 4));
  EXPECT_EQ(0u, FrameIndexAt(12345, 166667, kWineFrequency, 0));  // no frames at all
  EXPECT_EQ(0u, FrameIndexAt(12345, 166667, kWineFrequency, 1));
}

}  // namespace
