// Cycle statistics: see cycle_statistics.h.
#include "frc/cycle_statistics.h"

#include <cstddef>

void PrepareCycleRows(CycleRowScratch* scratch, std::int32_t width, std::uint32_t interval) {
  const std::size_t bytes = static_cast<std::size_t>(width > 0 ? width : 0) * 4;
  scratch->interval = interval;
  scratch->sums.assign(bytes, 0);
  scratch->lows.assign(bytes, 0);
  scratch->highs.assign(bytes, 0);
  // Half up: floor(sum / N + 1/2) = floor((2 * sum + N) / (2 * N)).
  scratch->means.resize(static_cast<std::size_t>(255) * interval + 1);
  for (std::uint32_t sum = 0; sum < scratch->means.size(); ++sum)
    scratch->means[sum] = static_cast<std::uint8_t>((2 * sum + interval) / (2 * interval));
}

void SummarizeCycleRow(const std::uint8_t* const* frameRows, const std::uint8_t* sourceRow, std::int32_t width,
                       CycleRowScratch* scratch, std::uint8_t* meanRow, std::uint8_t* flickerRow,
                       CycleTotals* totals) {
  if (width <= 0) return;
  const std::size_t bytes = static_cast<std::size_t>(width) * 4;
  std::uint16_t* sums = scratch->sums.data();
  std::uint8_t* lows = scratch->lows.data();
  std::uint8_t* highs = scratch->highs.data();
  // Frame by frame over the whole row, all four bytes alike: plain loops the
  // compiler vectorises, on a few kilobytes that stay in the cache.
  const std::uint8_t* first = frameRows[0];
  for (std::size_t i = 0; i < bytes; ++i) {
    sums[i] = first[i];
    lows[i] = first[i];
    highs[i] = first[i];
  }
  for (std::uint32_t k = 1; k < scratch->interval; ++k) {
    const std::uint8_t* row = frameRows[k];
    for (std::size_t i = 0; i < bytes; ++i) {
      const std::uint8_t v = row[i];
      sums[i] = static_cast<std::uint16_t>(sums[i] + v);
      lows[i] = v < lows[i] ? v : lows[i];
      highs[i] = v > highs[i] ? v : highs[i];
    }
  }

  const std::uint32_t interval = scratch->interval;
  const std::uint8_t* means = scratch->means.data();
  std::uint32_t largestError = totals->largestError;
  std::uint64_t flickering = 0;
  for (std::int32_t x = 0; x < width; ++x) {
    std::uint8_t flicker = 0;
    for (int c = 0; c < 3; ++c) {
      const std::size_t i = static_cast<std::size_t>(x) * 4 + static_cast<std::size_t>(c);
      meanRow[static_cast<std::size_t>(x) * 3 + static_cast<std::size_t>(c)] = means[sums[i]];
      const std::uint8_t swing = static_cast<std::uint8_t>(highs[i] - lows[i]);
      if (swing > flicker) flicker = swing;
      const std::uint32_t target = interval * sourceRow[i];
      const std::uint32_t error = sums[i] > target ? sums[i] - target : target - sums[i];
      if (error > largestError) largestError = error;
    }
    flickerRow[x] = flicker;
    flickering += flicker != 0;
  }
  totals->largestError = largestError;
  totals->flickeringPixels += flickering;
}

void PackRowBgr(const std::uint8_t* pixels, std::int32_t width, std::uint8_t* triples) {
  for (std::int32_t x = 0; x < width; ++x) {
    triples[0] = pixels[0];
    triples[1] = pixels[1];
    triples[2] = pixels[2];
    pixels += 4;
    triples += 3;
  }
}

std::string PanelLevelsText(std::uint32_t interval, std::uint32_t correction) {
  std::string text;
  for (std::uint32_t level = correction; level <= 255; level += interval) {
    if (!text.empty()) text += ',';
    text += std::to_string(level);
  }
  return text;
}

std::string MeanErrorText(std::uint32_t largestError, std::uint32_t interval) {
  // Thousandths, rounded half up, in 64 bits: largestError may be 255 * 255.
  const std::uint64_t thousandths = (std::uint64_t{largestError} * 2000 + interval) / (std::uint64_t{interval} * 2);
  std::string fraction = std::to_string(thousandths % 1000);
  fraction.insert(0, 3 - fraction.size(), '0');
  return std::to_string(thousandths / 1000) + "." + fraction;
}

std::string CycleReportText(std::int32_t width, std::int32_t height, std::uint32_t interval, std::uint32_t correction,
                            const CycleTotals& totals) {
  return "width=" + std::to_string(width) + "\n" +
         "height=" + std::to_string(height) + "\n" +
         "interval=" + std::to_string(interval) + "\n" +
         "correction=" + std::to_string(correction) + "\n" +
         "levels=" + PanelLevelsText(interval, correction) + "\n" +
         "flickering_pixels=" + std::to_string(totals.flickeringPixels) + "\n" +
         "max_mean_error=" + MeanErrorText(totals.largestError, interval) + "\n";
}
