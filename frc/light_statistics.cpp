// Light statistics of a cycle: see light_statistics.h.
#include "frc/light_statistics.h"

#include <cmath>
#include <cstddef>

#include "base/time_units.h"

namespace {

void BuildTables(LightTables* tables) {
  for (std::uint32_t code = 0; code < 256; ++code) tables->light[code] = CodeToLight(code);
  // thresholds[20 * c] is light[c] exactly: the same arithmetic on the same number.
  for (std::uint32_t i = 0; i <= kLightTwentieths; ++i) tables->thresholds[i] = CodeToLight(i / 20.0);
  tables->thresholds[kLightTwentieths + 1] = 2.0;
  std::uint32_t i = 0;
  for (std::uint32_t bin = 0; bin <= kLightBins; ++bin) {
    const double edge = static_cast<double>(bin) / kLightBins;
    while (i < kLightTwentieths && tables->thresholds[i + 1] <= edge) ++i;
    tables->binStart[bin] = static_cast<std::uint16_t>(i);
  }
}

// The distinct prime factors of interval, smallest first.
void PrimeFactors(std::uint32_t interval, std::vector<std::uint32_t>* primes) {
  primes->clear();
  for (std::uint32_t p = 2; p * p <= interval; ++p) {
    if (interval % p != 0) continue;
    primes->push_back(p);
    while (interval % p == 0) interval /= p;
  }
  if (interval > 1) primes->push_back(interval);
}

// True when values repeat after `step` frames; step divides interval.
bool RepeatsAfter(const std::uint32_t* values, std::uint32_t interval, std::uint32_t step) {
  for (std::uint32_t k = 0; k + step < interval; ++k)
    if ((values[k] ^ values[k + step]) & 0xFFFFFFu) return false;
  return true;
}

bool RepeatsAfter(const StridedSignal& signal, std::uint32_t interval, std::uint32_t step) {
  const std::size_t offset = static_cast<std::size_t>(step) * signal.stride;
  for (std::size_t i = 0, end = static_cast<std::size_t>(interval - step) * signal.stride; i < end; i += signal.stride)
    if (signal.values[i] != signal.values[i + offset]) return false;
  return true;
}

// The periods that divide the interval are the multiples of the shortest one,
// so each prime can be divided out for as long as what is left still repeats.
template <class Values>
std::uint32_t ShortestPeriod(const Values& values, std::uint32_t interval, const std::vector<std::uint32_t>& primes) {
  std::uint32_t period = interval;
  for (std::uint32_t p : primes)
    while (period % p == 0 && RepeatsAfter(values, interval, period / p)) period /= p;
  return period;
}

// figure rounded half up to a whole number of 10^-decimals, as that integer.
std::uint64_t RoundedUnits(double figure, int decimals) {
  double scale = 1;
  for (int d = 0; d < decimals; ++d) scale *= 10;
  const double units = std::floor(figure * scale + 0.5);
  return units > 0 ? static_cast<std::uint64_t>(units) : 0;
}

std::string UnitsText(std::uint64_t units, int decimals) {
  std::uint64_t scale = 1;
  for (int d = 0; d < decimals; ++d) scale *= 10;
  std::string text = std::to_string(units / scale);
  if (decimals == 0) return text;
  std::string fraction = std::to_string(units % scale);
  fraction.insert(0, static_cast<std::size_t>(decimals) - fraction.size(), '0');
  return text + "." + fraction;
}

}  // namespace

const LightTables& SrgbLightTables() {
  struct Built {
    LightTables tables;
    Built() { BuildTables(&tables); }
  };
  static const Built built;
  return built.tables;
}

