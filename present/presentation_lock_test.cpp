// Locked playback against scripted vblank sequences: the frame due, and the
// audit's figures for late wakes, drops and repeated numbers.
#include "present/presentation_lock.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(PresentationLockTest, ReadsRates) {
  const struct {
    const wchar_t* text;
    std::uint32_t numerator, denominator;  // 0/0: refused
  } cases[] = {
      {L"60", 60, 1}, {L"59.94", 2997, 50}, {L"60000/1001", 60000, 1001}, {L"240.0000000", 240, 1},
      {L"1000", 1000, 1}, {L"1", 1, 1}, {L"0", 0, 0}, {L"1000.5", 0, 0}, {L"1001/60000", 0, 0},
      {L"60/0", 0, 0}, {L"60.", 0, 0}, {L".5", 0, 0}, {L"59.940000001", 0, 0}, {L"60 ", 0, 0}, {L"", 0, 0},
      {L"-60", 0, 0}, {L"6/1/1", 0, 0}, {L"9999999999999999", 0, 0},
      // Fifteen digits are read; a rate far above 1000 Hz stays refused however it is written.
      {L"000000000000060", 60, 1}, {L"100000000000000/100000000000000", 1, 1}, {L"000000000000060.5", 121, 2},
      {L"1844674407372.0000000", 0, 0}, {L"0000000000000000000000000000000000000060", 0, 0},
  };
  for (const auto& c : cases) {
    RefreshRate rate = {0, 0};
    EXPECT_EQ(c.numerator != 0, ParseRefreshRate(c.text, &rate) == 1) << c.text;
    EXPECT_EQ(c.numerator, rate.numerator) << c.text;
    EXPECT_EQ(c.denominator, rate.denominator) << c.text;
  }
  EXPECT_EQ(L"59.94", RefreshRateText(RefreshRate{60000, 1001}));
  EXPECT_EQ(L"143.9", RefreshRateText(MakeRefreshRate(1439, 10)));
  EXPECT_EQ(std::int64_t{166833}, RefreshPeriodTicks(RefreshRate{60000, 1001}, 10000000));
  const RefreshRate big = MakeRefreshRate((60000ull << 30) + 1, 1001ull << 30);
  EXPECT_GE(0x7FFFFFFFu, big.numerator);
  EXPECT_EQ(L"59.94", RefreshRateText(big));
  // Hundredths rounded half up, carrying into the whole number.
  const struct {
    const wchar_t* parsed;
    const wchar_t* text;
  } texts[] = {{L"59.945", L"59.95"}, {L"59.9449999", L"59.94"}, {L"59.995", L"60"}, {L"143.855", L"143.86"},
               {L"1.0049999", L"1"}, {L"1.005", L"1.01"}, {L"599999999999999/10000000000000", L"60"}};
  for (const auto& t : texts) {
    RefreshRate rate = {0, 0};
    EXPECT_EQ(1, ParseRefreshRate(t.parsed, &rate)) << t.parsed;
    EXPECT_EQ(t.text, RefreshRateText(rate)) << t.parsed;
  }
  // A refresh of 1,789,772.5 ticks rounds up, one of 59,718.74 too, one of 59,659.08 down.
  EXPECT_EQ(std::int64_t{1789773}, RefreshPeriodTicks(RefreshRate{2, 1}, 3579545));
  EXPECT_EQ(std::int64_t{59719}, RefreshPeriodTicks(RefreshRate{60000, 1001}, 3579545));
  EXPECT_EQ(std::int64_t{59659}, RefreshPeriodTicks(RefreshRate{60, 1}, 3579545));
}

TEST(PresentationLockTest, RefreshesPerFrame) {
  const struct {
    std::uint32_t duration;
    RefreshRate rate;
    std::uint32_t k, used;
    bool within, shorter;
  } cases[] = {
      {166667, {60, 1}, 1, 166667, true, false},     {166667, {60000, 1001}, 1, 166833, true, false},
      {41667, {60, 1}, 1, 166667, false, true},      {41667, {240, 1}, 1, 41667, true, false},
      {333333, {60000, 1001}, 2, 333667, true, false}, {250000, {60, 1}, 2, 333333, false, false},
      {0, {60, 1}, 1, 0, true, false},               {166667, {0, 1}, 1, 166667, true, false},
      {4294967295u, {1000, 1}, 429497, 4294967295u, true, false},
  };
  for (const auto& c : cases) {
    const LockTiming t = ComputeLockTiming(c.duration, c.rate);
    EXPECT_EQ(c.k, t.refreshesPerFrame) << c.duration << " @ " << c.rate.numerator;
    EXPECT_EQ(c.used, t.usedDuration) << c.duration;
    EXPECT_EQ(c.within, t.withinOnePercent) << c.duration;
    EXPECT_EQ(c.shorter, t.shorterThanRefresh) << c.duration;
  }
}

