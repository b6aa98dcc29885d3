// The per-pixel step of frame rendering, over a raw 32-bpp bottom-up buffer.
//
// Pixels are 4 bytes (blue, green, red, fourth byte), rows follow each other
// without gaps, memory row 0 is the bottom row of the picture. For frame k the
// pixel at column x of memory row y is shown in phase
//     (offset(x, y) + k) mod N
// with the offset of the phase pattern the tables were built with
// (level_tables.h, phase_patterns.h)
// and each of its three colour bytes goes through row `phase` of LevelTable;
// the fourth byte is copied unchanged.
//
// Windows-free: built and tested natively as well as in the program.
#pragma once

#include <cstddef>
#include <cstdint>

#include "frc/level_tables.h"

// The scalar form of the mapping, for the table path, the vector paths' row
// tails and the readouts of single pixels. Internal linkage on purpose:
// frame_mapping_avx2.cpp is compiled for AVX2, and of an inline function with
// external linkage the linker could hand its AVX2 copy to every caller.
namespace {

// The phase in which frame frameIndex shows the pixel at column x of memory
// row y, by the current tables (which must be present).
inline std::uint32_t PixelPhase(std::uint32_t x, std::uint32_t y, std::uint32_t frameIndex) {
  const std::uint32_t interval = LevelTableInterval();
  const std::uint32_t offset = PatternOffsets ? PatternOffsets[(y % PatternHeight) * PatternWidth + x % PatternWidth]
                                              : RowPhaseOrder[y % interval] + ColumnPhaseOrder[x % interval];
  return (offset + frameIndex % interval) % interval;
}

// Writes the 4 bytes of pixel `in` to `out` as one row of LevelTable shows
// them: each colour byte through the row, the fourth byte copied.
inline void MapPixelThrough(const std::uint8_t* tableRow, const std::uint8_t* in, std::uint8_t* out) {
  const std::uint8_t blue = in[0], green = in[1], red = in[2], fourth = in[3];
  out[0] = tableRow[blue];
  out[1] = tableRow[green];
  out[2] = tableRow[red];
  out[3] = fourth;
}

// The pixel at column x of memory row y, whose picture bytes are `in`, as
// frame frameIndex shows it: what MapFramePixels writes there.
inline void MapPixelOfFrame(const std::uint8_t* in, std::uint32_t x, std::uint32_t y, std::uint32_t frameIndex,
                            std::uint8_t* out) {
  MapPixelThrough(LevelTable + static_cast<std::size_t>(PixelPhase(x, y, frameIndex)) * 256, in, out);
}

}  // namespace

// Maps width x height pixels from source into target for frame k through the
// current level tables (level_tables.h), which must be present. source and
// target may be the same buffer (mapping in place) but must not otherwise
// overlap. Nothing happens when width or height is not positive.
// On x86 and x86-64 the colour bytes are computed 16 at a time (SSE2), or 32
// (AVX2) where the processor has it; the result is the same as
// MapFramePixelsByTable's.
void MapFramePixels(const std::uint8_t* source, std::uint8_t* target, std::int32_t width,
                    std::int32_t height, std::uint32_t frameIndex);

// Maps memory rows [firstRow, endRow) of frame frameIndex only, as
// MapFramePixels would write them; source and target start at memory row 0
// and are width pixels wide. Several threads may map different rows of one
// frame at once.
void MapFrameRows(const std::uint8_t* source, std::uint8_t* target, std::int32_t width, std::int32_t firstRow,
                  std::int32_t endRow, std::uint32_t frameIndex);

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
