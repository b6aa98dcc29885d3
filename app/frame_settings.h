// The three values of the simulated panel as the control bar's texts give
// them, read and checked the way every rebuild reads them.
//
// Windows-free: built and tested natively as well as in the program.
#pragma once

#include <cstdint>

constexpr std::uint32_t kLargestInterval = 255;

struct FrameSettings {
  std::uint32_t interval;       // FRC interval N, 1..255
  std::uint32_t correction;     // level-grid offset, below interval
  std::uint32_t frameDuration;  // display time of one frame, 100 ns units
  bool correctionLowered;       // the typed correction was interval or more: lowered to interval - 1
};

// Parses the interval and the correction with ParseUnsignedText and the
// update interval with ParseDurationText. Returns 1 and fills settings, or 0
// when the interval is outside 1..255 (settings then untouched). A correction
// of interval or more (a negative one wraps to a huge number) becomes interval - 1.
// No text may be null.
int ReadFrameSettings(const wchar_t* intervalText, const wchar_t* correctionText, const wchar_t* frameDurationText,
                      FrameSettings* settings);
