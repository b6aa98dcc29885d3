// Playback locked to the display's vertical blank: the refresh rate as an
// exact ratio, how many refreshes each frame of the cycle stays on screen, the
// frame due at each vblank, and an audit of what the screen really showed.
//
// The frame on screen is a function of the vblank count alone, never of the
// time, so a late wake still puts the right frame up.
//
// The audit works in slots: slot s of a schedule is the s-th frame put on
// screen since the schedule started (frame (startFrame + s) mod interval) and
// it is due on the refreshes [s*k, (s+1)*k) counted from the schedule's first
// vblank. At every wake the presentation thread reports the vblank number it
// sees; the slot due then goes on screen if it is not already there. A slot is
// judged when the next slot replaces it:
//   - held: refreshes between the vblank that put it up and the vblank that
//     replaced it;
//   - doubled: a slot held for more than k refreshes;
//   - missed: a slot held for fewer than k refreshes, including a slot that
//     never reached the screen at all (held 0), because the wakes jumped it;
//   - late wake: a wake that sees the vblank number advanced by more than one
//     since the previous wake, that is, a vblank went by without a wake;
//   - refreshes: the vblanks gone by since the schedule started.
// A wake that sees the same number again counts as nothing. A cycle is
// `interval` slots; its figures are those of the slots judged in it.
//
// Windows-free: built and tested natively as well as in the program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A refresh rate in Hz: numerator / denominator, kept reduced. 0/1 when unknown.
struct RefreshRate {
  std::uint32_t numerator;
  std::uint32_t denominator;
};

// The rate numerator / denominator reduced, and scaled down to fit 31 bits
// each when larger. A zero numerator or denominator gives 0/1.
RefreshRate MakeRefreshRate(std::uint64_t numerator, std::uint64_t denominator);

// Reads a rate written as a decimal ("60", "59.94", at most 7 fraction digits)
// or as a ratio of two whole numbers ("60000/1001"). The rate must lie between
// 1 and 1000 Hz. 1 and *rate on success, 0 for anything else.
int ParseRefreshRate(const wchar_t* text, RefreshRate* rate);

// The rate as a short text: at most two decimals, trailing zeros dropped
// ("60", "59.94", "143.86").
std::wstring RefreshRateText(RefreshRate rate);

// The period of one refresh in ticks of a counter running at `frequency` per
// second, rounded; 0 when the rate is unknown.
std::int64_t RefreshPeriodTicks(RefreshRate rate, std::int64_t frequency);

// What a requested frameDuration (100 ns units) becomes on a display of `rate`.
struct LockTiming {
  std::uint32_t refreshesPerFrame;  // k = max(1, round(frameDuration * rate))
  std::uint32_t usedDuration;       // k refreshes in 100 ns units, rounded
  bool withinOnePercent;            // frameDuration within 1 % of k refreshes
  bool shorterThanRefresh;          // frameDuration below one refresh, and not within 1 % of it
};

// The timing for frameDuration on rate. An unknown rate or a zero duration
// gives k = 1, the duration itself and no complaint.
LockTiming ComputeLockTiming(std::uint32_t frameDuration, RefreshRate rate);

// The frame of a cycle of `interval` frames on screen `vblanks` refreshes
// after a schedule that began with startFrame, at k refreshes a frame:
// (startFrame + vblanks / k) mod interval. 0 when interval is 0.
std::uint32_t LockedFrame(std::uint64_t vblanks, std::uint32_t refreshesPerFrame, std::uint32_t startFrame,
                          std::uint32_t interval);

struct PresentationFigures {
  std::uint64_t refreshes;
  std::uint64_t doubled;
  std::uint64_t missed;
  std::uint64_t lateWakes;
  std::uint64_t notReady;  // refreshes whose frame was not made in time (counted by the presenting thread)
};

struct PresentationLock {
  std::uint32_t interval;
  std::uint32_t refreshesPerFrame;
  std::uint32_t startFrame;
  std::uint64_t startVblank;
  std::uint64_t lastVblank;   // the latest vblank number seen by a wake
  std::uint64_t shownSlot;    // the slot now on screen
  std::uint64_t shownSince;   // the vblank number that put it up
  PresentationFigures total;  // since ResetPresentationAudit
  bool running;
};

// The one rule of every audit for a frame that has left the screen after
// heldRefreshes refreshes, when it was meant to stay refreshesPerFrame: held
// longer, it was shown twice (doubled); shorter, the next came early and this
// one was cut short, which counts as missed.
enum class HeldJudgement { kExact, kDoubled, kCutShort };
HeldJudgement JudgeHeldFrame(std::uint64_t heldRefreshes, std::uint32_t refreshesPerFrame);

// What one wake asks of the presentation thread.
struct LockStep {
  std::uint32_t frame;  // the frame to have on screen now
  bool change;          // frame differs from what is on screen: draw it
  bool judged;          // a slot has just left the screen:
  std::uint32_t judgedFrame;   //   its frame,
  std::uint64_t judgedSince;   //   the vblank number that put it up,
  std::uint64_t judgedHeld;    //   refreshes it stayed (0: never shown)
};

// Clears every figure; the next StartPresentationLock begins afresh.
void ResetPresentationAudit(PresentationLock* lock);

// Begins a schedule at vblank number `vblank` with startFrame on screen (slot
// 0, put up at that vblank). Totals are kept; the cycle in progress restarts.
// interval 0 or refreshesPerFrame 0 leaves the lock stopped.
void StartPresentationLock(PresentationLock* lock, std::uint64_t vblank, std::uint32_t startFrame,
                           std::uint32_t refreshesPerFrame, std::uint32_t interval);

// The wake at vblank number `vblank`. A number at or below the last one seen
// changes nothing. Slots that the wake jumps are judged as missed in the
// figures; only the slot just replaced is reported in the step.
LockStep AdvancePresentationLock(PresentationLock* lock, std::uint64_t vblank);

// The simulated vblank source asked for on the command line.
struct SimulatedSourceOption {
  RefreshRate rate;
  std::uint32_t dropEvery;   // every dropEvery-th vblank wakes nobody; 0: none
  std::uint32_t stallAfter = 0;  // the wait after vblank stallAfter never returns; 0: none
};

// One line of the presentation log for a slot that has left the screen,
// with its line end: "frame,vblank,counter,held,exact" where frame counts
// from 0, counter is the performance counter when it went up, and exact is 1
// when it was held for exactly k refreshes.
std::string PresentationLogRow(std::uint32_t frame, std::uint64_t vblank, std::int64_t counter, std::uint64_t held,
                               std::uint32_t refreshesPerFrame);

// The first line of the presentation log.
constexpr const char* kPresentationLogHeader = "frame,vblank,counter,held,exact\n";

// One row of the log, read back.
struct PresentationLogEntry {
  std::uint32_t frame;
  std::uint64_t vblank;
  std::uint64_t held;
};

// The doubled and missed frames a log tells of, judged as the audit judges
// them: by JudgeHeldFrame, and every frame that the rows skip (the next row's
// frame, or nextFrame after the last row, is not the one after) as missed. A
// cycle of `interval` frames shown k refreshes each; refreshes and late wakes
// are left 0.
PresentationFigures TallyPresentationLog(const PresentationLogEntry* rows, std::size_t count,
                                         std::uint32_t refreshesPerFrame, std::uint32_t interval,
                                         std::uint32_t nextFrame);
