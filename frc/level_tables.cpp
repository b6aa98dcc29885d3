// Level tables and phase orders: see level_tables.h.
#include "frc/level_tables.h"

#include <cstdint>
#include <cstdlib>

std::uint8_t* LevelTable = nullptr;
std::uint32_t* ColumnPhaseOrder = nullptr;
std::uint32_t* RowPhaseOrder = nullptr;
namespace {

// Written only by a successful BuildLevelTables.
std::uint32_t levelTableInterval = 0;

// Allocates count elements of elementSize bytes; a size that does not fit the
// address space fails like an allocation that the heap refuses.
void* AllocateArray(std::uint64_t count, std::uint64_t elementSize) {
  const std::uint64_t bytes = count * elementSize;  // both below 2^32: no wrap in 64 bits
  if (bytes > SIZE_MAX) return nullptr;
  return std::malloc(static_cast<std::size_t>(bytes));
}

// Releases the tables when the process ends.
struct LevelTableReleaser {
  LevelTableReleaser() = default;
  LevelTableReleaser(const LevelTableReleaser&) = delete;
  LevelTableReleaser& operator=(const LevelTableReleaser&) = delete;
  ~LevelTableReleaser() { ReleaseLevelTables(); }
};
LevelTableReleaser levelTableReleaser;

}  // namespace

void ReleaseLevelTables() {
  std::free(LevelTable);
  LevelTable = nullptr;
  std::free(ColumnPhaseOrder);
  ColumnPhaseOrder = nullptr;
  std::free(RowPhaseOrder);
  RowPhaseOrder = nullptr;
}

std::uint8_t PanelLevel(std::uint32_t count, std::uint32_t offset, std::uint32_t v, std::uint32_t p) {
  if (v < offset) return static_cast<std::uint8_t>(offset);  // raised to the first grid level
  const std::uint32_t k = (v - offset) / count;
  const std::uint32_t lower = offset + k * count;
  const std::uint32_t upper = lower + count;
  const std::uint32_t r = v - lower;
  if (upper >= 256) return static_cast<std::uint8_t>(lower);  // no grid level above
  // Bresenham-like spread: phase p shows upper when the running sum r*p/N steps.
  const bool showUpper = (r * p) / count < (r * (p + 1)) / count;
  return static_cast<std::uint8_t>(showUpper ? upper : lower);
}

std::uint32_t RowPhaseAt(std::uint32_t count, std::uint32_t p) {
  return (p % 2 == 0) ? p / 2 : count - 1 - p / 2;
}

std::uint32_t LevelTableInterval() { return levelTableInterval; }

int BuildLevelTables(std::uint32_t count, std::uint32_t offset) {
  ReleaseLevelTables();
  LevelTable = static_cast<std::uint8_t*>(AllocateArray(count, 256));
  if (!LevelTable) return 0;
  ColumnPhaseOrder = static_cast<std::uint32_t*>(AllocateArray(count, sizeof(std::uint32_t)));
  if (!ColumnPhaseOrder) return 0;
  RowPhaseOrder = static_cast<std::uint32_t*>(AllocateArray(count, sizeof(std::uint32_t)));
  if (!RowPhaseOrder) return 0;
  levelTableInterval = count;
  for (std::uint32_t p = 0; p < count; ++p) {
    std::uint8_t* row = LevelTable + static_cast<std::size_t>(p) * 256;
    for (std::uint32_t v = 0; v < 256; ++v) row[v] = PanelLevel(count, offset, v, p);
    ColumnPhaseOrder[p] = p;
    RowPhaseOrder[p] = RowPhaseAt(count, p);
  }
  return 1;
}
