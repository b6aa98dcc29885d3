// Conversions between the program's wide text and UTF-8, for logs, the console
// and files read from outside.
#pragma once

#include <string>

// text in UTF-8; empty for empty text or text the system cannot convert.
std::string Utf8Text(const std::wstring& text);

// bytes of UTF-8 as wide text; invalid sequences become U+FFFD.
std::wstring WideText(const std::string& bytes);
