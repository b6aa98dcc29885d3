// Cycle statistics from the picture and the tables: see cycle_values.h.
#include "frc/cycle_values.h"

#include <cmath>
#include <cstddef>
#include <numeric>

#include "frc/frame_mapping.h"

namespace {

// The fewest phases (a divisor of interval) after which the levels repeat as
// a cycle: CyclePeriod's figure, without its working memory.
std::uint32_t LevelPeriod(const std::uint32_t* levels, std::uint32_t interval) {
  for (std::uint32_t period = 1;; ++period) {
    if (interval % period != 0) continue;
    std::uint32_t k = 0;
    while (k + period < interval && levels[k] == levels[k + period]) ++k;
    if (k + period >= interval) return period;
  }
}

// Summarises value v from its levels in the interval phases, in phase order.
// The arithmetic of every figure is SummarizeCycleRow's and
// SummarizeLightRow's, so that the results are the same to the bit.
void SummarizeLevels(const std::uint32_t* levels, std::uint32_t interval, std::uint32_t v, ValueCycle* value) {
  const LightTables& tables = SrgbLightTables();
  std::uint32_t sum = 0, low = 255, high = 0, upper = 0;
  for (std::uint32_t p = 0; p < interval; ++p) {
    const std::uint32_t level = levels[p];
    sum += level;
    low = level < low ? level : low;
    upper = level > high ? 1 : upper + (level == high);
    high = level > high ? level : high;
  }
  value->sum = static_cast<std::uint16_t>(sum);
  value->low = static_cast<std::uint8_t>(low);
  value->high = static_cast<std::uint8_t>(high);
  value->mean = static_cast<std::uint8_t>((2 * sum + interval) / (2 * interval));
  const std::uint32_t target = interval * v;
  value->codeError = sum > target ? sum - target : target - sum;
  value->period = static_cast<std::uint8_t>(LevelPeriod(levels, interval));
  if (low == high) {
    value->upper = 0;
    value->twentieths = static_cast<std::uint16_t>(low * 20);
    value->lightError = low > v ? low - v : v - low;
    value->lightBound = value->lightError;
    value->spread = 0;
    value->total = 0;
    value->modulation = 0;
    value->modulationGrey = 0;
    return;
  }
  value->upper = static_cast<std::uint8_t>(upper);
  double mean;
  if (sum == interval * low + upper * (high - low)) {
    mean = TwoLevelLightMean(tables, low, high, upper, interval);
  } else {
    double lightSum = 0;
    for (std::uint32_t p = 0; p < interval; ++p) lightSum += tables.light[levels[p]];
    mean = lightSum / interval;
  }
  const std::uint32_t twentieths = LightTwentieths(tables, mean);
  value->twentieths = static_cast<std::uint16_t>(twentieths);
  const double below = twentieths / 20.0 - v, above = (twentieths + 1) / 20.0 - v;
  value->lightBound = std::fabs(below) > std::fabs(above) ? std::fabs(below) : std::fabs(above);
  value->lightError = std::fabs(LightToCode(mean) - v);
  value->spread = tables.light[high] - tables.light[low];
  value->total = tables.light[high] + tables.light[low];
  value->modulation = value->spread / value->total;
  value->modulationGrey = ModulationGrey(value->modulation);
}

}  // namespace

void SummarizeValue(const std::uint8_t* levelTable, std::uint32_t interval, std::uint32_t v, ValueCycle* value) {
  std::uint32_t levels[kLargestTableInterval];
  for (std::uint32_t p = 0; p < interval; ++p) levels[p] = levelTable[static_cast<std::size_t>(p) * 256 + v];
  SummarizeLevels(levels, interval, v, value);
}

void SummarizeCycleValues(const std::uint8_t* levelTable, std::uint32_t interval, CycleValues* values) {
  values->interval = interval;
  for (std::uint32_t v = 0; v < 256; ++v) SummarizeValue(levelTable, interval, v, &values->values[v]);
}

void SummarizePanelValues(std::uint32_t interval, std::uint32_t correction, CycleValues* values) {
  values->interval = interval;
  std::uint32_t levels[kLargestTableInterval];
  for (std::uint32_t v = 0; v < 256; ++v) {
    for (std::uint32_t p = 0; p < interval; ++p) levels[p] = PanelLevel(interval, correction, v, p);
    SummarizeLevels(levels, interval, v, &values->values[v]);
  }
}

