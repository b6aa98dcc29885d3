// The frame cache against the real GDI: frames made on all cores equal frames
// rendered one by one, kept sections give the same bytes as fresh ones, a
// small budget is never overrun and never costs the frame on screen, and no
// rebuild, shorter, failed or repeated, leaves an object behind.
#include "frc/frame_cache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "base/thread_checks.h"
#include "frc/engine_state.h"
#include "frc/level_tables.h"
#include "frc/render_frame.h"
#include "tests/support/win_test_support.h"

namespace {

using Bytes = std::vector<BYTE>;

unsigned Pattern(int x, int y) { return unsigned(x * 37 + y * 11) * 0x01030507u; }
unsigned OtherPattern(int x, int y) { return unsigned(x * 5 + y * 101) * 0x0301F1u; }
Bytes PixelsOf(const DibSurface& s) {
  return Bytes(static_cast<const BYTE*>(s.bits), static_cast<const BYTE*>(s.bits) + s.byteSize);
}

// The cycle rendered frame after frame on this thread into fresh surfaces.
std::vector<Bytes> SerialCycle(std::uint32_t interval, std::uint32_t correction) {
  EXPECT_EQ(1, BuildLevelTables(interval, correction));
  std::vector<Bytes> frames;
  for (std::uint32_t k = 0; k < interval; ++k) {
    DibSurface frame;
    EXPECT_EQ(1, RenderFrame(&frame, SourceSurface, k));
    frames.push_back(PixelsOf(frame));
  }
  return frames;
}

void ExpectFrameSet(const std::vector<Bytes>& expected, const char* what) {
  ASSERT_TRUE(MakeWholeCycle()) << what;
  ASSERT_EQ(expected.size(), FrameSetCount(FrameSet)) << what;
  for (size_t k = 0; k < expected.size(); ++k) ASSERT_EQ(expected[k], PixelsOf(FrameSet[k])) << what << ", frame " << k;
}

class RebuildFramesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetEngineState();
    gdiBefore_ = GdiObjectCount();
  }
  void TearDown() override {
    ResetEngineState();
    EXPECT_EQ(gdiBefore_, GdiObjectCount()) << "GDI objects left behind";
  }
  int gdiBefore_ = 0;
};

TEST_F(RebuildFramesTest, AllCoresGiveTheFramesOfOneByOne) {
  ASSERT_TRUE(LoadTestPicture(23, 9, Pattern));
  for (std::uint32_t interval : {1u, 2u, 7u, 255u}) {
    const std::vector<Bytes> serial = SerialCycle(interval, interval / 2);
    ASSERT_EQ(FrameBuild::kBuilt, RebuildFrameSet(SourceSurface, interval, interval / 2));
    EXPECT_EQ(interval, FrcCount.load());
    ExpectFrameSet(serial, interval == 255 ? "N=255" : "small N");
  }
}

std::vector<HBITMAP> SortedSections() {
  std::vector<HBITMAP> sections;
  for (std::uint32_t k = 0; k < FrameSetCount(FrameSet); ++k) sections.push_back(FrameSet[k].bitmap);
  std::sort(sections.begin(), sections.end());
  return sections;
}

// Each expected cycle is rendered before its rebuild: rendering builds the
// tables, which must not change while the maker makes frames through them.
TEST_F(RebuildFramesTest, KeptSectionsEqualFreshFramesAndShorterCyclesReleaseTheRest) {
  ASSERT_TRUE(LoadTestPicture(17, 6, Pattern));
  ASSERT_EQ(FrameBuild::kBuilt, RebuildFrameSet(SourceSurface, 4, 0));
  ASSERT_TRUE(MakeWholeCycle());
  const int gdiAtFour = GdiObjectCount();
  std::vector<Bytes> expected = SerialCycle(9, 0);
  ASSERT_EQ(FrameBuild::kBuilt, RebuildFrameSet(SourceSurface, 9, 0));
  ExpectFrameSet(expected, "longer");
  const std::vector<HBITMAP> sections = SortedSections();

  // Another correction: the same sections, the bytes of a fresh cycle.
  expected = SerialCycle(9, 5);
  ASSERT_EQ(FrameBuild::kBuilt, RebuildFrameSet(SourceSurface, 9, 5));
  ExpectFrameSet(expected, "kept, other correction");
  EXPECT_EQ(sections, SortedSections());

  // A shorter cycle keeps only what it needs.
  expected = SerialCycle(4, 1);
  ASSERT_EQ(FrameBuild::kBuilt, RebuildFrameSet(SourceSurface, 4, 1));
  ExpectFrameSet(expected, "shorter");
  EXPECT_EQ(gdiAtFour, GdiObjectCount());

  // A new picture of the same size never takes the old sections: its frames
  // are surfaces made after it.
  ASSERT_TRUE(LoadTestPicture(17, 6, OtherPattern));
  expected = SerialCycle(4, 1);
  ASSERT_EQ(FrameBuild::kBuilt, RebuildFrameSet(SourceSurface, 4, 1));
  ExpectFrameSet(expected, "new picture");
  for (std::uint32_t k = 0; k < 4; ++k) EXPECT_GT(FrameSet[k].generation, SourceSurface.generation) << "frame " << k;
}

