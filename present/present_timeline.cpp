// TracePresents and JudgePresent: see present_timeline.h.
#include "present/present_timeline.h"

#include <algorithm>

#include "present/presentation_lock.h"

namespace {

// Counter differences as signed numbers, so that a wrap at 2^32 between two
// readings still gives the small distance between them.
std::int32_t Distance(std::uint32_t from, std::uint32_t to) { return static_cast<std::int32_t>(to - from); }

struct Reading {
  std::uint32_t offset;  // presents after the earliest present read
  std::uint32_t present;
  std::uint32_t refresh;
};

void Judge(PresentOutcome* outcome, PresentTally* tally, std::uint32_t refreshesPerFrame) {
  switch (JudgeHeldFrame(outcome->heldRefreshes, refreshesPerFrame)) {
    case HeldJudgement::kExact:
      outcome->verdict = PresentVerdict::kExact;
      ++tally->exact;
      break;
    case HeldJudgement::kDoubled:
      outcome->verdict = PresentVerdict::kDoubled;
      ++tally->doubled;
      break;
    case HeldJudgement::kCutShort:
      outcome->verdict = PresentVerdict::kMissed;
      ++tally->missed;
      break;
  }
}

}  // namespace

PresentTally TracePresents(const PresentStatistics* readings, std::size_t count, std::uint32_t refreshesPerFrame,
                           std::vector<PresentOutcome>* outcomes) {
  PresentTally tally = {0, 0, 0, 0, 0};
  outcomes->clear();
  if (count == 0 || refreshesPerFrame == 0) return tally;

  std::uint32_t earliest = readings[0].presentCount;
  for (std::size_t i = 1; i < count; ++i) {
    if (Distance(earliest, readings[i].presentCount) < 0) earliest = readings[i].presentCount;
  }
  std::vector<Reading> ordered;
  ordered.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t offset = readings[i].presentCount - earliest;
    if (offset < kMaxTracedPresents)
      ordered.push_back({offset, readings[i].presentCount, readings[i].presentRefreshCount});
  }
  // Stable: of two readings of one present, the earlier taken is kept.
  std::stable_sort(ordered.begin(), ordered.end(),
                   [](const Reading& a, const Reading& b) { return a.offset < b.offset; });
  std::vector<Reading> usable;
  for (const Reading& reading : ordered) {
    if (!usable.empty() && (reading.offset == usable.back().offset ||
                            Distance(usable.back().refresh, reading.refresh) <= 0))
      continue;
    usable.push_back(reading);
  }
  if (usable.size() < 2) return tally;

  tally.refreshes = usable.back().refresh - usable.front().refresh;
  for (std::size_t i = 0; i + 1 < usable.size(); ++i) {
    const Reading& from = usable[i];
    const Reading& to = usable[i + 1];
    const std::uint32_t presents = to.offset - from.offset;
    const std::uint32_t span = to.refresh - from.refresh;
    const bool even = static_cast<std::uint64_t>(presents) * refreshesPerFrame == span;
    if (presents == 1 || even) {
      for (std::uint32_t j = 0; j < presents; ++j) {
        PresentOutcome outcome = {from.present + j, from.refresh + j * refreshesPerFrame,
                                  presents == 1 ? span : refreshesPerFrame, PresentVerdict::kUnknown};
        Judge(&outcome, &tally, refreshesPerFrame);
        outcomes->push_back(outcome);
      }
    } else {
      for (std::uint32_t j = 0; j < presents; ++j) {
        outcomes->push_back({from.present + j, 0, 0, PresentVerdict::kUnknown});
        ++tally.unknown;
      }
    }
  }
  return tally;
}

void JudgePresent(PresentJudge* judge, bool scheduled, const PresentStatistics* reading,
                  std::uint32_t refreshesPerFrame, PresentTally* tally) {
  if (!scheduled) {
    judge->started = false;
    judge->judging = false;
    return;
  }
  if (!reading) return;
  if (!judge->started) {
    // The stretch starts at this present, the latest one made.
    judge->started = true;
    judge->judging = false;
    judge->baseline = reading->lastPresentCount;
  }
  // Still on screen: a present from before the stretch.
  if (Distance(judge->baseline, reading->presentCount) < 0) return;
  if (judge->judging && reading->presentCount == judge->previous.presentCount) return;
  if (judge->judging) {
    const PresentStatistics pair[2] = {judge->previous, *reading};
    const PresentTally step = TracePresents(pair, 2, refreshesPerFrame, &judge->outcomes);
    tally->refreshes += step.refreshes;
    tally->exact += step.exact;
    tally->doubled += step.doubled;
    tally->missed += step.missed;
    tally->unknown += step.unknown;
  }
  judge->previous = *reading;
  judge->judging = true;
}
