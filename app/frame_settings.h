// The three values of the simulated panel as the control bar's texts give
// them, read and checked the way every rebuild reads them.
//
// Windows-free: built and tested natively as well as in the program.
#pragma once

#include <cstdint>

constexpr std::uint32_t kLargestInterval = 255;

struct FrameSettings {
  std::uint32_t count;     // FRC interval N, 1..255
  std::uint32_t offset;    // correction, below count
  std::uint32_t duration;  // display time of one frame, 100 ns units
  bool offsetLowered;      // the typed correction was count or more: lowered to count - 1
};

// Parses the interval and the correction with ParseUnsignedText and the
// update interval with ParseDurationText. Returns 1 and fills settings, or 0
// when the interval is outside 1..255 (settings then untouched). A correction
// of count or more (a negative one wraps to a huge number) becomes count - 1.
// No text may be null.
int ReadFrameSettings(const wchar_t* interval, const wchar_t* correction, const wchar_t* duration,
                      FrameSettings* settings);
