// Fuzz target: the Netpbm decoder of the example plug-in, on files held in a
// buffer of exactly their length, as the plug-in gets them. A header that is
// accepted must describe rows that fit what it promises; the rows are then
// decoded into a buffer of exactly pixelBytes.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "plugins/netpbm/netpbm_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> file(data, data + size);
  LooksLikeNetpbm(file.data(), file.size());
  NetpbmHeader header;
  if (!ReadNetpbmHeader(file.data(), file.size(), &header)) return 0;
  const std::uint64_t rowBytes = (std::uint64_t{header.width} * header.bitCount + 31) / 32 * 4;
  if (header.width == 0 || header.height == 0 || header.stride != rowBytes ||
      header.pixelBytes != std::uint64_t{header.stride} * header.height || header.rasterOffset > file.size()) {
    std::abort();
  }
  // Large pictures are legal; the fuzzer's memory limit is not the decoder's concern.
  if (header.pixelBytes > (64u << 20)) return 0;
  std::vector<std::uint8_t> rows(header.pixelBytes);
  DecodeNetpbmRaster(file.data(), file.size(), header, rows.data());
  return 0;
}
