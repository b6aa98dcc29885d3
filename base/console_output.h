// The command line's messages: text for the console the program was started
// from, or for its redirected output. Quillane.exe is a window program, so it
// has no console of its own.
#pragma once

#include <string>

enum class Stream { kOutput, kError };

// Writes text to the parent's console when there is one and the standard
// handle is that console; to the standard handle as UTF-8 when it is a file or
// a pipe (redirected output). Any thread; callers keep their lines whole.
void Write(Stream stream, const std::wstring& text);

// One message: the English line, then the Japanese one.
void Say(Stream stream, const std::wstring& english, const std::wstring& japanese);
