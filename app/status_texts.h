// The status bar's texts for presentation: how frames reach the screen and
// what the audit counted.
//
// Windows-free: built and tested natively as well as in the program.
#pragma once

#include <string>

#include "present/presentation_lock.h"

// The status-bar text of locked playback: "同期 59.94 Hz ×1 欠落 0 重複 0",
// "同期（模擬） 240 Hz ..." for the simulated source, with " 実際 0.0166833 s"
// when the duration used is not within 1 % of the one asked for, and
// " 1 リフレッシュ未満" before it when the one asked for is shorter than one
// refresh.
std::wstring LockedStatusText(RefreshRate rate, const LockTiming& timing, const PresentationFigures& figures,
                              bool simulated);

// The status-bar text when frames change on the timer.
std::wstring TimerStatusText();

// The presentation part as a whole: "同期を確認中" while the source is still
// to be looked for, the timer's text when frames are not locked, else the
// locked text.
std::wstring PresentationStatusText(bool searching, bool locked, RefreshRate rate, const LockTiming& timing,
                                    const PresentationFigures& figures, bool simulated);
