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
// On x86 and x86-64 the colour bytes are computed 16 at a time (SSE2), or 32
// (AVX2) where the processor has it; the result is the same as
// MapFramePixelsByTable's.
void MapFramePixels(const std::uint8_t* source, std::uint8_t* target, std::int32_t width,
                    std::int32_t height, std::uint32_t frameIndex);

// The same mapping done by reading LevelTable for every channel: the reference
// the vector path is held to, and the path on other processors.
void MapFramePixelsByTable(const std::uint8_t* source, std::uint8_t* target, std::int32_t width,
                           std::int32_t height, std::uint32_t frameIndex);

// Maps memory rows [firstRow, endRow) of every frame of the cycle at once:
// targets[k] (k below the table count) receives those rows of frame k, as
// MapFramePixels would write them; the other rows are not touched. Buffers
// start at memory row 0, are width pixels wide and must not overlap source or
// each other. Several threads may map different row bands of the same targets.
// Returns 1, or 0 when the few kilobytes of row memory it needs cannot be had
// (the band is then left partly written).
int MapCycleRows(const std::uint8_t* source, std::uint8_t* const* targets, std::int32_t width,
                 std::int32_t firstRow, std::int32_t endRow);

// The paths the mapping may take, narrowest first. All give the same bytes.
enum class VectorPath { kTables, kSse2, kAvx2 };

// Lets the mapping take paths up to `widest` (all of them at start), within
// what the build and the processor offer; returns the widest it now takes.
// Set it while nothing maps: tests use it to check every path on one machine.
VectorPath LimitVectorPath(VectorPath widest);
