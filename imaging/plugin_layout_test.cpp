// PlanPluginPicture: the checks on a plug-in's picture header and blocks.
#include "imaging/plugin_layout.h"

#include <gtest/gtest.h>

namespace {

PluginHeaderFields Fields(std::int32_t width, std::int32_t height, std::uint16_t bitCount,
                          std::uint32_t compression = kCompressionRgb, std::uint32_t sizeImage = 0,
                          std::uint32_t colorsUsed = 0, std::uint32_t size = 40) {
  return PluginHeaderFields{size, width, height, bitCount, compression, sizeImage, colorsUsed};
}

struct Accepted {
  const char* what;
  PluginHeaderFields fields;
  std::uint64_t headerBlock;
  std::uint64_t pixelBlock;
  PluginPictureLayout expected;
};

TEST(PlanPluginPictureTest, AcceptedPictures) {
  const Accepted rows[] = {
      // A 40-byte block is enough without a colour table: nothing is read past it.
      {"24-bit, 40-byte block", Fields(3, 2, 24, kCompressionRgb, 24), 40, 24, {40, 0, 0, 24, 24}},
      {"biSizeImage 0 takes stride * height", Fields(3, 2, 24), 40, 24, {40, 0, 0, 24, 24}},
      {"biSizeImage below the rows copies that much", Fields(3, 2, 24, kCompressionRgb, 12), 40, 24, {40, 0, 0, 24, 12}},
      {"top-down rows: magnitude of the height", Fields(3, -2, 24), 40, 24, {40, 0, 0, 24, 24}},
      {"pixel block larger than needed", Fields(1, 1, 32), 64, 100, {40, 0, 0, 4, 4}},
      {"8-bit, full table", Fields(5, 1, 8), 40 + 1024, 8, {40, 1024, 256, 8, 8}},
      {"8-bit, biClrUsed 16", Fields(5, 1, 8, kCompressionRgb, 0, 16), 40 + 64, 8, {40, 64, 16, 8, 8}},
      {"8-bit, biClrUsed past 256 is cut to 256", Fields(5, 1, 8, kCompressionRgb, 0, 300), 40 + 1024, 8, {40, 1024, 256, 8, 8}},
      {"1-bit, 2 entries", Fields(33, 2, 1), 48, 16, {40, 8, 2, 16, 16}},
      {"4-bit, 3 entries used", Fields(3, 1, 4, kCompressionRgb, 0, 3), 52, 4, {40, 12, 3, 4, 4}},
      {"table after a 124-byte header", Fields(2, 1, 8, kCompressionRgb, 0, 0, 124), 124 + 1024, 4, {124, 1024, 256, 4, 4}},
      {"16-bit bit fields: masks at 40", Fields(3, 1, 16, kCompressionBitfields), 52, 8, {40, 12, 0, 8, 8}},
      {"32-bit bit fields in a 108-byte header", Fields(2, 2, 32, kCompressionBitfields, 0, 0, 108), 108, 16, {40, 12, 0, 16, 16}},
      {"16-bit BI_RGB ignores biClrUsed", Fields(3, 1, 16, kCompressionRgb, 0, 5), 40, 8, {40, 0, 0, 8, 8}},
  };
  for (const Accepted& row : rows) {
    PluginPictureLayout layout;
    ASSERT_EQ(1, PlanPluginPicture(row.fields, row.headerBlock, row.pixelBlock, &layout)) << row.what;
    EXPECT_EQ(row.expected.tableOffset, layout.tableOffset) << row.what;
    EXPECT_EQ(row.expected.tableBytes, layout.tableBytes) << row.what;
    EXPECT_EQ(row.expected.colorsUsed, layout.colorsUsed) << row.what;
    EXPECT_EQ(row.expected.pixelBytes, layout.pixelBytes) << row.what;
    EXPECT_EQ(row.expected.copyBytes, layout.copyBytes) << row.what;
  }
}

struct Refused {
  const char* what;
  PluginHeaderFields fields;
  std::uint64_t headerBlock;
  std::uint64_t pixelBlock;
};

TEST(PlanPluginPictureTest, RefusedPictures) {
  const Refused rows[] = {
      {"header block shorter than a BITMAPINFOHEADER", Fields(3, 2, 24), 39, 24},
      {"biSize below 40", Fields(3, 2, 24, kCompressionRgb, 0, 0, 12), 40, 24},
      {"biSize past the block", Fields(3, 2, 24, kCompressionRgb, 0, 0, 124), 120, 24},
      {"biSizeImage larger than the rows", Fields(3, 2, 24, kCompressionRgb, 25), 40, 100},
      {"pixel block one byte short", Fields(3, 2, 24), 40, 23},
      {"width 0", Fields(0, 2, 24), 40, 24},
      {"negative width", Fields(-3, 2, 24), 40, 24},
      {"height 0", Fields(3, 0, 24), 40, 24},
      {"bit count 0", Fields(3, 2, 0), 40, 24},
      {"bit count 2", Fields(3, 2, 2), 40 + 16, 24},
      {"bit count 48", Fields(3, 2, 48), 40, 48},
      {"run-length compression", Fields(3, 2, 8, 1), 40 + 1024, 100},
      {"JPEG compression", Fields(3, 2, 24, 4, 100), 40, 100},
      {"bit fields at 24 bits", Fields(3, 2, 24, kCompressionBitfields), 52, 24},
      {"bit fields without masks", Fields(3, 1, 16, kCompressionBitfields), 48, 8},
      {"8-bit table past the block", Fields(3, 1, 8), 40 + 1020, 4},
      {"biClrUsed table past the block", Fields(3, 1, 8, kCompressionRgb, 0, 2), 44, 4},
      {"stride overflows", Fields(0x7FFFFFF0, 1, 32), 40, 0xFFFFFFFFull},
      {"rows overflow 32 bits", Fields(0x10000, 0x10000, 32), 40, 0x400000000ull},
      {"height -2^31", Fields(1, INT32_MIN, 32), 40, 0x400000000ull},
  };
  for (const Refused& row : rows) {
    PluginPictureLayout layout{1, 1, 1, 1, 1};
    EXPECT_EQ(0, PlanPluginPicture(row.fields, row.headerBlock, row.pixelBlock, &layout)) << row.what;
    EXPECT_EQ(0u, layout.copyBytes) << row.what;
  }
}

}  // namespace
