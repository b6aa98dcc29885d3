// Fuzz target: the interval, correction and update-interval texts as the
// control bar's fields hold them: up to 31 UTF-16 units (the input's bytes in
// pairs) and a terminator, in a heap block of exactly that size. Checks that
// the parse stays inside the text and that a text reads exactly as the same
// text with every Japanese-input character replaced by its ASCII counterpart.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "base/number_text.h"

namespace {

constexpr std::size_t kFieldChars = 31;

std::vector<wchar_t> FieldText(const std::uint8_t* data, std::size_t size) {
  std::vector<wchar_t> text;
  for (std::size_t i = 0; i + 1 < size && text.size() < kFieldChars; i += 2) {
    const wchar_t c = static_cast<wchar_t>(data[i] | data[i + 1] << 8);
    if (c == L'\0') break;
    text.push_back(c);
  }
  text.push_back(L'\0');
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<wchar_t> text = FieldText(data, size);
  std::vector<wchar_t> ascii(text);
  for (wchar_t& c : ascii) c = NumberChar(c);

  const wchar_t* end = nullptr;
  const std::uint32_t value = ParseUnsignedText(text.data(), &end);
  if (end < text.data() || end >= text.data() + text.size()) std::abort();
  const wchar_t* asciiEnd = nullptr;
  if (ParseUnsignedText(ascii.data(), &asciiEnd) != value || asciiEnd - ascii.data() != end - text.data()) std::abort();
  if (end == text.data() && value != 0) std::abort();

  if (ParseDurationText(text.data()) != ParseDurationText(ascii.data())) std::abort();
  return 0;
}
