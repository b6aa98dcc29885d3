// The frame cache's rules: see frame_plan.h.
#include "frc/frame_plan.h"

std::uint32_t FramesAhead(std::uint32_t interval, std::uint32_t slots) {
  return slots >= interval ? interval - 1 : slots - 2;
}

std::uint32_t NextFrameToMake(const FramePlan& plan) {
  const std::uint32_t ahead = FramesAhead(plan.interval, plan.slots);
  for (std::uint32_t i = 0; i <= ahead; ++i) {
    const std::uint32_t k = (plan.current + i) % plan.interval;
    if (!plan.filled[k]) return k;
  }
  return kNoFrame;
}

std::uint32_t FrameToEvict(const FramePlan& plan) {
  const std::uint32_t ahead = FramesAhead(plan.interval, plan.slots);
  std::uint32_t victim = kNoFrame;
  for (std::uint32_t k = 0; k < plan.interval; ++k) {
    const bool wanted = (k + plan.interval - plan.current) % plan.interval <= ahead;
    if (!plan.filled[k] || k == plan.onScreen || wanted) continue;
    if (victim == kNoFrame || plan.lastShown[k] < plan.lastShown[victim]) victim = k;
  }
  return victim;
}
