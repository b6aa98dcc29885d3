// Pixel mapping of one frame: see frame_mapping.h.
//
// Two paths give the same bytes. The table path looks each channel up in the
// row of LevelTable for its phase; the spatial pattern repeats every N columns,
// so per memory row the N table rows are gathered once, in column order, and
// walked with a wrapping counter. The vector path (SSE2, x86 and x86-64 only)
// computes the same levels with integer arithmetic, 16 channel bytes a step:
// with d = min(max(v, offset), last) - offset, where last is the highest grid
// level, the level shown in phase p is
//     offset + N * (floor(d * (p + 1) / N) - floor(d * p / N))
// (the lower grid level plus N exactly when the spread steps in phase p), and
// floor(d * c / N) for d <= 255 and c < N is the high half of d * ceil(c * 65536 / N)
// in 16 bits, exact because d * (that constant's rounding error) stays below 65536.
#include "frc/frame_mapping.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "frc/level_tables.h"

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define QUILLANE_SSE2 1
#include <emmintrin.h>
#endif

namespace {

// The program validates N to 1..255; larger tables only come from direct calls.
constexpr std::uint32_t kMaxFastCount = 256;

// Each of the row walkers below maps memory rows [firstRow, endRow) of
// buffers that start at memory row 0.
void MapFramePixelsSlowly(const std::uint8_t* source, std::uint8_t* target, std::int32_t width,
                          std::int32_t firstRow, std::int32_t endRow, std::uint32_t frameIndex) {
  const std::uint32_t count = LevelTableCount;
  std::size_t i = static_cast<std::size_t>(width) * 4 * static_cast<std::size_t>(firstRow);
  for (std::int32_t y = firstRow; y < endRow; ++y) {
    for (std::int32_t x = 0; x < width; ++x, i += 4) {
      const std::uint32_t phase = (RowPhaseOrder[static_cast<std::uint32_t>(y) % count] +
                                   ColumnPhaseOrder[static_cast<std::uint32_t>(x) % count] + frameIndex) %
                                  count;
      const std::uint8_t* table = LevelTable + static_cast<std::size_t>(phase) * 256;
      const std::uint8_t fourth = source[i + 3];
      target[i] = table[source[i]];
      target[i + 1] = table[source[i + 1]];
      target[i + 2] = table[source[i + 2]];
      target[i + 3] = fourth;
    }
  }
}

void MapFramePixelsWithTables(const std::uint8_t* source, std::uint8_t* target, std::int32_t width,
                              std::int32_t firstRow, std::int32_t endRow, std::uint32_t frameIndex) {
  const std::uint32_t count = LevelTableCount;
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
  const std::uint8_t* columnTables[kMaxFastCount];
  for (std::int32_t y = firstRow; y < endRow; ++y) {
    const std::uint32_t rowPhase = RowPhaseOrder[static_cast<std::uint32_t>(y) % count] + frameIndex;
    for (std::uint32_t j = 0; j < count; ++j) {
      const std::uint32_t phase = (rowPhase + ColumnPhaseOrder[j]) % count;
      columnTables[j] = LevelTable + static_cast<std::size_t>(phase) * 256;
    }
    const std::uint8_t* in = source + rowBytes * static_cast<std::size_t>(y);
    std::uint8_t* out = target + rowBytes * static_cast<std::size_t>(y);
    std::uint32_t j = 0;
    for (std::int32_t x = 0; x < width; ++x) {
      const std::uint8_t* table = columnTables[j];
      const std::uint8_t blue = in[0], green = in[1], red = in[2], fourth = in[3];
      out[0] = table[blue];
      out[1] = table[green];
      out[2] = table[red];
      out[3] = fourth;
      in += 4;
      out += 4;
      if (++j == count) j = 0;
    }
  }
}

#ifdef QUILLANE_SSE2

// Maps pixels [first, width) of one row, column `first` being in phase `phase`.
void MapRowWithTables(const std::uint8_t* in, std::uint8_t* out, std::int32_t first, std::int32_t width,
                      std::uint32_t phase) {
  const std::uint32_t count = LevelTableCount;
  in += static_cast<std::size_t>(first) * 4;
  out += static_cast<std::size_t>(first) * 4;
  for (std::int32_t x = first; x < width; ++x) {
    const std::uint8_t* table = LevelTable + static_cast<std::size_t>(phase) * 256;
    const std::uint8_t blue = in[0], green = in[1], red = in[2], fourth = in[3];
    out[0] = table[blue];
    out[1] = table[green];
    out[2] = table[red];
    out[3] = fourth;
    in += 4;
    out += 4;
    if (++phase == count) phase = 0;
  }
}


// The vector path walks columns in steps of four pixels and takes the phase of
// column x as (row phase + x) mod N, so it needs the identity column order the
// tables are built with.
bool ColumnOrderIsIdentity(std::uint32_t count) {
  for (std::uint32_t j = 0; j < count; ++j)
    if (ColumnPhaseOrder[j] != j) return false;
  return true;
}

// Per-lane constants for four pixels whose first is in phase s: the 16-bit
// lanes of half h hold the channels of pixels 2h and 2h + 1.
struct PhaseLanes {
  __m128i low[2];    // ceil(p * 65536 / N)
  __m128i high[2];   // ceil((p + 1) * 65536 / N), 0 when p + 1 == N
  __m128i whole[2];  // all ones where p + 1 == N (floor(d * N / N) is d itself)
  __m128i phase[2];  // p
};

std::uint16_t Reciprocal(std::uint32_t c, std::uint32_t count) {
  return static_cast<std::uint16_t>(((std::uint64_t{c} << 16) + count - 1) / count);
}

void BuildPhaseLanes(PhaseLanes* lanes, std::uint32_t count) {
  for (std::uint32_t s = 0; s < count; ++s) {
    std::uint16_t low[8], high[8], whole[8], phase[8];
    for (std::uint32_t half = 0; half < 2; ++half) {
      for (std::uint32_t i = 0; i < 8; ++i) {
        const std::uint32_t p = (s + half * 2 + i / 4) % count;
        const bool last = p + 1 == count;
        low[i] = Reciprocal(p, count);
        high[i] = last ? 0 : Reciprocal(p + 1, count);
        whole[i] = last ? 0xFFFF : 0;
        phase[i] = static_cast<std::uint16_t>(p);
      }
      lanes[s].low[half] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(low));
      lanes[s].high[half] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(high));
      lanes[s].whole[half] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(whole));
      lanes[s].phase[half] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(phase));
    }
  }
}

