// The frame cache's rules: see frame_plan.h.
#include "frc/frame_plan.h"

std::uint32_t FramesAhead(std::uint32_t interval, std::uint32_t slots) {
  return slots >= interval ? interval - 1 : slots - 2;
}

namespace {

// How far from the current frame the frames wanted lie: FramesAhead, or the
// lead when a slow maker aims further.
std::uint32_t Reach(const FramePlan& plan) {
  const std::uint32_t ahead = FramesAhead(plan.interval, plan.slots);
  if (plan.slots >= plan.interval) return ahead;
  const std::uint32_t lead = plan.lead < plan.interval ? plan.lead : plan.interval - 1;
  return lead > ahead ? lead : ahead;
}

bool Wanted(const FramePlan& plan, std::uint32_t k) {
  return (k + plan.interval - plan.current) % plan.interval <= Reach(plan);
}

}  // namespace

std::uint32_t NextFrameToMake(const FramePlan& plan) {
  const std::uint32_t reach = Reach(plan);
  // Frames wanted and made, apart from the one on screen: a new one needs a
  // section that is neither.
  std::uint32_t kept = 0;
  for (std::uint32_t k = 0; k < plan.interval; ++k)
    if (plan.filled[k] && k != plan.onScreen && Wanted(plan, k)) ++kept;
  if (plan.slots < plan.interval && kept + 1 >= plan.slots) return kNoFrame;
  const std::uint32_t first = plan.slots >= plan.interval ? 0 : (plan.lead < reach ? plan.lead : reach);
  for (std::uint32_t i = 0; i <= reach; ++i) {
    const std::uint32_t k = (plan.current + (first + i) % (reach + 1)) % plan.interval;
    if (!plan.filled[k]) return k;
  }
  return kNoFrame;
}

std::uint32_t NextLead(std::uint32_t lead, std::uint32_t distance, std::uint32_t passed) {
  if (passed == 0) return 0;
  return passed > distance ? passed + 1 : lead;
}

std::uint32_t FrameToEvict(const FramePlan& plan) {
  std::uint32_t victim = kNoFrame, farthest = kNoFrame, distance = 0;
  for (std::uint32_t k = 0; k < plan.interval; ++k) {
    if (!plan.filled[k] || k == plan.onScreen) continue;
    if (Wanted(plan, k)) {
      // A frame asked for at once (a step, a jump) may find only frames
      // wanted further on: the farthest of them waits longest.
      const std::uint32_t d = (k + plan.interval - plan.current) % plan.interval;
      if (farthest == kNoFrame || d > distance) farthest = k, distance = d;
      continue;
    }
    if (victim == kNoFrame || plan.lastShown[k] < plan.lastShown[victim]) victim = k;
  }
  return victim != kNoFrame ? victim : farthest;
}
