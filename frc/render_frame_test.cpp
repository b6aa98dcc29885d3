// RenderFrame against the real GDI: the frame holds the mapped picture, the
// surface ends Ready with its bitmap free, and failures leave nothing behind.
#include "frc/render_frame.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "frc/frame_mapping.h"
#include "frc/level_tables.h"
#include "tests/support/win_test_support.h"

namespace {

unsigned Gradient(int x, int y) { return unsigned((x * 7) & 0xFF) | unsigned((y * 13) & 0xFF) << 8 | unsigned((x + y) & 0xFF) << 16 | 0x5A000000u; }

std::vector<BYTE> Bytes(const DibSurface& s) {
  const BYTE* p = static_cast<const BYTE*>(s.bits);
  return std::vector<BYTE>(p, p + s.byteSize);
}

// The 32-bpp surface RenderFrame takes its pixels from, converted from bitmap.
void MakeSource(DibSurface* source, HBITMAP bitmap) {
  PrepareDib32Header(&source->header);
  source->bitmap = ConvertToDib32(&source->header, &source->bits, bitmap);
  source->byteSize = source->header.bmiHeader.biSizeImage;
}

class RenderFrameTest : public ::testing::Test {
 protected:
  void SetUp() override { gdiBefore_ = GdiObjectCount(); }
  void TearDown() override {
    ReleaseLevelTables();
    EXPECT_EQ(gdiBefore_, GdiObjectCount()) << "GDI objects left behind";
  }