// Level of eight 16-bit channel distances d (above the offset) in their phases.
inline __m128i LevelsOfHalf(__m128i d, const PhaseLanes& lanes, int half, __m128i offset16, __m128i count16) {
  const __m128i before = _mm_mulhi_epu16(d, lanes.low[half]);
  const __m128i after = _mm_add_epi16(_mm_mulhi_epu16(d, lanes.high[half]), _mm_and_si128(d, lanes.whole[half]));
  return _mm_add_epi16(offset16, _mm_mullo_epi16(_mm_sub_epi16(after, before), count16));
}

void MapFramePixelsVector(const std::uint8_t* source, std::uint8_t* target, std::int32_t width,
                          std::int32_t firstRow, std::int32_t endRow, std::uint32_t frameIndex) {
  const std::uint32_t count = LevelTableCount;
  // The grid as the tables hold it: input 0 shows the offset, input 255 the
  // highest grid level, in every phase.
  const int offset = LevelTable[0];
  const int last = LevelTable[255];
  const int span = last - offset;
  // Fourth bytes: distance 0 (so the arithmetic yields 0 there) and copied.
  const __m128i offset8 = _mm_set1_epi32(offset * 0x010101);
  const __m128i span8 = _mm_set1_epi32(span * 0x010101);
  const __m128i offset16 = _mm_set_epi16(0, short(offset), short(offset), short(offset), 0, short(offset),
                                         short(offset), short(offset));
  const __m128i count16 = _mm_set1_epi16(static_cast<short>(count));
  const __m128i fourthMask = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  const __m128i zero = _mm_setzero_si128();

  PhaseLanes lanes[kMaxFastCount];
  BuildPhaseLanes(lanes, count);
  std::uint8_t next[kMaxFastCount];
  for (std::uint32_t s = 0; s < count; ++s) next[s] = static_cast<std::uint8_t>((s + 4) % count);

  const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
  const std::int32_t vectorWidth = width & ~3;
  for (std::int32_t y = firstRow; y < endRow; ++y) {
    const std::uint32_t rowPhase = (RowPhaseOrder[static_cast<std::uint32_t>(y) % count] + frameIndex) % count;
    const std::uint8_t* in = source + rowBytes * static_cast<std::size_t>(y);
    std::uint8_t* out = target + rowBytes * static_cast<std::size_t>(y);
    std::uint32_t s = rowPhase;
    for (std::int32_t x = 0; x < vectorWidth; x += 4) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x * 4));
      const __m128i d = _mm_min_epu8(_mm_subs_epu8(v, offset8), span8);
      const __m128i levels = _mm_packus_epi16(LevelsOfHalf(_mm_unpacklo_epi8(d, zero), lanes[s], 0, offset16, count16),
                                              LevelsOfHalf(_mm_unpackhi_epi8(d, zero), lanes[s], 1, offset16, count16));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x * 4),
                       _mm_or_si128(levels, _mm_and_si128(v, fourthMask)));
      s = next[s];
    }
    if (vectorWidth < width) MapRowWithTables(in, out, vectorWidth, width, s);
  }
}

