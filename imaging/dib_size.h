// Checked size arithmetic for DIB rows and pixel blocks.
//
// Picture sizes come from files and plug-ins, so they are untrusted: every size
// here is computed in 64 bits and refused when it does not fit, instead of
// wrapping around to a small number.
//
// Windows-free: built and tested natively as well as in the program.
#pragma once

#include <cstdint>

// Bytes of one DIB row of `width` pixels at `bitCount` bits, padded to 4 bytes:
// ((bitCount * width + 31) / 32) * 4. Returns 1 and stores it, or 0 when a
// value is negative or the result exceeds the signed 32-bit range.
int DibStride(std::int64_t bitCount, std::int64_t width, std::uint32_t* stride);

// Bytes of a DIB's pixels, stride * |height|: the size GDI gives biSizeImage.
// Returns 1 and stores it, or 0 when it does not fit the signed 32-bit range
// (or a value is negative, apart from height, whose sign only says whether
// rows are stored top-down).
int DibImageSize(std::int64_t bitCount, std::int64_t width, std::int64_t height, std::uint32_t* bytes);
