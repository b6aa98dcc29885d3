// The size checks the plug-in host applies to a plug-in's picture header
// before it copies anything: where the colour table or bit-field masks sit in
// the header block, how many bytes of pixel rows must be in the pixel block,
// and how many of them go into the DIB section.
//
// Plug-in output is untrusted input, so every number here is checked against
// the block sizes the plug-in really handed over, in 64-bit arithmetic.
// Windows-free: built and tested natively as well as in the program.
#pragma once

#include <cstdint>

// The fields of a plug-in's BITMAPINFOHEADER that the host reads.
struct PluginHeaderFields {
  std::uint32_t size;         // biSize: bytes of the header proper
  std::int32_t width;         // biWidth
  std::int32_t height;        // biHeight; negative for rows stored top-down
  std::uint16_t bitCount;     // biBitCount
  std::uint32_t compression;  // biCompression
  std::uint32_t sizeImage;    // biSizeImage; 0 means "stride * |height|"
  std::uint32_t colorsUsed;   // biClrUsed; 0 means "all 2^bitCount" at 8 bits and below
};

// What the host takes from the plug-in's two blocks.
struct PluginPictureLayout {
  std::uint32_t tableOffset;  // where the colour table or masks start in the header block
  std::uint32_t tableBytes;   // bytes of colour table or masks to carry (at most 1,024)
  std::uint32_t colorsUsed;   // entries of the colour table carried (0 above 8 bits)
  std::uint32_t pixelBytes;   // stride * |height|: bytes taken from the pixel block
  std::uint32_t copyBytes;    // bytes copied into the DIB section (at most pixelBytes)
};

constexpr std::uint32_t kDibHeaderSize = 40;     // a BITMAPINFOHEADER
constexpr std::uint32_t kCompressionRgb = 0;     // BI_RGB
constexpr std::uint32_t kCompressionBitfields = 3;  // BI_BITFIELDS

// Plans the copy of a plug-in picture whose header block holds headerBlockSize
// bytes and whose pixel block holds pixelBlockSize bytes. Returns 1 and fills
// layout, or 0 when the picture cannot be carried safely: a header shorter than
// a BITMAPINFOHEADER or longer than its block, a width of 0 or less, a height of
// 0, a bit count other than 1, 4, 8, 16, 24 or 32, a compression other than
// BI_RGB (or BI_BITFIELDS at 16 and 32 bits), sizes that overflow, a colour
// table or masks past the end of the header block, a pixel block shorter than
// its rows, or a biSizeImage larger than the rows.
int PlanPluginPicture(const PluginHeaderFields& fields, std::uint64_t headerBlockSize, std::uint64_t pixelBlockSize,
                      PluginPictureLayout* layout);