// The whole cycle of a band of rows. For one channel with distance d above the
// offset, r = d mod N and the lower grid level offset + d - r, the level in
// phase p is the lower one plus N exactly when j + r >= N, j = r * p mod N.
// Frame k + 1 sees every pixel one phase further, so j steps by r (mod N) from
// frame to frame: after j and r are found once per row (with the arithmetic of
// the one-frame path), each frame costs a few byte operations per 16 channels.
int MapCycleRowsVector(const std::uint8_t* source, std::uint8_t* const* targets, std::int32_t width,
                       std::int32_t firstRow, std::int32_t endRow) {
  const std::uint32_t count = LevelTableCount;
  const int offset = LevelTable[0];
  const int last = LevelTable[255];
  const int span = last - offset;
  const std::int32_t vectors = width / 4;
  const std::int32_t vectorWidth = vectors * 4;
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;

  // Per row: lower levels (fourth bytes copied), r, and j of the frame at hand.
  const std::size_t bufferBytes = static_cast<std::size_t>(vectors) * 3 * sizeof(__m128i) + 15;
  void* block = std::malloc(bufferBytes);
  if (!block) return 0;
  __m128i* lowerRow = reinterpret_cast<__m128i*>((reinterpret_cast<std::uintptr_t>(block) + 15) & ~std::uintptr_t{15});
  __m128i* remainderRow = lowerRow + vectors;
  __m128i* stepRow = remainderRow + vectors;

  PhaseLanes lanes[kMaxFastCount];
  BuildPhaseLanes(lanes, count);
  std::uint8_t next[kMaxFastCount];
  for (std::uint32_t s = 0; s < count; ++s) next[s] = static_cast<std::uint8_t>((s + 4) % count);

  const __m128i offset8 = _mm_set1_epi32(offset * 0x010101);
  const __m128i span8 = _mm_set1_epi32(span * 0x010101);
  const __m128i fourthMask = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  const __m128i zero = _mm_setzero_si128();
  const __m128i count16 = _mm_set1_epi16(static_cast<short>(count));
  const __m128i reciprocal16 = _mm_set1_epi16(static_cast<short>(Reciprocal(1, count)));
  const __m128i count8 = _mm_set1_epi32(static_cast<int>(count * 0x010101u));
  // N - r with 255 in the fourth bytes, where j stays 0: never j >= it.
  const __m128i countForLimit = _mm_set1_epi32(static_cast<int>(count * 0x010101u | 0xFF000000u));

  for (std::int32_t y = firstRow; y < endRow; ++y) {
    const std::uint32_t rowPhase = RowPhaseOrder[static_cast<std::uint32_t>(y) % count] % count;
    const std::uint8_t* in = source + rowBytes * static_cast<std::size_t>(y);
    std::uint32_t s = rowPhase;
    for (std::int32_t i = 0; i < vectors; ++i) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i * 16));
      const __m128i d = _mm_min_epu8(_mm_subs_epu8(v, offset8), span8);
      __m128i r[2], j[2];
      for (int half = 0; half < 2; ++half) {
        const __m128i d16 = half == 0 ? _mm_unpacklo_epi8(d, zero) : _mm_unpackhi_epi8(d, zero);
        r[half] = _mm_sub_epi16(d16, _mm_mullo_epi16(_mm_mulhi_epu16(d16, reciprocal16), count16));
        // d * p < 65536; its quotient by N is exact through the reciprocal.
        const __m128i p16 = lanes[s].phase[half];
        j[half] = _mm_sub_epi16(_mm_mullo_epi16(d16, p16),
                                _mm_mullo_epi16(_mm_mulhi_epu16(d16, lanes[s].low[half]), count16));
      }
      const __m128i r8 = _mm_packus_epi16(r[0], r[1]);
      _mm_store_si128(remainderRow + i, r8);
      _mm_store_si128(stepRow + i, _mm_packus_epi16(j[0], j[1]));
      const __m128i lower = _mm_sub_epi8(_mm_add_epi8(offset8, d), r8);
      _mm_store_si128(lowerRow + i, _mm_or_si128(lower, _mm_and_si128(v, fourthMask)));
      s = next[s];
    }
    for (std::uint32_t k = 0; k < count; ++k) {
      std::uint8_t* out = targets[k] + rowBytes * static_cast<std::size_t>(y);
      // Frames are shown later, not read now: aligned rows bypass the cache.
      const bool aligned = (reinterpret_cast<std::uintptr_t>(out) & 15) == 0;
      for (std::int32_t i = 0; i < vectors; ++i) {
        const __m128i r8 = _mm_load_si128(remainderRow + i);
        const __m128i j8 = _mm_load_si128(stepRow + i);
        const __m128i limit = _mm_sub_epi8(countForLimit, r8);
        const __m128i up = _mm_cmpeq_epi8(_mm_max_epu8(j8, limit), j8);
        const __m128i step = _mm_and_si128(up, count8);
        const __m128i level = _mm_add_epi8(_mm_load_si128(lowerRow + i), step);
        __m128i* where = reinterpret_cast<__m128i*>(out + i * 16);
        if (aligned)
          _mm_stream_si128(where, level);
        else
          _mm_storeu_si128(where, level);
        _mm_store_si128(stepRow + i, _mm_sub_epi8(_mm_add_epi8(j8, r8), step));
      }
      if (vectorWidth < width) MapRowWithTables(in, out, vectorWidth, width, (rowPhase + k + vectorWidth) % count);
    }
  }
  // Streamed stores are ordered before whatever tells another thread the band is done.
  _mm_sfence();
  std::free(block);
  return 1;
}

