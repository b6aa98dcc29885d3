// The executable's own directory: see module_directory.h.
#include "app/module_directory.h"

#include <windows.h>

std::wstring DirectoryOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? path : path.substr(0, slash);
}

std::wstring ExecutableDirectory() {
  const std::wstring path = ExecutablePath();
  return path.empty() ? path : DirectoryOf(path);
}

std::wstring ExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (length == 0) return std::wstring();
    // A full buffer means the name may have been cut: try again with more room.
    if (length < path.size() - 1) {
      path.resize(length);
      return path;
    }
    if (path.size() >= 32768) return std::wstring();
    path.resize(path.size() * 2);
  }
}
