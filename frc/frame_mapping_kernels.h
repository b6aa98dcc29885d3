// The vector paths of the frame mapping, written once over a set of vector
// operations and compiled once per instruction set: frame_mapping.cpp
// instantiates them with SSE2 (16 bytes a step), frame_mapping_avx2.cpp with
// AVX2 (32 bytes a step). Include only from those two files.
//
// Everything below the two declarations has internal linkage on purpose: each
// of the two files gets its own copy, compiled for its own instruction set, so
// the linker can never hand code built for AVX2 to the SSE2 path.
//
// The arithmetic. With d = min(max(v, offset), last) - offset, where last is
// the highest grid level, the level shown in phase p is
//     offset + N * (floor(d * (p + 1) / N) - floor(d * p / N))
// (the lower grid level plus N exactly when the spread steps in phase p), and
// floor(d * c / N) for d <= 255 and c < N is the high half of
// d * ceil(c * 65536 / N) in 16 bits, exact because d times that constant's
// rounding error stays below 65536. For c == N the constant would be 65536;
// the high half of (d + 1) * 65535 gives d instead.
//
// An operation set V provides: Vec, kBytes, Load/Store (unaligned),
// LoadAligned/StoreAligned, Stream (16-byte aligned, past the cache), Fence,
// Broadcast32, Repeat16x4 (four 16-bit lanes repeated), FromLanes16 (16-bit
// lanes from memory), Zero, And, Or, Add8, Sub8, SubsU8, MinU8, MaxU8, CmpEq8,
// Add16, Sub16, MulHiU16, MulLo16, UnpackLo8, UnpackHi8, PackUs16. Unpacking
// and packing work within 16-byte blocks, as the instructions do.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "frc/frame_mapping.h"
#include "frc/level_tables.h"

// The AVX2 entry points (frame_mapping_avx2.cpp, built where the compiler
// targets x86): the same contracts as the SSE2 ones in frame_mapping.cpp.
void MapFrameRowsAvx2(const std::uint8_t* source, std::uint8_t* target, std::int32_t width,
                      std::int32_t firstRow, std::int32_t endRow, std::uint32_t frameIndex);
int MapCycleRowsAvx2(const std::uint8_t* source, std::uint8_t* const* targets, std::int32_t width,
                     std::int32_t firstRow, std::int32_t endRow);

