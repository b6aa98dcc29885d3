// Level tables and phase orders of the simulated panel.
//
// A panel with frame rate control shows only every N-th channel level, starting
// at a correction offset; a level between two grid levels is shown as the lower
// one in some frames of the N-frame cycle and as the upper one in the others, so
// that the mean over the cycle equals the input. The tables below hold every
// decision of that simulation; frame rendering only indexes them.
//
// Windows-free: built and tested natively as well as in the program.
#pragma once

#include <cstdint>

// The three arrays are read through these names and written only by
// BuildLevelTables and ReleaseLevelTables, on the user-interface thread during
// a rebuild. The rebuild's workers read them while that thread waits for
// them. An export's threads read them while it runs; the caller keeps them
// unchanged meanwhile (a rebuild first cancels and joins the window's save).
// Otherwise only the user-interface thread reads them (the readouts of single
// pixels). The frame clock and the presenting thread keep running through a
// rebuild, but neither reads the tables: they only show frames.
//
// One row of 256 entries per phase, row-major: LevelTable[p * 256 + v] is the
// level shown for input level v in phase p. Null when absent.
extern const std::uint8_t* const& LevelTable;
// Phase offset contributed by a pixel's column index modulo N. Null when absent.
extern const std::uint32_t* const& ColumnPhaseOrder;
// Phase offset contributed by a pixel's row index modulo N. Null when absent.
extern const std::uint32_t* const& RowPhaseOrder;
// The phase offsets of a matrix pattern (phase_patterns.h) at the tables'
// interval: entry (y mod PatternHeight) * PatternWidth + x mod PatternWidth
// is the offset of the pixel at column x of memory row y. Null (and the sides
// 0) for the patterns that step by column, whose offset is
// RowPhaseOrder[y mod N] + ColumnPhaseOrder[x mod N]. Written with the
// other arrays, from the pattern in use at the build.
extern const std::uint8_t* const& PatternOffsets;
extern const std::uint32_t& PatternWidth;
extern const std::uint32_t& PatternHeight;

// The interval N the three arrays were built for; changed only by a successful
// build. Frame rendering takes its modulus from here, not from the settings.
std::uint32_t LevelTableInterval();

// LevelTableInterval while all three arrays are present, else 0.
std::uint32_t PresentTableInterval();

// The largest N tables are built for: the widest cycle the program offers.
constexpr std::uint32_t kLargestTableInterval = 255;

// Replaces the tables by those for interval N (1..kLargestTableInterval) and
// the given correction, with the phase pattern of CurrentPhasePattern. Returns 1 on success, 0 when N is out of that range or an
// allocation fails; the previous tables are released first either way, so
// after a failure some arrays are absent and LevelTableInterval keeps its
// previous value.
int BuildLevelTables(std::uint32_t interval, std::uint32_t correction);

// Releases whatever tables are present. Also runs at process exit.
void ReleaseLevelTables();

// The rule behind every table entry: the level shown in phase p (0 <= p < interval)
// for input level v (0..255).
std::uint8_t PanelLevel(std::uint32_t interval, std::uint32_t correction, std::uint32_t v, std::uint32_t p);

// Entry p of the row order: the phases interleaved from both ends
// (0, N-1, 1, N-2, ...).
std::uint32_t RowPhaseAt(std::uint32_t interval, std::uint32_t p);
