// Locked playback: see presentation.h.
//
// Threading. The source, the mode, the log file and the options are written by
// the user-interface thread only while the presentation thread is not running;
// the thread reads them. While it runs, the two share only atomics (stopping,
// schedule, held, requestPosted) and the published figures and path line
// under figuresLock. The thread writes CurrentFrame through SetCurrentFrame.
//
// Where it can, the thread presents through a flip-model swap chain
// (views/flip_chain.h) and reads what reached the screen from its present
// statistics; otherwise, or once the chain fails or gives no statistics, it
// draws into the view with GDI for the rest of the run.
//
// The audit's figures: refreshes and late wakes always come from the vblank
// source. Doubled and missed frames come from the chain's statistics (each
// present judged by views/present_timeline.h) while the chain has given
// statistics; before that, and on the GDI path, from the vblank count, as the
// frame the source says is due is taken to be the one on screen.
#include "app/presentation.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "app/globals.h"
#include "frc/engine_state.h"
#include "frc/frame_clock.h"
#include "frc/vblank_source.h"
#include "views/flip_chain.h"
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
std::atomic<bool> running{false};  // cleared by the thread as it ends

// The lock's state and the frame set it was started for.
struct PresentationSchedule : PresentationLock {
  const DibSurface* frames;
};

std::mutex figuresLock;
PresentationFigures shownFigures = {};  // guarded by figuresLock
LockTiming shownTiming = {1, 0, true, false};  // guarded by figuresLock
std::wstring pathLine;  // guarded by figuresLock: how the thread presents
// Guarded by figuresLock: the latest frame changes' latencies after their
// vblank, a ring once full; latencyCount counts every one since the start.
std::vector<double> latencies;
size_t latencyCount = 0;

// Set by the presentation thread when this display gives no usable chain (none
// can be made, or it has no statistics); cleared when the display is looked at
// afresh. Later runs of the thread (after a pause, a rebuild) then go straight
// to GDI instead of paying for a chain again each time.
std::atomic<bool> chainRefused{false};

// Presents without statistics after this many reads that had none to give,
// as if they were unavailable.
constexpr int kMaxPendingReads = 120;

// The thread's presentation path: a flip chain, or GDI when chain is null.
struct ChainPath {
  FlipChain* chain;
  bool tried;  // OpenChain has decided the path
  int width, height;
  bool drawn;              // the back buffer holds a frame not yet presented
  bool failed;             // the back buffer gave no DC
  bool counts;             // statistics have been read: doubled and missed are the chain's
  int pendingReads;
  PresentJudge judge;
  std::uint64_t lockDoubled, lockMissed;  // the lock's totals at the last wake
  PresentationFigures figures;            // what the status bar shows
};

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

void SetPathLine(const std::wstring& line) {
  {
    std::lock_guard<std::mutex> guard(figuresLock);
    if (pathLine == line) return;
    pathLine = line;
  }
  WriteLog("# " + Utf8(line) + "\n");
}

// Makes a chain for FrcView's client area once it has one; on failure the
// path stays GDI.
void OpenChain(ChainPath* path) {
  RECT client = {};
  if (FrcView && GetClientRect(FrcView, &client) && (client.right <= 0 || client.bottom <= 0)) return;
  path->tried = true;
  if (!FrcView || chainRefused) return;
  path->chain = CreateFlipChain(FrcView, client.right, client.bottom);
  if (!path->chain) {
    chainRefused = true;
    SetPathLine(L"表示: GDI（フリップ チェーンを作れない）");
    return;
  }
  // A system without statistics says so before anything is presented.
  PresentStatistics probe;
  if (ReadFlipChainStatistics(path->chain, &probe) == StatisticsRead::kUnavailable) {
    DestroyFlipChain(path->chain);
    path->chain = nullptr;
    chainRefused = true;
    SetPathLine(L"表示: GDI（表示の統計が得られない）");
    return;
  }
  path->width = client.right;
  path->height = client.bottom;
  SetPathLine(L"表示: フリップ チェーン（統計待ち）");
}

// Drops the chain until the display is looked at afresh; GDI draws the whole view again.
void FallBackToGdi(ChainPath* path, const wchar_t* why, std::uint32_t* drawnFrame) {
  chainRefused = true;
  DestroyFlipChain(path->chain);
  path->chain = nullptr;
  path->counts = false;
  path->drawn = path->failed = false;
  *drawnFrame = ~0u;  // GDI draws the whole view on the next wake
  SetPathLine(std::wstring(L"表示: GDI（") + why + L"）");
}

