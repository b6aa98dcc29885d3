// What reached the screen, worked out from a flip-model swap chain's present
// statistics: for each present, the refresh on which it first appeared and
// how many refreshes it stayed, judged against the k refreshes it was meant
// to stay.
//
// The chain reports one pair at a time: "present number P is the one on
// screen, and it first appeared on refresh number R" (both are the system's
// running counters; only differences matter and both may wrap at 2^32).
// Reading the statistics after every present gives a series of such pairs;
// two pairs for successive presents P and P+1 give how long P stayed.
//
// Windows-free: built and tested natively as well as in the program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// One reading of the chain's statistics (the fields of the same names in
// DXGI_FRAME_STATISTICS, and GetLastPresentCount).
struct PresentStatistics {
  std::uint32_t presentCount;         // the present on screen
  std::uint32_t presentRefreshCount;  // the refresh on which it first appeared
  std::uint32_t syncRefreshCount;     // the refresh at which syncQpcTime was sampled
  std::int64_t syncQpcTime;           // performance-counter time of that refresh
  std::uint32_t lastPresentCount;     // the number of the chain's latest present
};

enum class PresentVerdict {
  kExact,    // on screen for exactly k refreshes
  kDoubled,  // on screen for more than k refreshes: the next present came late
  kMissed,   // on screen for fewer than k refreshes: part of its time went to the one before
  kUnknown,  // the readings do not pin it down (see TracePresents)
};

struct PresentOutcome {
  std::uint32_t present;         // the present's number
  std::uint32_t appearedOn;      // refresh on which it first appeared (kUnknown: 0)
  std::uint32_t heldRefreshes;   // refreshes until the next present appeared (kUnknown: 0)
  PresentVerdict verdict;
};

struct PresentTally {
  std::uint32_t refreshes;  // refreshes from the first judged present's appearance to the last reading's
  std::uint32_t exact;
  std::uint32_t doubled;
  std::uint32_t missed;
  std::uint32_t unknown;
};

// Turns readings (in the order they were taken) into one outcome per present,
// from the earliest present read to the one before the latest present read;
// the latest itself is still on screen and cannot be judged yet. k is
// refreshesPerFrame (at least 1).
//
// Readings are put in present order; a repeated reading of a present counts
// once, and a reading whose refresh does not come after the earlier present's
// cannot be right and is dropped. Between two readings of presents P and Q
// with presents in between that were never read:
//   - the Q - P presents spanned exactly (Q - P) * k refreshes: each is taken
//     as kExact, appearing k refreshes after the one before it;
//   - otherwise each of them, P included, is kUnknown.
// So a glitch that cancels out within an unread stretch is not seen; read
// after every present to see every one.
//
// outcomes is replaced. Returns the tally, all zero when there are fewer than
// two usable readings or k is 0. At most kMaxTracedPresents presents are
// traced: readings beyond that distance from the earliest are dropped.
constexpr std::uint32_t kMaxTracedPresents = 1u << 20;
PresentTally TracePresents(const PresentStatistics* readings, std::size_t count, std::uint32_t refreshesPerFrame,
                           std::vector<PresentOutcome>* outcomes);

// The running form of TracePresents for a thread that presents and reads the
// statistics after every present. Only presents that change the frame on the
// schedule being played are judged against k; any other present (the first
// frame of a schedule, a step, a repaint) ends the stretch being judged, and
// a new one starts at the next scheduled present. Zero-initialise with {}.
struct PresentJudge {
  bool judging;                // previous is a reading of the stretch being judged
  bool started;                // a stretch has been started
  std::uint32_t baseline;      // the first present of that stretch
  PresentStatistics previous;
  std::vector<PresentOutcome> outcomes;
};

// Takes one present: scheduled as above, reading the statistics read right
// after it (null: none could be read). Adds the presents of the stretch that
// have left the screen since the previous reading to *tally.
void JudgePresent(PresentJudge* judge, bool scheduled, const PresentStatistics* reading,
                  std::uint32_t refreshesPerFrame, PresentTally* tally);
