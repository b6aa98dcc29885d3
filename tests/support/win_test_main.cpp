// Entry of the Windows test programs: GDI+ is up for the whole run, as it is in
// the program between start-up and shutdown.
#include <windows.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "tests/support/win_test_support.h"
#include "base/thread_checks.h"

namespace {

// The first use of a DC, a DIB section or the screen makes GDI create objects
// it then keeps for the process; do that before any test counts objects.
void WarmUpGdi() {
  HDC screen = GetDC(nullptr);
  HBITMAP compatible = CreateCompatibleBitmap(screen, 1, 1);
  ReleaseDC(nullptr, screen);
  HDC memory = CreateCompatibleDC(nullptr);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = 1;
  info.bmiHeader.biHeight = 1;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, section);
  SelectObject(memory, compatible);
  SelectObject(memory, old);
  DeleteDC(memory);
  DeleteObject(section);
  DeleteObject(compatible);
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  DeleteObject(brush);
}

}  // namespace

int main(int argc, char** argv) {
  SetUiThread();
  // Unbuffered: whatever a crashing test printed still reaches the log, and a
  // log with nothing at all means the program never started.
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  ::testing::InitGoogleTest(&argc, argv);
  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR token = 0;
  if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return 2;
  WarmUpGdi();
  // Relative paths resolve in a folder of the run's own, never in the folder
  // the run was started from (for a run by hand, often the source tree): the
  // system's profile functions, for one, fall back to a file of a garbage name
  // in the current directory when given a path longer than MAX_PATH.
  wchar_t started[MAX_PATH * 2] = {};
  const DWORD startedLength = GetCurrentDirectoryW(MAX_PATH * 2, started);
  int result = 2;
  {
    TempDirectory workFolder;
    if (!workFolder.Path().empty() && SetCurrentDirectoryW(workFolder.Path().c_str())) result = RUN_ALL_TESTS();
    if (startedLength > 0 && startedLength < MAX_PATH * 2) SetCurrentDirectoryW(started);
  }
  Gdiplus::GdiplusShutdown(token);
  return result;
}
