// Checked DIB size arithmetic: see dib_size.h.
#include "imaging/dib_size.h"

#include <cstdint>

namespace {
constexpr std::int64_t kLargestSize = 0x7FFFFFFF;
}

int DibStride(std::int64_t bitCount, std::int64_t width, std::uint32_t* stride) {
  if (bitCount < 0 || width < 0 || bitCount > 64 || width > kLargestSize) return 0;
  const std::int64_t bytes = (bitCount * width + 31) / 32 * 4;
  if (bytes > kLargestSize) return 0;
  *stride = static_cast<std::uint32_t>(bytes);
  return 1;
}

int DibImageSize(std::int64_t bitCount, std::int64_t width, std::int64_t height, std::uint32_t* bytes) {
  std::uint32_t stride = 0;
  if (!DibStride(bitCount, width, &stride)) return 0;
  if (height < -kLargestSize || height > kLargestSize) return 0;
  const std::int64_t rows = height < 0 ? -height : height;
  const std::int64_t total = static_cast<std::int64_t>(stride) * rows;  // < 2^62
  if (total > kLargestSize) return 0;
  *bytes = static_cast<std::uint32_t>(total);
  return 1;
}