 private:
  int gdiBefore_ = 0;
};

TEST_F(RenderFrameTest, FrameHoldsTheMappedPictureAndIsReady) {
  ASSERT_EQ(1, BuildLevelTables(4, 3));
  HBITMAP source = CreateTestDib32(37, 9, Gradient);
  DIBSECTION info;
  ASSERT_NE(0, GetObjectW(source, sizeof info, &info));
  const BYTE* sourceBits = static_cast<const BYTE*>(info.dsBm.bmBits);
  DibSurface picture;
  MakeSource(&picture, source);
  for (std::uint32_t k = 0; k < 4; ++k) {
    DibSurface frame;
    ASSERT_EQ(1, RenderFrame(&frame, picture, k));
    EXPECT_EQ(37, frame.header.bmiHeader.biWidth);
    EXPECT_EQ(9, frame.header.bmiHeader.biHeight);
    EXPECT_EQ(32, frame.header.bmiHeader.biBitCount);
    EXPECT_EQ(37u * 9u * 4u, frame.byteSize);
    std::vector<BYTE> expected(sourceBits, sourceBits + frame.byteSize);
    MapFramePixels(expected.data(), expected.data(), 37, 9, k);
    EXPECT_EQ(expected, Bytes(frame)) << "frame " << k;
    ASSERT_NE(nullptr, frame.memoryDc);
    EXPECT_EQ(frame.savedObject, GetCurrentObject(frame.memoryDc, OBJ_BITMAP));
  }
  DeleteObject(source);
}

TEST_F(RenderFrameTest, UniformFiveRowZeroAlternatesAndFrameOneShifts) {
  ASSERT_EQ(1, BuildLevelTables(4, 3));
  HBITMAP source = CreateTestDib32(8, 4, [](int, int) { return 0x050505u; });
  DibSurface picture, frame0, frame1;
  MakeSource(&picture, source);
  ASSERT_EQ(1, RenderFrame(&frame0, picture, 0));
  ASSERT_EQ(1, RenderFrame(&frame1, picture, 1));
  DeleteObject(source);
  const BYTE* row0 = static_cast<const BYTE*>(frame0.bits);
  const BYTE* row1 = static_cast<const BYTE*>(frame1.bits);
  for (int x = 0; x < 8; ++x) {
    EXPECT_EQ(x % 2 == 0 ? 3 : 7, row0[x * 4]) << "column " << x;
    EXPECT_EQ(x % 2 == 0 ? 7 : 3, row1[x * 4]) << "column " << x;
  }
}

TEST_F(RenderFrameTest, IntervalOneFramesEqualTheSourceCopy) {
  ASSERT_EQ(1, BuildLevelTables(1, 0));
  HBITMAP source = CreateTestDib32(17, 5, Gradient);
  DibSurface copy;
  PrepareDib32Header(&copy.header);
  copy.bitmap = ConvertToDib32(&copy.header, &copy.bits, source);
  copy.byteSize = copy.header.bmiHeader.biSizeImage;
  DibSurface frame;
  ASSERT_EQ(1, RenderFrame(&frame, copy, 0));
  DeleteObject(source);
  EXPECT_EQ(Bytes(copy), Bytes(frame));
}

TEST_F(RenderFrameTest, PalettedPictureConvertedFirstRendersItsColours) {
  ASSERT_EQ(1, BuildLevelTables(2, 1));
  RGBQUAD palette[2] = {{4, 4, 4, 0}, {9, 9, 9, 0}};
  const BYTE rows[1][4] = {{0x80, 0, 0, 0}};  // columns: 9, 4, 4
  HBITMAP source = CreateTestDib(3, 1, 1, rows, palette, 2);
  DibSurface picture, frame;
  MakeSource(&picture, source);
  ASSERT_EQ(1, RenderFrame(&frame, picture, 0));
  DeleteObject(source);
  // Row 0, frame 0: column x is in phase x mod 2. 9 is a grid level; 4 shows 3 in phase 0, 5 in phase 1.
  const BYTE* p = static_cast<const BYTE*>(frame.bits);
  EXPECT_EQ(9, p[0]);
  EXPECT_EQ(5, p[4]);
  EXPECT_EQ(3, p[8]);
}

// A frame of the source's size is overwritten in place (equal to a fresh one);
// neither way leaves an object behind.
TEST_F(RenderFrameTest, RenderingAgainKeepsTheSection) {
  ASSERT_EQ(1, BuildLevelTables(4, 1));
  HBITMAP source = CreateTestDib32(9, 4, Gradient);
  DibSurface picture, frame, fresh;
  MakeSource(&picture, source);
  DeleteObject(source);
  ASSERT_EQ(1, RenderFrame(&frame, picture, 0));
  ASSERT_EQ(1, RenderFrame(&fresh, picture, 3));
  const HBITMAP section = frame.bitmap;
  const int afterFirst = GdiObjectCount();
  ASSERT_EQ(1, RenderFrame(&frame, picture, 3));
  EXPECT_EQ(section, frame.bitmap);
  EXPECT_EQ(afterFirst, GdiObjectCount());
  EXPECT_EQ(Bytes(fresh), Bytes(frame));
}

TEST_F(RenderFrameTest, FailedConversionLeavesTheSurfaceReset) {
  ASSERT_EQ(1, BuildLevelTables(2, 0));
  HBITMAP source = CreateTestDib32(4, 4, Gradient);
  DibSurface picture, frame;
  MakeSource(&picture, source);
  DeleteObject(source);
  ASSERT_EQ(1, RenderFrame(&frame, picture, 0));
  picture.Reset();  // a source without pixels
  EXPECT_EQ(0, RenderFrame(&frame, picture, 0));
  EXPECT_EQ(nullptr, frame.bitmap);
  EXPECT_EQ(nullptr, frame.memoryDc);
  EXPECT_EQ(nullptr, frame.bits);
}

}  // namespace

namespace {

// Frames of the loaded picture equal frames of an equal picture in any other
// surface: the loaded one gets no path of its own.
TEST_F(RenderFrameTest, FramesOfTheSourceSurfaceMatchThoseOfAnyEqualSurface) {
  ASSERT_EQ(1, BuildLevelTables(16, 15));
  HBITMAP picture = CreateTestDib32(41, 23, Gradient);
  MakeSource(&SourceSurface, picture);
  DibSurface other;
  MakeSource(&other, picture);
  ASSERT_NE(nullptr, SourceSurface.bitmap);
  for (std::uint32_t k : {0u, 5u, 15u}) {
    DibSurface direct, converted;
    ASSERT_EQ(1, RenderFrame(&direct, SourceSurface, k));
    ASSERT_EQ(1, RenderFrame(&converted, other, k));
    EXPECT_EQ(Bytes(converted), Bytes(direct)) << "frame " << k;
    EXPECT_EQ(41, direct.header.bmiHeader.biWidth);
    EXPECT_EQ(23 * 41 * 4u, direct.byteSize);
  }
  SourceSurface.Reset();
  DeleteObject(picture);
}

}  // namespace
