// Benchmark of locked playback, the main window in this process with a
// 1920 x 1080 picture:
//   - how long after its vblank each frame change is drawn, with the
//     simulated 60 Hz source, against the bare source's own wake lateness;
//   - the processor time while playing at 1/60 s locked, against the frame
//     clock's (the timer mode) in the same run;
//   - what the audit counts at 1/240 s with the simulated 240 Hz source (the
//     clock benchmark gives the timer's skipped frames there).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/globals.h"
#include "app/main_window.h"
#include "present/presentation.h"
#include "app/window_state.h"
#include "frc/engine_state.h"
#include "present/vblank_source.h"
#include "tests/gui/gui_test_support.h"
#include "views/image_view.h"

namespace {

double Percentile(std::vector<double> values, int percent) {
  if (values.empty()) return -1;
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, values.size() * size_t(percent) / 100)];
}

unsigned Gradient(int x, int y) {
  return unsigned(x * 255 / 1919) << 16 | unsigned(y * 255 / 1079) << 8 | unsigned((x + y) & 0xFF);
}

struct Playing {
  bool locked;
  double cpuPercent;
  std::vector<double> latencies;
  PresentationFigures figures;
};

// Plays N = 4 at `duration` for `seconds`, locked to `simulated` or, when it
// is null, with the timer.
Playing Play(const std::wstring& directory, const std::wstring& image, const SimulatedSourceOption* simulated,
             const wchar_t* duration, double seconds) {
  const std::wstring ini = directory + L"\\settings.ini";
  WritePrivateProfileStringW(L"Settings", L"FRCCount", L"4", ini.c_str());
  WritePrivateProfileStringW(L"Settings", L"FRCDuration", duration, ini.c_str());
  WritePrivateProfileStringW(L"Settings", L"ShowOriginal", L"0", ini.c_str());
  WritePrivateProfileStringW(L"Settings", L"Presentation", simulated ? L"vsync" : L"timer", ini.c_str());
  SetPresentationOptions(simulated, nullptr);
  Playing result = {};
  if (!CreateMainWindow()) return result;
  SetWindowPos(MainWindow, nullptr, 0, 0, 1280, 1000, SWP_NOZORDER);
  OpenImage(image);
  PostSettingsChanged();
  PumpUntil([] { return false; }, 1500);
  result.locked = PresentationLocked();
  const ULONGLONG cpuBefore = ProcessCpu100ns();
  const ULONGLONG wallBefore = GetTickCount64();
  PumpUntil([] { return false; }, static_cast<DWORD>(seconds * 1000));
  result.cpuPercent = 100.0 * double(ProcessCpu100ns() - cpuBefore) / 10000.0 / double(GetTickCount64() - wallBefore);
  result.latencies = PresentationLatencies();
  result.figures = PresentationTotals();
  DestroyWindow(MainWindow);
  PumpUntil([] { return false; }, 100);
  MainWindow = ControlBar = FrcView = OriginalView = nullptr;
  ResetWindowState();
  ReleaseEngineState();
  SetPresentationOptions(nullptr, nullptr);
  return result;
}

// The bare simulated source's wake lateness after each vblank, in ms.
std::vector<double> BareWakes(const SimulatedSourceOption& simulated, double seconds) {
  VblankSource source;
  std::wstring report;
  std::vector<double> lateness;
  if (!OpenVblankSource(&source, nullptr, simulated.rate, &simulated, &report)) return lateness;
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
  const ULONGLONG until = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
  std::uint64_t vblank = 0;
  std::int64_t counter = 0;
  while (GetTickCount64() < until && WaitForNextVblank(&source, &vblank, &counter))
    lateness.push_back(double(counter - VblankCounter(source, vblank)) * 1000.0 / double(source.frequency));
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL);
  CloseVblankSource(&source);
  return lateness;
}

}  // namespace

int main() {
  AppInstance = GetModuleHandleW(nullptr);
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring directory = std::wstring(temp) + L"quillane-present-bench";
  CreateDirectoryW(directory.c_str(), nullptr);
  ModuleDirectory = directory;
  const std::wstring image = directory + L"\\picture-1080p.bmp";
  if (!WriteBmpFile(image, 1920, 1080, Gradient)) return 1;

  const SimulatedSourceOption at60 = {{60, 1}, 0};
  const std::vector<double> bare = BareWakes(at60, 5);
  const Playing locked = Play(directory, image, &at60, L"0.0166667", 10);
  const Playing timer = Play(directory, image, nullptr, L"0.0166667", 10);
  if (!locked.locked) std::printf("locked playback did not start\n");
  const double latency = Percentile(locked.latencies, 99), bareLatency = Percentile(bare, 99);
  std::printf("present latency after vblank p99, simulated 60 Hz: %.3f ms, median %.3f ms, %zu changes "
              "(the bare source's wake p99 %.3f ms: ratio %.2f)\n",
              latency, Percentile(locked.latencies, 50), locked.latencies.size(), bareLatency,
              bareLatency > 0 ? latency / bareLatency : 0.0);
  std::printf("cpu playing 1/60: locked to the simulated 60 Hz %.1f %% of one core, timer %.1f %% (ratio %.2f)\n",
              locked.cpuPercent, timer.cpuPercent, timer.cpuPercent > 0 ? locked.cpuPercent / timer.cpuPercent : 0.0);

  const SimulatedSourceOption at240 = {{240, 1}, 0};
  const Playing fast = Play(directory, image, &at240, L"0.0041667", 4);
  const PresentationFigures& f = fast.figures;
  std::printf("frames missed at 1/240 s, simulated 240 Hz: %llu in %llu refreshes (doubled %llu, late wakes %llu)\n",
              static_cast<unsigned long long>(f.missed), static_cast<unsigned long long>(f.refreshes),
              static_cast<unsigned long long>(f.doubled), static_cast<unsigned long long>(f.lateWakes));

  DeleteFileW(image.c_str());
  DeleteFileW((directory + L"\\settings.ini").c_str());
  RemoveDirectoryW(directory.c_str());
  return 0;
}
