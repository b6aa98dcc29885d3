// Fuzz target: a packed DIB as another program may put it on the clipboard
// (CF_DIB, CF_DIBV5), held in a heap block of exactly its size. Whatever
// PlanPackedDib accepts is copied out as the paste copies it, so
// AddressSanitizer sees any read past the block, and the plan's promises are
// checked on every input.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "imaging/dib_size.h"
#include "imaging/packed_dib.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> block(data, data + size);
  PackedDibPlan plan;
  if (!PlanPackedDib(block.data(), block.size(), &plan)) return 0;
  std::uint32_t rows = 0;
  if (plan.width <= 0 || plan.height == 0 || (plan.bitCount != 24 && plan.bitCount != 32) ||
      (plan.bitfields && plan.bitCount != 32) || plan.pixelOffset < 40 || plan.pixelOffset > size ||
      plan.pixelBytes > size - plan.pixelOffset || !DibImageSize(plan.bitCount, plan.width, plan.height, &rows) ||
      rows != plan.pixelBytes) {
    std::abort();
  }
  std::vector<std::uint8_t> copy(plan.pixelBytes);
  if (plan.pixelBytes) std::memcpy(copy.data(), block.data() + plan.pixelOffset, plan.pixelBytes);
  return 0;
}
