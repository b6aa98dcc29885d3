// Text-to-number conversions for the values typed into the control bar and
// stored in the settings file.
//
// They are written here rather than taken from the C runtime so that the
// program reads the same number from the same text under every runtime and on
// every word size: the results are 32-bit, whatever `unsigned long` is.
//
// Windows-free: built and tested natively as well as in the program.
#pragma once

#include <cstdint>

// Both conversions read what a Japanese keyboard with the input method on
// types exactly as its ASCII counterpart: full-width digits (U+FF10-FF19),
// the ideographic space (U+3000), full-width plus and minus (U+FF0B, U+FF0D)
// and the minus sign (U+2212), and as the decimal point the full-width full
// stop (U+FF0E) and the ideographic full stop (U+3002, U+FF61 in half-width
// form). NumberChar gives that counterpart, or c itself for any other
// character. Positions in the text are unchanged: every character maps to one.
wchar_t NumberChar(wchar_t c);

// The standard unsigned decimal conversion with a 32-bit result: leading
// blanks (space, tab, line feed, vertical tab, form feed, carriage return) are
// skipped, then one optional '+' or '-', then decimal digits up to the first
// non-digit. No digits give 0. A value above 4294967295 gives 4294967295; a
// '-' negates the value modulo 2^32 ("-1" gives 4294967295).
// text must not be null. When end is not null it receives the position after
// the last digit, or text itself when there were no digits.
std::uint32_t ParseUnsignedText(const wchar_t* text, const wchar_t** end);

// A display time typed as seconds in decimal ("0.0166667"), in units of
// 100 ns. The integer part is read by ParseUnsignedText. If it stops at '.',
// the next seven characters are the fraction: a shorter fraction is padded with
// zeros, a longer one is cut after seven digits, and any non-digit among those
// seven counts as 0 ("0.1x5" is 0.1050000 s). Otherwise the fraction is 0.
// The result is secs * 10,000,000 + fraction; a time above 429.4967295 s gives
// 4294967295. Empty or unreadable text gives 0. text must not be null.
std::uint32_t ParseDurationText(const wchar_t* text);

// Reads ASCII decimal digits from *text, advancing it, while they fit in 15
// digits (below 10^15: exact in 64 bits and in a double). 1 with *value and
// *digits (how many were read), or 0 when there are none or more than 15.
// The strict reader of the refresh rate and of the options' counts.
int ReadDecimalDigits(const wchar_t** text, std::uint64_t* value, int* digits);
