// The general flash threshold over window means: see flash_guard.h.
#include "frc/flash_guard.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <memory>

#include "frc/frame_mapping.h"
#include "frc/level_tables.h"
#include "frc/light_statistics.h"

namespace {

constexpr std::uint64_t kTicksPerSecond = 10000000;
constexpr std::uint32_t kMostChangesAllowed = 6;
constexpr float kLeastChange = 0.1f;
constexpr float kDarkerBelow = 0.8f;
constexpr double kWindowDegrees = 4.43;
// A pixel's luminance in whole units, 1 being this many: a window's sums stay
// exact, and the rounding is far below any threshold.
constexpr double kLuminanceUnit = 65536.0;
// Rows mapped at once: they are summed while still in the cache.
constexpr std::int32_t kBandRows = 32;
// What one pass over the frames may hold: its windows' means and the sums
// along their edges. Rows of windows beyond that go to further passes.
constexpr std::uint64_t kPassBytes = std::uint64_t{64} << 20;

struct FreeMemory {
  void operator()(void* memory) const { std::free(memory); }
};
template <typename T>
using HeapArray = std::unique_ptr<T[], FreeMemory>;

// count elements, or null when they do not fit or memory runs out.
template <typename T>
HeapArray<T> Allocate(std::uint64_t count) {
  if (count == 0 || count > SIZE_MAX / sizeof(T)) return HeapArray<T>();
  return HeapArray<T>(static_cast<T*>(std::malloc(static_cast<std::size_t>(count) * sizeof(T))));
}

// Each channel's share of a pixel's luminance, in kLuminanceUnit.
struct LuminanceTables {
  std::uint32_t blue[256];
  std::uint32_t green[256];
  std::uint32_t red[256];
};

const LuminanceTables& Luminances() {
  static const LuminanceTables tables = [] {
    LuminanceTables made;
    for (std::uint32_t c = 0; c < 256; ++c) {
      made.blue[c] = static_cast<std::uint32_t>(std::lround(RelativeLuminance(0, 0, c) * kLuminanceUnit));
      made.green[c] = static_cast<std::uint32_t>(std::lround(RelativeLuminance(0, c, 0) * kLuminanceUnit));
      made.red[c] = static_cast<std::uint32_t>(std::lround(RelativeLuminance(c, 0, 0) * kLuminanceUnit));
    }
    return made;
  }();
  return tables;
}

void AddRowLuminance(const std::uint8_t* row, std::int32_t width, const LuminanceTables& tables,
                     std::uint64_t* columnSums) {
  for (std::int32_t x = 0; x < width; ++x) {
    const std::uint8_t* pixel = row + std::size_t(x) * 4;
    columnSums[x] += tables.blue[pixel[0]] + tables.green[pixel[1]] + tables.red[pixel[2]];
  }
}

// prefix[x] = the sum of columnSums[0 .. x-1], for x = 0 .. width.
void CapturePrefix(const std::uint64_t* columnSums, std::int32_t width, std::uint64_t* prefix) {
  std::uint64_t running = 0;
  prefix[0] = 0;
  for (std::int32_t x = 0; x < width; ++x) {
    running += columnSums[x];
    prefix[x + 1] = running;
  }
}

struct PictureRows {
  const std::uint8_t* bits;
  std::int32_t width;
};

void MapPictureRows(void* context, std::uint32_t frame, std::int32_t firstRow, std::int32_t endRow,
                    std::uint8_t* pixels) {
  const PictureRows* picture = static_cast<const PictureRows*>(context);
  MapFrameRows(picture->bits, pixels, picture->width, firstRow, endRow, frame);
}

}  // namespace

std::int32_t FlashWindowSide(double pixelsPerDegree) {
  const double side = std::round(kWindowDegrees * pixelsPerDegree);
  if (!(side >= 1.0)) return 1;
  return side < 1e9 ? static_cast<std::int32_t>(side) : 1000000000;
}

std::vector<std::int32_t> FlashWindowStarts(std::int32_t length, std::int32_t side) {
  std::vector<std::int32_t> starts;
  if (side < 1 || length < side) return starts;
  const std::int32_t step = std::max<std::int32_t>(1, side / 4);
  for (std::int32_t start = 0; start <= length - side; start += step) starts.push_back(start);
  if (starts.back() != length - side) starts.push_back(length - side);
  return starts;
}

std::uint32_t MostFlashChangesPerSecond(const float* means, std::uint32_t interval, std::uint32_t frameDuration) {
  if (interval < 2 || frameDuration == 0) return 0;
  // Walked once round from the lowest mean, which no change can be pending
  // at: the walk ends in the state it began, so the changes repeat with the cycle.
  const std::uint32_t lowest = static_cast<std::uint32_t>(std::min_element(means, means + interval) - means);
  std::vector<std::uint64_t> times;  // of each change, after the lowest frame
  bool high = false;
  float low = means[lowest], highest = 0;
  for (std::uint32_t step = 1; step <= interval; ++step) {
    const float mean = means[(lowest + step) % interval];
    const std::uint64_t time = std::uint64_t{step} * frameDuration;
    if (!high) {
      if (mean < low) {
        low = mean;
      } else if (mean - low >= kLeastChange && low < kDarkerBelow) {
        high = true;
        highest = mean;
        times.push_back(time);
      }
    } else if (mean > highest) {
      highest = mean;
    } else if (highest - mean >= kLeastChange && mean < kDarkerBelow) {
      high = false;
      low = mean;
      times.push_back(time);
    }
  }
  const std::size_t count = times.size();
  if (count == 0) return 0;
  const std::uint64_t period = std::uint64_t{interval} * frameDuration;
  const std::uint64_t wholePeriods = kTicksPerSecond / period, rest = kTicksPerSecond % period;
  // For each change, those in the second that begins with it: every change of
  // the whole periods, and those of the rest; the rest's end only moves on.
  std::uint64_t most = 0;
  std::size_t end = 0;  // index into the changes of two periods in a row
  for (std::size_t first = 0; first < count; ++first) {
    end = std::max(end, first);
    while (end < first + count &&
           times[end % count] + (end >= count ? period : 0) < times[first] + rest)
      ++end;
    most = std::max<std::uint64_t>(most, wholePeriods * count + (end - first));
  }
  return most > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(most);
}