void SummarizeCycleRowByValue(const CycleValues& values, const std::uint8_t* sourceRow, std::int32_t width,
                              std::uint8_t* meanRow, std::uint8_t* flickerRow, CycleTotals* totals) {
  const ValueCycle* table = values.values;
  std::uint32_t largestError = totals->largestError;
  std::uint64_t flickering = 0;
  for (std::int32_t x = 0; x < width; ++x) {
    std::uint8_t flicker = 0;
    for (int c = 0; c < 3; ++c) {
      const ValueCycle& value = table[sourceRow[c]];
      meanRow[c] = value.mean;
      const std::uint8_t swing = static_cast<std::uint8_t>(value.high - value.low);
      flicker = swing > flicker ? swing : flicker;
      largestError = value.codeError > largestError ? value.codeError : largestError;
    }
    flickerRow[x] = flicker;
    flickering += flicker != 0;
    sourceRow += 4;
    meanRow += 3;
  }
  totals->largestError = largestError;
  totals->flickeringPixels += flickering;
}

void SummarizeLightRowByValue(const CycleValues& values, const std::uint8_t* sourceRow, std::int32_t width,
                              std::uint16_t* meanRow, std::uint8_t* modulationRow, std::uint8_t* upperRow,
                              std::uint8_t* periodRow, LightTotals* totals) {
  const ValueCycle* table = values.values;
  double largestError = totals->largestError;
  double largestModulation = totals->largestModulation;
  for (std::int32_t x = 0; x < width; ++x) {
    // The pixel takes the modulation of its channel with the largest
    // spread / total, chosen by cross-multiplying as SummarizeLightRow does,
    // so that a tie goes to the same channel.
    const ValueCycle* widest = nullptr;
    double spread = 0, total = 1;
    std::uint32_t period = 1;
    for (int c = 0; c < 3; ++c) {
      const std::size_t out = static_cast<std::size_t>(x) * 3 + static_cast<std::size_t>(c);
      const ValueCycle& value = table[sourceRow[static_cast<std::size_t>(x) * 4 + static_cast<std::size_t>(c)]];
      meanRow[out] = value.twentieths;
      if (upperRow) upperRow[out] = value.upper;
      if (value.lightBound > largestError && value.lightError > largestError) largestError = value.lightError;
      if (value.low == value.high) continue;
      if (value.spread * total > spread * value.total) {
        spread = value.spread;
        total = value.total;
        widest = &value;
      }
      period = period / std::gcd(period, std::uint32_t{value.period}) * value.period;
    }
    const double modulation = widest ? widest->modulation : 0;
    modulationRow[x] = widest ? widest->modulationGrey : 0;
    if (modulation > largestModulation) largestModulation = modulation;
    if (periodRow) periodRow[x] = static_cast<std::uint8_t>(period);
  }
  totals->largestError = largestError;
  totals->largestModulation = largestModulation;
}

void MeasurePixelCycle(const std::uint8_t* sourcePixel, std::uint32_t x, std::uint32_t y, PixelCycle* cycle) {
  const std::uint32_t interval = LevelTableInterval();
  cycle->interval = interval;
  for (std::uint32_t k = 0; k < interval; ++k) MapPixelOfFrame(sourcePixel, x, y, k, cycle->frames[k]);
  // Only the pixel's three values are summarised; the row summary reads no other.
  CycleValues values;
  values.interval = interval;
  for (int c = 0; c < 3; ++c) {
    SummarizeValue(LevelTable, interval, sourcePixel[c], &values.values[sourcePixel[c]]);
    cycle->sums[c] = values.values[sourcePixel[c]].sum;
  }
  LightTotals totals = {0, 0};
  std::uint16_t means[3];
  std::uint8_t modulation, uppers[3], period;
  SummarizeLightRowByValue(values, sourcePixel, 1, means, &modulation, uppers, &period, &totals);
  for (int c = 0; c < 3; ++c) {
    cycle->light.meanTenths[c] = TenthsOfTwentieths(means[c]);
    cycle->light.uppers[c] = uppers[c];
  }
  cycle->light.modulationTenths = ModulationTenthsOfPercent(totals.largestModulation);
  cycle->light.period = period;
}
