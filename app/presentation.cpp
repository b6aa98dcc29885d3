// Locked playback: see presentation.h.
//
// Threading. The source, the mode, the log file and the options are written by
// the user-interface thread only while the presentation thread is not running;
// the thread reads them. While it runs, the two share only atomics (stopping,
// schedule, held, requestPosted) and the published figures under
// figuresLock. The thread writes CurrentFrame through SetCurrentFrame.
#include "app/presentation.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <system_error>
#include <thread>

#include "app/globals.h"
#include "frc/engine_state.h"
#include "frc/frame_clock.h"
#include "frc/vblank_source.h"
#include "views/image_view.h"

namespace {

constexpr ULONGLONG kRequestIntervalMs = 100;
// After a failed wait: about one refresh before the next try.
constexpr DWORD kRetryMs = 16;

PresentationMode mode = PresentationMode::kVsync;
SimulatedSourceOption simulatedOption = {};
bool simulatedAsked = false;
std::wstring logPath;
FILE* logFile = nullptr;  // written by the thread while it runs

VblankSource source = {};
std::wstring report;
HMONITOR sourceMonitor = nullptr;
HWND targetWindow = nullptr;

std::thread presenter;
std::atomic<bool> stopping{false};
std::atomic<std::uint32_t> schedule{0};  // bumped for every restart
std::atomic<bool> held{false};
std::atomic<bool> requestPosted{false};

// The lock's state and the frame set it was started for.
struct PresentationSchedule : PresentationLock {
  const DibSurface* frames;
};

std::mutex figuresLock;
PresentationFigures shownFigures = {};  // guarded by figuresLock
LockTiming shownTiming = {1, 0, true, false};  // guarded by figuresLock

void WriteLog(const std::string& text) {
  if (logFile) std::fwrite(text.data(), 1, text.size(), logFile);
}

std::string Utf8(const std::wstring& text) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (length <= 1) return std::string();
  std::string bytes(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &bytes[0], length, nullptr, nullptr);
  bytes.resize(static_cast<size_t>(length - 1));
  return bytes;
}

void Draw() {
  HWND view = FrcView;
  if (!view) return;
  HDC dc = GetDC(view);
  if (!dc) return;
  DrawFrcViewPicture(dc);
  ReleaseDC(view, dc);
}

void Publish(const PresentationSchedule& lock, const LockTiming& timing) {
  std::lock_guard<std::mutex> guard(figuresLock);
  shownFigures = lock.total;
  shownTiming = timing;
}

// One wake: restart or advance the schedule, change and draw the frame, all
// under FrameSetLock. Returns true when frames are changing.
bool Present(PresentationSchedule* lock, std::uint64_t vblank, std::int64_t counter, std::uint32_t* seenSchedule,
             std::uint32_t* drawnFrame, std::int64_t* shownCounter, LockTiming* timing) {
  std::unique_lock<std::mutex> guard(FrameSetLock(), std::try_to_lock);
  if (!guard.owns_lock()) {
    guard.lock();
    // Waited out a rebuild: the vblank number is stale, so this wake neither
    // starts nor judges anything, and the next one starts the schedule
    // afresh, as the rebuild restarts it anyway. A wait on anything else (a
    // long paint of the view) is a real delay and is judged as such.
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const bool rebuilt = FrameSet != lock->frames || FrcCount != lock->interval;
    if (rebuilt && source.period > 0 && now.QuadPart - counter > source.period / 2) {
      lock->frames = FrameSet;
      *seenSchedule = ~0u;
      *timing = ComputeLockTiming(FrameDuration, source.rate);
      return false;
    }
  }
  const std::uint32_t interval = FrcCount;
  const std::uint32_t frameDuration = FrameDuration;
  const std::uint32_t wanted = schedule;
  const bool playing = !held && frameDuration != 0 && FrameSet && interval != 0;
  *timing = ComputeLockTiming(frameDuration, source.rate);
  if (wanted != *seenSchedule || timing->refreshesPerFrame != lock->refreshesPerFrame ||
      interval != lock->interval || FrameSet != lock->frames) {
    lock->frames = FrameSet;
    StartPresentationLock(lock, vblank, CurrentFrame, timing->refreshesPerFrame, interval);
    *seenSchedule = wanted;
    *drawnFrame = ~0u;  // new frames, or none drawn yet
    *shownCounter = counter;
  } else if (playing) {
    const LockStep step = AdvancePresentationLock(lock, vblank);
    if (step.judged) {
      WriteLog(PresentationLogRow(step.judgedFrame, step.judgedSince, *shownCounter, step.judgedHeld,
                                  lock->refreshesPerFrame));
      *shownCounter = counter;
    }
    if (step.change) SetCurrentFrame(step.frame);
  }
  const std::uint32_t frame = CurrentFrame;
  if (FrameSet && frame != *drawnFrame) {
    Draw();
    *drawnFrame = frame;
  }
  return playing;
}

