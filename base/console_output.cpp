// Write and Say: see console_output.h.
#include "base/console_output.h"

#include <windows.h>

#include "base/utf8_text.h"

void Write(Stream stream, const std::wstring& text) {
  static const bool attached = AttachConsole(ATTACH_PARENT_PROCESS) != FALSE;
  HANDLE handle = GetStdHandle(stream == Stream::kOutput ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  DWORD mode = 0;
  const bool usable = handle && handle != INVALID_HANDLE_VALUE;
  if (usable && !GetConsoleMode(handle, &mode)) {
    const std::string utf8 = Utf8Text(text);
    DWORD written = 0;
    WriteFile(handle, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    return;
  }
  if (!attached) return;
  HANDLE console = usable ? handle
                          : CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
  if (console == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteConsoleW(console, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  if (console != handle) CloseHandle(console);
}

void Say(Stream stream, const std::wstring& english, const std::wstring& japanese) {
  Write(stream, english + L"\n" + japanese + L"\n");
}