namespace {

// Intervals the vector paths take: every phase fits a byte.
constexpr std::uint32_t kMaxVectorCount = 255;

inline std::uint16_t Reciprocal(std::uint32_t c, std::uint32_t interval) {
  return static_cast<std::uint16_t>(((std::uint64_t{c} << 16) + interval - 1) / interval);
}

// Maps pixels [first, width) of one row through the tables, column `first`
// being in phase `phase`: the tail of a row that does not fill a vector.
inline void MapRowTail(const std::uint8_t* in, std::uint8_t* out, std::int32_t first, std::int32_t width,
                       std::uint32_t phase) {
  const std::uint32_t interval = LevelTableInterval();
  in += static_cast<std::size_t>(first) * 4;
  out += static_cast<std::size_t>(first) * 4;
  for (std::int32_t x = first; x < width; ++x) {
    MapPixelThrough(LevelTable + static_cast<std::size_t>(phase) * 256, in, out);
    in += 4;
    out += 4;
    if (++phase == interval) phase = 0;
  }
}

// The channel byte of the vector that 16-bit lane `lane` of unpacked half
// `half` holds: halves take the low or high 8 bytes of each 16-byte block.
inline std::uint32_t LaneByte(std::uint32_t half, std::uint32_t lane) { return lane / 8 * 16 + half * 8 + lane % 8; }

// Per-lane constants of a vector whose first pixel is in phase s, for the
// one-frame path. Fourth bytes pass through the same arithmetic unchanged:
// there d is the byte itself, the constants give floor(d * 1 / 1) - 0, and
// the lane's interval and offset are 1 and 0.
template <class V>
struct FrameLanes {
  typename V::Vec low[2];   // ceil(p * 65536 / N)
  typename V::Vec high[2];  // ceil((p + 1) * 65536 / N), or 65535 when p + 1 == N
  typename V::Vec plus[2];  // 1 where p + 1 == N, else 0
};

// Per-lane constants for the cycle path's start of a row (fourth bytes: 0).
template <class V>
struct CycleLanes {
  typename V::Vec low[2];    // ceil(p * 65536 / N)
  typename V::Vec phase[2];  // p
};

template <class V>
void BuildLanes(FrameLanes<V>* frame, CycleLanes<V>* cycle, std::uint32_t interval) {
  constexpr std::uint32_t kLanes = V::kBytes / 2;
  for (std::uint32_t s = 0; s < interval; ++s) {
    for (std::uint32_t half = 0; half < 2; ++half) {
      std::uint16_t low[kLanes], high[kLanes], plus[kLanes], cycleLow[kLanes], phase[kLanes];
      for (std::uint32_t lane = 0; lane < kLanes; ++lane) {
        const std::uint32_t byte = LaneByte(half, lane);
        const std::uint32_t p = (s + byte / 4) % interval;
        const bool last = p + 1 == interval;
        const bool fourth = byte % 4 == 3;
        cycleLow[lane] = fourth ? 0 : Reciprocal(p, interval);
        phase[lane] = static_cast<std::uint16_t>(fourth ? 0 : p);
        low[lane] = cycleLow[lane];
        high[lane] = fourth || last ? 0xFFFF : Reciprocal(p + 1, interval);
        plus[lane] = fourth || last ? 1 : 0;
      }
      if (frame) {
        frame[s].low[half] = V::FromLanes16(low);
        frame[s].high[half] = V::FromLanes16(high);
        frame[s].plus[half] = V::FromLanes16(plus);
      }
      if (cycle) {
        cycle[s].low[half] = V::FromLanes16(cycleLow);
        cycle[s].phase[half] = V::FromLanes16(phase);
      }
    }
  }
}

// Constants of a vector whose pixels are in the given phases (a matrix
// pattern's pixels need not follow each other), from the per-phase
// reciprocals: the same values BuildLanes gives for consecutive phases.
template <class V>
void BuildLanesOfPhases(FrameLanes<V>* lanes, const std::uint32_t* pixelPhases, const std::uint16_t* reciprocals,
                        std::uint32_t interval) {
  constexpr std::uint32_t kLanes = V::kBytes / 2;
  for (std::uint32_t half = 0; half < 2; ++half) {
    std::uint16_t low[kLanes], high[kLanes], plus[kLanes];
    for (std::uint32_t lane = 0; lane < kLanes; ++lane) {
      const std::uint32_t byte = LaneByte(half, lane);
      const std::uint32_t p = pixelPhases[byte / 4];
      const bool last = p + 1 == interval;
      const bool fourth = byte % 4 == 3;
      low[lane] = fourth ? 0 : reciprocals[p];
      high[lane] = fourth || last ? 0xFFFF : reciprocals[p + 1];
      plus[lane] = fourth || last ? 1 : 0;
    }
    lanes->low[half] = V::FromLanes16(low);
    lanes->high[half] = V::FromLanes16(high);
    lanes->plus[half] = V::FromLanes16(plus);
  }
}

// The phase of the vector after the one whose first pixel is in phase s, with
// step = pixels per vector mod N: arithmetic rather than a table, since the
// next vector's constants wait for it.
inline std::uint32_t NextPhase(std::uint32_t s, std::uint32_t step, std::uint32_t interval) {
  s += step;
  return s >= interval ? s - interval : s;
}

// Levels of one unpacked half: offset + N * (after - before) per lane.
template <class V>
inline typename V::Vec LevelsOfHalf(typename V::Vec d, const FrameLanes<V>& lanes, int half,
                                    typename V::Vec correction16, typename V::Vec interval16) {
  const typename V::Vec before = V::MulHiU16(d, lanes.low[half]);
  const typename V::Vec after = V::MulHiU16(V::Add16(d, lanes.plus[half]), lanes.high[half]);
  return V::Add16(correction16, V::MulLo16(V::Sub16(after, before), interval16));
}

// The constants of the one-frame path that do not depend on the phase.
template <class V>
struct FrameConstants {
  typename V::Vec correction8, span8, correction16, interval16, zero;
};

// One vector of pixels from in to out, its pixels in the phases of lanes.
template <class V>
inline void MapVector(const std::uint8_t* in, std::uint8_t* out, const FrameLanes<V>& lanes,
                      const FrameConstants<V>& c) {
  const typename V::Vec d = V::MinU8(V::SubsU8(V::Load(in), c.correction8), c.span8);
  const typename V::Vec low = LevelsOfHalf<V>(V::UnpackLo8(d, c.zero), lanes, 0, c.correction16, c.interval16);
  const typename V::Vec high = LevelsOfHalf<V>(V::UnpackHi8(d, c.zero), lanes, 1, c.correction16, c.interval16);
  V::Store(out, V::PackUs16(low, high));
}

// Memory rows [firstRow, endRow) of one frame; the interval is at most
// kMaxVectorCount, and the pattern a matrix or stepping by one phase per
// column.
template <class V>
void MapFrameRowsVector(const std::uint8_t* source, std::uint8_t* target, std::int32_t width, std::int32_t firstRow,
                        std::int32_t endRow, std::uint32_t frameIndex) {
  using Vec = typename V::Vec;
  constexpr std::int32_t kPixels = V::kBytes / 4;
  const std::uint32_t interval = LevelTableInterval();
  const int correction = LevelTable[0];
  const int span = LevelTable[255] - correction;
  // d = min(v - offset, span) saturated, and the fourth byte itself.
  const Vec correction8 = V::Broadcast32(correction * 0x010101);
  const Vec span8 = V::Broadcast32(span * 0x010101 | static_cast<int>(0xFF000000u));
  const Vec correction16 = V::Repeat16x4(correction, correction, correction, 0);
  const Vec interval16 = V::Repeat16x4(static_cast<int>(interval), static_cast<int>(interval), static_cast<int>(interval), 1);
  const Vec zero = V::Zero();
  const FrameConstants<V> constants = {correction8, span8, correction16, interval16, zero};

  const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
  const std::int32_t vectorWidth = width - width % kPixels;
  FrameLanes<V> lanes[kMaxVectorCount];
  if (PatternOffsets) {
    // A matrix pattern: along a row the phases repeat every PatternWidth
    // pixels, so the vectors' constants every `period` vectors; they are
    // made afresh for each row of the band.
    std::uint16_t reciprocals[kMaxVectorCount + 1];
    for (std::uint32_t p = 0; p <= interval; ++p) reciprocals[p] = Reciprocal(p, interval);
    std::uint32_t common = kPixels;  // gcd(PatternWidth, kPixels): kPixels is a power of two
    while (PatternWidth % common != 0) common /= 2;
    const std::uint32_t period = PatternWidth / common;  // vectors; at most 64
    for (std::int32_t y = firstRow; y < endRow; ++y) {
      const std::uint8_t* offsets = PatternOffsets + (static_cast<std::uint32_t>(y) % PatternHeight) * PatternWidth;
      for (std::uint32_t t = 0; t < period; ++t) {
        std::uint32_t phases[kPixels];
        for (std::int32_t i = 0; i < kPixels; ++i)
          phases[i] = (offsets[(t * kPixels + static_cast<std::uint32_t>(i)) % PatternWidth] + frameIndex) % interval;
        BuildLanesOfPhases<V>(&lanes[t], phases, reciprocals, interval);
      }
      const std::uint8_t* in = source + rowBytes * static_cast<std::size_t>(y);
      std::uint8_t* out = target + rowBytes * static_cast<std::size_t>(y);
      std::uint32_t t = 0;
      for (std::int32_t x = 0; x < vectorWidth; x += kPixels) {
        MapVector<V>(in + x * 4, out + x * 4, lanes[t], constants);
        if (++t == period) t = 0;
      }
      for (std::int32_t x = vectorWidth; x < width; ++x)
        MapPixelOfFrame(in + x * 4, static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), frameIndex, out + x * 4);
    }
    return;
  }
  BuildLanes<V>(lanes, nullptr, interval);
  const std::uint32_t phaseStep = kPixels % interval;

