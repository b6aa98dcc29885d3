// The visible flicker: see visible_flicker.h.
#include "frc/visible_flicker.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "frc/frame_mapping.h"
#include "frc/level_tables.h"
#include "frc/light_statistics.h"

namespace {

// Light of every code on the sRGB curve as a 16-bit number, rounded half up.
struct LightCodes {
  std::uint16_t code[256];
};

const LightCodes& SrgbLightCodes() {
  struct Built {
    LightCodes codes;
    Built() {
      const LightTables& tables = SrgbLightTables();
      for (int c = 0; c < 256; ++c) codes.code[c] = static_cast<std::uint16_t>(std::floor(tables.light[c] * 65535 + 0.5));
    }
  };
  static const Built built;
  return built.codes;
}

// Bytes of disc sums a band of rows may take.
constexpr std::size_t kSignalBudget = std::size_t{16} << 20;
constexpr std::int32_t kLargestRadius = 4096;

// Frees what malloc gave.
struct HeapBlock {
  void* memory;
  explicit HeapBlock(std::size_t bytes) : memory(std::malloc(bytes ? bytes : 1)) {}
  ~HeapBlock() { std::free(memory); }
  HeapBlock(const HeapBlock&) = delete;
  HeapBlock& operator=(const HeapBlock&) = delete;
};

// Running sums of light codes along one mapped row, channel by channel:
// prefix[3 * x + c] is the sum over columns below x. Kept modulo 2^32: a
// difference of two is exact as long as the span's own sum fits.
void LightPrefixRow(const std::uint8_t* row, std::int32_t width, const LightCodes& codes, std::uint32_t* prefix) {
  std::uint32_t b = 0, g = 0, r = 0;
  prefix[0] = prefix[1] = prefix[2] = 0;
  for (std::int32_t x = 0; x < width; ++x) {
    const std::uint8_t* p = row + static_cast<std::size_t>(x) * 4;
    b += codes.code[p[0]];
    g += codes.code[p[1]];
    r += codes.code[p[2]];
    std::uint32_t* out = prefix + static_cast<std::size_t>(x + 1) * 3;
    out[0] = b;
    out[1] = g;
    out[2] = r;
  }
}

}  // namespace

void MakeVisibleDisc(double pixelsPerDegree, VisibleDisc* disc) {
  const double reach = pixelsPerDegree > 0 ? 0.05 * pixelsPerDegree : 0;
  const double reach2 = reach * reach;
  std::int32_t radius = reach < kLargestRadius ? static_cast<std::int32_t>(std::floor(reach)) : kLargestRadius;
  disc->radius = radius;
  disc->halfWidths.assign(static_cast<std::size_t>(radius) * 2 + 1, 0);
  for (std::int32_t dy = -radius; dy <= radius; ++dy) {
    const double d2 = static_cast<double>(dy) * dy;
    std::int32_t w = static_cast<std::int32_t>(std::floor(std::sqrt(std::max(0.0, reach2 - d2))));
    // The square root may land one off either way; the inequality decides.
    while (static_cast<double>(w + 1) * (w + 1) + d2 <= reach2) ++w;
    while (w > 0 && static_cast<double>(w) * w + d2 > reach2) --w;
    disc->halfWidths[static_cast<std::size_t>(dy + radius)] = w;
  }
}

void VisibleFlickerOfSums(const std::uint64_t* sums, std::uint32_t interval, const std::vector<std::uint32_t>& primes,
                          VisibleFlicker* flicker) {
  std::uint64_t totals[3] = {0, 0, 0}, lows[3], highs[3];
  for (int c = 0; c < 3; ++c) lows[c] = highs[c] = sums[c];
  for (std::uint32_t k = 0; k < interval; ++k)
    for (int c = 0; c < 3; ++c) {
      const std::uint64_t v = sums[3 * static_cast<std::size_t>(k) + static_cast<std::size_t>(c)];
      totals[c] += v;
      lows[c] = std::min(lows[c], v);
      highs[c] = std::max(highs[c], v);
    }
  double modulations[3];
  for (int c = 0; c < 3; ++c) {
    const std::uint64_t total = highs[c] + lows[c];
    modulations[c] = total > 0 ? static_cast<double>(highs[c] - lows[c]) / static_cast<double>(total) : 0;
  }
  int chosen = 0;
  for (int c = 1; c < 3; ++c)
    if (totals[c] > totals[chosen] || (totals[c] == totals[chosen] && modulations[c] > modulations[chosen]))
      chosen = c;
  flicker->channel = static_cast<std::uint32_t>(chosen);
  flicker->modulation = modulations[chosen];
  flicker->period = lows[chosen] == highs[chosen] ? 1 : SignalPeriod({sums + chosen, 3}, interval, primes);
}

