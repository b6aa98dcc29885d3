// Fuzz target: a value stored in the settings file, as it travels: read with
// room for 63 characters into a field, read back from the field with room for
// 31 when the settings are applied, and parsed there as an interval or
// correction and as an update interval; the "ShowOriginal" value is parsed
// whole as the check box's state. The input's bytes in pairs are the UTF-16
// text; each stage holds exactly its own characters and a terminator.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "app/number_text.h"

namespace {

constexpr std::size_t kStoredChars = 63;
constexpr std::size_t kFieldChars = 31;

std::vector<wchar_t> Cut(const std::vector<wchar_t>& text, std::size_t chars) {
  std::vector<wchar_t> cut(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(text.size() - 1 < chars ? text.size() - 1 : chars));
  cut.push_back(L'\0');
  return cut;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<wchar_t> value;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    const wchar_t c = static_cast<wchar_t>(data[i] | data[i + 1] << 8);
    if (c == L'\0') break;
    value.push_back(c);
  }
  value.push_back(L'\0');

  const std::vector<wchar_t> stored = Cut(value, kStoredChars);
  const wchar_t* end = nullptr;
  ParseUnsignedText(stored.data(), &end);
  if (end < stored.data() || end >= stored.data() + stored.size()) std::abort();

  const std::vector<wchar_t> field = Cut(stored, kFieldChars);
  const std::uint32_t number = ParseUnsignedText(field.data(), &end);
  if (end < field.data() || end >= field.data() + field.size()) std::abort();
  const std::uint32_t duration = ParseDurationText(field.data());
  // The update interval starts with the same whole seconds.
  if (number <= 429 && duration < number * 10000000u) std::abort();
  return 0;
}
