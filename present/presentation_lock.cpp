// Locked playback arithmetic and its audit: see presentation_lock.h.
#include "present/presentation_lock.h"

#include <cmath>
#include <cstdio>
#include <cwchar>

#include "base/number_text.h"
#include "base/time_units.h"

namespace {

constexpr std::uint64_t kLargest31 = 0x7FFFFFFF;
constexpr int kMostFractionDigits = 7;
constexpr std::uint64_t kHighestRate = 1000;

std::uint64_t GreatestCommonDivisor(std::uint64_t a, std::uint64_t b) {
  while (b != 0) {
    const std::uint64_t r = a % b;
    a = b;
    b = r;
  }
  return a;
}

void AddFigures(PresentationFigures* figures, std::uint64_t refreshes, std::uint64_t doubled, std::uint64_t missed,
                std::uint64_t lateWakes) {
  figures->refreshes += refreshes;
  figures->doubled += doubled;
  figures->missed += missed;
  figures->lateWakes += lateWakes;
}

}  // namespace

RefreshRate MakeRefreshRate(std::uint64_t numerator, std::uint64_t denominator) {
  if (numerator == 0 || denominator == 0) return RefreshRate{0, 1};
  std::uint64_t divisor = GreatestCommonDivisor(numerator, denominator);
  numerator /= divisor;
  denominator /= divisor;
  while (numerator > kLargest31 || denominator > kLargest31) {
    numerator >>= 1;
    denominator >>= 1;
  }
  if (numerator == 0 || denominator == 0) return RefreshRate{0, 1};
  divisor = GreatestCommonDivisor(numerator, denominator);
  return RefreshRate{static_cast<std::uint32_t>(numerator / divisor), static_cast<std::uint32_t>(denominator / divisor)};
}

int ParseRefreshRate(const wchar_t* text, RefreshRate* rate) {
  if (!text) return 0;
  std::uint64_t numerator = 0;
  std::uint64_t denominator = 1;
  int digits = 0;
  if (!ReadDecimalDigits(&text, &numerator, &digits)) return 0;
  if (*text == L'/') {
    ++text;
    if (!ReadDecimalDigits(&text, &denominator, &digits)) return 0;
  } else if (*text == L'.') {
    ++text;
    std::uint64_t fraction = 0;
    if (!ReadDecimalDigits(&text, &fraction, &digits) || digits > kMostFractionDigits) return 0;
    // A whole part above the highest rate is refused before it is scaled,
    // which would otherwise pass 64 bits and wrap into the range.
    if (numerator > kHighestRate) return 0;
    for (int i = 0; i < digits; ++i) denominator *= 10;
    numerator = numerator * denominator + fraction;
  }
  if (*text != L'\0' || denominator == 0) return 0;
  if (numerator < denominator || numerator > kHighestRate * denominator) return 0;
  *rate = MakeRefreshRate(numerator, denominator);
  return 1;
}

std::wstring RefreshRateText(RefreshRate rate) {
  if (rate.numerator == 0 || rate.denominator == 0) return L"?";
  const std::uint64_t hundredths =
      (std::uint64_t{rate.numerator} * 200 + rate.denominator) / (2 * std::uint64_t{rate.denominator});
  wchar_t text[32];
  const unsigned long long whole = hundredths / 100;
  const unsigned part = static_cast<unsigned>(hundredths % 100);
  if (part == 0) {
    std::swprintf(text, 32, L"%llu", whole);
  } else if (part % 10 == 0) {
    std::swprintf(text, 32, L"%llu.%u", whole, part / 10);
  } else {
    std::swprintf(text, 32, L"%llu.%02u", whole, part);
  }
  return text;
}

std::int64_t RefreshPeriodTicks(RefreshRate rate, std::int64_t frequency) {
  if (rate.numerator == 0 || rate.denominator == 0 || frequency <= 0) return 0;
  // frequency * den / num, split so that no product leaves 64 bits.
  const std::uint64_t f = static_cast<std::uint64_t>(frequency);
  const std::uint64_t num = rate.numerator;
  const std::uint64_t den = rate.denominator;
  const std::uint64_t whole = f / num * den;
  const std::uint64_t part = (f % num * den * 2 + num) / (2 * num);
  return static_cast<std::int64_t>(whole + part);
}

LockTiming ComputeLockTiming(std::uint32_t frameDuration, RefreshRate rate) {
  LockTiming timing = {1, frameDuration, true, false};
  if (rate.numerator == 0 || rate.denominator == 0 || frameDuration == 0) return timing;
  const std::uint64_t perSecond = std::uint64_t{rate.denominator} * kUnitsPerSecond;  // below 2^55
  const std::uint64_t asked = std::uint64_t{frameDuration} * rate.numerator;          // below 2^63
  std::uint64_t k = asked / perSecond + (asked % perSecond * 2 >= perSecond ? 1 : 0);
  if (k == 0) k = 1;
  if (k > 0xFFFFFFFFu) k = 0xFFFFFFFFu;
  timing.refreshesPerFrame = static_cast<std::uint32_t>(k);
  const double used = static_cast<double>(k) * static_cast<double>(perSecond) / rate.numerator;
  timing.usedDuration = used >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(std::llround(used));
  timing.withinOnePercent = std::fabs(used - frameDuration) * 100.0 <= static_cast<double>(frameDuration);
  timing.shorterThanRefresh = asked < perSecond && !timing.withinOnePercent;
  return timing;
}

