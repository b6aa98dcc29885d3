// Pixel mapping of one frame over a raw bottom-up BGRA buffer.
#include "frc/frame_mapping.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "frc/level_tables.h"

namespace {

using Pixels = std::vector<std::uint8_t>;

Pixels Uniform(int width, int height, std::uint8_t level, std::uint8_t fourth = 0) {
  Pixels p(static_cast<size_t>(width) * height * 4);
  for (size_t i = 0; i < p.size(); i += 4) {
    p[i] = p[i + 1] = p[i + 2] = level;
    p[i + 3] = fourth;
  }
  return p;
}

Pixels Noise(int width, int height, std::uint32_t seed) {
  Pixels p(static_cast<size_t>(width) * height * 4);
  for (auto& b : p) {
    seed = seed * 1664525u + 1013904223u;
    b = static_cast<std::uint8_t>(seed >> 24);
  }
  return p;
}

// The per-pixel formula written out with a modulo per pixel.
Pixels Reference(const Pixels& source, int width, int height, std::uint32_t k) {
  Pixels out(source.size());
  const std::uint32_t n = LevelTableInterval();
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const size_t i = (static_cast<size_t>(y) * width + x) * 4;
      const std::uint32_t phase = (RowPhaseOrder[std::uint32_t(y) % n] + ColumnPhaseOrder[std::uint32_t(x) % n] + k) % n;
      for (int c = 0; c < 3; ++c) out[i + c] = LevelTable[phase * 256 + source[i + c]];
      out[i + 3] = source[i + 3];
    }
  return out;
}

// Under Wine the same code runs on a slower host: the exhaustive cases take a
// spread of intervals there.
constexpr bool IsWine() {
#ifdef _WIN32
  return true;
#else
  return false;
#endif
}

const char* PathName(VectorPath path) {
  return path == VectorPath::kAvx2 ? "AVX2" : path == VectorPath::kSse2 ? "SSE2" : "tables";
}

// The widest path this build must be able to take on any processor it runs
// on: SSE2 on x86 and x86-64 (part of x86-64, and of every processor the
// 32-bit program runs on), the tables elsewhere.
VectorPath WidestPathAlwaysHere() {
#if defined(__i386__) || defined(__x86_64__) || defined(_M_IX86) || defined(_M_X64)
  return VectorPath::kSse2;
#else
  return VectorPath::kTables;
#endif
}

// Whether this processor runs AVX2, asked independently of the mapping where
// the compiler can ask; elsewhere AVX2 is tested where it is taken.
bool ProcessorRunsAvx2(bool taken) {
#if (defined(__i386__) || defined(__x86_64__)) && (defined(__GNUC__) || defined(__clang__))
  static_cast<void>(taken);
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
#else
  return taken;
#endif
}

// Every path this build and processor have: the table path (the reference on
// processors without SSE2) and each vector path. Each test that loops over
// them checks each path on its own; a path that should be here but is not
// taken fails the calling test rather than leaving it out.
std::vector<VectorPath> VectorPathsHere() {
  std::vector<VectorPath> paths;
  for (VectorPath path : {VectorPath::kTables, VectorPath::kSse2, VectorPath::kAvx2}) {
    const VectorPath taken = LimitVectorPath(path);
    const bool expected = path <= WidestPathAlwaysHere() ||
                          (WidestPathAlwaysHere() == VectorPath::kSse2 && ProcessorRunsAvx2(taken == path));
    if (taken == path) paths.push_back(path);
    EXPECT_EQ(expected, taken == path) << "asked for " << PathName(path) << ", took " << PathName(taken);
  }
  LimitVectorPath(VectorPath::kAvx2);
  return paths;
}

// The exhaustive tests take every interval on the vector paths, whose
// arithmetic differs with the interval, and a spread of them on the table
// path, whose look-ups do not.
std::uint32_t IntervalStep(VectorPath path, std::uint32_t fine) {
  return IsWine() || path == VectorPath::kTables ? 23 : fine;
}

class FrameMappingTest : public ::testing::Test {
 protected:
  void TearDown() override {
    LimitVectorPath(VectorPath::kAvx2);
    ReleaseLevelTables();
  }
};

// Each path is taken exactly when asked for, and every one this build has is
// there: the table path always, SSE2 on x86 and x86-64.
TEST_F(FrameMappingTest, EveryPathTheBuildHasIsTaken) {
  const std::vector<VectorPath> paths = VectorPathsHere();
  for (VectorPath path : {VectorPath::kTables, VectorPath::kSse2}) {
    const bool here = path <= WidestPathAlwaysHere();
    EXPECT_EQ(here, std::find(paths.begin(), paths.end(), path) != paths.end()) << PathName(path);
    EXPECT_EQ(here ? path : VectorPath::kTables, LimitVectorPath(path)) << PathName(path);
  }
}

