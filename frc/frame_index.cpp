// FramePeriodTicks and FrameIndexAt: see frame_index.h.
#include "frc/frame_index.h"

#include "base/time_units.h"

namespace {

constexpr std::uint64_t kLargest = ~std::uint64_t{0};

}  // namespace

std::uint64_t FramePeriodTicks(std::uint32_t frameDuration, std::int64_t frequency) {
  if (frequency <= 0) return 1;
  // duration * frequency / 10^7 split as duration * q + (duration * r) / 10^7
  // with frequency = q * 10^7 + r: exact, and the second product stays below
  // 2^32 * 10^7, so only a counter above 4.29e16 per second could overflow.
  const std::uint64_t q = static_cast<std::uint64_t>(frequency) / kUnitsPerSecond;
  const std::uint64_t r = static_cast<std::uint64_t>(frequency) % kUnitsPerSecond;
  const std::uint64_t d = frameDuration;
  if (q != 0 && d > kLargest / q) return kLargest;
  const std::uint64_t whole = d * q;
  const std::uint64_t part = d * r / kUnitsPerSecond;
  if (whole > kLargest - part) return kLargest;
  const std::uint64_t period = whole + part;
  return period == 0 ? 1 : period;
}

std::uint32_t FrameIndexAt(std::int64_t counter, std::uint32_t frameDuration, std::int64_t frequency, std::uint32_t interval) {
  if (interval == 0) return 0;
  const std::uint64_t frameNumber = static_cast<std::uint64_t>(counter) / FramePeriodTicks(frameDuration, frequency);
  return static_cast<std::uint32_t>(frameNumber) % interval;
}
