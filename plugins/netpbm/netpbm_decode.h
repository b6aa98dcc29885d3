// Decoding of the Netpbm formats for the example plug-in: PBM, PGM and PPM,
// plain (ASCII, P1-P3) and raw (binary, P4-P6), maxval 1 to 65535, comments.
// The picture comes out as DIB rows: PBM and PGM as 8-bit grey (with a grey
// palette), PPM as 24-bit blue-green-red, bottom row first.
//
// The file is untrusted input: every read is bounded by its length and every
// size is checked before anything is allocated. Windows-free, so it is tested
// natively with the sanitizers.
#pragma once

#include <cstddef>
#include <cstdint>

struct NetpbmHeader {
  int format;              // 1 to 6, from the magic "P1" to "P6"
  std::uint32_t width;     // pixels, at least 1
  std::uint32_t height;    // pixels, at least 1
  std::uint32_t maxval;    // the largest sample value: 1 for PBM, else 1 to 65535
  std::size_t rasterOffset;  // where the pixel data begins
  std::uint16_t bitCount;  // of the DIB rows: 8 (grey) or 24 (colour)
  std::uint32_t stride;    // bytes of one DIB row, padded to 4
  std::uint32_t pixelBytes;  // stride * height
};

// Whether the data starts like a Netpbm file: "P1" to "P6" and a separator.
// Reads at most 3 bytes, and none past `size`.
int LooksLikeNetpbm(const std::uint8_t* data, std::size_t size);

// Reads the header of the file in data[0, size). Returns 1 and fills header,
// or 0 when it is malformed, a size is 0 or too large for a DIB, or the file is
// too short to hold the pixels the header promises.
int ReadNetpbmHeader(const std::uint8_t* data, std::size_t size, NetpbmHeader* header);

// Decodes the pixels of a file whose header ReadNetpbmHeader gave into
// header.pixelBytes bytes at `rows` (bottom-up DIB rows, padding left as
// found). Returns 1, or 0 when the data is truncated or a sample is malformed
// or larger than maxval.
int DecodeNetpbmRaster(const std::uint8_t* data, std::size_t size, const NetpbmHeader& header, std::uint8_t* rows);