TEST_F(FrameMappingTest, PhaseTableOfFrameZeroForFourPhases) {
  // Level v = 1 with correction 0 shows upper (4) only in phase 3, so the output
  // marks where phase 3 falls; repeated for each rotation of the table.
  ASSERT_EQ(1, BuildLevelTables(4, 0));
  const int phases[4][8] = {
      {0, 1, 2, 3, 0, 1, 2, 3}, {3, 0, 1, 2, 3, 0, 1, 2}, {1, 2, 3, 0, 1, 2, 3, 0}, {2, 3, 0, 1, 2, 3, 0, 1}};
  for (std::uint32_t k = 0; k < 6; ++k) {
    Pixels p = Uniform(8, 4, 1);
    MapFramePixels(p.data(), p.data(), 8, 4, k);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 8; ++x) {
        const int phase = (phases[y][x] + int(k)) % 4;
        EXPECT_EQ(phase == 3 ? 4 : 0, p[(y * 8 + x) * 4]) << "k=" << k << " row " << y << " column " << x;
      }
  }
}

TEST_F(FrameMappingTest, UniformLevelFiveWithCorrectionThree) {
  ASSERT_EQ(1, BuildLevelTables(4, 3));
  Pixels frame0 = Uniform(8, 2, 5), frame1 = Uniform(8, 2, 5);
  MapFramePixels(frame0.data(), frame0.data(), 8, 2, 0);
  MapFramePixels(frame1.data(), frame1.data(), 8, 2, 1);
  for (int x = 0; x < 8; ++x) {
    EXPECT_EQ(x % 2 == 0 ? 3 : 7, frame0[x * 4]) << "column " << x;
    EXPECT_EQ(frame0[x * 4], frame0[x * 4 + 1]);
    EXPECT_EQ(frame0[x * 4], frame0[x * 4 + 2]);
    // Frame 1 is frame 0 shifted by one column.
    if (x > 0) {
      EXPECT_EQ(frame0[x * 4], frame1[(x - 1) * 4]) << "column " << x;
    }
  }
}

TEST_F(FrameMappingTest, FourthByteIsNeverTouched) {
  ASSERT_EQ(1, BuildLevelTables(16, 7));
  Pixels source = Noise(37, 11, 5);
  for (std::uint32_t k = 0; k < 16; ++k) {
    Pixels out(source.size(), 0xAA);
    MapFramePixels(source.data(), out.data(), 37, 11, k);
    for (size_t i = 3; i < source.size(); i += 4) ASSERT_EQ(source[i], out[i]) << "k=" << k << " byte " << i;
  }
}

TEST_F(FrameMappingTest, IntervalOneCopiesTheSource) {
  ASSERT_EQ(1, BuildLevelTables(1, 0));
  Pixels source = Noise(13, 7, 9);
  Pixels out(source.size());
  MapFramePixels(source.data(), out.data(), 13, 7, 0);
  EXPECT_EQ(source, out);
}

TEST_F(FrameMappingTest, MatchesTheFormulaForManyIntervalsAndShapes) {
  const int shapes[][2] = {{1, 1}, {1, 9}, {7, 1}, {3, 2}, {9, 3}, {17, 5}, {256, 3}, {300, 2}};
  for (VectorPath path : VectorPathsHere())
  for (std::uint32_t interval : {1u, 2u, 3u, 4u, 5u, 8u, 16u, 100u, 255u}) {
    SCOPED_TRACE(PathName(LimitVectorPath(path)));
    ASSERT_EQ(1, BuildLevelTables(interval, interval - 1));
    for (const auto& shape : shapes) {
      const Pixels source = Noise(shape[0], shape[1], interval);
      for (std::uint32_t k : {0u, 1u, interval - 1}) {
        Pixels separate(source.size()), inPlace = source;
        MapFramePixels(source.data(), separate.data(), shape[0], shape[1], k);
        MapFramePixels(inPlace.data(), inPlace.data(), shape[0], shape[1], k);
        const Pixels expected = Reference(source, shape[0], shape[1], k);
        ASSERT_EQ(expected, separate) << "N=" << interval << " " << shape[0] << "x" << shape[1] << " k=" << k;
        ASSERT_EQ(expected, inPlace) << "N=" << interval << " " << shape[0] << "x" << shape[1] << " k=" << k;
      }
    }
  }
}

TEST_F(FrameMappingTest, IntervalsAboveTheProgramRangeBuildNoTables) {
  ASSERT_EQ(1, BuildLevelTables(255, 0));
  for (std::uint32_t interval : {0u, 256u, 300u}) {
    EXPECT_EQ(0, BuildLevelTables(interval, 0)) << "N=" << interval;
    EXPECT_EQ(nullptr, LevelTable) << "N=" << interval;
    EXPECT_EQ(255u, LevelTableInterval()) << "N=" << interval;
  }
}

TEST_F(FrameMappingTest, EmptyDimensionsTouchNothing) {
  ASSERT_EQ(1, BuildLevelTables(4, 0));
  Pixels p = Uniform(2, 2, 1);
  const Pixels before = p;
  MapFramePixels(p.data(), p.data(), 0, 2, 0);
  MapFramePixels(p.data(), p.data(), 2, 0, 0);
  MapFramePixels(p.data(), p.data(), -3, 2, 0);
  EXPECT_EQ(before, p);
}


