// Utf8Text and WideText: see utf8_text.h.
#include "base/utf8_text.h"

#include <windows.h>

std::string Utf8Text(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int length = static_cast<int>(text.size());
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return std::string();
  std::string utf8(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), length, &utf8[0], bytes, nullptr, nullptr);
  return utf8;
}

std::wstring WideText(const std::string& bytes) {
  if (bytes.empty()) return std::wstring();
  const int length = static_cast<int>(bytes.size());
  const int characters = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), length, nullptr, 0);
  if (characters <= 0) return std::wstring();
  std::wstring text(static_cast<size_t>(characters), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes.data(), length, &text[0], characters);
  return text;
}
