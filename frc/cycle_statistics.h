// What a whole frame cycle adds up to, per pixel: the mean each channel shows
// over the N frames, how far each pixel swings (its flicker), and the summary
// numbers an export reports. All over raw 32-bpp rows (blue, green, red,
// fourth byte), as the frames and the source hold them.
//
// Windows-free: built and tested natively as well as in the program.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Running figures over every row summarised so far.
struct CycleTotals {
  std::uint64_t flickeringPixels;  // pixels whose flicker is not 0
  std::uint32_t largestError;      // largest |sum - N * source| over pixels and channels
};

// Working memory for SummarizeCycleRow, sized by PrepareCycleRows for one
// width and one N. Reused row after row.
struct CycleRowScratch {
  std::uint32_t interval;
  std::vector<std::uint16_t> sums;  // per byte of the row: sum over the frames
  std::vector<std::uint8_t> lows;   // per byte: lowest value over the frames
  std::vector<std::uint8_t> highs;  // per byte: highest value over the frames
  std::vector<std::uint8_t> means;  // sum -> mean rounded half up, for sums 0..255 * N
};

// Sizes scratch for rows of width pixels and a cycle of interval (1..255) frames.
void PrepareCycleRows(CycleRowScratch* scratch, std::int32_t width, std::uint32_t interval);

// Summarises one picture row. frameRows holds scratch->interval pointers, each to
// the same row of one frame (width 32-bpp pixels); sourceRow is that row of
// the picture the frames were made from. Writes width blue-green-red triples
// of the rounded mean to meanRow and width bytes of flicker (the largest
// highest-minus-lowest over the three channels) to flickerRow, and adds the
// row to totals. The fourth byte of every pixel is ignored.
void SummarizeCycleRow(const std::uint8_t* const* frameRows, const std::uint8_t* sourceRow, std::int32_t width,
                       CycleRowScratch* scratch, std::uint8_t* meanRow, std::uint8_t* flickerRow,
                       CycleTotals* totals);

// Copies width 32-bpp pixels into width blue-green-red triples.
void PackRowBgr(const std::uint8_t* pixels, std::int32_t width, std::uint8_t* triples);

// The levels the panel shows for interval and correction (correction < interval <= 255),
// lowest first, comma separated: "3,7,11,...,255".
std::string PanelLevelsText(std::uint32_t interval, std::uint32_t correction);

// largestError / interval (a CycleTotals figure) with three decimals, rounded
// half up: "0.000", "0.333", "2.000".
std::string MeanErrorText(std::uint32_t largestError, std::uint32_t interval);

// The lines of cycle.txt, each "key=value" and a line feed: width, height,
// interval, correction, levels, flickering_pixels, max_mean_error.
std::string CycleReportText(std::int32_t width, std::int32_t height, std::uint32_t interval, std::uint32_t correction,
                            const CycleTotals& totals);