// Follows the view's client size; a size of nothing is left alone.
void FollowViewSize(ChainPath* path, std::uint32_t* drawnFrame) {
  RECT client = {};
  if (!FrcView || !GetClientRect(FrcView, &client) || client.right <= 0 || client.bottom <= 0) return;
  if (client.right == path->width && client.bottom == path->height) return;
  if (!ResizeFlipChain(path->chain, client.right, client.bottom)) {
    FallBackToGdi(path, L"サイズを変えられない", drawnFrame);
    return;
  }
  path->width = client.right;
  path->height = client.bottom;
  *drawnFrame = ~0u;  // the new buffers are empty
}

// Draws what FrcView shows now: into the chain's back buffer, presented after
// FrameSetLock is released, or into the view. The caller holds FrameSetLock.
// Returns 1, or 0 when no DC could be had.
int Draw(ChainPath* path) {
  if (path->chain) {
    HDC dc = TakeFlipChainDc(path->chain);
    if (!dc) {
      path->failed = true;
      return 0;
    }
    DrawFrcViewPicture(dc);
    ReleaseFlipChainDc(path->chain);
    path->drawn = true;
    return 1;
  }
  HWND view = FrcView;
  if (!view) return 0;
  // A DC of this thread's own, from the cache. GetDC would give the view
  // class's one DC, which the window's thread also gets for its paints: two
  // threads drawing through one DC lose each other's drawing, and the state
  // set in it (the scrolled origin) would leak into the other's.
  HDC dc = GetDCEx(view, nullptr, DCX_CACHE);
  if (!dc) return 0;
  DrawFrcViewPicture(dc);
  ReleaseDC(view, dc);
  return 1;
}

// Presents the frame drawn into the back buffer and judges, from the chain's
// statistics, the presents that have left the screen since the last reading.
// scheduled: the present is a change of the schedule playing (not a step, a
// repaint or the first frame of a schedule), so it can be judged against k.
void PresentDrawn(ChainPath* path, bool scheduled, std::uint32_t refreshesPerFrame, std::uint32_t* drawnFrame) {
  path->drawn = false;
  if (!PresentFlipChain(path->chain)) {
    FallBackToGdi(path, L"表示に失敗", drawnFrame);
    return;
  }
  PresentStatistics reading;
  const StatisticsRead read = ReadFlipChainStatistics(path->chain, &reading);
  if (read == StatisticsRead::kUnavailable ||
      (read == StatisticsRead::kNotYet && ++path->pendingReads > kMaxPendingReads)) {
    FallBackToGdi(path, L"表示の統計が得られない", drawnFrame);
    return;
  }
  if (read == StatisticsRead::kRead) {
    if (!path->counts) SetPathLine(L"表示: フリップ チェーン（統計あり）");
    path->counts = true;
    path->pendingReads = 0;
  }
  PresentTally tally = {};
  JudgePresent(&path->judge, scheduled, read == StatisticsRead::kRead ? &reading : nullptr, refreshesPerFrame,
               &tally);
  path->figures.doubled += tally.doubled;
  path->figures.missed += tally.missed;
}

// latencyMs: how long after the vblank the frame it changed was drawn, or
// negative when this wake changed none.
void Publish(const PresentationSchedule& lock, const LockTiming& timing, double latencyMs, ChainPath* path) {
  path->figures.refreshes = lock.total.refreshes;
  path->figures.lateWakes = lock.total.lateWakes;
  if (!path->counts) {
    path->figures.doubled += lock.total.doubled - path->lockDoubled;
    path->figures.missed += lock.total.missed - path->lockMissed;
  }
  path->lockDoubled = lock.total.doubled;
  path->lockMissed = lock.total.missed;
  std::lock_guard<std::mutex> guard(figuresLock);
  shownFigures = path->figures;
  shownTiming = timing;
  if (latencyMs >= 0) {
    if (latencies.size() < kPresentationLatencySamples) latencies.push_back(latencyMs);
    else latencies[latencyCount % kPresentationLatencySamples] = latencyMs;
    ++latencyCount;
  }
}

