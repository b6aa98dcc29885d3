// PlanPluginPicture: see plugin_layout.h.
#include "imaging/plugin_layout.h"

#include "imaging/dib_size.h"

namespace {

bool KnownBitCount(std::uint16_t bitCount) {
  return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 || bitCount == 32;
}

}  // namespace

int PlanPluginPicture(const PluginHeaderFields& fields, std::uint64_t headerBlockSize, std::uint64_t pixelBlockSize,
                      PluginPictureLayout* layout) {
  *layout = PluginPictureLayout{};
  if (fields.size < kDibHeaderSize || fields.size > headerBlockSize) return 0;
  if (fields.width <= 0 || fields.height == 0 || !KnownBitCount(fields.bitCount)) return 0;
  const bool bitfields = fields.compression == kCompressionBitfields;
  if (fields.compression != kCompressionRgb && !bitfields) return 0;
  if (bitfields && fields.bitCount != 16 && fields.bitCount != 32) return 0;

  std::uint32_t pixelBytes = 0;
  if (!DibImageSize(fields.bitCount, fields.width, fields.height, &pixelBytes)) return 0;
  if (pixelBlockSize < pixelBytes) return 0;
  if (fields.sizeImage > pixelBytes) return 0;

  PluginPictureLayout plan{};
  plan.tableOffset = kDibHeaderSize;
  if (fields.bitCount <= 8) {
    // The colour table follows the header proper, whatever its size.
    const std::uint32_t fullTable = 1u << fields.bitCount;
    plan.colorsUsed = fields.colorsUsed == 0 || fields.colorsUsed > fullTable ? fullTable : fields.colorsUsed;
    plan.tableOffset = fields.size;
    plan.tableBytes = plan.colorsUsed * 4;
  } else if (bitfields) {
    // The three masks sit right after the 40-byte header; in the larger
    // header versions they are the header's own next fields, at the same place.
    plan.tableOffset = kDibHeaderSize;
    plan.tableBytes = 12;
  }
  if (std::uint64_t{plan.tableOffset} + plan.tableBytes > headerBlockSize) return 0;
  plan.pixelBytes = pixelBytes;
  plan.copyBytes = fields.sizeImage != 0 ? fields.sizeImage : pixelBytes;
  *layout = plan;
  return 1;
}