void PresentationThread() {
  PresentationSchedule lock = {};
  ResetPresentationAudit(&lock);
  std::uint32_t seenSchedule = ~0u;
  std::uint32_t drawnFrame = ~0u;
  std::int64_t shownCounter = 0;
  ULONGLONG lastRequest = 0;
  while (!stopping) {
    std::uint64_t vblank = 0;
    std::int64_t counter = 0;
    if (!WaitForNextVblank(&source, &vblank, &counter)) {
      Sleep(kRetryMs);
      continue;
    }
    LockTiming timing;
    const bool playing = Present(&lock, vblank, counter, &seenSchedule, &drawnFrame, &shownCounter, &timing);
    Publish(lock, timing);
    const ULONGLONG now = GetTickCount64();
    if (playing && now - lastRequest >= kRequestIntervalMs && !requestPosted.exchange(true)) {
      lastRequest = now;
      PostMessageW(targetWindow, WM_USER, kRequestPresentation, 0);
    }
  }
  if (logFile) std::fflush(logFile);
}

bool WantsThread() { return mode == PresentationMode::kVsync && source.kind != VblankKind::kNone; }

void StopThread() {
  if (!presenter.joinable()) return;
  stopping = true;
  presenter.join();
  stopping = false;
}

void StartThread() {
  StopThread();
  requestPosted = false;
  {
    std::lock_guard<std::mutex> guard(figuresLock);
    shownFigures = PresentationFigures{};
  }
  ++schedule;
  try {
    presenter = std::thread(PresentationThread);
  } catch (const std::system_error&) {
    // No thread: the timer changes the frames instead.
  }
}

}  // namespace

void SetPresentationOptions(const SimulatedSourceOption* simulated, const wchar_t* path) {
  simulatedAsked = simulated != nullptr;
  if (simulated) {
    simulatedOption = *simulated;
    mode = PresentationMode::kVsync;
  }
  logPath = path ? path : L"";
}

void SetPresentationMode(PresentationMode chosen) { mode = simulatedAsked ? PresentationMode::kVsync : chosen; }

PresentationMode CurrentPresentationMode() { return mode; }

void OpenPresentation(HWND window) {
  StopThread();
  CloseVblankSource(&source);
  targetWindow = window;
  sourceMonitor = MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
  const RefreshRate rate = MonitorRefreshRate(window);
  OpenVblankSource(&source, window, rate, simulatedAsked ? &simulatedOption : nullptr, &report);
  report = L"画面の更新頻度: " + (rate.numerator ? RefreshRateText(rate) + L" Hz" : std::wstring(L"不明")) + L"\n" +
           report;
  if (!logFile && !logPath.empty()) {
    logFile = _wfopen(logPath.c_str(), L"wb");
    if (logFile) {
      std::string comment = "# " + Utf8(report);
      for (size_t at = comment.find('\n'); at != std::string::npos && at + 1 < comment.size();
           at = comment.find('\n', at + 1))
        comment.insert(at + 1, "# ");
      WriteLog(comment);
      WriteLog(kPresentationLogHeader);
    }
  }
  if (WantsThread()) {
    StopFrameClock();
    StartThread();
  }
}

bool PresentationMonitorChanged(HWND window) {
  return targetWindow && MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST) != sourceMonitor;
}

void ClosePresentation() {
  StopThread();
  CloseVblankSource(&source);
  if (logFile) std::fclose(logFile);
  logFile = nullptr;
  targetWindow = nullptr;
}

bool PresentationLocked() { return WantsThread() && presenter.joinable(); }

void RestartPresentation(bool hold) {
  held = hold;
  ++schedule;
}

void SwitchPresentationMode(HWND window, bool hold) {
  mode = mode == PresentationMode::kVsync ? PresentationMode::kTimer : PresentationMode::kVsync;
  held = hold;
  HMENU menu = GetSystemMenu(window, FALSE);
  if (menu)
    CheckMenuItem(menu, kIdPresentationSync,
                  MF_BYCOMMAND | (mode == PresentationMode::kVsync ? MF_CHECKED : MF_UNCHECKED));
  if (WantsThread()) {
    StopFrameClock();
    StartThread();
  } else {
    StopThread();
    if (!hold) StartFrameClock(window, WM_USER, kRequestFrameChanged);
  }
}

void AddPresentationToSystemMenu(HWND window) {
  HMENU menu = GetSystemMenu(window, FALSE);
  if (!menu) return;
  const UINT check = mode == PresentationMode::kVsync ? MF_CHECKED : MF_UNCHECKED;
  AppendMenuW(menu, MF_STRING | check, kIdPresentationSync, L"画面の更新に同期");
}

std::wstring PresentationStatusText() {
  if (!PresentationLocked()) return TimerStatusText();
  std::lock_guard<std::mutex> guard(figuresLock);
  return LockedStatusText(source.rate, shownTiming, shownFigures, source.kind == VblankKind::kSimulated);
}

PresentationFigures PresentationTotals() {
  std::lock_guard<std::mutex> guard(figuresLock);
  return shownFigures;
}

std::wstring PresentationReport() { return report; }

void PresentationRequestHandled() { requestPosted = false; }