#endif  // QUILLANE_SSE2

// Maps rows [firstRow, endRow) of one frame by whichever path applies.
void MapRows(const std::uint8_t* source, std::uint8_t* target, std::int32_t width, std::int32_t firstRow,
             std::int32_t endRow, std::uint32_t frameIndex) {
  const std::uint32_t count = LevelTableCount;
  if (count > kMaxFastCount) {
    MapFramePixelsSlowly(source, target, width, firstRow, endRow, frameIndex);
    return;
  }
  if (count == 1 && LevelTable[0] == 0) {  // every level shows itself
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    if (source != target)
      std::memcpy(target + rowBytes * static_cast<std::size_t>(firstRow),
                  source + rowBytes * static_cast<std::size_t>(firstRow),
                  rowBytes * static_cast<std::size_t>(endRow - firstRow));
    return;
  }
#ifdef QUILLANE_SSE2
  if (count < kMaxFastCount && ColumnOrderIsIdentity(count)) {
    MapFramePixelsVector(source, target, width, firstRow, endRow, frameIndex);
    return;
  }
#endif
  MapFramePixelsWithTables(source, target, width, firstRow, endRow, frameIndex);
}

}  // namespace

void MapFramePixels(const std::uint8_t* source, std::uint8_t* target, std::int32_t width,
                    std::int32_t height, std::uint32_t frameIndex) {
  if (width <= 0 || height <= 0) return;
  MapRows(source, target, width, 0, height, frameIndex);
}

void MapFramePixelsByTable(const std::uint8_t* source, std::uint8_t* target, std::int32_t width,
                           std::int32_t height, std::uint32_t frameIndex) {
  if (width <= 0 || height <= 0) return;
  if (LevelTableCount > kMaxFastCount) {
    MapFramePixelsSlowly(source, target, width, 0, height, frameIndex);
    return;
  }
  MapFramePixelsWithTables(source, target, width, 0, height, frameIndex);
}

int MapCycleRows(const std::uint8_t* source, std::uint8_t* const* targets, std::int32_t width,
                 std::int32_t firstRow, std::int32_t endRow) {
  if (width <= 0 || firstRow >= endRow) return 1;
  const std::uint32_t count = LevelTableCount;
#ifdef QUILLANE_SSE2
  if (count >= 2 && count < kMaxFastCount && width >= 4 && ColumnOrderIsIdentity(count))
    return MapCycleRowsVector(source, targets, width, firstRow, endRow);
#endif
  for (std::uint32_t k = 0; k < count; ++k) MapRows(source, targets[k], width, firstRow, endRow, k);
  return 1;
}
