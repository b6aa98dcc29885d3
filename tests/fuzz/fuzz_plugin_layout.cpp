// Fuzz target: the check of a plug-in's result blocks. The input is what a
// plug-in hands over: 4 bytes giving the pixel block's size (kept small so the
// block can really be allocated), then the header block itself. Whatever
// PlanPluginPicture accepts is then copied as the host copies it, from
// buffers of exactly the given sizes, so AddressSanitizer sees any read past
// them; its promises about the layout are checked on every input.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "imaging/plugin_layout.h"

namespace {

template <typename T>
T Field(const std::uint8_t* at) {
  T value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

void Require(bool promise) {
  if (!promise) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const std::uint32_t pixelBlockSize = Field<std::uint32_t>(data) % (1u << 22);
  const std::vector<std::uint8_t> headerBlock(data + 4, data + size);
  if (headerBlock.size() < kDibHeaderSize) return 0;

  // The fields as the host reads them from a BITMAPINFOHEADER.
  const std::uint8_t* h = headerBlock.data();
  const PluginHeaderFields fields = {Field<std::uint32_t>(h),      Field<std::int32_t>(h + 4),
                                     Field<std::int32_t>(h + 8),   Field<std::uint16_t>(h + 14),
                                     Field<std::uint32_t>(h + 16), Field<std::uint32_t>(h + 20),
                                     Field<std::uint32_t>(h + 32)};
  PluginPictureLayout layout;
  if (!PlanPluginPicture(fields, headerBlock.size(), pixelBlockSize, &layout)) return 0;

  Require(fields.width > 0 && fields.height != 0);
  Require(layout.tableBytes <= 1024);
  Require(std::uint64_t{layout.tableOffset} + layout.tableBytes <= headerBlock.size());
  Require(layout.pixelBytes <= pixelBlockSize);
  Require(layout.copyBytes <= layout.pixelBytes);
  Require(fields.bitCount > 8 || layout.colorsUsed * 4 == layout.tableBytes);

  std::uint8_t table[1024];
  std::memcpy(table, headerBlock.data() + layout.tableOffset, layout.tableBytes);
  std::vector<std::uint8_t> pixelBlock(pixelBlockSize, 0x5A);
  std::vector<std::uint8_t> copy(layout.pixelBytes);
  if (layout.pixelBytes) std::memcpy(copy.data(), pixelBlock.data(), layout.pixelBytes);
  return 0;
}
