// ReadFrameSettings: see frame_settings.h.
#include "app/frame_settings.h"

#include "base/number_text.h"

int ReadFrameSettings(const wchar_t* intervalText, const wchar_t* correctionText, const wchar_t* frameDurationText,
                      FrameSettings* settings) {
  const std::uint32_t interval = ParseUnsignedText(intervalText, nullptr);
  // 0 wraps to the largest value: one comparison refuses 0 and everything above 255.
  if (interval - 1 > kLargestInterval - 1) return 0;
  const std::uint32_t correction = ParseUnsignedText(correctionText, nullptr);
  settings->interval = interval;
  settings->correctionLowered = correction >= interval;
  settings->correction = settings->correctionLowered ? interval - 1 : correction;
  settings->frameDuration = ParseDurationText(frameDurationText);
  return 1;
}
