// Reading packed DIBs as other programs put them on the clipboard.
#include "imaging/packed_dib.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

TEST(PackedDibTest, PlansOnlyWhatLiesInsideTheBlock) {
  const struct {
    const char* what;
    std::int32_t headerSize, width, height, bitCount, compression, colorsUsed;
    std::size_t size;           // of the whole block
    std::uint64_t pixelOffset;  // 0: refused
  } rows[] = {
      {"24-bit, 3 px rows padded to 12 bytes", 40, 3, 2, 24, 0, 0, 64, 40},
      {"rows one byte short", 40, 3, 2, 24, 0, 0, 63, 0},
      {"32-bit top-down", 40, 2, -2, 32, 0, 0, 56, 40},
      {"masks after a plain header", 40, 2, 2, 32, 3, 0, 68, 52},
      {"masks cut off", 40, 2, 2, 32, 3, 0, 51, 0},
      {"masks inside a version 5 header", 124, 2, 2, 32, 3, 0, 140, 124},
      {"masks inside a 52-byte header", 52, 2, 2, 32, 3, 0, 68, 52},
      {"no masks in a 52-byte BI_RGB header", 52, 2, 1, 32, 0, 0, 60, 52},
      {"a colour table is skipped", 40, 1, 1, 24, 0, 2, 52, 48},
      {"colour table past the end", 40, 1, 1, 24, 0, 0x40000000, 52, 0},
      {"header longer than the block", 200, 1, 1, 24, 0, 0, 100, 0},
      {"8 bits", 40, 4, 1, 8, 0, 0, 44, 0},
      {"zero height", 40, 1, 0, 24, 0, 0, 44, 0},
      {"zero width", 40, 0, 1, 24, 0, 0, 44, 0},
      {"rows beyond 2 GiB", 40, 0x7FFFFFFF, 4, 32, 0, 0, 44, 0},
  };
  for (const auto& row : rows) {
    std::vector<std::uint8_t> block(row.size, 0);
    const std::int32_t fields[] = {row.headerSize, row.width, row.height, row.bitCount << 16 | 1, row.compression};
    std::memcpy(block.data(), fields, sizeof fields);
    std::memcpy(block.data() + 32, &row.colorsUsed, 4);
    // Where masks belong, after a plain header or at the same place inside a longer one.
    const std::uint32_t masks[] = {0xFF0000, 0xFF00, 0xFF};
    if (row.size >= 52) std::memcpy(block.data() + 40, masks, sizeof masks);
    PackedDibPlan plan;
    const int accepted = PlanPackedDib(block.data(), block.size(), &plan);
    EXPECT_EQ(row.pixelOffset != 0, accepted == 1) << row.what;
    if (!accepted) continue;
    EXPECT_EQ(row.pixelOffset, plan.pixelOffset) << row.what;
    EXPECT_EQ(row.size - row.pixelOffset, plan.pixelBytes) << row.what;
    EXPECT_EQ(row.compression == 3 ? masks[2] : 0u, plan.masks[2]) << row.what;
  }
}

}  // namespace
