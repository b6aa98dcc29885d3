// Light statistics benchmark, 1920 x 1080, N = 16: a whole cycle summarised
// in light (means, modulation, upper counts and each pixel's period) against
// the same cycle summarised in code values, both row by row over the same
// frames as the export read them, and both from the picture and a summary of
// the tables as the export takes them now, measured in the same run; the
// map of the flicker the eye sees, against the same code statistics; and the
// flash judgement of the same picture at N = 255 against mapping its frames
// alone.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "frc/cycle_statistics.h"
#include "frc/cycle_values.h"
#include "frc/flash_guard.h"
#include "frc/frame_mapping.h"
#include "frc/level_tables.h"
#include "frc/light_statistics.h"
#include "frc/viewing_geometry.h"
#include "frc/visible_flicker.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr std::uint32_t kInterval = 16;
constexpr std::size_t kBytes = std::size_t(kWidth) * kHeight * 4;

double NowMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// Best of five runs.
template <typename F>
double BestMs(F f) {
  double best = 1e30;
  for (int attempt = 0; attempt < 5; ++attempt) {
    const double start = NowMs();
    f();
    const double each = NowMs() - start;
    if (each < best) best = each;
  }
  return best;
}

volatile std::uint32_t sink;

}  // namespace

int main() {
  std::vector<std::uint8_t> source(kBytes);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      std::uint8_t* px = &source[(std::size_t(y) * kWidth + x) * 4];
      px[0] = std::uint8_t(x * 255 / (kWidth - 1));
      px[1] = std::uint8_t(y * 255 / (kHeight - 1));
      px[2] = std::uint8_t((x + y) & 0xFF);
      px[3] = 0;
    }
  std::vector<std::vector<std::uint8_t>> frames(kInterval, std::vector<std::uint8_t>(kBytes));
  std::vector<std::uint8_t*> targets;
  for (auto& frame : frames) targets.push_back(frame.data());
  if (!BuildLevelTables(kInterval, kInterval - 1) || !MapCycleRows(source.data(), targets.data(), kWidth, 0, kHeight)) {
    std::printf("setup failed\n");
    return 1;
  }
  std::vector<const std::uint8_t*> rows(kInterval);
  auto pointRows = [&](int y) {
    for (std::uint32_t k = 0; k < kInterval; ++k) rows[k] = frames[k].data() + std::size_t(y) * kWidth * 4;
  };

  std::vector<std::uint8_t> means(std::size_t(kWidth) * 3), flicker(kWidth);
  const double codeMs = BestMs([&] {
    CycleRowScratch scratch;
    PrepareCycleRows(&scratch, kWidth, kInterval);
    CycleTotals totals = {0, 0};
    for (int y = 0; y < kHeight; ++y) {
      pointRows(y);
      SummarizeCycleRow(rows.data(), &source[std::size_t(y) * kWidth * 4], kWidth, &scratch, means.data(),
                        flicker.data(), &totals);
    }
    sink = totals.largestError;
  });

  const LightTables& tables = SrgbLightTables();
  std::vector<std::uint16_t> lightMeans(std::size_t(kWidth) * 3);
  std::vector<std::uint8_t> uppers(std::size_t(kWidth) * 3), periods(kWidth);
  auto light = [&](bool withPeriods) {
    return BestMs([&] {
      LightRowScratch scratch;
      PrepareLightRows(&scratch, kWidth, kInterval);
      LightTotals totals = {0, 0};
      for (int y = 0; y < kHeight; ++y) {
        pointRows(y);
        SummarizeLightRow(rows.data(), &source[std::size_t(y) * kWidth * 4], kWidth, tables, &scratch,
                          lightMeans.data(), flicker.data(), withPeriods ? uppers.data() : nullptr,
                          withPeriods ? periods.data() : nullptr, &totals);
      }
      sink = static_cast<std::uint32_t>(totals.largestError * 1000);
    });
  };
  const double exportMs = light(false);
  const double lightMs = light(true);

  // The same figures from the picture and a per-value summary, no frames.
  double summaryMs = 0;
  const double byValueMs = BestMs([&] {
    const double start = NowMs();
    CycleValues values;
    SummarizePanelValues(kInterval, kInterval - 1, &values);
    summaryMs = NowMs() - start;
    CycleTotals totals = {0, 0};
    LightTotals lightTotals = {0, 0};
    for (int y = 0; y < kHeight; ++y) {
      const std::uint8_t* sourceRow = &source[std::size_t(y) * kWidth * 4];
      SummarizeCycleRowByValue(values, sourceRow, kWidth, means.data(), flicker.data(), &totals);
      SummarizeLightRowByValue(values, sourceRow, kWidth, lightMeans.data(), flicker.data(), nullptr, nullptr,
                               &lightTotals);
    }
    sink = totals.largestError + static_cast<std::uint32_t>(lightTotals.largestError * 1000);
  });
  // The flicker the eye sees, every pixel, at the default viewing geometry.
  std::vector<std::uint8_t> visible(std::size_t(kWidth) * kHeight);
  const double visibleMs = BestMs([&] {
    VisibleFlickerTotals totals;
    VisibleFlickerMap(source.data(), kWidth, kHeight, PixelsPerDegree(kDefaultViewing), visible.data(), kWidth, &totals);
    sink = totals.period;
  });
  ReleaseLevelTables();
  std::printf("code statistics 1080p N=16: %.1f ms\n", codeMs);
  std::printf("visible flicker map 1080p N=16 / code statistics: %.2f (%.1f ms)\n", visibleMs / codeMs, visibleMs);
  std::printf("light statistics 1080p N=16, as the export takes them (no periods): %.1f ms\n", exportMs);
  std::printf("light statistics 1080p N=16, with each pixel's period: %.1f ms\n", lightMs);
  std::printf("light/code statistics ratio 1080p N=16: %.2f\n", lightMs / codeMs);
  std::printf("code and light statistics 1080p N=16 from the picture, as the export takes them: %.1f ms "
              "(of which the value summary %.2f ms; from the frames %.1f ms)\n",
              byValueMs, summaryMs, codeMs + exportMs);

  // The flash judgement maps every frame once and sums it: mapping alone is
  // its floor. Best of two, each run being long.
  constexpr std::uint32_t kFlashInterval = 255;
  if (!BuildLevelTables(kFlashInterval, 0)) {
    std::printf("setup failed\n");
    return 1;
  }
  std::vector<std::uint8_t> frame(kBytes);
  double mapMs = 1e30, flashMs = 1e30;
  FlashVerdict verdict = FlashVerdict::kWithin;
  for (int attempt = 0; attempt < 2; ++attempt) {
    double start = NowMs();
    for (std::uint32_t k = 0; k < kFlashInterval; ++k) MapFrameRows(source.data(), frame.data(), kWidth, 0, kHeight, k);
    mapMs = std::min(mapMs, NowMs() - start);
    sink = frame[kBytes / 2];
    start = NowMs();
    verdict = JudgeFlashingOfPicture(source.data(), kWidth, kHeight, 166667,
                                     FlashWindowSide(PixelsPerDegree(kDefaultViewing)), nullptr);
    flashMs = std::min(flashMs, NowMs() - start);
  }
  ReleaseLevelTables();
  std::printf("flash check 1080p N=255: %.1f ms (%s)\n", flashMs,
              verdict == FlashVerdict::kExceeded ? "exceeded" : verdict == FlashVerdict::kWithin ? "within" : "failed");
  std::printf("flash check/frame mapping ratio 1080p N=255: %.2f (mapping alone %.1f ms)\n", flashMs / mapMs, mapMs);
  return 0;
}