std::uint32_t LockedFrame(std::uint64_t vblanks, std::uint32_t refreshesPerFrame, std::uint32_t startFrame,
                          std::uint32_t interval) {
  if (interval == 0) return 0;
  const std::uint64_t k = refreshesPerFrame == 0 ? 1 : refreshesPerFrame;
  return static_cast<std::uint32_t>((startFrame % interval + vblanks / k % interval) % interval);
}

HeldJudgement JudgeHeldFrame(std::uint64_t heldRefreshes, std::uint32_t refreshesPerFrame) {
  if (heldRefreshes == refreshesPerFrame) return HeldJudgement::kExact;
  return heldRefreshes > refreshesPerFrame ? HeldJudgement::kDoubled : HeldJudgement::kCutShort;
}

void ResetPresentationAudit(PresentationLock* lock) { *lock = PresentationLock{}; }

void StartPresentationLock(PresentationLock* lock, std::uint64_t vblank, std::uint32_t startFrame,
                           std::uint32_t refreshesPerFrame, std::uint32_t interval) {
  lock->running = interval != 0 && refreshesPerFrame != 0;
  if (!lock->running) return;
  lock->interval = interval;
  lock->refreshesPerFrame = refreshesPerFrame;
  lock->startFrame = startFrame % interval;
  lock->startVblank = vblank;
  lock->lastVblank = vblank;
  lock->shownSlot = 0;
  lock->shownSince = vblank;
}

LockStep AdvancePresentationLock(PresentationLock* lock, std::uint64_t vblank) {
  LockStep step = {};
  if (!lock->running) return step;
  const std::uint32_t k = lock->refreshesPerFrame;
  step.frame = LockedFrame(lock->shownSlot * k, k, lock->startFrame, lock->interval);
  if (vblank <= lock->lastVblank) return step;

  const std::uint64_t gone = vblank - lock->lastVblank;
  const std::uint64_t late = gone > 1 ? 1 : 0;
  lock->lastVblank = vblank;
  const std::uint64_t slot = (vblank - lock->startVblank) / k;
  if (slot == lock->shownSlot) {
    AddFigures(&lock->total, gone, 0, 0, late);
    return step;
  }

  const std::uint64_t held = vblank - lock->shownSince;
  const std::uint64_t jumped = slot - lock->shownSlot - 1;
  const HeldJudgement judgement = JudgeHeldFrame(held, k);
  const std::uint64_t doubled = judgement == HeldJudgement::kDoubled ? 1 : 0;
  const std::uint64_t missed = (judgement == HeldJudgement::kCutShort ? 1 : 0) + jumped;
  AddFigures(&lock->total, gone, doubled, missed, late);
  step.judged = true;
  step.judgedFrame = step.frame;
  step.judgedSince = lock->shownSince;
  step.judgedHeld = held;

  lock->shownSlot = slot;
  lock->shownSince = vblank;
  step.frame = LockedFrame(vblank - lock->startVblank, k, lock->startFrame, lock->interval);
  step.change = step.frame != step.judgedFrame;
  return step;
}

std::string PresentationLogRow(std::uint32_t frame, std::uint64_t vblank, std::int64_t counter, std::uint64_t held,
                               std::uint32_t refreshesPerFrame) {
  char row[96];
  std::snprintf(row, sizeof row, "%u,%llu,%lld,%llu,%d\n", static_cast<unsigned>(frame),
                static_cast<unsigned long long>(vblank), static_cast<long long>(counter),
                static_cast<unsigned long long>(held), held == refreshesPerFrame ? 1 : 0);
  return row;
}

PresentationFigures TallyPresentationLog(const PresentationLogEntry* rows, std::size_t count,
                                         std::uint32_t refreshesPerFrame, std::uint32_t interval,
                                         std::uint32_t nextFrame) {
  PresentationFigures figures = {};
  if (interval == 0) return figures;
  for (std::size_t i = 0; i < count; ++i) {
    const HeldJudgement judgement = JudgeHeldFrame(rows[i].held, refreshesPerFrame);
    figures.doubled += judgement == HeldJudgement::kDoubled ? 1 : 0;
    figures.missed += judgement == HeldJudgement::kCutShort ? 1 : 0;
    const std::uint32_t next = i + 1 < count ? rows[i + 1].frame : nextFrame;
    figures.missed += (next + interval - rows[i].frame - 1) % interval;
  }
  return figures;
}
