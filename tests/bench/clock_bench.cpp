// Frame clock accuracy on the real multimedia timer, performance counter and
// window messages: for every change of CurrentFrame, how late its repaint
// request reached the main window after the ideal frame boundary, and how many
// frames were skipped. The stand-in main window answers each request as the
// program does: invalidate the view without erase and update it at once; the
// view copies a 640 x 480 picture in its paint.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "app/globals.h"
#include "frc/engine_state.h"
#include "frc/frame_clock.h"
#include "frc/frame_index.h"

namespace {

constexpr std::uint32_t kCount = 4;
constexpr DWORD kRunMilliseconds = 4000;

struct Change {
  std::int64_t counter;
  std::uint32_t frame;
};
std::vector<Change> changes;
HWND view = nullptr;
HDC pictureDc = nullptr;

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER && wParam == kRequestFrameChanged) {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    changes.push_back({now.QuadPart, CurrentFrame});
    InvalidateRect(view, nullptr, FALSE);
    UpdateWindow(view);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK ViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    BitBlt(dc, 0, 0, 640, 480, pictureDc, 0, 0, SRCCOPY);
    EndPaint(window, &paint);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void Measure(const char* label, std::uint32_t frameDuration) {
  changes.clear();
  changes.reserve(20000);
  PublishCycle(kCount, 0);
  SetFrameDuration(frameDuration);
  SetCurrentFrame(0);
  StartFrameClock(MainWindow, WM_USER, kRequestFrameChanged);
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < kRunMilliseconds) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  StopFrameClock();

  const std::uint64_t period = FramePeriodTicks(frameDuration, CounterFrequency());
  std::vector<double> lateMs;
  std::uint64_t skipped = 0;
  std::uint64_t previous = 0;
  for (size_t i = 0; i < changes.size(); ++i) {
    // The frame number shown: the latest one at or before now with this index.
    const std::uint64_t now = static_cast<std::uint64_t>(changes[i].counter) / period;
    const std::uint64_t number = now - (now % kCount + kCount - changes[i].frame) % kCount;
    lateMs.push_back(double(static_cast<std::uint64_t>(changes[i].counter) - number * period) * 1000.0 / double(CounterFrequency()));
    if (i > 0 && number > previous + 1) skipped += number - previous - 1;
    previous = number;
  }
  if (lateMs.empty()) {
    std::printf("%s: no frame changes\n", label);
    return;
  }
  // The first change after a start comes at a random moment, not at a boundary.
  lateMs.erase(lateMs.begin());
  std::sort(lateMs.begin(), lateMs.end());
  const double expected = double(kRunMilliseconds) * 1e-3 * double(CounterFrequency()) / double(period);
  std::printf("%s, N=%u: %zu changes (about %.0f frames elapsed), lateness after the ideal boundary: median %.3f ms, "
              "p99 %.3f ms, max %.3f ms; frames skipped: %llu\n",
              label, kCount, changes.size(), expected, lateMs.empty() ? 0.0 : lateMs[lateMs.size() / 2],
              lateMs.empty() ? 0.0 : lateMs[lateMs.size() * 99 / 100], lateMs.empty() ? 0.0 : lateMs.back(),
              static_cast<unsigned long long>(skipped));
}

}  // namespace

int main() {
  AppInstance = GetModuleHandleW(nullptr);
  WNDCLASSEXW c = {};
  c.cbSize = sizeof c;
  c.hInstance = AppInstance;
  c.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  c.lpfnWndProc = MainProc;
  c.lpszClassName = L"Quillane clock bench";
  RegisterClassExW(&c);
  c.lpfnWndProc = ViewProc;
  c.lpszClassName = L"Quillane clock bench view";
  RegisterClassExW(&c);
  MainWindow = CreateWindowExW(0, L"Quillane clock bench", L"Quillane", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 700, 560,
                               nullptr, nullptr, AppInstance, nullptr);
  view = CreateWindowExW(0, L"Quillane clock bench view", L"", WS_CHILD | WS_VISIBLE, 0, 0, 640, 480, MainWindow,
                         nullptr, AppInstance, nullptr);
  if (!MainWindow || !view) return 1;
  HDC screen = GetDC(nullptr);
  HBITMAP picture = CreateCompatibleBitmap(screen, 640, 480);
  ReleaseDC(nullptr, screen);
  pictureDc = CreateCompatibleDC(nullptr);
  HGDIOBJ saved = SelectObject(pictureDc, picture);

  QueryCounterFrequency();
  std::printf("counter frequency %lld per second\n", static_cast<long long>(CounterFrequency()));
  Measure("0.0166667 s", 166667);
  Measure("0.0041667 s", 41667);

  SelectObject(pictureDc, saved);
  DeleteDC(pictureDc);
  DeleteObject(picture);
  DestroyWindow(MainWindow);
  return 0;
}
