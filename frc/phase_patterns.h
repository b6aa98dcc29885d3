// Spatial phase patterns: where in the cycle each pixel starts.
//
// Frame k shows pixel (x, y) in phase (offset(x, y) + k) mod N; y counts
// memory rows, the bottom row being 0. A matrix pattern is a W x H matrix
// holding each of 0 .. W*H-1 once, tiled over the picture with its first row
// at y mod H = 0: offset(x, y) = floor(m * N / (W * H)), m its entry at
// (x mod W, y mod H). The other two kinds step by one phase per column:
// offset(x, y) = (row(y mod N) + x) mod N, row being the interleaved order of
// RowPhaseAt for `standard` and y itself for `diagonal`.
//
// Windows-free: built and tested natively as well as in the program.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class PhasePatternKind { kStandard, kNone, kBayer2, kBayer4, kDiagonal, kBlueNoise, kCustom };

constexpr int kPhasePatternKinds = 7;
constexpr std::uint32_t kLargestPatternSide = 64;

// The name on the command line and in settings.ini ("standard", "none",
// "bayer2", "bayer4", "diagonal", "bluenoise", "custom"), and the one the bar's
// list shows (標準, なし, 2×2, 4×4, 斜め, ブルーノイズ, カスタム).
const char* PhasePatternName(PhasePatternKind kind);
const wchar_t* PhasePatternLabel(PhasePatternKind kind);
// The kind of a name (exact, lower case); false for none of them.
bool PhasePatternFromName(const std::string& name, PhasePatternKind* kind);

// A pattern as the tables are built from it: the kind, and for the matrix
// kinds the matrix, row by row (entries[y * width + x]).
struct PhasePattern {
  PhasePatternKind kind = PhasePatternKind::kStandard;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint16_t> entries;
};

// True for the kinds whose offsets step by one phase per column.
bool StepsByColumn(PhasePatternKind kind);

// The built-in pattern of kind (not kCustom): its matrix where it has one.
// The blue noise matrix is made on the first call (void-and-cluster over a
// 64 x 64 torus, Gaussian sigma 1.5, ties to the lowest row-major index).
PhasePattern BuiltInPhasePattern(PhasePatternKind kind);

// Reads a matrix written as rows separated by '/', entries by spaces:
// "0 2 / 3 1". True with *pattern a kCustom matrix; false with *fault saying,
// in the program's words, what is wrong (ragged rows, a side above 64, an
// entry that is not a number below W*H, an entry twice).
bool ParsePhaseMatrix(const std::string& text, PhasePattern* pattern, std::wstring* fault);

// The pattern the next BuildLevelTables uses: `standard` until set.
// User-interface thread.
const PhasePattern& CurrentPhasePattern();
void SetPhasePattern(const PhasePattern& pattern);