// One wake: restart or advance the schedule, change and draw the frame, all
// under FrameSetLock. Returns true when frames are changing; *scheduled is set
// when the schedule changed the frame (left alone otherwise).
bool Present(PresentationSchedule* lock, std::uint64_t vblank, std::int64_t counter, std::uint32_t* seenSchedule,
             std::uint32_t* drawnFrame, std::int64_t* shownCounter, LockTiming* timing, ChainPath* path,
             bool* scheduled) {
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
    *scheduled = step.change;
  }
  const std::uint32_t frame = CurrentFrame;
  const bool repaint = TakeFrcViewRepaint();
  if (FrameSet && (frame != *drawnFrame || repaint)) {
    if (Draw(path)) *drawnFrame = frame;
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
  ChainPath path = {};
  // A wake late by more than a refresh shows a frame twice: this thread
  // sleeps nearly all the time, so it may go ahead of the rest.
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
  // From here this thread draws the view, and the view's paints come here.
  SetFrcViewPresentedElsewhere(true);
  while (!stopping) {
    std::uint64_t vblank = 0;
    std::int64_t counter = 0;
    if (!WaitForNextVblank(&source, &vblank, &counter)) {
      // Without vblanks the view is still drawn when it asks.
      if (!path.chain && TakeFrcViewRepaint()) {
        std::lock_guard<std::mutex> guard(FrameSetLock());
        Draw(&path);
      }
      Sleep(kRetryMs);
      continue;
    }
    if (!path.tried) {
      OpenChain(&path);
      if (path.tried) {
        // Making the chain takes a while: the schedule starts afresh on the
        // next vblank instead of judging the wait.
        seenSchedule = ~0u;
        drawnFrame = ~0u;
        continue;
      }
    }
    const bool chained = path.chain != nullptr;
    if (path.chain) FollowViewSize(&path, &drawnFrame);
    LockTiming timing;
    bool scheduled = false;
    const bool playing =
        Present(&lock, vblank, counter, &seenSchedule, &drawnFrame, &shownCounter, &timing, &path, &scheduled);
    if (path.failed) FallBackToGdi(&path, L"表示に失敗", &drawnFrame);
    if (path.chain && path.drawn) PresentDrawn(&path, playing && scheduled, timing.refreshesPerFrame, &drawnFrame);
    if (chained && !path.chain) seenSchedule = ~0u;  // GDI from here: start afresh
    double latencyMs = -1;
    if (playing && scheduled && source.frequency > 0) {
      LARGE_INTEGER now;
      QueryPerformanceCounter(&now);
      latencyMs = static_cast<double>(now.QuadPart - VblankCounter(source, vblank)) * 1000.0 /
                  static_cast<double>(source.frequency);
    }
    Publish(lock, timing, latencyMs, &path);
    const ULONGLONG now = GetTickCount64();
    if (playing && now - lastRequest >= kRequestIntervalMs && !requestPosted.exchange(true)) {
      lastRequest = now;
      PostMessageW(targetWindow, WM_USER, kRequestPresentation, 0);
    }
  }
  if (path.chain) DestroyFlipChain(path.chain);
  SetFrcViewPresentedElsewhere(false);
  if (FrcView) InvalidateRect(FrcView, nullptr, FALSE);
  if (logFile) std::fflush(logFile);
  running = false;
}

bool WantsThread() { return mode == PresentationMode::kVsync && source.kind != VblankKind::kNone; }

void StopThread() {
  // DXGI may send messages to the view while the thread ends its chain: take
  // them until it has ended. One of them may stop and start the thread
  // itself, so this goes on until none runs.
  while (presenter.joinable()) {
    while (running) {
      stopping = true;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, kRetryMs, QS_SENDMESSAGE);
      MSG message;
      PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    if (presenter.joinable() && !running) {
      presenter.join();
      stopping = false;
    }
  }
}

void StartThread() {
  StopThread();
  requestPosted = false;
  {
    std::lock_guard<std::mutex> guard(figuresLock);
    shownFigures = PresentationFigures{};
    pathLine.clear();
    latencies.clear();
    latencyCount = 0;
  }
  ++schedule;
  running = true;
  try {
    presenter = std::thread(PresentationThread);
  } catch (const std::system_error&) {
    running = false;
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
  chainRefused = false;
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
  report.clear();
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
  if (!targetWindow && mode == PresentationMode::kVsync) return L"同期を確認中";
  if (!PresentationLocked()) return TimerStatusText();
  std::lock_guard<std::mutex> guard(figuresLock);
  return LockedStatusText(source.rate, shownTiming, shownFigures, source.kind == VblankKind::kSimulated);
}

PresentationFigures PresentationTotals() {
  std::lock_guard<std::mutex> guard(figuresLock);
  return shownFigures;
}

std::vector<double> PresentationLatencies() {
  std::lock_guard<std::mutex> guard(figuresLock);
  if (latencyCount <= latencies.size()) return latencies;
  const size_t oldest = latencyCount % kPresentationLatencySamples;
  std::vector<double> ordered(latencies.begin() + static_cast<std::ptrdiff_t>(oldest), latencies.end());
  ordered.insert(ordered.end(), latencies.begin(), latencies.begin() + static_cast<std::ptrdiff_t>(oldest));
  return ordered;
}

std::wstring PresentationReport() {
  std::lock_guard<std::mutex> guard(figuresLock);
  return pathLine.empty() ? report : report + pathLine + L"\n";
}

void PresentationRequestHandled() { requestPosted = false; }