// Every wake on time, N 1-255 and k 1-8 over three cycles: each frame of the
// sequence in turn, each held exactly k, nothing counted but the refreshes.
TEST(PresentationLockTest, PunctualWakesHoldEveryFrameExactly) {
  for (std::uint32_t n = 1; n <= 255; ++n) {
    for (std::uint32_t k = 1; k <= 8; ++k) {
      PresentationLock lock = {};
      StartPresentationLock(&lock, 1000, n - 1, k, n);
      std::uint32_t changes = 0;
      for (std::uint64_t v = 1001; v <= 1000 + 3ull * n * k; ++v) {
        const LockStep step = AdvancePresentationLock(&lock, v);
        const std::uint32_t due = static_cast<std::uint32_t>((n - 1 + (v - 1000) / k) % n);
        ASSERT_EQ(due, step.frame) << n << "/" << k << " at " << v;
        if (step.judged) {
          ASSERT_EQ(k, step.judgedHeld);
        }
        changes += step.change ? 1 : 0;
      }
      EXPECT_EQ(n == 1 ? 0 : 3 * n, changes) << n << "/" << k;
      EXPECT_EQ(3ull * n * k, lock.total.refreshes);
      EXPECT_EQ(0u, lock.total.doubled + lock.total.missed + lock.total.lateWakes) << n << "/" << k;
    }
  }
}

// The log, read back and judged, tells what the audit counted: over uneven
// wakes that hold frames long and jump some, the doubled and missed frames of
// the rows equal the lock's.
TEST(PresentationLockTest, TheLogTellsWhatTheAuditCounted) {
  std::uint32_t seed = 12345;
  for (std::uint32_t n : {3u, 4u, 7u, 16u}) {
    for (std::uint32_t k : {1u, 2u, 3u}) {
      PresentationLock lock = {};
      StartPresentationLock(&lock, 0, 0, k, n);
      std::vector<PresentationLogEntry> rows;
      LockStep step = {};
      for (std::uint64_t v = 0; v < 4000;) {
        seed = seed * 1103515245u + 12345u;
        v += 1 + (seed >> 16) % (n * k / 2 + 1);  // never a whole cycle at once
        step = AdvancePresentationLock(&lock, v);
        if (step.judged) rows.push_back({step.judgedFrame, step.judgedSince, step.judgedHeld});
      }
      const PresentationFigures told = TallyPresentationLog(rows.data(), rows.size(), k, n, step.frame);
      ASSERT_GT(lock.total.doubled + lock.total.missed, 0u) << n << "/" << k;
      EXPECT_EQ(lock.total.doubled, told.doubled) << n << "/" << k;
      EXPECT_EQ(lock.total.missed, told.missed) << n << "/" << k;
    }
  }
}

// Scripted wakes after a start at vblank 0 on frame 0.
TEST(PresentationLockTest, CountsEachGapOnce) {
  const struct {
    std::uint32_t interval, k;
    std::vector<std::uint64_t> wakes;
    std::uint64_t doubled, missed, late;
    std::uint32_t lastFrame;
  } cases[] = {
      {4, 1, {1, 2, 3, 4, 5}, 0, 0, 0, 1},
      {4, 1, {1, 3, 4}, 1, 1, 1, 0},          // vblank 2 passed unseen: frame 1 doubled, frame 2 never shown
      {4, 1, {1, 1, 2, 2, 3}, 0, 0, 0, 3},    // repeated numbers count as nothing
      {4, 1, {1, 2, 6}, 1, 3, 1, 2},          // a gap of three refreshes
      {4, 2, {2, 4, 5}, 0, 0, 2, 2},          // the unseen vblanks changed no frame
      {4, 2, {1, 2, 3, 5, 6}, 1, 1, 1, 3},    // vblank 4 unseen: frame 1 held 3, frame 2 only 1
      {4, 3, {1, 2, 4, 5, 6, 7}, 1, 1, 1, 2},
      {4, 1, {9}, 1, 8, 1, 1},                // two whole cycles jumped
      {1, 1, {1, 2, 4}, 1, 1, 1, 0},
  };
  for (const auto& c : cases) {
    PresentationLock lock = {};
    StartPresentationLock(&lock, 0, 0, c.k, c.interval);
    LockStep step = {};
    for (std::uint64_t v : c.wakes) step = AdvancePresentationLock(&lock, v);
    const std::uint64_t last = c.wakes.back();
    EXPECT_EQ(c.lastFrame, step.frame) << "ending " << last;
    EXPECT_EQ(last, lock.total.refreshes) << "ending " << last;
    EXPECT_EQ(c.doubled, lock.total.doubled) << "ending " << last;
    EXPECT_EQ(c.missed, lock.total.missed) << "ending " << last;
    EXPECT_EQ(c.late, lock.total.lateWakes) << "ending " << last;
  }
}

// A rate change restarts the schedule with a new k; totals carry on.
TEST(PresentationLockTest, RestartKeepsTotals) {
  PresentationLock lock = {};
  StartPresentationLock(&lock, 0, 0, 1, 3);
  for (std::uint64_t v : {1, 3, 4}) AdvancePresentationLock(&lock, v);
  EXPECT_EQ(1u, lock.total.doubled);
  EXPECT_EQ(1u, lock.total.missed);
  StartPresentationLock(&lock, 10, 2, ComputeLockTiming(333333, {60000, 1001}).refreshesPerFrame, 3);
  EXPECT_EQ(2u, AdvancePresentationLock(&lock, 11).frame);
  EXPECT_EQ(0u, AdvancePresentationLock(&lock, 12).frame);
  EXPECT_EQ(6u, lock.total.refreshes);
  ResetPresentationAudit(&lock);
  EXPECT_FALSE(lock.running);
  EXPECT_EQ(0u, lock.total.refreshes);
}

TEST(PresentationLockTest, WritesLogRows) {
  EXPECT_EQ("3,120,-5,2,1\n", PresentationLogRow(3, 120, -5, 2, 2));
  EXPECT_EQ("0,7,9,3,0\n", PresentationLogRow(0, 7, 9, 3, 2));
}

}  // namespace