void MeasureVisibleFlicker(const std::uint8_t* source, std::int32_t width, std::int32_t height, std::uint32_t x,
                           std::uint32_t y, double pixelsPerDegree, VisibleFlicker* flicker) {
  VisibleDisc disc;
  MakeVisibleDisc(pixelsPerDegree, &disc);
  const std::uint32_t interval = LevelTableInterval();
  const LightCodes& codes = SrgbLightCodes();
  std::vector<std::uint64_t> sums(static_cast<std::size_t>(interval) * 3, 0);
  const std::int64_t cx = x, cy = y;
  for (std::int32_t dy = -disc.radius; dy <= disc.radius; ++dy) {
    const std::int64_t j = cy + dy;
    if (j < 0 || j >= height) continue;
    const std::int32_t w = disc.halfWidths[static_cast<std::size_t>(dy + disc.radius)];
    const std::int64_t first = std::max<std::int64_t>(0, cx - w), end = std::min<std::int64_t>(width, cx + w + 1);
    for (std::int64_t i = first; i < end; ++i) {
      const std::uint8_t* in = source + (static_cast<std::size_t>(j) * static_cast<std::size_t>(width) + static_cast<std::size_t>(i)) * 4;
      for (std::uint32_t k = 0; k < interval; ++k) {
        std::uint8_t out[4];
        MapPixelOfFrame(in, static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(j), k, out);
        for (int c = 0; c < 3; ++c) sums[3 * static_cast<std::size_t>(k) + static_cast<std::size_t>(c)] += codes.code[out[c]];
      }
    }
  }
  std::vector<std::uint32_t> primes;
  IntervalPrimes(interval, &primes);
  VisibleFlickerOfSums(sums.data(), interval, primes, flicker);
}

