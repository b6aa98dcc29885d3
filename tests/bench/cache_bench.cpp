// Frames made when they are needed, measured as the program runs them: the
// main window in a process of its own for each figure, so that each peak
// working set is that playing's alone.
//   - how long after a change is posted the new cycle's first frame is drawn;
//   - the peak working set while playing N = 255 at 1080p, 4K and 8K;
//   - one frame made on every core against a plain copy of it;
//   - refreshes whose frame was not made in time, with the simulated source.
#include <windows.h>
#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/globals.h"
#include "app/main_window.h"
#include "app/resource_ids.h"
#include "app/window_state.h"
#include "base/thread_checks.h"
#include "base/utf8_text.h"
#include "frc/engine_state.h"
#include "frc/frame_cache.h"
#include "frc/level_tables.h"
#include "frc/phase_patterns.h"
#include "frc/render_frame.h"
#include "imaging/load_source.h"
#include "present/presentation.h"
#include "present/vblank_source.h"
#include "tests/gui/gui_test_support.h"
#include "views/image_view.h"

namespace {

double NowMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

double PeakWorkingSetMb() {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return double(counters.PeakWorkingSetSize) / 1e6;
}

std::wstring Directory() {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring directory = std::wstring(temp) + L"quillane-cache-bench";
  CreateDirectoryW(directory.c_str(), nullptr);
  return directory;
}

// The main window on the squares pattern at width x height, N from the
// settings file, at frameDuration; locked to the simulated source when
// `rate` is not 0, else the timer.
bool OpenWindow(int width, int height, const wchar_t* interval, const wchar_t* duration, std::uint32_t rate) {
  ModuleDirectory = Directory();
  const std::wstring ini = ModuleDirectory + L"\\settings.ini";
  WritePrivateProfileStringW(L"Settings", L"FRCCount", interval, ini.c_str());
  WritePrivateProfileStringW(L"Settings", L"FRCOffset", L"0", ini.c_str());
  WritePrivateProfileStringW(L"Settings", L"FRCDuration", duration, ini.c_str());
  WritePrivateProfileStringW(L"Settings", L"ShowOriginal", L"0", ini.c_str());
  WritePrivateProfileStringW(L"Settings", L"Presentation", rate ? L"vsync" : L"timer", ini.c_str());
  static SimulatedSourceOption simulated;
  simulated = {{rate, 1}, 0};
  SetPresentationOptions(rate ? &simulated : nullptr, nullptr);
  if (!CreateMainWindow()) return false;
  SetWindowPos(MainWindow, nullptr, 0, 0, 1280, 1000, SWP_NOZORDER);
  if (!OpenPattern(TestPattern::kSquares, width, height)) return false;
  PostSettingsChanged();
  PumpUntil([] { return false; }, 1000);
  return FrameSet != nullptr;
}

// The end of the FRC view's first paint once FrameSet is no longer `previous`.
const DibSurface* paintPrevious = nullptr;
double paintedAt = -1;
LRESULT CALLBACK WatchPaints(int code, WPARAM wParam, LPARAM lParam) {
  const CWPRETSTRUCT* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);

  if (code == HC_ACTION && call->hwnd == FrcView && call->message == WM_PAINT && paintedAt < 0 && FrameSet &&
      FrameSet != paintPrevious)
    paintedAt = NowMs();
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Posts a change of the bar's fields and pumps until the FRC view has been
// painted with the new cycle: the time from the post to the end of that
// paint, in ms.
double FirstFrameAfter(const wchar_t* interval, const wchar_t* correction) {
  SetDlgItemTextW(ControlBar, kIdInterval, interval);
  SetDlgItemTextW(ControlBar, kIdCorrection, correction);
  paintPrevious = FrameSet;
  paintedAt = -1;
  HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROCRET, WatchPaints, nullptr, GetCurrentThreadId());
  const double start = NowMs();
  PostSettingsChanged();
  // Paints sent (UpdateWindow) are seen by the hook, those dispatched here.
  while (paintedAt < 0 && NowMs() - start < 30000) {
    MSG message;
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
    if (message.hwnd == FrcView && message.message == WM_PAINT && paintedAt < 0 && FrameSet && FrameSet != paintPrevious)
      paintedAt = NowMs();
  }
  UnhookWindowsHookEx(hook);
  return paintedAt < 0 ? -1 : paintedAt - start;
}

int ChangeAndPlay(int width, int height, const char* size) {
  if (!OpenWindow(width, height, L"4", L"0.0166667", 0)) return 1;
  PumpUntil([] { return false; }, 1000);
  const double ofInterval = FirstFrameAfter(L"255", L"0");
  PumpUntil([] { return false; }, 1500);
  const double ofCorrection = FirstFrameAfter(L"255", L"1");
  PumpUntil([] { return false; }, 3000);  // playing N = 255
  if (width == 1920) {
    std::printf("first frame after a change of N 1080p N=255: %.1f ms\n", ofInterval);
    std::printf("first frame after a change of correction 1080p N=255: %.1f ms\n", ofCorrection);
  }
  std::printf("peak working set %s N=255: %.0f MB\n", size, PeakWorkingSetMb());
  return 0;
}

