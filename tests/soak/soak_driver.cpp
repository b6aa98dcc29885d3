// The soak run: the real main window, in this process, plays a picture locked
// to the simulated 240 Hz source for the given minutes while every 2 s it
// rebuilds with another interval, zooms, scrolls and pauses or resumes. It
// prints the process's handles, GDI objects and private bytes at the start and
// at the end, and the audit's figures. Not a test: scripts/soak.sh runs it.
//
// Beside it, a thread waits on a bare source of its own: the late wakes it
// counts are the machine's, which the program's figures are read against. The
// presentation log says when each frame held too long was let go, to be set
// against that thread's late wakes.
//
//   quillane_soak.exe MINUTES
#include <windows.h>
#include <gdiplus.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "app/globals.h"
#include "app/main_window.h"
#include "app/playback.h"
#include "base/utf8_text.h"
#include "present/presentation.h"
#include "app/resource_ids.h"
#include "app/status_bar.h"
#include "frc/engine_state.h"
#include "present/vblank_source.h"
#include "tests/gui/gui_test_support.h"
#include "tests/support/win_test_support.h"
#include "views/image_view.h"

namespace {

constexpr DWORD kStepMs = 2000;
const wchar_t* const kIntervals[] = {L"4", L"16", L"7", L"64", L"2", L"255", L"9"};

unsigned Ramp(int x, int y) { return unsigned(x & 0xFF) << 16 | unsigned((x + y) & 0xFF) << 8 | unsigned(y & 0xFF); }

void PrintResources(const char* when) {
  PROCESS_MEMORY_COUNTERS_EX memory = {};
  memory.cb = sizeof memory;
  K32GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
  // Wine leaves PrivateUsage 0; the commit charge is the same figure there.
  const double bytes = static_cast<double>(memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage);
  std::printf("%s: handles %d, GDI objects %d (regions %d), private bytes %.0f\n", when, KernelHandleCount(),
              GdiObjectCount(), GdiObjectCountOfType(OBJ_REGION), bytes);
  std::fflush(stdout);
}

void Command(int id, int notification) {
  SendMessageW(MainWindow, WM_COMMAND, MAKEWPARAM(id, notification), 0);
}

// A thread that waits on a bare simulated source of its own beside the
// program, at the presentation thread's priority, and counts the wakes more
// than a refresh late: the ones the machine caused, as this thread neither
// draws nor takes a lock.
struct BareSourceWatch {
  std::atomic<bool> stop{false};
  std::uint64_t refreshes = 0, late = 0;
  std::vector<std::int64_t> lateAt;  // the counter at each late wake
  std::thread thread;

  void Start(SimulatedSourceOption simulated) {
    thread = std::thread([this, simulated] {
      VblankSource source;
      std::wstring report;
      OpenVblankSource(&source, nullptr, simulated.rate, &simulated, &report);
      SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
      std::uint64_t vblank = 0, last = 0;
      std::int64_t counter = 0;
      while (!stop && WaitForNextVblank(&source, &vblank, &counter)) {
        if (last != 0) {
          refreshes += vblank - last;
          if (vblank - last > 1) {
            ++late;
            lateAt.push_back(counter);
          }
        }
        last = vblank;
      }
      CloseVblankSource(&source);
    });
  }

  void Finish() {
    stop = true;
    thread.join();
  }
};

// Reads the presentation log and counts the frames held longer than their
// refreshes, and how many of them were let go within 10 ms of a late wake of
// the bare thread: when both are late together, the machine ran neither.
void PrintDoubledAgainstWatch(const std::wstring& logPath, const std::vector<std::int64_t>& watchLate,
                              RefreshRate rate) {
  FILE* log = _wfopen(logPath.c_str(), L"r");
  if (!log) return;
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  const std::int64_t period = frequency.QuadPart * rate.denominator / rate.numerator;
  const std::int64_t slack = frequency.QuadPart / 100;
  unsigned doubled = 0, together = 0;
  char line[128];
  while (std::fgets(line, sizeof line, log)) {
    unsigned frame = 0, exact = 1;
    unsigned long long vblank = 0, held = 0;
    long long counter = 0;
    if (std::sscanf(line, "%u,%llu,%lld,%llu,%u", &frame, &vblank, &counter, &held, &exact) != 5 || exact) continue;
    ++doubled;
    // The wake that came late was due one refresh after the frame went up.
    const std::int64_t due = counter + period;
    const auto after = std::lower_bound(watchLate.begin(), watchLate.end(), due - slack);
    if (after != watchLate.end() && *after <= due + static_cast<std::int64_t>(held) * period + slack) ++together;
  }
  std::fclose(log);
  std::printf("frames held too long %u, of them within 10 ms of a late wake of the bare thread %u\n", doubled,
              together);
}

}  // namespace

