// The vector paths of the frame mapping built for AVX2, 32 bytes a step. This
// file alone is compiled with AVX2 enabled; frame_mapping.cpp calls into it
// only after asking the processor.
#if defined(__AVX2__)

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "frc/frame_mapping_kernels.h"

namespace {

struct Avx2Ops {
  using Vec = __m256i;
  static constexpr std::size_t kBytes = 32;
  static Vec Load(const void* p) { return _mm256_loadu_si256(static_cast<const Vec*>(p)); }
  static Vec LoadAligned(const void* p) { return _mm256_load_si256(static_cast<const Vec*>(p)); }
  static void Store(void* p, Vec v) { _mm256_storeu_si256(static_cast<Vec*>(p), v); }
  static void StoreAligned(void* p, Vec v) { _mm256_store_si256(static_cast<Vec*>(p), v); }
  // Rows of frames are often only 16-byte aligned: streamed in halves.
  static void Stream(void* p, Vec v) {
    _mm_stream_si128(static_cast<__m128i*>(p), _mm256_castsi256_si128(v));
    _mm_stream_si128(static_cast<__m128i*>(p) + 1, _mm256_extracti128_si256(v, 1));
  }
  static void Fence() { _mm_sfence(); }
  static Vec Broadcast32(int x) { return _mm256_set1_epi32(x); }
  static Vec Repeat16x4(int a, int b, int c, int d) {
    return _mm256_set_epi16(short(d), short(c), short(b), short(a), short(d), short(c), short(b), short(a), short(d),
                            short(c), short(b), short(a), short(d), short(c), short(b), short(a));
  }
  static Vec FromLanes16(const std::uint16_t* lanes) { return Load(lanes); }
  static Vec Zero() { return _mm256_setzero_si256(); }
  static Vec And(Vec a, Vec b) { return _mm256_and_si256(a, b); }
  static Vec Or(Vec a, Vec b) { return _mm256_or_si256(a, b); }
  static Vec Add8(Vec a, Vec b) { return _mm256_add_epi8(a, b); }
  static Vec Sub8(Vec a, Vec b) { return _mm256_sub_epi8(a, b); }
  static Vec SubsU8(Vec a, Vec b) { return _mm256_subs_epu8(a, b); }
  static Vec MinU8(Vec a, Vec b) { return _mm256_min_epu8(a, b); }
  static Vec MaxU8(Vec a, Vec b) { return _mm256_max_epu8(a, b); }
  static Vec CmpEq8(Vec a, Vec b) { return _mm256_cmpeq_epi8(a, b); }
  static Vec Add16(Vec a, Vec b) { return _mm256_add_epi16(a, b); }
  static Vec Sub16(Vec a, Vec b) { return _mm256_sub_epi16(a, b); }
  static Vec MulHiU16(Vec a, Vec b) { return _mm256_mulhi_epu16(a, b); }
  static Vec MulLo16(Vec a, Vec b) { return _mm256_mullo_epi16(a, b); }
  static Vec UnpackLo8(Vec a, Vec b) { return _mm256_unpacklo_epi8(a, b); }
  static Vec UnpackHi8(Vec a, Vec b) { return _mm256_unpackhi_epi8(a, b); }
  static Vec PackUs16(Vec a, Vec b) { return _mm256_packus_epi16(a, b); }
};

}  // namespace

void MapFrameRowsAvx2(const std::uint8_t* source, std::uint8_t* target, std::int32_t width,
                      std::int32_t firstRow, std::int32_t endRow, std::uint32_t frameIndex) {
  MapFrameRowsVector<Avx2Ops>(source, target, width, firstRow, endRow, frameIndex);
  _mm256_zeroupper();
}

int MapCycleRowsAvx2(const std::uint8_t* source, std::uint8_t* const* targets, std::int32_t width,
                     std::int32_t firstRow, std::int32_t endRow) {
  const int mapped = MapCycleRowsVector<Avx2Ops>(source, targets, width, firstRow, endRow);
  _mm256_zeroupper();
  return mapped;
}

#endif  // __AVX2__
