// Reading a packed DIB: see packed_dib.h.
#include "imaging/packed_dib.h"

#include <cstring>

#include "imaging/dib_size.h"

namespace {

// The BITMAPINFOHEADER fields read here, at their offsets in the header.
constexpr std::size_t kHeaderSize = 40;
constexpr std::size_t kMasksSize = 12;
constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;

template <typename T>
T Field(const std::uint8_t* at) {
  T value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

}  // namespace

int PlanPackedDib(const std::uint8_t* block, std::size_t size, PackedDibPlan* plan) {
  std::memset(plan, 0, sizeof *plan);
  if (!block || size < kHeaderSize) return 0;
  const std::uint32_t headerSize = Field<std::uint32_t>(block);
  const std::int32_t width = Field<std::int32_t>(block + 4);
  const std::int32_t height = Field<std::int32_t>(block + 8);
  const std::uint16_t bitCount = Field<std::uint16_t>(block + 14);
  const std::uint32_t compression = Field<std::uint32_t>(block + 16);
  const std::uint32_t colorsUsed = Field<std::uint32_t>(block + 32);
  const bool bitfields = compression == kBiBitfields;
  const bool accepted = (bitCount == 24 && compression == kBiRgb) ||
                        (bitCount == 32 && (compression == kBiRgb || bitfields));
  if (!accepted || headerSize < kHeaderSize || headerSize > size || width <= 0 || height == 0) return 0;

  std::uint64_t offset = headerSize;
  if (bitfields) {
    // A version 4 or 5 header holds the masks itself; a plain one is followed by them.
    const std::uint64_t at = headerSize >= kHeaderSize + kMasksSize ? kHeaderSize : offset;
    if (at + kMasksSize > size) return 0;
    for (int i = 0; i < 3; ++i) plan->masks[i] = Field<std::uint32_t>(block + static_cast<std::size_t>(at) + 4 * i);
    if (at == offset) offset += kMasksSize;
  }
  offset += std::uint64_t{colorsUsed} * 4;  // a colour table, unused at these depths
  std::uint32_t pixelBytes = 0;
  if (!DibImageSize(bitCount, width, height, &pixelBytes)) return 0;
  if (offset + pixelBytes > size) return 0;

  plan->width = width;
  plan->height = height;
  plan->bitCount = bitCount;
  plan->bitfields = bitfields;
  plan->pixelOffset = offset;
  plan->pixelBytes = pixelBytes;
  return 1;
}
