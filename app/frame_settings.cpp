// ReadFrameSettings: see frame_settings.h.
#include "app/frame_settings.h"

#include "app/number_text.h"

int ReadFrameSettings(const wchar_t* interval, const wchar_t* correction, const wchar_t* duration,
                      FrameSettings* settings) {
  const std::uint32_t count = ParseUnsignedText(interval, nullptr);
  // 0 wraps to the largest value: one comparison refuses 0 and everything above 255.
  if (count - 1 > kLargestInterval - 1) return 0;
  const std::uint32_t offset = ParseUnsignedText(correction, nullptr);
  settings->count = count;
  settings->offsetLowered = offset >= count;
  settings->offset = settings->offsetLowered ? count - 1 : offset;
  settings->duration = ParseDurationText(duration);
  return 1;
}