int main(int argc, char** argv) {
  const double minutes = argc > 1 ? std::atof(argv[1]) : 1.0;
  Gdiplus::GdiplusStartupInput gdiplusInput;
  ULONG_PTR gdiplusToken = 0;
  if (Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr) != Gdiplus::Ok) return 2;
  AppInstance = GetModuleHandleW(nullptr);
  TempDirectory directory;
  ModuleDirectory = directory.Path();
  const std::wstring picture = directory.File(L"soak.bmp");
  if (!WriteBmpFile(picture, 640, 480, Ramp)) return 2;
  const SimulatedSourceOption simulated = {{240, 1}, 0};
  const std::wstring logPath = directory.File(L"presentation.csv");
  SetPresentationOptions(&simulated, logPath.c_str());
  WritePrivateProfileStringW(L"Settings", L"FRCDuration", L"0.0041667", (directory.Path() + L"\\settings.ini").c_str());
  if (!CreateMainWindow() || !OpenImage(picture)) return 3;
  PostSettingsChanged();
  PumpUntil([] { return false; }, 1000);
  PrintResources("start");
  BareSourceWatch watch;
  watch.Start(simulated);

  const DWORD end = GetTickCount() + static_cast<DWORD>(minutes * 60000);
  unsigned step = 0;
  while (static_cast<int>(end - GetTickCount()) > 0) {
    SetDlgItemTextW(ControlBar, kIdInterval, kIntervals[step % (sizeof kIntervals / sizeof kIntervals[0])]);
    Command(kIdInterval, CBN_EDITCHANGE);
    Command(step % 4 < 2 ? kIdZoomIn : kIdZoomOut, kFromKeyboardTable);
    SendMessageW(FrcView, WM_HSCROLL, SB_LINEDOWN, 0);
    SendMessageW(FrcView, WM_VSCROLL, step % 2 ? SB_LINEUP : SB_LINEDOWN, 0);
    // Paused for one step in five, stepping once.
    if (step % 5 == 3 || step % 5 == 4) Command(kIdPause, kFromKeyboardTable);
    if (step % 5 == 3) Command(kIdNextFrame, kFromKeyboardTable);
    PumpUntil([] { return false; }, kStepMs);
    ++step;
    // Each round of intervals back at the first: what grows from round to
    // round is a leak, what grew once is the system's own warming up.
    if (step % (sizeof kIntervals / sizeof kIntervals[0]) == 0) PrintResources("round");
  }
  // Back to the start's interval, zoom and play, so that the figures compare.
  if (PlaybackPaused()) Command(kIdPause, kFromKeyboardTable);
  Command(kIdZoomReset, kFromKeyboardTable);
  SetDlgItemTextW(ControlBar, kIdInterval, kIntervals[0]);
  Command(kIdInterval, CBN_EDITCHANGE);
  PumpUntil([] { return false; }, 1000);
  PrintResources("end");
  watch.Finish();
  const PresentationFigures total = PresentationTotals();
  std::printf("steps %u: %s\nrefreshes %.0f, doubled %.0f, missed %.0f, late wakes %.0f\n", step,
              Utf8Text(StatusText(3)).c_str(), static_cast<double>(total.refreshes), static_cast<double>(total.doubled),
              static_cast<double>(total.missed), static_cast<double>(total.lateWakes));
  std::printf("bare source beside the program: refreshes %.0f, late wakes %.0f\n",
              static_cast<double>(watch.refreshes), static_cast<double>(watch.late));
  // A draw that outlasts a refresh makes the next wake late by itself; a late
  // wake with short draws around it is the machine's.
  std::vector<double> latencies = PresentationLatencies();
  if (!latencies.empty()) {
    std::sort(latencies.begin(), latencies.end());
    const double refreshMs = 1000.0 * simulated.rate.denominator / simulated.rate.numerator;
    const size_t over = static_cast<size_t>(
        latencies.end() - std::upper_bound(latencies.begin(), latencies.end(), refreshMs));
    std::printf("vblank to drawn, last %zu changes: median %.2f ms, p99 %.2f ms, max %.2f ms, over a refresh %zu\n",
                latencies.size(), latencies[latencies.size() / 2], latencies[latencies.size() * 99 / 100],
                latencies.back(), over);
  }
  SendMessageW(MainWindow, WM_CLOSE, 0, 0);
  PumpPending();
  PrintDoubledAgainstWatch(logPath, watch.lateAt, simulated.rate);
  Gdiplus::GdiplusShutdown(gdiplusToken);
  return 0;
}
