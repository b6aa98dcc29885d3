// RebuildFrameSet against the real GDI: frames rendered on all cores equal
// frames rendered one by one, kept sections give the same bytes as fresh ones,
// and no rebuild, shorter, failed or repeated, leaves an object behind.
#include "frc/rebuild_frames.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

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

TEST_F(RebuildFramesTest, KeptSectionsEqualFreshFramesAndShorterCyclesReleaseTheRest) {
  ASSERT_TRUE(LoadTestPicture(17, 6, Pattern));
  ASSERT_EQ(FrameBuild::kBuilt, RebuildFrameSet(SourceSurface, 4, 0));
  const int gdiAtFour = GdiObjectCount();
  ASSERT_EQ(FrameBuild::kBuilt, RebuildFrameSet(SourceSurface, 9, 0));
  std::vector<HBITMAP> sections;
  for (std::uint32_t k = 0; k < 9; ++k) sections.push_back(FrameSet[k].bitmap);

  // Another correction: the same sections, the bytes of a fresh cycle.
  ASSERT_EQ(FrameBuild::kBuilt, RebuildFrameSet(SourceSurface, 9, 5));
  for (std::uint32_t k = 0; k < 9; ++k) EXPECT_EQ(sections[k], FrameSet[k].bitmap) << "frame " << k;
  ExpectFrameSet(SerialCycle(9, 5), "kept, other correction");

  // A shorter cycle keeps only what it needs.
  ASSERT_EQ(FrameBuild::kBuilt, RebuildFrameSet(SourceSurface, 4, 1));
  EXPECT_EQ(gdiAtFour, GdiObjectCount());
  ExpectFrameSet(SerialCycle(4, 1), "shorter");

  // A new picture of the same size never takes the old sections: its frames
  // are surfaces made after it.
  ASSERT_TRUE(LoadTestPicture(17, 6, OtherPattern));
  ASSERT_EQ(FrameBuild::kBuilt, RebuildFrameSet(SourceSurface, 4, 1));
  for (std::uint32_t k = 0; k < 4; ++k) EXPECT_GT(FrameSet[k].generation, SourceSurface.generation) << "frame " << k;
  ExpectFrameSet(SerialCycle(4, 1), "new picture");
}

TEST_F(RebuildFramesTest, FailureAfterKeptFramesLeavesNoFramesAndNoObjects) {
  HBITMAP bitmap = CreateTestDib32(12, 5, Pattern);
  DibSurface picture;
  PrepareDib32Header(&picture.header);
  picture.bitmap = ConvertToDib32(&picture.header, &picture.bits, bitmap);
  DeleteObject(bitmap);
  ASSERT_NE(nullptr, picture.bitmap);
  const int gdiWithPicture = GdiObjectCount();
  ASSERT_EQ(FrameBuild::kBuilt, RebuildFrameSet(picture, 3, 0));

  // The same picture whose handle no longer makes new sections: the three
  // kept frames render, the fourth one fails.
  const HBITMAP kept = picture.bitmap;
  picture.bitmap = reinterpret_cast<HBITMAP>(static_cast<INT_PTR>(0x7FFF0));
  EXPECT_EQ(FrameBuild::kFramesFailed, RebuildFrameSet(picture, 7, 2));
  picture.bitmap = kept;
  EXPECT_EQ(nullptr, FrameSet);
  EXPECT_EQ(7u, FrcCount.load());
  EXPECT_EQ(2u, FrcOffset);
  EXPECT_EQ(gdiWithPicture, GdiObjectCount());
}

TEST_F(RebuildFramesTest, TwoHundredRebuildsWithChangingIntervalsLeaveNothingBehind) {
  ASSERT_TRUE(LoadTestPicture(8, 8, Pattern));
  ASSERT_EQ(FrameBuild::kBuilt, RebuildFrameSet(SourceSurface, 5, 0));
  const int gdi = GdiObjectCount();
  DWORD handles = 0, handlesAfter = 0;
  GetProcessHandleCount(GetCurrentProcess(), &handles);
  for (std::uint32_t i = 0; i < 200; ++i) {
    const std::uint32_t interval = 1 + (i * 37) % 23;
    ASSERT_EQ(FrameBuild::kBuilt, RebuildFrameSet(SourceSurface, interval, i % interval)) << "rebuild " << i;
  }
  ASSERT_EQ(FrameBuild::kBuilt, RebuildFrameSet(SourceSurface, 5, 0));
  EXPECT_EQ(gdi, GdiObjectCount());
  GetProcessHandleCount(GetCurrentProcess(), &handlesAfter);
  EXPECT_EQ(handles, handlesAfter);
}

}  // namespace
