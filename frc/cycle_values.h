// The statistics of a frame cycle computed from the picture and the level
// tables, without frames.
//
// Over one cycle every pixel runs through all N rows of the level table once,
// only starting at its own phase. So what the frames show of one channel over
// the cycle (sum, lowest, highest, frames at the highest, light mean,
// modulation, period) depends only on the channel's input value, and a
// pixel's period is the least common multiple of its three channels' (all
// divide N, and the three shift together). A summary of the 256 input values
// then gives every per-pixel figure of cycle_statistics.h and
// light_statistics.h with a few look-ups per channel, equal to what those
// functions give from the frames.
//
// One exception to "equal": the light mean of a value that takes more than two
// levels over the cycle is summed in phase order here and in frame order
// there, which may differ in the last bit. The engine's tables (PanelLevel)
// never give such a value.
//
// Windows-free: built and tested natively as well as in the program.
#pragma once

#include <cstdint>

#include "frc/cycle_statistics.h"
#include "frc/level_tables.h"
#include "frc/light_statistics.h"

// What one channel of input value v shows over a cycle.
struct ValueCycle {
  std::uint16_t sum;         // code sum over the frames
  std::uint8_t low;          // lowest code
  std::uint8_t high;         // highest code
  std::uint8_t mean;         // sum / N rounded half up
  std::uint8_t upper;        // frames at the highest code while it changes, else 0
  std::uint8_t period;       // the fewest frames after which it repeats
  std::uint16_t twentieths;  // light mean in twentieths of a code
  std::uint32_t codeError;   // |sum - N * v|
  // The light mean's error in codes, and a bound on it that needs no
  // LightToCode: row summaries take the error only where the bound beats the
  // largest so far, as SummarizeLightRow does.
  double lightError;
  double lightBound;
  // Light of highest minus lowest, and their sum: the modulation's terms;
  // modulation = spread / total (0 while steady), and that as a grey level.
  double spread;
  double total;
  double modulation;
  std::uint8_t modulationGrey;
};

// The summary of every input value for one set of tables.
struct CycleValues {
  std::uint32_t interval;
  ValueCycle values[256];
};

// Summarises input value v (0..255) over the interval (1..255) rows of
// levelTable (row-major, 256 entries a row, as LevelTable).
void SummarizeValue(const std::uint8_t* levelTable, std::uint32_t interval, std::uint32_t v, ValueCycle* value);

// Summarises all 256 input values over the rows of levelTable.
void SummarizeCycleValues(const std::uint8_t* levelTable, std::uint32_t interval, CycleValues* values);

// Summarises all 256 input values for the tables BuildLevelTables makes for
// interval (1..255) and correction (below interval), without reading or
// touching the shared tables: any thread.
void SummarizePanelValues(std::uint32_t interval, std::uint32_t correction, CycleValues* values);

// SummarizeCycleRow's results for one picture row (width 32-bpp pixels)
// whose frames the tables of values make: the rounded means (blue-green-red
// triples) to meanRow, the flicker bytes to flickerRow, the row added to
// totals.
void SummarizeCycleRowByValue(const CycleValues& values, const std::uint8_t* sourceRow, std::int32_t width,
                              std::uint8_t* meanRow, std::uint8_t* flickerRow, CycleTotals* totals);

// SummarizeLightRow's results for one picture row, likewise; upperRow and
// periodRow may be null.
void SummarizeLightRowByValue(const CycleValues& values, const std::uint8_t* sourceRow, std::int32_t width,
                              std::uint16_t* meanRow, std::uint8_t* modulationRow, std::uint8_t* upperRow,
                              std::uint8_t* periodRow, LightTotals* totals);

// One pixel's cycle by the current tables.
struct PixelCycle {
  std::uint32_t interval;
  std::uint8_t frames[kLargestTableInterval][4];  // its 4 bytes in frames 0 .. interval - 1
  std::uint32_t sums[3];                          // code sums over the frames (blue, green, red)
  PixelLight light;                               // as MeasurePixelLight gives it from the frames
};

// The cycle of the pixel at column x of memory row y, whose picture bytes
// are sourcePixel, from the current tables (level_tables.h), which must be
// present. User-interface thread, or wherever the tables may be read.
void MeasurePixelCycle(const std::uint8_t* sourcePixel, std::uint32_t x, std::uint32_t y, PixelCycle* cycle);
