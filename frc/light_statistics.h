// What a frame cycle looks like to the eye rather than in code values. The
// panel is taken to follow the sRGB transfer function: a code c (0..255) gives
// the light c/255/12.92 up to c/255 = 0.04045 and ((c/255 + 0.055)/1.055)^2.4
// above, 0 black and 1 white. Per pixel and channel over the N frames:
//  - the light mean, given as the code that shows that light steadily;
//  - the light modulation, (max - min) / (max + min) of the channel's light
//    (0 where both are black); a pixel's modulation is its largest channel's;
//  - the pixel's period: the fewest frames after which its sequence repeats,
//    which with the frame duration gives its flicker frequency.
// All over raw 32-bpp rows (blue, green, red, fourth byte), as the frames and
// the source hold them; the fourth byte is ignored.
//
// Windows-free: built and tested natively as well as in the program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A light mean is carried as the largest whole number of twentieths of a code
// at or below it (0..kLightTwentieths), from which both the tenths and the
// whole code, each rounded half up, follow exactly.
constexpr std::uint32_t kLightTwentieths = 255 * 20;
// Bins of light that index the threshold search.
constexpr std::uint32_t kLightBins = 16384;

// The sRGB curve in tables: built once on first use, read-only afterwards and
// safe to read from any thread.
struct LightTables {
  double light[256];                       // code -> light
  double thresholds[kLightTwentieths + 2];  // light at every twentieth of a code, then a sentinel above 1
  std::uint16_t binStart[kLightBins + 1];  // per bin: the last threshold at or below its lower edge
};
const LightTables& SrgbLightTables();

// Light of the code `code` (a real number from 0 to 255) on the sRGB curve,
// and the code that shows light `light` (0..1); each computed in full
// precision, for the few places that need more than the tables give.
double CodeToLight(double code);
double LightToCode(double light);

// The relative luminance of a colour (codes 0..255): 0.2126 R + 0.7152 G +
// 0.0722 B in linear light, 0 black and 1 white.
double RelativeLuminance(std::uint32_t red, std::uint32_t green, std::uint32_t blue);

// True when black text on the colour contrasts more than white text does
// (contrast ratio (L1 + 0.05) / (L2 + 0.05)): for numbers written on cells.
bool BlackTextReadsBetter(std::uint32_t red, std::uint32_t green, std::uint32_t blue);

// The twentieths of the code that shows light mean `light`, from the tables:
// floor(20 * LightToCode(light)), clamped to 0..kLightTwentieths.
std::uint32_t LightTwentieths(const LightTables& tables, double light);

// From twentieths: the tenths rounded half up (0..2550) and the whole code
// rounded half up (0..255).
inline std::uint32_t TenthsOfTwentieths(std::uint32_t twentieths) { return (twentieths + 1) / 2; }
inline std::uint32_t CodeOfTwentieths(std::uint32_t twentieths) { return (twentieths + 10) / 20; }

// The light mean over interval frames of which `upper` show code high and the
// others code low: what the engine's frames hold, one of two levels a frame.
double TwoLevelLightMean(const LightTables& tables, std::uint32_t low, std::uint32_t high, std::uint32_t upper,
                         std::uint32_t interval);

// The modulation (0..1) of a channel whose lowest code is low and highest high.
double LightModulation(const LightTables& tables, std::uint32_t low, std::uint32_t high);

// A modulation (0..1) as a grey level, 1 as 255, rounded half up; and in
// tenths of a percent, rounded half up (0..1000).
std::uint8_t ModulationGrey(double modulation);
std::uint32_t ModulationTenthsOfPercent(double modulation);

// The fewest frames (a divisor of interval) after which the interval values
// repeat as a cycle: 1 for a steady sequence. values holds interval (1..255)
// entries; only their low 24 bits are compared.
std::uint32_t CyclePeriod(const std::uint32_t* values, std::uint32_t interval);

// A sequence of interval numbers `stride` entries apart: one channel of
// several kept side by side.
struct StridedSignal {
  const std::uint64_t* values;
  std::size_t stride;
};