bool FlashesHarmfully(const float* means, std::uint32_t interval, std::uint32_t frameDuration) {
  return MostFlashChangesPerSecond(means, interval, frameDuration) > kMostChangesAllowed;
}

FlashVerdict JudgeFlashing(const FlashCycle& cycle) {
  const std::int32_t width = cycle.width, height = cycle.height, side = cycle.windowSide;
  const std::uint32_t interval = cycle.interval;
  if (interval < 2 || cycle.frameDuration == 0 || side < 1 || width < side || height < side)
    return FlashVerdict::kWithin;
  const std::vector<std::int32_t> columns = FlashWindowStarts(width, side);
  const std::vector<std::int32_t> rows = FlashWindowStarts(height, side);
  const std::uint64_t prefixLength = std::uint64_t(width) + 1;
  const std::uint64_t bytesPerRow =
      columns.size() * std::uint64_t{interval} * sizeof(float) + 2 * prefixLength * sizeof(std::uint64_t);
  const std::size_t rowsPerPass =
      static_cast<std::size_t>(std::max<std::uint64_t>(1, std::min<std::uint64_t>(rows.size(), kPassBytes / bytesPerRow)));

  HeapArray<std::uint8_t> frame = Allocate<std::uint8_t>(std::uint64_t(width) * std::uint64_t(height) * 4);
  HeapArray<std::uint64_t> columnSums = Allocate<std::uint64_t>(std::uint64_t(width));
  HeapArray<std::uint64_t> prefixes = Allocate<std::uint64_t>(2 * rowsPerPass * prefixLength);
  HeapArray<float> means = Allocate<float>(rowsPerPass * columns.size() * interval);
  if (!frame || !columnSums || !prefixes || !means) return FlashVerdict::kNoMemory;

  const LuminanceTables& tables = Luminances();
  const double scale = 1.0 / (double(side) * double(side) * kLuminanceUnit);
  std::vector<std::int32_t> edges;
  for (std::size_t passFirst = 0; passFirst < rows.size(); passFirst += rowsPerPass) {
    const std::size_t passEnd = std::min(rows.size(), passFirst + rowsPerPass);
    // The memory rows at which a window of this pass begins or ends: the
    // column sums of the rows below each, summed across, give every window.
    edges.clear();
    for (std::size_t j = passFirst; j < passEnd; ++j) {
      edges.push_back(rows[j]);
      edges.push_back(rows[j] + side);
    }
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());

    for (std::uint32_t k = 0; k < interval; ++k) {
      if (cycle.cancel && *cycle.cancel) return FlashVerdict::kCancelled;
      std::fill(columnSums.get(), columnSums.get() + width, std::uint64_t{0});
      std::size_t edge = 0;
      for (std::int32_t band = edges.front(); band < edges.back(); band += kBandRows) {
        const std::int32_t bandEnd = std::min(band + kBandRows, edges.back());
        cycle.mapRows(cycle.context, k, band, bandEnd, frame.get());
        for (std::int32_t y = band; y < bandEnd; ++y) {
          if (edges[edge] == y) CapturePrefix(columnSums.get(), width, prefixes.get() + prefixLength * edge++);
          AddRowLuminance(frame.get() + std::size_t(y) * std::size_t(width) * 4, width, tables, columnSums.get());
        }
      }
      CapturePrefix(columnSums.get(), width, prefixes.get() + prefixLength * edge);
      for (std::size_t j = passFirst; j < passEnd; ++j) {
        const std::size_t lowerEdge = std::size_t(std::lower_bound(edges.begin(), edges.end(), rows[j]) - edges.begin());
        const std::size_t upperEdge =
            std::size_t(std::lower_bound(edges.begin(), edges.end(), rows[j] + side) - edges.begin());
        const std::uint64_t* lower = prefixes.get() + prefixLength * lowerEdge;
        const std::uint64_t* upper = prefixes.get() + prefixLength * upperEdge;
        float* meansOfRow = means.get() + (j - passFirst) * columns.size() * interval;
        for (std::size_t i = 0; i < columns.size(); ++i) {
          const std::int32_t x = columns[i];
          const std::uint64_t sum = (upper[x + side] - upper[x]) - (lower[x + side] - lower[x]);
          meansOfRow[i * interval + k] = static_cast<float>(double(sum) * scale);
        }
      }
    }
    const std::size_t windows = (passEnd - passFirst) * columns.size();
    for (std::size_t w = 0; w < windows; ++w)
      if (FlashesHarmfully(means.get() + w * interval, interval, cycle.frameDuration)) return FlashVerdict::kExceeded;
  }
  return FlashVerdict::kWithin;
}

FlashVerdict JudgeFlashingOfPicture(const std::uint8_t* bits, std::int32_t width, std::int32_t height,
                                    std::uint32_t frameDuration, std::int32_t windowSide,
                                    const std::atomic<bool>* cancel) {
  PictureRows picture = {bits, width};
  const FlashCycle cycle = {width,      height,         PresentTableInterval(), frameDuration,
                            windowSide, MapPictureRows, &picture,               cancel};
  return JudgeFlashing(cycle);
}

std::string FlashReportLine(bool exceeded) {
  return exceeded ? "general_flash=exceeded\n" : "general_flash=within\n";
}