TEST_F(RebuildFramesTest, FailuresToMakeAFrameLeaveNoObjects) {
  HBITMAP bitmap = CreateTestDib32(12, 5, Pattern);
  DibSurface picture;
  PrepareDib32Header(&picture.header);
  picture.bitmap = ConvertToDib32(&picture.header, &picture.bits, bitmap);
  DeleteObject(bitmap);
  ASSERT_NE(nullptr, picture.bitmap);
  const int gdiWithPicture = GdiObjectCount();
  ASSERT_EQ(FrameBuild::kBuilt, RebuildFrameSet(picture, 3, 0));
  ASSERT_TRUE(MakeWholeCycle());

  // The same picture whose handle no longer makes new sections: the kept
  // sections make frame 0 and two more, the fourth frame fails.
  const HBITMAP kept = picture.bitmap;
  picture.bitmap = reinterpret_cast<HBITMAP>(static_cast<INT_PTR>(0x7FFF0));
  EXPECT_EQ(FrameBuild::kBuilt, RebuildFrameSet(picture, 7, 2));
  EXPECT_FALSE(MakeWholeCycle());
  {
    MutexLock guard(FrameSetLock());
    EXPECT_EQ(3u, FramesMade());
  }
  // A new picture whose first frame cannot be made leaves no frames at all.
  picture.generation += 1000;
  EXPECT_EQ(FrameBuild::kFramesFailed, RebuildFrameSet(picture, 7, 2));
  picture.bitmap = kept;
  EXPECT_EQ(nullptr, FrameSet);
  EXPECT_EQ(7u, FrcCount.load());
  EXPECT_EQ(2u, FrcOffset);
  EXPECT_EQ(gdiWithPicture, GdiObjectCount());
}

// Playing a cycle longer than a tiny budget, forwards and by jumps: every
// frame drawn is the right one, the sections never outnumber the budget, and
// the maker, working meanwhile, never takes the frame on screen.
TEST_F(RebuildFramesTest, ASmallBudgetIsNeverOverrunNorCostsTheFrameOnScreen) {
  ASSERT_TRUE(LoadTestPicture(40, 40, Pattern));
  const std::vector<Bytes> serial = SerialCycle(11, 3);
  const std::uint64_t budget = SetFrameBudget(1);  // the fewest frames: four
  ASSERT_EQ(FrameBuild::kBuilt, RebuildFrameSet(SourceSurface, 11, 3));
  const int gdi = GdiObjectCount();
  EXPECT_EQ(4u, FrameSlots());
  for (std::uint32_t step = 0; step < 60; ++step) {
    const std::uint32_t k = step < 30 ? step % 11 : (step * 7) % 11;
    SetCurrentFrame(k);
    bool made = false;
    {
      MutexLock guard(FrameSetLock());
      FrameForDrawing(k, &made);
    }
    if (!made) {
      ASSERT_TRUE(MakeFrameNow(k)) << "step " << step;
      MutexLock guard(FrameSetLock());
      FrameForDrawing(k, &made);
    }
    ASSERT_TRUE(made) << "step " << step;
    Sleep(step % 3);  // the maker makes what follows, and evicts for it
    MutexLock guard(FrameSetLock());
    ASSERT_EQ(&FrameSet[k], FrameOnScreen()) << "step " << step;
    ASSERT_EQ(serial[k], PixelsOf(FrameSet[k])) << "step " << step;
    ASSERT_LE(FramesMade(), 4u) << "step " << step;
    ASSERT_LE(GdiObjectCount(), gdi + 6) << "three more sections and their DCs at most";
  }
  SetFrameBudget(budget);
}

TEST_F(RebuildFramesTest, TwoHundredRebuildsWithChangingIntervalsLeaveNothingBehind) {
  ASSERT_TRUE(LoadTestPicture(8, 8, Pattern));
  ASSERT_EQ(FrameBuild::kBuilt, RebuildFrameSet(SourceSurface, 5, 0));
  ASSERT_TRUE(MakeWholeCycle());
  const int gdi = GdiObjectCount();
  DWORD handles = 0, handlesAfter = 0;
  GetProcessHandleCount(GetCurrentProcess(), &handles);
  for (std::uint32_t i = 0; i < 200; ++i) {
    const std::uint32_t interval = 1 + (i * 37) % 23;
    ASSERT_EQ(FrameBuild::kBuilt, RebuildFrameSet(SourceSurface, interval, i % interval)) << "rebuild " << i;
  }
  ASSERT_EQ(FrameBuild::kBuilt, RebuildFrameSet(SourceSurface, 5, 0));
  ASSERT_TRUE(MakeWholeCycle());
  EXPECT_EQ(gdi, GdiObjectCount());
  GetProcessHandleCount(GetCurrentProcess(), &handlesAfter);
  EXPECT_EQ(handles, handlesAfter);
}

}  // namespace
