// Pixel mapping of one frame: see frame_mapping.h.
//
// Two kinds of path give the same bytes. The table path looks each channel up
// in the row of LevelTable for its phase; the spatial pattern repeats every N
// columns, so per memory row the N table rows are gathered once, in column
// order, and walked with a wrapping counter. The vector paths (x86 and x86-64
// only) compute the same levels with integer arithmetic, 16 channel bytes a
// step with SSE2 and 32 with AVX2 where the processor has it: see
// frame_mapping_kernels.h.
#include "frc/frame_mapping.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "frc/level_tables.h"

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define QUILLANE_SSE2 1
#include <emmintrin.h>
#if defined(_MSC_VER)
#include <intrin.h>
#endif
#include "frc/frame_mapping_kernels.h"
#endif

namespace {

// Each of the row walkers below maps memory rows [firstRow, endRow) of
// buffers that start at memory row 0.
void MapFramePixelsWithTables(const std::uint8_t* source, std::uint8_t* target, std::int32_t width,
                              std::int32_t firstRow, std::int32_t endRow, std::uint32_t frameIndex) {
  // Along a row the phases repeat every N columns, or every PatternWidth
  // under a matrix pattern.
  const std::uint32_t period = PatternOffsets ? PatternWidth : LevelTableInterval();
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
  const std::uint8_t* columnTables[kLargestTableInterval];
  for (std::int32_t y = firstRow; y < endRow; ++y) {
    for (std::uint32_t j = 0; j < period; ++j)
      columnTables[j] = LevelTable + static_cast<std::size_t>(PixelPhase(j, static_cast<std::uint32_t>(y), frameIndex)) * 256;
    const std::uint8_t* in = source + rowBytes * static_cast<std::size_t>(y);
    std::uint8_t* out = target + rowBytes * static_cast<std::size_t>(y);
    std::uint32_t j = 0;
    for (std::int32_t x = 0; x < width; ++x) {
      MapPixelThrough(columnTables[j], in, out);
      in += 4;
      out += 4;
      if (++j == period) j = 0;
    }
  }
}

// The widest path the mapping may take (tests narrow it).
std::atomic<int> widestAllowed{static_cast<int>(VectorPath::kAvx2)};

#ifdef QUILLANE_SSE2

// The vector paths take column x in phase (row phase + x) mod N, so they need
// the identity column order the tables are built with.
bool ColumnOrderIsIdentity(std::uint32_t interval) {
  for (std::uint32_t j = 0; j < interval; ++j)
    if (ColumnPhaseOrder[j] != j) return false;
  return true;
}

struct Sse2Ops {
  using Vec = __m128i;
  static constexpr std::size_t kBytes = 16;
  static Vec Load(const void* p) { return _mm_loadu_si128(static_cast<const Vec*>(p)); }
  static Vec LoadAligned(const void* p) { return _mm_load_si128(static_cast<const Vec*>(p)); }
  static void Store(void* p, Vec v) { _mm_storeu_si128(static_cast<Vec*>(p), v); }
  static void StoreAligned(void* p, Vec v) { _mm_store_si128(static_cast<Vec*>(p), v); }
  static void Stream(void* p, Vec v) { _mm_stream_si128(static_cast<Vec*>(p), v); }
  static void Fence() { _mm_sfence(); }
  static Vec Broadcast32(int x) { return _mm_set1_epi32(x); }
  static Vec Repeat16x4(int a, int b, int c, int d) {
    return _mm_set_epi16(short(d), short(c), short(b), short(a), short(d), short(c), short(b), short(a));
  }
  static Vec FromLanes16(const std::uint16_t* lanes) { return Load(lanes); }
  static Vec Zero() { return _mm_setzero_si128(); }
  static Vec And(Vec a, Vec b) { return _mm_and_si128(a, b); }
  static Vec Or(Vec a, Vec b) { return _mm_or_si128(a, b); }
  static Vec Add8(Vec a, Vec b) { return _mm_add_epi8(a, b); }
  static Vec Sub8(Vec a, Vec b) { return _mm_sub_epi8(a, b); }
  static Vec SubsU8(Vec a, Vec b) { return _mm_subs_epu8(a, b); }
  static Vec MinU8(Vec a, Vec b) { return _mm_min_epu8(a, b); }
  static Vec MaxU8(Vec a, Vec b) { return _mm_max_epu8(a, b); }
  static Vec CmpEq8(Vec a, Vec b) { return _mm_cmpeq_epi8(a, b); }
  static Vec Add16(Vec a, Vec b) { return _mm_add_epi16(a, b); }
  static Vec Sub16(Vec a, Vec b) { return _mm_sub_epi16(a, b); }
  static Vec MulHiU16(Vec a, Vec b) { return _mm_mulhi_epu16(a, b); }
  static Vec MulLo16(Vec a, Vec b) { return _mm_mullo_epi16(a, b); }
  static Vec UnpackLo8(Vec a, Vec b) { return _mm_unpacklo_epi8(a, b); }
  static Vec UnpackHi8(Vec a, Vec b) { return _mm_unpackhi_epi8(a, b); }
  static Vec PackUs16(Vec a, Vec b) { return _mm_packus_epi16(a, b); }
};

// Whether the processor runs AVX2 and the system keeps its registers.
bool ProcessorHasAvx2() {
#if !defined(QUILLANE_AVX2)
  return false;
#elif defined(_MSC_VER)
  int info[4];
  __cpuid(info, 0);
  if (info[0] < 7) return false;
  __cpuid(info, 1);
  const bool avx = (info[2] & (1 << 27)) && (info[2] & (1 << 28));  // OSXSAVE and AVX
  if (!avx || (_xgetbv(0) & 6) != 6) return false;                 // XMM and YMM state kept
  __cpuidex(info, 7, 0);
  return (info[1] & (1 << 5)) != 0;
#else
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");  // also checks that the system keeps the registers
#endif
}

VectorPath ProcessorPath() {
  static const VectorPath path = ProcessorHasAvx2() ? VectorPath::kAvx2 : VectorPath::kSse2;
  return path;
}

#else

VectorPath ProcessorPath() { return VectorPath::kTables; }

#endif  // QUILLANE_SSE2

VectorPath PathInUse() {
  const int widest = widestAllowed.load(std::memory_order_relaxed);
  const VectorPath processor = ProcessorPath();
  return widest < static_cast<int>(processor) ? static_cast<VectorPath>(widest) : processor;
}

// Maps rows [firstRow, endRow) of one frame by whichever path applies.
void MapRows(const std::uint8_t* source, std::uint8_t* target, std::int32_t width, std::int32_t firstRow,
             std::int32_t endRow, std::uint32_t frameIndex) {
  const std::uint32_t interval = LevelTableInterval();
  if (interval == 1 && LevelTable[0] == 0) {  // every level shows itself
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    if (source != target)
      std::memcpy(target + rowBytes * static_cast<std::size_t>(firstRow),
                  source + rowBytes * static_cast<std::size_t>(firstRow),
                  rowBytes * static_cast<std::size_t>(endRow - firstRow));
    return;
  }
#ifdef QUILLANE_SSE2
  const VectorPath path = PathInUse();
  if (path != VectorPath::kTables && interval <= kMaxVectorCount && (PatternOffsets || ColumnOrderIsIdentity(interval))) {
#ifdef QUILLANE_AVX2
    if (path == VectorPath::kAvx2) {
      MapFrameRowsAvx2(source, target, width, firstRow, endRow, frameIndex);
      return;
    }
#endif
    MapFrameRowsVector<Sse2Ops>(source, target, width, firstRow, endRow, frameIndex);
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

void MapFrameRows(const std::uint8_t* source, std::uint8_t* target, std::int32_t width, std::int32_t firstRow,
                  std::int32_t endRow, std::uint32_t frameIndex) {
  if (width <= 0 || firstRow >= endRow) return;
  MapRows(source, target, width, firstRow, endRow, frameIndex);
}

void MapFramePixelsByTable(const std::uint8_t* source, std::uint8_t* target, std::int32_t width,
                           std::int32_t height, std::uint32_t frameIndex) {
  if (width <= 0 || height <= 0) return;
  MapFramePixelsWithTables(source, target, width, 0, height, frameIndex);
}

int MapCycleRows(const std::uint8_t* source, std::uint8_t* const* targets, std::int32_t width,
                 std::int32_t firstRow, std::int32_t endRow) {
  if (width <= 0 || firstRow >= endRow) return 1;
  const std::uint32_t interval = LevelTableInterval();
#ifdef QUILLANE_SSE2
  const VectorPath path = PathInUse();
  if (path != VectorPath::kTables && interval >= 2 && interval <= kMaxVectorCount && !PatternOffsets &&
      ColumnOrderIsIdentity(interval)) {
#ifdef QUILLANE_AVX2
    if (path == VectorPath::kAvx2 && width >= 8) return MapCycleRowsAvx2(source, targets, width, firstRow, endRow);
#endif
    if (width >= 4) return MapCycleRowsVector<Sse2Ops>(source, targets, width, firstRow, endRow);
  }
#endif
  for (std::uint32_t k = 0; k < interval; ++k) MapRows(source, targets[k], width, firstRow, endRow, k);
  return 1;
}

VectorPath LimitVectorPath(VectorPath widest) {
  widestAllowed.store(static_cast<int>(widest), std::memory_order_relaxed);
  return PathInUse();
}
