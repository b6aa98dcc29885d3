// The executable's own directory. Windows-facing but trivial; kept apart so
// the path logic can be tested.
#pragma once

#include <string>

// The full path of the running executable (the buffer grows for paths beyond
// MAX_PATH); empty on failure.
std::wstring ExecutablePath();

// The directory of the running executable without a trailing backslash, at its
// full length (the buffer grows for paths beyond MAX_PATH). A path without a
// backslash stays whole.
std::wstring ExecutableDirectory();

// path cut at its last backslash (the backslash dropped); whole when it has none.
std::wstring DirectoryOf(const std::wstring& path);
