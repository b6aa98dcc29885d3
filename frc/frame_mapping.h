// The per-pixel step of frame rendering, over a raw 32-bpp bottom-up buffer.
//
// Pixels are 4 bytes (blue, green, red, fourth byte), rows follow each other
// without gaps, memory row 0 is the bottom row of the picture. For frame k the
// pixel at column x of memory row y is shown in phase
//     (RowPhaseOrder[y mod N] + ColumnPhaseOrder[x mod N] + k) mod N
// and each of its three colour bytes goes through row `phase` of LevelTable;
// the fourth byte is copied unchanged.
//
// Windows-free: built and tested natively as well as in the program.
#pragma once

#include <cstdint>

// Maps width x height pixels from source into target for frame k through the
// current level tables (level_tables.h), which must be present. source and
// target may be the same buffer (mapping in place) but must not otherwise
// overlap. Nothing happens when width or height is not positive.
void MapFramePixels(const std::uint8_t* source, std::uint8_t* target, std::int32_t width,
                    std::int32_t height, std::uint32_t frameIndex);
