// The flicker the eye sees rather than the flicker of one pixel. The eye does
// not resolve single pixels of a fine pattern: at a pixel it takes in the
// light of the pixels within a disc of 0.1 degree around it. So per frame of
// the cycle the light of every channel (sRGB decoded, as 16-bit codes: light
// 1 is 65535) is summed over the pixels (i, j) of the picture with
// (i - x)^2 + (j - y)^2 <= (0.05 * pixels per degree)^2. Over the N frames
// that gives one averaged signal per channel; the pixel's visible flicker is
// that of the channel with the largest mean light (ties: the one that
// flickers most): its modulation (max - min) / (max + min), and its frequency
// from the fewest frames after which the signal repeats. The sums are compared
// as whole numbers, so a pattern whose disc sums stay level shows none.
//
// Which phase each pixel is shown in comes from the level tables through the
// frame mapping (frame_mapping.h) only: the tables must be present and stay
// unchanged while any of these run.
//
// Windows-free: built and tested natively as well as in the program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The pixels a disc covers, row by row: for row offset dy (-radius .. radius)
// the columns x - halfWidths[dy + radius] .. x + halfWidths[dy + radius].
struct VisibleDisc {
  std::int32_t radius;
  std::vector<std::int32_t> halfWidths;
};

// The disc of 0.1 degree at pixelsPerDegree (at least the centre pixel).
void MakeVisibleDisc(double pixelsPerDegree, VisibleDisc* disc);

// The visible flicker at one pixel.
struct VisibleFlicker {
  double modulation;      // 0..1; 0 while the chosen channel is steady
  std::uint32_t period;   // frames; 1 while steady
  std::uint32_t channel;  // the channel it was taken on: 0 blue, 1 green, 2 red
};

// The figures of interval frames of disc sums: sums[3 * k + c] is channel c
// (blue, green, red) in frame k. primes from IntervalPrimes(interval).
void VisibleFlickerOfSums(const std::uint64_t* sums, std::uint32_t interval, const std::vector<std::uint32_t>& primes,
                          VisibleFlicker* flicker);

// The visible flicker at column x of memory row y of the picture source
// (width x height 32-bpp pixels, bottom row first), by the current tables.
void MeasureVisibleFlicker(const std::uint8_t* source, std::int32_t width, std::int32_t height, std::uint32_t x,
                           std::uint32_t y, double pixelsPerDegree, VisibleFlicker* flicker);

// The figures of a whole picture.
struct VisibleFlickerTotals {
  double largestModulation;  // 0..1
  std::uint32_t period;      // at the first pixel of largestModulation, reading the picture
                             // from its top row down, each row left to right; 1 without flicker
};

// Every pixel's visible flicker as a grey level (ModulationGrey) into
// greyRows, whose memory rows (bottom row first) are greyStride bytes apart,
// and the totals, by the current tables. Works through bands of bandRows
// rows (0: as many as about 16 MB of sums hold), each frame of a band mapped
// once; needs one frame's worth of memory besides. Returns 1, or 0 when that
// memory cannot be had (then nothing is promised of greyRows).
int VisibleFlickerMap(const std::uint8_t* source, std::int32_t width, std::int32_t height, double pixelsPerDegree,
                      std::uint8_t* greyRows, std::size_t greyStride, VisibleFlickerTotals* totals,
                      std::int32_t bandRows = 0);

// Where a flicker of modulation percent (0..100) at hertz falls among the
// recommended limits for flicker of light sources: below 90 Hz no observable
// effect up to 0.01 * f % and low risk up to 0.025 * f %; from 90 Hz no effect
// up to 0.0333 * f % (up to 3 kHz, above which every modulation passes) and low
// risk up to 0.08 * f % (up to 1250 Hz, above which every modulation passes);
// otherwise above. No flicker (0 % or 0 Hz) has no effect.
enum class FlickerClass { kNoEffect, kLowRisk, kAbove };
FlickerClass ClassifyFlicker(double percent, double hertz);

// "no_effect", "low_risk" or "above".
const char* FlickerClassName(FlickerClass flickerClass);

// The lines cycle.txt gains after flicker_hz, each "key=value" and a line
// feed: pixels_per_degree (two decimals), visible_flicker_max_percent (one
// decimal), visible_flicker_hz (at the first maximum, three decimals) and
// visible_flicker_class (of that figure). frameDuration in 100 ns units.
std::string VisibleFlickerReportText(double pixelsPerDegree, const VisibleFlickerTotals& totals,
                                     std::uint32_t frameDuration);
