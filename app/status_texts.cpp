// The presentation part's texts: see status_texts.h.
#include "app/status_texts.h"

#include <cwchar>

#include "base/time_units.h"

std::wstring LockedStatusText(RefreshRate rate, const LockTiming& timing, const PresentationFigures& figures,
                              bool simulated) {
  wchar_t text[160];
  std::swprintf(text, 160, L"%ls %ls Hz ×%u 欠落 %llu 重複 %llu", simulated ? L"同期（模擬）" : L"同期",
                RefreshRateText(rate).c_str(), static_cast<unsigned>(timing.refreshesPerFrame),
                static_cast<unsigned long long>(figures.missed), static_cast<unsigned long long>(figures.doubled));
  std::wstring result = text;
  if (figures.notReady > 0) result += L" 未準備 " + std::to_wstring(figures.notReady);
  if (timing.shorterThanRefresh) result += L" 1 リフレッシュ未満";
  if (!timing.withinOnePercent) {
    std::swprintf(text, 160, L" 実際 %u.%07u s", static_cast<unsigned>(timing.usedDuration / kUnitsPerSecond),
                  static_cast<unsigned>(timing.usedDuration % kUnitsPerSecond));
    result += text;
  }
  return result;
}

std::wstring TimerStatusText() { return L"非同期（タイマー）"; }

std::wstring PresentationStatusText(bool searching, bool locked, RefreshRate rate, const LockTiming& timing,
                                    const PresentationFigures& figures, bool simulated) {
  if (searching) return L"同期を確認中";
  if (!locked) return TimerStatusText();
  return LockedStatusText(rate, timing, figures, simulated);
}
