// The control bar's number parsing: the standard unsigned conversion with a
// 32-bit result, and the seconds-to-100-ns duration rule, case by case.
#include "base/number_text.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

namespace {

struct UnsignedCase {
  const wchar_t* text;
  std::uint32_t value;
  std::ptrdiff_t stop;  // where the parse ends, from the text's start
};

const UnsignedCase kUnsignedCases[] = {
    {L"0", 0, 1},
    {L"4", 4, 1},
    {L"255", 255, 3},
    {L"256", 256, 3},
    {L"007", 7, 3},
    {L"", 0, 0},
    {L"abc", 0, 0},
    {L"   ", 0, 0},        // blanks but no digits: the end is the text itself
    {L"-", 0, 0},
    {L"+", 0, 0},
    {L"- 1", 0, 0},        // a sign must touch the digits
    {L"+-1", 0, 0},        // one sign only
    {L"  \t\r\n\v\f12", 12, 9},
    {L"+12", 12, 3},
    {L"-1", 4294967295u, 2},
    {L"-0", 0, 2},
    {L"-4294967295", 1, 11},
    {L"-4294967296", 4294967295u, 11},  // out of range saturates, sign or not
    {L"4294967295", 4294967295u, 10},
    {L"4294967296", 4294967295u, 10},
    {L"99999999999999999999", 4294967295u, 20},
    {L"12abc", 12, 2},
    {L"3.5", 3, 1},
    {L"1 2", 1, 1},
    {L"\x3000" L"5", 5, 2},  // an ideographic space is a blank
    {L"\xFF15", 5, 1},       // and a full-width digit a digit
    {L"\xFF1A", 0, 0},       // the full-width characters beside the digits are none
    {L"\xFF0F" L"5", 0, 0},
};

TEST(ParseUnsignedText, StandardConversionWith32BitMeaning) {
  for (const UnsignedCase& c : kUnsignedCases) {
    const wchar_t* end = nullptr;
    EXPECT_EQ(c.value, ParseUnsignedText(c.text, &end)) << "text \"" << c.text << "\"";
    EXPECT_EQ(c.stop, end - c.text) << "stop in \"" << c.text << "\"";
    EXPECT_EQ(c.value, ParseUnsignedText(c.text, nullptr));
  }
}

struct DurationCase {
  const wchar_t* text;
  std::uint32_t duration;
};

const DurationCase kDurationCases[] = {
    // The worked examples.
    {L"0.0166667", 166667},
    {L"0.0041667", 41667},
    {L"0.5", 5000000},
    {L".5", 5000000},
    {L"1", 10000000},
    {L"2.25x", 22500000},
    {L"0.1x5", 1050000},
    {L"", 0},
    // The other presets.
    {L"0.0083333", 83333},
    {L"0.0333333", 333333},
    // Truncation, padding and non-digits inside the seven positions.
    {L"0", 0},
    {L"0.00000001", 0},
    {L"0.0000001", 1},
    {L"0.12345678", 1234567},
    {L"0.1234567999", 1234567},
    {L"1.", 10000000},
    {L"1.x", 10000000},
    {L"0.1234x67", 1234067},
    {L"0.-5", 500000},   // the sign is one more non-digit position
    {L"0. 5", 500000},
    {L"3,5", 30000000},  // only a point starts the fraction
    {L"abc", 0},
    {L" .5", 0},         // no integer digits: the parse stops at the blank
    {L"-.5", 0},
    {L"-0.5", 5000000},
    {L"  2.5", 25000000},
    // Largest durations saturate instead of wrapping around.
    {L"429.4967295", 4294967295u},
    {L"429.4967294", 4294967294u},
    {L"429.4967296", 4294967295u},
    {L"430", 4294967295u},
    {L"1000000", 4294967295u},
    {L"-1", 4294967295u},
    {L"99999999999999999999.9", 4294967295u},
};

TEST(ParseDurationText, SecondsToHundredNanosecondUnits) {
  for (const DurationCase& c : kDurationCases) {
    EXPECT_EQ(c.duration, ParseDurationText(c.text)) << "text \"" << c.text << "\"";
  }
}

// The text typed with the input method on, character by character: ASCII
// digits, blanks, signs and points become what the keyboard gives for them.
std::wstring Typed(const std::wstring& ascii, wchar_t point, wchar_t minus) {
  std::wstring typed;
  for (wchar_t c : ascii) {
    if (c >= L'0' && c <= L'9') c = static_cast<wchar_t>(0xFF10 + (c - L'0'));
    else if (c == L' ') c = L'\x3000';
    else if (c == L'+') c = L'\xFF0B';
    else if (c == L'-') c = minus;
    else if (c == L'.') c = point;
    typed += c;
  }
  return typed;
}

// Every case above, typed in full width with each form of the point and the
// minus, gives what its ASCII text gives.
TEST(NumberChar, JapaneseInputReadsAsItsAsciiCounterpart) {
  for (const wchar_t point : {L'\xFF0E', L'\x3002', L'\xFF61'}) {
    for (const wchar_t minus : {L'\xFF0D', L'\x2212'}) {
      for (const DurationCase& c : kDurationCases) {
        const std::wstring typed = Typed(c.text, point, minus);
        EXPECT_EQ(c.duration, ParseDurationText(typed.c_str())) << "typed \"" << c.text << "\"";
      }
      for (const UnsignedCase& c : kUnsignedCases) {
        const std::wstring typed = Typed(c.text, point, minus);
        const wchar_t* end = nullptr;
        EXPECT_EQ(c.value, ParseUnsignedText(typed.c_str(), &end)) << "typed \"" << c.text << "\"";
        EXPECT_EQ(c.stop, end - typed.c_str()) << "stop in typed \"" << c.text << "\"";
      }
    }
  }
}

// A fraction at the very end of a full 31-character field: the walk must stop
// at the terminator (ASan would see a read past the buffer).
TEST(ParseDurationText, PointAtTheEndOfAFullFieldStaysInsideTheText) {
  for (std::size_t point = 25; point < 31; ++point) {
    std::wstring text(31, L'0');
    text[point] = L'.';
    text[point + 1 < 31 ? point + 1 : 0] = point + 1 < 31 ? L'9' : L'0';
    const std::size_t size = text.size() + 1;
    wchar_t* exact = new wchar_t[size];  // exactly the text and its terminator
    for (std::size_t i = 0; i < size; ++i) exact[i] = i < text.size() ? text[i] : L'\0';
    const std::uint32_t expected = point + 1 < 31 ? 9000000u : 0u;
    EXPECT_EQ(expected, ParseDurationText(exact)) << "point at " << point;
    delete[] exact;
  }
}

}  // namespace
