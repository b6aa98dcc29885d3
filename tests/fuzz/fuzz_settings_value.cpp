// Fuzz target: the values stored in the settings file, as they travel: each
// read with room for 63 characters into its field, read back from the field
// with room for 31 when the settings are applied, and then taken as the
// panel's three values by ReadFrameSettings; the "ShowOriginal" value is
// parsed whole as the check box's state. The input's bytes in pairs are UTF-16
// text; a zero unit ends one value and starts the next (interval, correction,
// update interval, ShowOriginal). Each stage holds exactly its own characters
// and a terminator, so a read past them is seen by AddressSanitizer.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "app/frame_settings.h"
#include "base/number_text.h"

namespace {

constexpr std::size_t kStoredChars = 63;
constexpr std::size_t kFieldChars = 31;

std::vector<wchar_t> Cut(const std::vector<wchar_t>& text, std::size_t chars) {
  const std::size_t kept = text.size() < chars ? text.size() : chars;
  std::vector<wchar_t> cut(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(kept));
  cut.push_back(L'\0');
  return cut;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<wchar_t> values[4];
  std::size_t which = 0;
  for (std::size_t i = 0; i + 1 < size && which < 4; i += 2) {
    const wchar_t c = static_cast<wchar_t>(data[i] | data[i + 1] << 8);
    if (c == L'\0') {
      ++which;
    } else {
      values[which].push_back(c);
    }
  }
  std::vector<wchar_t> fields[3];
  for (int i = 0; i < 3; ++i) fields[i] = Cut(Cut(values[i], kStoredChars), kFieldChars);

  FrameSettings settings = {};
  if (ReadFrameSettings(fields[0].data(), fields[1].data(), fields[2].data(), &settings)) {
    if (settings.interval < 1 || settings.interval > kLargestInterval || settings.correction >= settings.interval) std::abort();
    if (settings.correctionLowered != (ParseUnsignedText(fields[1].data(), nullptr) >= settings.interval)) std::abort();
    if (settings.frameDuration != ParseDurationText(fields[2].data())) std::abort();
  }

  const std::vector<wchar_t> showOriginal = Cut(values[3], kStoredChars);
  const wchar_t* end = nullptr;
  ParseUnsignedText(showOriginal.data(), &end);
  if (end < showOriginal.data() || end >= showOriginal.data() + showOriginal.size()) std::abort();
  return 0;
}