// The distinct prime factors of interval, smallest first: what SignalPeriod
// needs, made once for many signals.
void IntervalPrimes(std::uint32_t interval, std::vector<std::uint32_t>* primes);

// CyclePeriod of a signal whose values are compared whole; primes from
// IntervalPrimes(interval).
std::uint32_t SignalPeriod(const StridedSignal& signal, std::uint32_t interval,
                           const std::vector<std::uint32_t>& primes);

// The frequency in hertz of a period of `period` frames of frameDuration units
// of 100 ns each: 0 for a period of 1 or a duration of 0.
double FlickerHertz(std::uint32_t period, std::uint32_t frameDuration);

// Running figures over every row summarised so far.
struct LightTotals {
  double largestError;       // largest |light mean - source| in codes over pixels and channels
  double largestModulation;  // largest pixel modulation, 0..1
};

// Working memory for SummarizeLightRow, sized by PrepareLightRows for one
// width and one N. Reused row after row.
struct LightRowScratch {
  std::uint32_t interval;
  std::vector<std::uint16_t> sums;    // per byte of the row: code sum over the frames
  std::vector<std::uint8_t> lows;     // per byte: lowest code
  std::vector<std::uint8_t> highs;    // per byte: highest code
  std::vector<std::uint8_t> uppers;   // per byte: frames that show the highest code
  std::vector<std::uint32_t> values;  // one pixel's values over the frames
  std::vector<std::uint32_t> primes;  // the prime factors of the interval, each once
  double errorLight;                  // the last light mean and source whose error was
  std::uint32_t errorSource;          // computed in full, and that error
  double error;
};

// Sizes scratch for rows of width pixels and a cycle of interval (1..255) frames.
void PrepareLightRows(LightRowScratch* scratch, std::int32_t width, std::uint32_t interval);

// Summarises one picture row. frameRows holds scratch->interval pointers, each
// to the same row of one frame (width 32-bpp pixels); sourceRow is that row of
// the picture the frames were made from. Writes, per pixel:
//  - meanRow: three light means in twentieths (blue, green, red);
//  - modulationRow: the pixel's modulation as a grey level (ModulationGrey);
//  - upperRow (may be null): per channel, frames that show the channel's
//    highest code while it changes, 0 where it is steady (blue, green, red);
//  - periodRow (may be null): the pixel's period in frames;
// and adds the row to totals (the largest error computed in full precision).
void SummarizeLightRow(const std::uint8_t* const* frameRows, const std::uint8_t* sourceRow, std::int32_t width,
                       const LightTables& tables, LightRowScratch* scratch, std::uint16_t* meanRow,
                       std::uint8_t* modulationRow, std::uint8_t* upperRow, std::uint8_t* periodRow,
                       LightTotals* totals);

// Everything the window tells of one pixel's cycle.
struct PixelLight {
  std::uint32_t meanTenths[3];      // light mean as code, tenths rounded half up (blue, green, red)
  std::uint32_t uppers[3];          // frames at the highest code while the channel changes
  std::uint32_t modulationTenths;   // the pixel's modulation, tenths of a percent
  std::uint32_t period;             // frames
};

// The figures of one pixel: framePixels holds interval pointers, each to the
// pixel's 4 bytes in one frame, and sourcePixel to its 4 bytes in the picture.
void MeasurePixelLight(const std::uint8_t* const* framePixels, const std::uint8_t* sourcePixel,
                       std::uint32_t interval, PixelLight* pixel);

// The lines cycle.txt gains, each "key=value" and a line feed:
// max_light_mean_error (three decimals), max_light_modulation_percent (one
// decimal), frame_duration (seconds, seven decimals) and flicker_hz (the
// cycle's repetition rate, 1 / (interval * duration), three decimals; 0 for a
// duration of 0). Every figure rounded half up.
std::string LightReportText(const LightTotals& totals, std::uint32_t interval, std::uint32_t frameDuration);

// value with `decimals` decimals (0..7), rounded half up: "3.4", "0.000".
std::string DecimalText(double value, int decimals);