int VisibleFlickerMap(const std::uint8_t* source, std::int32_t width, std::int32_t height, double pixelsPerDegree,
                      std::uint8_t* greyRows, std::size_t greyStride, VisibleFlickerTotals* totals,
                      std::int32_t bandRows) {
  totals->largestModulation = 0;
  totals->period = 1;
  if (width <= 0 || height <= 0) return 1;
  VisibleDisc disc;
  MakeVisibleDisc(pixelsPerDegree, &disc);
  const std::int32_t radius = disc.radius;
  const std::uint32_t interval = LevelTableInterval();
  const LightCodes& codes = SrgbLightCodes();
  const std::size_t w = static_cast<std::size_t>(width);
  const std::size_t perPixel = static_cast<std::size_t>(interval) * 3;
  const std::size_t bandLimit = kSignalBudget / (w * perPixel * sizeof(std::uint64_t));
  if (bandRows <= 0)
    bandRows = static_cast<std::int32_t>(std::max<std::size_t>(1, std::min<std::size_t>(bandLimit, static_cast<std::size_t>(height))));
  bandRows = std::min(bandRows, height);
  const std::size_t spanRows = static_cast<std::size_t>(std::min<std::int64_t>(height, std::int64_t{bandRows} + 2 * std::int64_t{radius}));
  const std::size_t prefixStride = (w + 1) * 3;

  // The frame is mapped into a buffer the picture's size, as MapFrameRows
  // addresses rows, but only the rows a band reaches are written.
  HeapBlock frame(w * static_cast<std::size_t>(height) * 4);
  HeapBlock prefix(spanRows * prefixStride * sizeof(std::uint32_t));
  HeapBlock signals(static_cast<std::size_t>(bandRows) * w * perPixel * sizeof(std::uint64_t));
  HeapBlock rowSums(w * 3 * sizeof(std::uint64_t));
  if (!frame.memory || !prefix.memory || !signals.memory || !rowSums.memory) return 0;
  std::uint8_t* frameBytes = static_cast<std::uint8_t*>(frame.memory);
  std::uint32_t* prefixRows = static_cast<std::uint32_t*>(prefix.memory);
  std::uint64_t* signal = static_cast<std::uint64_t*>(signals.memory);
  std::uint64_t* acc = static_cast<std::uint64_t*>(rowSums.memory);
  std::vector<std::uint32_t> primes;
  IntervalPrimes(interval, &primes);
  std::int32_t bestRow = -1;

  for (std::int32_t y0 = 0; y0 < height; y0 += bandRows) {
    const std::int32_t y1 = std::min(height, y0 + bandRows);
    const std::int32_t low = std::max(0, y0 - radius), high = std::min(height, y1 + radius);
    for (std::uint32_t k = 0; k < interval; ++k) {
      MapFrameRows(source, frameBytes, width, low, high, k);
      for (std::int32_t j = low; j < high; ++j)
        LightPrefixRow(frameBytes + static_cast<std::size_t>(j) * w * 4, width, codes,
                       prefixRows + static_cast<std::size_t>(j - low) * prefixStride);
      for (std::int32_t y = y0; y < y1; ++y) {
        std::fill(acc, acc + w * 3, std::uint64_t{0});
        for (std::int32_t dy = -radius; dy <= radius; ++dy) {
          const std::int32_t j = y + dy;
          if (j < low || j >= high) continue;
          const std::int32_t half = disc.halfWidths[static_cast<std::size_t>(dy + radius)];
          const std::uint32_t* p = prefixRows + static_cast<std::size_t>(j - low) * prefixStride;
          for (std::int32_t x = 0; x < width; ++x) {
            const std::size_t a = static_cast<std::size_t>(std::max(0, x - half)) * 3;
            const std::size_t b = static_cast<std::size_t>(std::min(width - 1, x + half) + 1) * 3;
            std::uint64_t* sum = acc + static_cast<std::size_t>(x) * 3;
            sum[0] += p[b] - p[a];
            sum[1] += p[b + 1] - p[a + 1];
            sum[2] += p[b + 2] - p[a + 2];
          }
        }
        std::uint64_t* out = signal + static_cast<std::size_t>(y - y0) * w * perPixel + static_cast<std::size_t>(k) * 3;
        for (std::size_t x = 0; x < w; ++x, out += perPixel) {
          out[0] = acc[3 * x];
          out[1] = acc[3 * x + 1];
          out[2] = acc[3 * x + 2];
        }
      }
    }
    for (std::int32_t y = y0; y < y1; ++y) {
      std::uint8_t* grey = greyRows + static_cast<std::size_t>(y) * greyStride;
      const std::uint64_t* sums = signal + static_cast<std::size_t>(y - y0) * w * perPixel;
      for (std::int32_t x = 0; x < width; ++x, sums += perPixel) {
        VisibleFlicker flicker;
        VisibleFlickerOfSums(sums, interval, primes, &flicker);
        grey[x] = ModulationGrey(flicker.modulation);
        // Rows come bottom up: an equal figure in a higher row comes first
        // when the picture is read from the top.
        if (flicker.modulation > totals->largestModulation ||
            (flicker.modulation == totals->largestModulation && y != bestRow)) {
          totals->largestModulation = flicker.modulation;
          totals->period = flicker.period;
          bestRow = y;
        }
      }
    }
  }
  return 1;
}

FlickerClass ClassifyFlicker(double percent, double hertz) {
  if (!(percent > 0) || !(hertz > 0)) return FlickerClass::kNoEffect;
  if (hertz < 90) {
    if (percent <= 0.01 * hertz) return FlickerClass::kNoEffect;
    return percent <= 0.025 * hertz ? FlickerClass::kLowRisk : FlickerClass::kAbove;
  }
  if (hertz > 3000 || percent <= 0.0333 * hertz) return FlickerClass::kNoEffect;
  return hertz > 1250 || percent <= 0.08 * hertz ? FlickerClass::kLowRisk : FlickerClass::kAbove;
}

const char* FlickerClassName(FlickerClass flickerClass) {
  switch (flickerClass) {
    case FlickerClass::kNoEffect:
      return "no_effect";
    case FlickerClass::kLowRisk:
      return "low_risk";
    case FlickerClass::kAbove:
      break;
  }
  return "above";
}

std::string VisibleFlickerReportText(double pixelsPerDegree, const VisibleFlickerTotals& totals,
                                     std::uint32_t frameDuration) {
  const double percent = totals.largestModulation * 100;
  const double hertz = percent > 0 ? FlickerHertz(totals.period, frameDuration) : 0;
  return "pixels_per_degree=" + DecimalText(pixelsPerDegree, 2) + "\n" +
         "visible_flicker_max_percent=" + DecimalText(percent, 1) + "\n" +
         "visible_flicker_hz=" + DecimalText(hertz, 3) + "\n" +
         "visible_flicker_class=" + FlickerClassName(ClassifyFlicker(percent, hertz)) + "\n";
}
