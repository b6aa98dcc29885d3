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

// The tables are released when the process ends.
[[maybe_unused]] const int releaseAtExit = std::atexit(ReleaseLevelTables);

}  // namespace

void ReleaseLevelTables() {
  std::free(LevelTable);
  LevelTable = nullptr;
  std::free(ColumnPhaseOrder);
  ColumnPhaseOrder = nullptr;
  std::free(RowPhaseOrder);
  RowPhaseOrder = nullptr;
}

std::uint8_t PanelLevel(std::uint32_t interval, std::uint32_t correction, std::uint32_t v, std::uint32_t p) {
  if (v < correction) return static_cast<std::uint8_t>(correction);  // raised to the first grid level
  const std::uint32_t k = (v - correction) / interval;
  const std::uint32_t lower = correction + k * interval;
  const std::uint32_t upper = lower + interval;
  const std::uint32_t r = v - lower;
  if (upper >= 256) return static_cast<std::uint8_t>(lower);  // no grid level above
  // Bresenham-like spread: phase p shows upper when the running sum r*p/N steps.
  const bool showUpper = (r * p) / interval < (r * (p + 1)) / interval;
  return static_cast<std::uint8_t>(showUpper ? upper : lower);
}

std::uint32_t RowPhaseAt(std::uint32_t interval, std::uint32_t p) {
  return (p % 2 == 0) ? p / 2 : interval - 1 - p / 2;
}

std::uint32_t LevelTableInterval() { return levelTableInterval; }

std::uint32_t PresentTableInterval() {
  return LevelTable && ColumnPhaseOrder && RowPhaseOrder ? levelTableInterval : 0;
}

int BuildLevelTables(std::uint32_t interval, std::uint32_t correction) {
  ReleaseLevelTables();
  if (interval < 1 || interval > kLargestTableInterval) return 0;
  LevelTable = static_cast<std::uint8_t*>(AllocateArray(interval, 256));
  if (!LevelTable) return 0;
  ColumnPhaseOrder = static_cast<std::uint32_t*>(AllocateArray(interval, sizeof(std::uint32_t)));
  if (!ColumnPhaseOrder) return 0;
  RowPhaseOrder = static_cast<std::uint32_t*>(AllocateArray(interval, sizeof(std::uint32_t)));
  if (!RowPhaseOrder) return 0;
  levelTableInterval = interval;
  for (std::uint32_t p = 0; p < interval; ++p) {
    std::uint8_t* row = LevelTable + static_cast<std::size_t>(p) * 256;
    for (std::uint32_t v = 0; v < 256; ++v) row[v] = PanelLevel(interval, correction, v, p);
    ColumnPhaseOrder[p] = p;
    RowPhaseOrder[p] = RowPhaseAt(interval, p);
  }
  return 1;
}