double CodeToLight(double code) {
  const double c = code / 255;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double RelativeLuminance(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
  return 0.2126 * CodeToLight(red) + 0.7152 * CodeToLight(green) + 0.0722 * CodeToLight(blue);
}

bool BlackTextReadsBetter(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
  const double luminance = RelativeLuminance(red, green, blue);
  return (luminance + 0.05) / 0.05 > 1.05 / (luminance + 0.05);
}

double LightToCode(double light) {
  if (!(light > 0)) return 0;
  const double c = light <= 0.0031308 ? light * 12.92 : 1.055 * std::pow(light, 1 / 2.4) - 0.055;
  return c >= 1 ? 255 : c * 255;
}

std::uint32_t LightTwentieths(const LightTables& tables, double light) {
  if (!(light > 0)) return 0;
  if (light >= 1) return kLightTwentieths;
  std::uint32_t i = tables.binStart[static_cast<std::uint32_t>(light * kLightBins)];
  while (tables.thresholds[i + 1] <= light) ++i;
  return i;
}

double TwoLevelLightMean(const LightTables& tables, std::uint32_t low, std::uint32_t high, std::uint32_t upper,
                         std::uint32_t interval) {
  return ((interval - upper) * tables.light[low] + upper * tables.light[high]) / interval;
}

double LightModulation(const LightTables& tables, std::uint32_t low, std::uint32_t high) {
  const double sum = tables.light[high] + tables.light[low];
  return sum > 0 ? (tables.light[high] - tables.light[low]) / sum : 0;
}

std::uint8_t ModulationGrey(double modulation) { return static_cast<std::uint8_t>(RoundedUnits(modulation * 255, 0)); }

std::uint32_t ModulationTenthsOfPercent(double modulation) {
  return static_cast<std::uint32_t>(RoundedUnits(modulation * 1000, 0));
}

std::uint32_t CyclePeriod(const std::uint32_t* values, std::uint32_t interval) {
  std::vector<std::uint32_t> primes;
  PrimeFactors(interval, &primes);
  return ShortestPeriod(values, interval, primes);
}

void IntervalPrimes(std::uint32_t interval, std::vector<std::uint32_t>* primes) { PrimeFactors(interval, primes); }

std::uint32_t SignalPeriod(const StridedSignal& signal, std::uint32_t interval,
                           const std::vector<std::uint32_t>& primes) {
  return ShortestPeriod(signal, interval, primes);
}

double FlickerHertz(std::uint32_t period, std::uint32_t frameDuration) {
  if (period <= 1 || frameDuration == 0) return 0;
  return kUnitsPerSecond / (static_cast<double>(period) * frameDuration);
}

void PrepareLightRows(LightRowScratch* scratch, std::int32_t width, std::uint32_t interval) {
  const std::size_t bytes = static_cast<std::size_t>(width > 0 ? width : 0) * 4;
  scratch->interval = interval;
  scratch->sums.assign(bytes, 0);
  scratch->lows.assign(bytes, 0);
  scratch->highs.assign(bytes, 0);
  scratch->uppers.assign(bytes, 0);
  scratch->values.assign(interval, 0);
  PrimeFactors(interval, &scratch->primes);
  scratch->errorLight = -1;
  scratch->errorSource = 0;
  scratch->error = 0;
}

void SummarizeLightRow(const std::uint8_t* const* frameRows, const std::uint8_t* sourceRow, std::int32_t width,
                       const LightTables& tables, LightRowScratch* scratch, std::uint16_t* meanRow,
                       std::uint8_t* modulationRow, std::uint8_t* upperRow, std::uint8_t* periodRow,
                       LightTotals* totals) {
  if (width <= 0) return;
  const std::size_t bytes = static_cast<std::size_t>(width) * 4;
  const std::uint32_t interval = scratch->interval;
  std::uint16_t* sums = scratch->sums.data();
  std::uint8_t* lows = scratch->lows.data();
  std::uint8_t* highs = scratch->highs.data();
  std::uint8_t* uppers = scratch->uppers.data();
  // Frame by frame over the whole row, all four bytes alike, as the code
  // statistics do; the count of the highest code restarts with every new one.
  const std::uint8_t* first = frameRows[0];
  for (std::size_t i = 0; i < bytes; ++i) {
    sums[i] = first[i];
    lows[i] = first[i];
    highs[i] = first[i];
    uppers[i] = 1;
  }
  for (std::uint32_t k = 1; k < interval; ++k) {
    const std::uint8_t* row = frameRows[k];
    for (std::size_t i = 0; i < bytes; ++i) {
      const std::uint8_t v = row[i];
      const std::uint8_t high = highs[i];
      sums[i] = static_cast<std::uint16_t>(sums[i] + v);
      lows[i] = v < lows[i] ? v : lows[i];
      uppers[i] = v > high ? std::uint8_t{1} : static_cast<std::uint8_t>(uppers[i] + (v == high));
      highs[i] = v > high ? v : high;
    }
  }

  const double* light = tables.light;
  double largestError = totals->largestError;
  double largestModulation = totals->largestModulation;
  for (std::int32_t x = 0; x < width; ++x) {
    // The pixel's modulation is its channel's with the largest (hi - lo) / (hi + lo),
    // found by cross-multiplying so that only that one is divided.
    double spread = 0, total = 1;
    bool changes = false;
    for (int c = 0; c < 3; ++c) {
      const std::size_t i = static_cast<std::size_t>(x) * 4 + static_cast<std::size_t>(c);
      const std::size_t out = static_cast<std::size_t>(x) * 3 + static_cast<std::size_t>(c);
      const std::uint32_t low = lows[i], high = highs[i], source = sourceRow[i];
      if (low == high) {
        meanRow[out] = static_cast<std::uint16_t>(low * 20);
        if (upperRow) upperRow[out] = 0;
        const double error = low > source ? low - source : source - low;
        if (error > largestError) largestError = error;
        continue;
      }
      changes = true;
      if (upperRow) upperRow[out] = uppers[i];
      const std::uint32_t upper = uppers[i];
      double mean;
      if (sums[i] == interval * low + upper * (high - low)) {
        // Every frame shows either the lowest or the highest code.
        mean = TwoLevelLightMean(tables, low, high, upper, interval);
      } else {
        double lightSum = 0;
        for (std::uint32_t k = 0; k < interval; ++k) lightSum += light[frameRows[k][i]];
        mean = lightSum / interval;
      }
      const std::uint32_t twentieths = LightTwentieths(tables, mean);
      meanRow[out] = static_cast<std::uint16_t>(twentieths);
      // The mean lies within [twentieths, twentieths + 1) / 20: the error is
      // computed in full only where that could beat the largest so far.
      const double below = twentieths / 20.0 - source, above = (twentieths + 1) / 20.0 - source;
      const double bound = std::fabs(below) > std::fabs(above) ? std::fabs(below) : std::fabs(above);
      if (bound > largestError) {
        if (mean != scratch->errorLight || source != scratch->errorSource) {
          scratch->errorLight = mean;
          scratch->errorSource = source;
          scratch->error = std::fabs(LightToCode(mean) - source);
        }
        if (scratch->error > largestError) largestError = scratch->error;
      }
      const double s = light[high] - light[low], t = light[high] + light[low];
      if (s * total > spread * t) {
        spread = s;
        total = t;
      }
    }
    const double modulation = spread / total;
    modulationRow[x] = changes ? ModulationGrey(modulation) : 0;
    if (modulation > largestModulation) largestModulation = modulation;
    if (!periodRow) continue;
    std::uint32_t period = 1;
    if (changes) {
      std::uint32_t* values = scratch->values.data();
      for (std::uint32_t k = 0; k < interval; ++k) {
        const std::uint8_t* p = frameRows[k] + static_cast<std::size_t>(x) * 4;
        values[k] = std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16;
      }
      period = ShortestPeriod(values, interval, scratch->primes);
    }
    periodRow[x] = static_cast<std::uint8_t>(period);
  }
  totals->largestError = largestError;
  totals->largestModulation = largestModulation;
}

void MeasurePixelLight(const std::uint8_t* const* framePixels, const std::uint8_t* sourcePixel,
                       std::uint32_t interval, PixelLight* pixel) {
  LightRowScratch scratch;
  PrepareLightRows(&scratch, 1, interval);
  LightTotals totals = {0, 0};
  std::uint16_t means[3];
  std::uint8_t modulation, uppers[3], period;
  SummarizeLightRow(framePixels, sourcePixel, 1, SrgbLightTables(), &scratch, means, &modulation, uppers, &period,
                    &totals);
  for (int c = 0; c < 3; ++c) {
    pixel->meanTenths[c] = TenthsOfTwentieths(means[c]);
    pixel->uppers[c] = uppers[c];
  }
  pixel->modulationTenths = ModulationTenthsOfPercent(totals.largestModulation);
  pixel->period = period;
}

std::string DecimalText(double value, int decimals) { return UnitsText(RoundedUnits(value, decimals), decimals); }

std::string LightReportText(const LightTotals& totals, std::uint32_t interval, std::uint32_t frameDuration) {
  const double hertz = frameDuration == 0 ? 0 : kUnitsPerSecond / (static_cast<double>(interval) * frameDuration);
  return "max_light_mean_error=" + DecimalText(totals.largestError, 3) + "\n" +
         "max_light_modulation_percent=" + DecimalText(totals.largestModulation * 100, 1) + "\n" +
         "frame_duration=" + UnitsText(frameDuration, 7) + "\n" +
         "flicker_hz=" + DecimalText(hertz, 3) + "\n";
}
