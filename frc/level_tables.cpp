// Level tables and phase orders: see level_tables.h.
#include "frc/level_tables.h"
#include "base/thread_checks.h"
#include "frc/phase_patterns.h"

#include <cstdint>
#include <cstdlib>

namespace {

// The arrays behind the read-only names of the header.
struct Tables {
  std::uint8_t* levels = nullptr;
  std::uint32_t* columnOrder = nullptr;
  std::uint32_t* rowOrder = nullptr;
  std::uint8_t* patternOffsets = nullptr;
  std::uint32_t patternWidth = 0;
  std::uint32_t patternHeight = 0;
  std::uint32_t interval = 0;  // written only by a successful BuildLevelTables
};
Tables tables;

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

const std::uint8_t* const& LevelTable = tables.levels;
const std::uint32_t* const& ColumnPhaseOrder = tables.columnOrder;
const std::uint32_t* const& RowPhaseOrder = tables.rowOrder;
const std::uint8_t* const& PatternOffsets = tables.patternOffsets;
const std::uint32_t& PatternWidth = tables.patternWidth;
const std::uint32_t& PatternHeight = tables.patternHeight;

void ReleaseLevelTables() {
  std::free(tables.levels);
  tables.levels = nullptr;
  std::free(tables.columnOrder);
  tables.columnOrder = nullptr;
  std::free(tables.rowOrder);
  tables.rowOrder = nullptr;
  std::free(tables.patternOffsets);
  tables.patternOffsets = nullptr;
  tables.patternWidth = tables.patternHeight = 0;
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

std::uint32_t LevelTableInterval() { return tables.interval; }

std::uint32_t PresentTableInterval() {
  return tables.levels && tables.columnOrder && tables.rowOrder ? tables.interval : 0;
}

int BuildLevelTables(std::uint32_t interval, std::uint32_t correction) {
  ExpectUiThread();
  ReleaseLevelTables();
  if (interval < 1 || interval > kLargestTableInterval) return 0;
  tables.levels = static_cast<std::uint8_t*>(AllocateArray(interval, 256));
  if (!tables.levels) return 0;
  tables.columnOrder = static_cast<std::uint32_t*>(AllocateArray(interval, sizeof(std::uint32_t)));
  if (!tables.columnOrder) return 0;
  tables.rowOrder = static_cast<std::uint32_t*>(AllocateArray(interval, sizeof(std::uint32_t)));
  if (!tables.rowOrder) return 0;
  const PhasePattern& pattern = CurrentPhasePattern();
  const bool diagonal = pattern.kind == PhasePatternKind::kDiagonal;
  if (!StepsByColumn(pattern.kind)) {
    const std::uint32_t cells = pattern.width * pattern.height;
    tables.patternOffsets = static_cast<std::uint8_t*>(AllocateArray(cells, 1));
    if (!tables.patternOffsets) return 0;
    for (std::uint32_t i = 0; i < cells; ++i)
      tables.patternOffsets[i] = static_cast<std::uint8_t>(std::uint64_t{pattern.entries[i]} * interval / cells);
    tables.patternWidth = pattern.width;
    tables.patternHeight = pattern.height;
  }
  tables.interval = interval;
  for (std::uint32_t p = 0; p < interval; ++p) {
    std::uint8_t* row = tables.levels + static_cast<std::size_t>(p) * 256;
    for (std::uint32_t v = 0; v < 256; ++v) row[v] = PanelLevel(interval, correction, v, p);
    tables.columnOrder[p] = p;
    tables.rowOrder[p] = diagonal ? p : RowPhaseAt(interval, p);
  }
  return 1;
}