// Every interval, every correction, every input level in every phase: one row
// in which column x is in phase x mod N and the columns of each phase carry
// every level 0..255 across their colour bytes.
TEST_F(FrameMappingTest, EveryLevelInEveryPhaseMatchesTheTables) {
  for (VectorPath path : VectorPathsHere())
  for (std::uint32_t interval = 1; interval <= 255; interval += IntervalStep(path, 1)) {
    SCOPED_TRACE(PathName(LimitVectorPath(path)));
    const int width = static_cast<int>(interval) * 86 + 3;  // 86 * 3 channels >= 256 levels, and a tail
    Pixels source(static_cast<size_t>(width) * 4);
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 4; ++c) source[size_t(x) * 4 + c] = std::uint8_t((x / int(interval)) * 3 + c);
    Pixels out(source.size());
    for (std::uint32_t correction = 0; correction < interval; ++correction) {
      ASSERT_EQ(1, BuildLevelTables(interval, correction));
      MapFramePixels(source.data(), out.data(), width, 1, 0);
      for (size_t i = 0; i < out.size(); ++i) {
        const std::uint32_t phase = std::uint32_t(i / 4) % interval;
        const std::uint8_t expected = i % 4 == 3 ? source[i] : LevelTable[phase * 256 + source[i]];
        if (out[i] != expected)
          FAIL() << "N=" << interval << " correction " << correction << " level " << int(source[i]) << " phase " << phase
                 << ": " << int(out[i]) << " instead of " << int(expected);
      }
    }
  }
}


// The cycle path over every frame, every level in every phase, one correction
// per interval, two rows mapped as separate bands (the second first).
TEST_F(FrameMappingTest, EveryFrameOfTheCycleMatchesTheTables) {
  for (VectorPath path : VectorPathsHere())
  for (std::uint32_t interval = 1; interval <= 255; interval += IntervalStep(path, interval < 32 ? 1 : 3)) {
    SCOPED_TRACE(PathName(LimitVectorPath(path)));
    const int width = static_cast<int>(interval) * 86 + 3;
    Pixels source(static_cast<size_t>(width) * 8);
    for (size_t i = 0; i < source.size(); ++i) source[i] = std::uint8_t((i / 4 % width) / interval * 3 + i % 4);
    ASSERT_EQ(1, BuildLevelTables(interval, interval * 7 / 11));
    std::vector<Pixels> cycle(interval, Pixels(source.size()));
    std::vector<std::uint8_t*> targets;
    for (Pixels& frame : cycle) targets.push_back(frame.data());
    ASSERT_EQ(1, MapCycleRows(source.data(), targets.data(), width, 1, 2));
    ASSERT_EQ(1, MapCycleRows(source.data(), targets.data(), width, 0, 1));
    for (std::uint32_t k = 0; k < interval; ++k)
      for (size_t i = 0; i < source.size(); ++i) {
        const std::uint32_t phase = (RowPhaseOrder[i / 4 / width % interval] + std::uint32_t(i / 4 % width) + k) % interval;
        const std::uint8_t expected = i % 4 == 3 ? source[i] : LevelTable[phase * 256 + source[i]];
        if (cycle[k][i] != expected)
          FAIL() << "N=" << interval << " frame " << k << " byte " << i << ": " << int(cycle[k][i]) << " instead of "
                 << int(expected);
      }
  }
}

// Frames as the program allocates them, 16-byte aligned, but 1366 pixels wide:
// a row is 5,464 bytes, so every other row starts only 8-byte aligned. Each
// frame of the cycle must still be the formula's, on every path, whatever the
// source's own alignment.
TEST_F(FrameMappingTest, CycleIntoAlignedFramesWhoseRowsAreOnlyEightByteAligned) {
  const int width = 1366, height = 4;
  const std::size_t bytes = static_cast<std::size_t>(width) * height * 4;
  const auto aligned = [](Pixels* buffer, std::size_t skew) {
    const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(buffer->data());
    return buffer->data() + ((16 - at % 16) % 16) + skew;
  };
  for (VectorPath path : VectorPathsHere())
    for (std::uint32_t interval : {2u, 3u, 4u, 7u, 16u, 255u})
      for (std::size_t sourceSkew : {0u, 4u, 8u}) {
        SCOPED_TRACE(PathName(LimitVectorPath(path)));
        ASSERT_EQ(1, BuildLevelTables(interval, interval / 3));
        const Pixels noise = Noise(width, height, interval);
        Pixels sourceBuffer(bytes + 32);
        std::uint8_t* source = aligned(&sourceBuffer, sourceSkew);
        std::copy(noise.begin(), noise.end(), source);
        std::vector<Pixels> buffers(interval, Pixels(bytes + 16));
        std::vector<std::uint8_t*> targets;
        for (Pixels& buffer : buffers) targets.push_back(aligned(&buffer, 0));
        ASSERT_EQ(1, MapCycleRows(source, targets.data(), width, 0, height));
        for (std::uint32_t k = 0; k < interval; ++k) {
          const Pixels expected = Reference(noise, width, height, k);
          ASSERT_TRUE(std::equal(expected.begin(), expected.end(), targets[k]))
              << "N=" << interval << " frame " << k << " source skew " << sourceSkew;
        }
      }
}

}  // namespace
