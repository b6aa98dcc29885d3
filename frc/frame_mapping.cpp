// Pixel mapping of one frame: see frame_mapping.h.
//
// The spatial phase pattern repeats every N columns, so for each row the N table
// rows it uses are looked up once, in column order, and the inner loop walks
// them with a wrapping counter: no division per pixel.
#include "frc/frame_mapping.h"

#include <cstddef>
#include <cstdint>

#include "frc/level_tables.h"

namespace {

// The program validates N to 1..255; larger tables only come from direct calls.
constexpr std::uint32_t kMaxFastCount = 256;

void MapFramePixelsSlowly(const std::uint8_t* source, std::uint8_t* target, std::int32_t width,
                          std::int32_t height, std::uint32_t frameIndex) {
  const std::uint32_t count = LevelTableCount;
  std::size_t i = 0;
  for (std::int32_t y = 0; y < height; ++y) {
    for (std::int32_t x = 0; x < width; ++x, i += 4) {
      const std::uint32_t phase = (RowPhaseOrder[static_cast<std::uint32_t>(y) % count] +
                                   ColumnPhaseOrder[static_cast<std::uint32_t>(x) % count] + frameIndex) %
                                  count;
      const std::uint8_t* table = LevelTable + static_cast<std::size_t>(phase) * 256;
      const std::uint8_t fourth = source[i + 3];
      target[i] = table[source[i]];
      target[i + 1] = table[source[i + 1]];
      target[i + 2] = table[source[i + 2]];
      target[i + 3] = fourth;
    }
  }
}

}  // namespace

void MapFramePixels(const std::uint8_t* source, std::uint8_t* target, std::int32_t width,
                    std::int32_t height, std::uint32_t frameIndex) {
  if (width <= 0 || height <= 0) return;
  const std::uint32_t count = LevelTableCount;
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
  if (count > kMaxFastCount) {
    MapFramePixelsSlowly(source, target, width, height, frameIndex);
    return;
  }
  const std::uint8_t* columnTables[kMaxFastCount];
  const std::uint32_t period = count;

  for (std::int32_t y = 0; y < height; ++y) {
    const std::uint32_t rowPhase = RowPhaseOrder[static_cast<std::uint32_t>(y) % count] + frameIndex;
    for (std::uint32_t j = 0; j < period; ++j) {
      const std::uint32_t phase = (rowPhase + ColumnPhaseOrder[j]) % count;
      columnTables[j] = LevelTable + static_cast<std::size_t>(phase) * 256;
    }
    const std::uint8_t* in = source + rowBytes * static_cast<std::size_t>(y);
    std::uint8_t* out = target + rowBytes * static_cast<std::size_t>(y);
    std::uint32_t j = 0;
    for (std::int32_t x = 0; x < width; ++x) {
      const std::uint8_t* table = columnTables[j];
      const std::uint8_t blue = in[0], green = in[1], red = in[2], fourth = in[3];
      out[0] = table[blue];
      out[1] = table[green];
      out[2] = table[red];
      out[3] = fourth;
      in += 4;
      out += 4;
      if (++j == period) j = 0;
    }
  }
}
