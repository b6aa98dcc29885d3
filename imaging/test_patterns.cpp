// FillTestPattern and the pattern names: see test_patterns.h.
#include "imaging/test_patterns.h"

#include <cstring>

namespace {

const char* const kNames[kTestPatternCount] = {"gray", "red", "green", "blue", "cyan",
                                               "magenta", "yellow", "dark", "squares", "pairs"};

// Which of blue, green and red a ramp drives.
constexpr unsigned kBlue = 1, kGreen = 2, kRed = 4;

unsigned RampChannels(TestPattern pattern) {
  switch (pattern) {
    case TestPattern::kRed: return kRed;
    case TestPattern::kGreen: return kGreen;
    case TestPattern::kBlue: return kBlue;
    case TestPattern::kCyan: return kGreen | kBlue;
    case TestPattern::kMagenta: return kRed | kBlue;
    case TestPattern::kYellow: return kRed | kGreen;
    default: return kRed | kGreen | kBlue;
  }
}

// round(numerator / denominator), halves up; both non-negative.
std::uint32_t RoundedRatio(std::uint64_t numerator, std::uint64_t denominator) {
  return static_cast<std::uint32_t>((2 * numerator + denominator) / (2 * denominator));
}

std::uint8_t* RowFromTop(std::uint8_t* pixels, std::int32_t width, std::int32_t height, std::int32_t y) {
  return pixels + static_cast<std::size_t>(height - 1 - y) * static_cast<std::size_t>(width) * 4;
}

void SetGrey(std::uint8_t* pixel, std::uint8_t level) {
  pixel[0] = pixel[1] = pixel[2] = level;
  pixel[3] = 0;
}

// One row of the ramp, then copies of it.
void FillRamp(unsigned channels, std::uint32_t top, std::uint8_t* pixels, std::int32_t width, std::int32_t height) {
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
  for (std::int32_t x = 0; x < width; ++x) {
    const std::uint8_t level =
        width == 1 ? 0 : static_cast<std::uint8_t>(RoundedRatio(std::uint64_t{top} * std::uint32_t(x),
                                                                std::uint32_t(width - 1)));
    std::uint8_t* pixel = pixels + static_cast<std::size_t>(x) * 4;
    pixel[0] = channels & kBlue ? level : 0;
    pixel[1] = channels & kGreen ? level : 0;
    pixel[2] = channels & kRed ? level : 0;
    pixel[3] = 0;
  }
  for (std::int32_t y = 1; y < height; ++y) std::memcpy(pixels + y * rowBytes, pixels, rowBytes);
}

// Start of part i of n equal parts of length (integer division).
std::int32_t PartStart(std::int32_t length, std::int32_t i, std::int32_t n) {
  return static_cast<std::int32_t>(std::int64_t{length} * i / n);
}

void FillSquares(std::uint8_t* pixels, std::int32_t width, std::int32_t height) {
  std::memset(pixels, 0, static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
  for (std::int32_t r = 0; r < 4; ++r) {
    const std::int32_t top = PartStart(height, r, 4), bottom = PartStart(height, r + 1, 4);
    const std::int32_t margin = (bottom - top) / 4;
    for (std::int32_t c = 0; c < 8; ++c) {
      const std::int32_t left = PartStart(width, c, 8), right = PartStart(width, c + 1, 8);
      const std::int32_t side = (right - left) / 4;
      const std::uint8_t level = static_cast<std::uint8_t>(1 + 8 * r + c);
      for (std::int32_t y = top + margin; y < bottom - margin; ++y) {
        std::uint8_t* row = RowFromTop(pixels, width, height, y);
        for (std::int32_t x = left + side; x < right - side; ++x) SetGrey(row + x * 4, level);
      }
    }
  }
}

void FillPairs(std::uint8_t* pixels, std::int32_t width, std::int32_t height) {
  for (std::int32_t y = 0; y < height; ++y) {
    std::uint8_t* row = RowFromTop(pixels, width, height, y);
    const std::uint32_t below = y < height / 2 ? 0 : 1;
    for (std::int32_t c = 0; c < 16; ++c) {
      const std::uint8_t level = static_cast<std::uint8_t>(RoundedRatio(254u * std::uint32_t(c), 15) + below);
      for (std::int32_t x = PartStart(width, c, 16); x < PartStart(width, c + 1, 16); ++x) SetGrey(row + x * 4, level);
    }
  }
}

}  // namespace

const char* TestPatternName(TestPattern pattern) { return kNames[static_cast<int>(pattern)]; }

bool FindTestPattern(const wchar_t* name, std::size_t length, TestPattern* pattern) {
  for (int i = 0; i < kTestPatternCount; ++i) {
    const char* candidate = kNames[i];
    std::size_t k = 0;
    while (k < length && candidate[k] != '\0' && name[k] == static_cast<wchar_t>(candidate[k])) ++k;
    if (k == length && candidate[k] == '\0') {
      *pattern = static_cast<TestPattern>(i);
      return true;
    }
  }
  return false;
}

void FillTestPattern(TestPattern pattern, std::uint8_t* pixels, std::int32_t width, std::int32_t height) {
  switch (pattern) {
    case TestPattern::kSquares: FillSquares(pixels, width, height); break;
    case TestPattern::kPairs: FillPairs(pixels, width, height); break;
    case TestPattern::kDark: FillRamp(RampChannels(pattern), RoundedRatio(15 * 255, 100), pixels, width, height); break;
    default: FillRamp(RampChannels(pattern), 255, pixels, width, height); break;
  }
}