int NotReady(int width, int height, std::uint32_t rate, const wchar_t* duration, const char* label) {
  if (!OpenWindow(width, height, L"255", duration, rate)) return 1;
  // The cycle holds on frame 0 until the flash check has answered; then six
  // seconds of playing are counted.
  PumpUntil([] { return !WindowState().flashPending; }, 30000);
  const PresentationFigures before = PresentationTotals();
  PumpUntil([] { return false; }, 6000);
  PresentationFigures figures = PresentationTotals();
  figures.notReady -= before.notReady;
  figures.refreshes -= before.refreshes;
  figures.missed -= before.missed;
  figures.doubled -= before.doubled;
  std::printf("frames not ready at %s: %llu in %llu refreshes (missed %llu, doubled %llu)%s\n", label,
              static_cast<unsigned long long>(figures.notReady), static_cast<unsigned long long>(figures.refreshes),
              static_cast<unsigned long long>(figures.missed), static_cast<unsigned long long>(figures.doubled),
              PresentationLocked() ? "" : " (not locked)");
  return 0;
}

// One 4K frame made on every core, against a plain copy of the picture into
// memory written before; both the best of several rounds.
int FrameOnDemand() {
  const int width = 3840, height = 2160;
  if (!LoadSourcePattern(TestPattern::kSquares, width, height) || !BuildLevelTables(16, 0)) return 1;
  DibSurface frame;
  if (!PrepareFrame(&frame, SourceSurface)) return 1;
  const std::size_t bytes = std::size_t(width) * height * 4;
  std::vector<std::uint8_t> copy(bytes, 1);
  double copyMs = 1e30, frameMs = 1e30;
  for (int round = 0; round < 9; ++round) {
    double start = NowMs();
    std::memcpy(copy.data(), SourceSurface.bits, bytes);
    copyMs = std::min(copyMs, NowMs() - start);
    start = NowMs();
    MakeFrameInto(SourceSurface, &frame, std::uint32_t(round));
    frameMs = std::min(frameMs, NowMs() - start);
  }
  std::printf("frame on demand 4K: %.2f ms, plain copy %.2f ms\n", frameMs, copyMs);
  std::printf("frame on demand 4K / copy: %.2f\n", frameMs / copyMs);

  // A matrix pattern against the standard one, 1080p, N = 16; each the best
  // of several rounds, taken in turn.
  if (!LoadSourcePattern(TestPattern::kSquares, 1920, 1080)) return 1;
  DibSurface frame1080;
  if (!PrepareFrame(&frame1080, SourceSurface)) return 1;
  double best[2] = {1e30, 1e30};
  for (int round = 0; round < 18; ++round) {
    const int which = round % 2;
    SetPhasePattern(BuiltInPhasePattern(which ? PhasePatternKind::kBayer4 : PhasePatternKind::kStandard));
    if (!BuildLevelTables(16, 0)) return 1;
    const double start = NowMs();
    MakeFrameInto(SourceSurface, &frame1080, std::uint32_t(round));
    best[which] = std::min(best[which], NowMs() - start);
  }
  std::printf("frame on demand 1080p: standard %.2f ms, bayer4 %.2f ms\n", best[0], best[1]);
  std::printf("frame on demand 1080p bayer4 / standard: %.2f\n", best[1] / best[0]);
  return 0;
}

// Runs this program again with `arguments`, its output where this one's goes.
void RunChild(const std::wstring& arguments) {
  std::fflush(stdout);
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring line = L"\"" + std::wstring(self) + L"\" " + arguments;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
    std::printf("cannot run %s\n", Utf8Text(arguments).c_str());
    return;
  }
  if (WaitForSingleObject(process.hProcess, 180000) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 1);
    std::printf("%s: did not finish\n", Utf8Text(arguments).c_str());
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

}  // namespace

int main() {
  AppInstance = GetModuleHandleW(nullptr);
  SetUiThread();
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  const std::wstring what = argv && argc > 1 ? argv[1] : L"";
  if (what == L"1080p") return ChangeAndPlay(1920, 1080, "1080p");
  if (what == L"4K") return ChangeAndPlay(3840, 2160, "4K");
  if (what == L"8K") return ChangeAndPlay(7680, 4320, "8K");
  if (what == L"fast") return NotReady(1920, 1080, 240, L"0.0041667", "1/240 s, 1080p");
  if (what == L"4K60") return NotReady(3840, 2160, 60, L"0.0166667", "1/60 s, 4K");
  if (what == L"demand") return FrameOnDemand();
  for (const wchar_t* child : {L"demand", L"1080p", L"4K", L"8K", L"fast", L"4K60"}) RunChild(child);
  return 0;
}
