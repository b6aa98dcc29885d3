// Reading a packed DIB: a BITMAPINFOHEADER (or one of its longer versions) and
// whatever follows it, in one block, as the clipboard's CF_DIB and CF_DIBV5
// formats hold a picture. The block comes from any program, so every field is
// untrusted; the plan below says only what lies inside the block.
//
// Windows-free: built, tested and fuzzed natively as well as in the program.
#pragma once

#include <cstddef>
#include <cstdint>

// Where the pieces of an accepted packed DIB are.
struct PackedDibPlan {
  std::int32_t width;            // > 0
  std::int32_t height;           // != 0; negative: rows stored top row first
  std::uint16_t bitCount;        // 24 or 32
  bool bitfields;                // 32 bits with colour masks
  std::uint32_t masks[3];        // red, green, blue when bitfields; else 0
  std::uint64_t pixelOffset;     // where the rows start in the block
  std::uint32_t pixelBytes;      // the rows' length, stride * |height|
};

// Accepts 24 bits BI_RGB and 32 bits BI_RGB or BI_BITFIELDS, bottom-up or
// top-down, with a header of at least 40 bytes that fits the block. The masks
// of BI_BITFIELDS are read from a header long enough to hold them, else from
// the 12 bytes after it; a colour table of biClrUsed entries is skipped. On
// success returns 1 with pixelOffset + pixelBytes <= size; otherwise 0. Reads
// nothing outside the size bytes at block.
int PlanPackedDib(const std::uint8_t* block, std::size_t size, PackedDibPlan* plan);
