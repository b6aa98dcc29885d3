// ParseUnsignedText and ParseDurationText: see number_text.h.
#include "base/number_text.h"

#include "base/time_units.h"

namespace {

// What a Japanese input method types instead of the characters of a number.
struct WideCounterpart {
  wchar_t wide;
  wchar_t ascii;
};

const WideCounterpart kWideCounterparts[] = {
    {L'\x3000', L' '},  // ideographic space
    {L'\xFF0B', L'+'},  // full-width plus sign
    {L'\xFF0D', L'-'},  // full-width hyphen-minus
    {L'\x2212', L'-'},  // minus sign, which some input methods give for the minus key
    {L'\xFF0E', L'.'},  // full-width full stop
    {L'\x3002', L'.'},  // ideographic full stop
    {L'\xFF61', L'.'},  // half-width ideographic full stop
};

}  // namespace

wchar_t NumberChar(wchar_t c) {
  if (c >= L'\xFF10' && c <= L'\xFF19') return static_cast<wchar_t>(L'0' + (c - L'\xFF10'));  // full-width digits
  for (const WideCounterpart& counterpart : kWideCounterparts) {
    if (c == counterpart.wide) return counterpart.ascii;
  }
  return c;
}

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

constexpr std::uint32_t kLargest = 0xFFFFFFFFu;
constexpr int kFractionDigits = 7;

}  // namespace

std::uint32_t ParseUnsignedText(const wchar_t* text, const wchar_t** end) {
  const wchar_t* p = text;
  while (IsBlank(NumberChar(*p))) ++p;
  bool negative = false;
  if (NumberChar(*p) == L'+' || NumberChar(*p) == L'-') {
    negative = NumberChar(*p) == L'-';
    ++p;
  }
  if (!IsDigit(NumberChar(*p))) {
    if (end) *end = text;
    return 0;
  }
  std::uint32_t value = 0;
  bool overflow = false;
  for (; IsDigit(NumberChar(*p)); ++p) {
    const std::uint32_t digit = static_cast<std::uint32_t>(NumberChar(*p) - L'0');
    if (value > (kLargest - digit) / 10) overflow = true;
    if (!overflow) value = value * 10 + digit;
  }
  if (end) *end = p;
  if (overflow) return kLargest;
  return negative ? 0u - value : value;
}

int ReadDecimalDigits(const wchar_t** text, std::uint64_t* value, int* digits) {
  std::uint64_t v = 0;
  int n = 0;
  while (IsDigit(**text)) {
    if (++n > 15) return 0;
    v = v * 10 + static_cast<std::uint64_t>(**text - L'0');
    ++*text;
  }
  *value = v;
  *digits = n;
  return n > 0 ? 1 : 0;
}

std::uint32_t ParseDurationText(const wchar_t* text) {
  const wchar_t* stop = nullptr;
  const std::uint32_t secs = ParseUnsignedText(text, &stop);
  std::uint32_t fraction = 0;
  if (NumberChar(*stop) == L'.') {
    // Exactly seven positions; the walk never reads past the terminator.
    const wchar_t* p = stop + 1;
    for (int i = 0; i < kFractionDigits; ++i) {
      const wchar_t c = NumberChar(*p);
      fraction = fraction * 10 + (IsDigit(c) ? static_cast<std::uint32_t>(c - L'0') : 0u);
      if (c != L'\0') ++p;
    }
  }
  const std::uint64_t duration = std::uint64_t{secs} * kUnitsPerSecond + fraction;
  return duration > kLargest ? kLargest : static_cast<std::uint32_t>(duration);
}