  for (std::int32_t y = firstRow; y < endRow; ++y) {
    const std::uint32_t rowPhase = PixelPhase(0, static_cast<std::uint32_t>(y), frameIndex);
    const std::uint8_t* in = source + rowBytes * static_cast<std::size_t>(y);
    std::uint8_t* out = target + rowBytes * static_cast<std::size_t>(y);
    std::uint32_t s = rowPhase;
    for (std::int32_t x = 0; x < vectorWidth; x += kPixels) {
      MapVector<V>(in + x * 4, out + x * 4, lanes[s], constants);
      s = NextPhase(s, phaseStep, interval);
    }
    if (vectorWidth < width) MapRowTail(in, out, vectorWidth, width, s);
  }
}

// The whole cycle of a band of rows. For one channel with distance d above the
// offset, r = d mod N and the lower grid level offset + d - r, the level in
// phase p is the lower one plus N exactly when j + r >= N, j = r * p mod N.
// Frame k + 1 sees every pixel one phase further, so j steps by r (mod N) from
// frame to frame: after j and r are found once per row (with the arithmetic of
// the one-frame path), each frame costs a few byte operations per vector.
// Needs 2 <= N <= kMaxVectorCount, the identity column order and a row of at
// least one vector. Returns 0 when its row memory cannot be had.
template <class V>
int MapCycleRowsVector(const std::uint8_t* source, std::uint8_t* const* targets, std::int32_t width,
                       std::int32_t firstRow, std::int32_t endRow) {
  using Vec = typename V::Vec;
  constexpr std::int32_t kPixels = V::kBytes / 4;
  const std::uint32_t interval = LevelTableInterval();
  const int correction = LevelTable[0];
  const int span = LevelTable[255] - correction;
  const std::int32_t vectors = width / kPixels;
  const std::int32_t vectorWidth = vectors * kPixels;
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;

  // Per row: lower levels (fourth bytes copied), r, and j of the frame at
  // hand; then the lane constants.
  const std::size_t rowVectors = static_cast<std::size_t>(vectors) * 3;
  const std::size_t bufferBytes = (rowVectors + std::size_t{interval} * sizeof(CycleLanes<V>) / sizeof(Vec)) * sizeof(Vec) +
                                  V::kBytes - 1;
  void* block = std::malloc(bufferBytes);
  if (!block) return 0;
  const std::uintptr_t alignMask = V::kBytes - 1;
  Vec* lowerRow = reinterpret_cast<Vec*>((reinterpret_cast<std::uintptr_t>(block) + alignMask) & ~alignMask);
  Vec* remainderRow = lowerRow + vectors;
  Vec* stepRow = remainderRow + vectors;
  CycleLanes<V>* lanes = reinterpret_cast<CycleLanes<V>*>(lowerRow + rowVectors);
  BuildLanes<V>(nullptr, lanes, interval);
  const std::uint32_t phaseStep = kPixels % interval;

  const Vec correction8 = V::Broadcast32(correction * 0x010101);
  const Vec span8 = V::Broadcast32(span * 0x010101);
  const Vec fourthMask = V::Broadcast32(static_cast<int>(0xFF000000u));
  const Vec zero = V::Zero();
  const Vec interval16 = V::Repeat16x4(static_cast<int>(interval), static_cast<int>(interval), static_cast<int>(interval),
                                    static_cast<int>(interval));
  const int reciprocal = Reciprocal(1, interval);
  const Vec reciprocal16 = V::Repeat16x4(reciprocal, reciprocal, reciprocal, reciprocal);
  const Vec count8 = V::Broadcast32(static_cast<int>(interval * 0x010101u));
  // N - r with 255 in the fourth bytes, where j stays 0: never j >= it.
  const Vec countForLimit = V::Broadcast32(static_cast<int>(interval * 0x010101u | 0xFF000000u));

  for (std::int32_t y = firstRow; y < endRow; ++y) {
    const std::uint32_t rowPhase = PixelPhase(0, static_cast<std::uint32_t>(y), 0);
    const std::uint8_t* in = source + rowBytes * static_cast<std::size_t>(y);
    std::uint32_t s = rowPhase;
    for (std::int32_t i = 0; i < vectors; ++i) {
      const Vec v = V::Load(in + static_cast<std::size_t>(i) * V::kBytes);
      const Vec d = V::MinU8(V::SubsU8(v, correction8), span8);
      Vec r[2], j[2];
      for (int half = 0; half < 2; ++half) {
        const Vec d16 = half == 0 ? V::UnpackLo8(d, zero) : V::UnpackHi8(d, zero);
        r[half] = V::Sub16(d16, V::MulLo16(V::MulHiU16(d16, reciprocal16), interval16));
        // d * p < 65536; its quotient by N is exact through the reciprocal.
        j[half] = V::Sub16(V::MulLo16(d16, lanes[s].phase[half]),
                           V::MulLo16(V::MulHiU16(d16, lanes[s].low[half]), interval16));
      }
      const Vec r8 = V::PackUs16(r[0], r[1]);
      V::StoreAligned(remainderRow + i, r8);
      V::StoreAligned(stepRow + i, V::PackUs16(j[0], j[1]));
      const Vec lower = V::Sub8(V::Add8(correction8, d), r8);
      V::StoreAligned(lowerRow + i, V::Or(lower, V::And(v, fourthMask)));
      s = NextPhase(s, phaseStep, interval);
    }
    for (std::uint32_t k = 0; k < interval; ++k) {
      std::uint8_t* out = targets[k] + rowBytes * static_cast<std::size_t>(y);
      // Frames are shown later, not read now: aligned rows bypass the cache.
      const bool aligned = (reinterpret_cast<std::uintptr_t>(out) & 15) == 0;
      for (std::int32_t i = 0; i < vectors; ++i) {
        const Vec r8 = V::LoadAligned(remainderRow + i);
        const Vec j8 = V::LoadAligned(stepRow + i);
        const Vec limit = V::Sub8(countForLimit, r8);
        const Vec up = V::CmpEq8(V::MaxU8(j8, limit), j8);
        const Vec step = V::And(up, count8);
        const Vec level = V::Add8(V::LoadAligned(lowerRow + i), step);
        std::uint8_t* where = out + static_cast<std::size_t>(i) * V::kBytes;
        if (aligned)
          V::Stream(where, level);
        else
          V::Store(where, level);
        V::StoreAligned(stepRow + i, V::Sub8(V::Add8(j8, r8), step));
      }
      if (vectorWidth < width)
        MapRowTail(in, out, vectorWidth, width, PixelPhase(static_cast<std::uint32_t>(vectorWidth), static_cast<std::uint32_t>(y), k));
    }
  }
  // Streamed stores are ordered before whatever tells another thread the band is done.
  V::Fence();
  std::free(block);
  return 1;
}

}  // namespace
