// Locked playback: see presentation.h.
//
// Threading. The state lives in four records, each with one owner:
//  - `ui`: touched by the user-interface thread only. It opens and closes the
//    vblank source and the log, and lends them to each run of the thread.
//  - `published`: what the thread publishes for the status bar and the
//    benchmarks, under its lock; the report is written there by the
//    user-interface thread.
//  - `signals`: single words that outlive every run: the schedule (written by
//    the user-interface thread), and two flags each set by one side and
//    cleared by the other.
//  - Run: one run of the thread, made by the user-interface thread. It holds
//    what the thread keeps from wake to wake (only the thread touches that)
//    and the word that stops it. The two threads hold it together; whichever
//    lets go last frees it. A run whose thread did not stop in time is
//    abandoned: it keeps the source and the log it was lent and closes them
//    itself if it ever ends, so that nothing is freed under it.
// The thread writes CurrentFrame through SetCurrentFrame.
//
// Where it can, the thread presents through a flip-model swap chain
// (present/flip_chain.h) and reads what reached the screen from its present
// statistics; otherwise, or once the chain fails or gives no statistics, it
// draws into the view with GDI for the rest of the run.
//
// The audit's figures: refreshes and late wakes always come from the vblank
// source. Doubled and missed frames come from the chain's statistics (each
// present judged by present/present_timeline.h) while the chain has given
// statistics; before that, and on the GDI path, from the vblank count, as the
// frame the source says is due is taken to be the one on screen.
#include "present/presentation.h"

#include <atomic>
#include <cstdio>
#include <vector>

#include "base/scoped_handle.h"
#include "base/threads.h"
#include "base/utf8_text.h"
#include "frc/engine_state.h"
#include "frc/frame_clock.h"
#include "present/flip_chain.h"
#include "present/present_timeline.h"
#include "present/vblank_source.h"
#include "views/image_view.h"
#include "base/thread_checks.h"

namespace {

constexpr ULONGLONG kRequestIntervalMs = 100;
// After a failed wait: about one refresh before the next try.
constexpr DWORD kRetryMs = 16;
// How long a stop waits for the thread. A wake does a frame's work at most,
// far less than this; a thread still in its wait after it is stuck there.
constexpr DWORD kStopLimitMs = 400;
// Presents without statistics after this many reads that had none to give,
// as if they were unavailable.
constexpr int kMaxPendingReads = 120;

struct Run;

// User-interface thread only.
struct UiState {
  PresentationMode mode = PresentationMode::kVsync;
  SimulatedSourceOption simulatedOption = {};
  bool simulatedAsked = false;
  std::wstring logPath;
  FILE* log = nullptr;              // lent to the runs; null when none is written
  VblankSource* source = nullptr;   // lent to the runs; null before the first open
  HMONITOR sourceMonitor = nullptr;
  PresentationTarget target = {};   // window null until OpenPresentation
  ScopedHandle thread;              // the running thread; empty when none runs
  Run* run = nullptr;               // its run
};
UiState ui;

// What the thread publishes; the report is written by the user-interface thread.
struct Published {
  Mutex lock;
  PresentationFigures figures GUARDED_BY(lock) = {};
  LockTiming timing GUARDED_BY(lock) = {1, 0, true, false};
  std::wstring pathLine GUARDED_BY(lock);  // how the thread presents
  std::wstring report GUARDED_BY(lock);    // the source chosen and why the others were not
  // The latest frame changes' latencies after their vblank, a ring once
  // full; latencyCount counts every one since the thread started.
  std::vector<double> latencies GUARDED_BY(lock);
  size_t latencyCount GUARDED_BY(lock) = 0;
};
Published published;

struct Signals {
  // (restarts << 1) | held: written by the user-interface thread, read by the
  // thread, which starts its schedule afresh whenever the word changes.
  std::atomic<std::uint32_t> schedule{0};
  // Set by the thread as it posts, cleared by the main window's answer.
  std::atomic<bool> requestPosted{false};
  // Set by the thread when this display gives no usable chain (none can be
  // made, or it has no statistics); cleared by the user-interface thread when
  // the display is looked at afresh. Later runs (after a pause, a rebuild)
  // then go straight to GDI instead of paying for a chain each time.
  std::atomic<bool> chainRefused{false};
};
Signals signals;

// The lock's state and the frame set it was started for.
struct PresentationSchedule : PresentationLock {
  const DibSurface* frames;
};

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

// What the thread keeps from wake to wake; only the thread touches it.
struct Wake {
  PresentationSchedule lock;
  std::uint32_t seenSchedule;  // the schedule word the lock was started for; ~0: none
  std::uint32_t drawnFrame;    // the frame last drawn; ~0: draw the whole view
  std::int64_t shownCounter;   // the counter when the frame on screen went up
  LockTiming timing;
  ULONGLONG lastRequest;
  ChainPath path;
};

struct Run {
  VblankSource* source;  // lent by ui
  FILE* log;             // lent by ui; may be null
  PresentationTarget target;
  std::atomic<bool> stopping{false};
  // Set by the user-interface thread when the thread did not stop in time:
  // the run then owns the source and the log, and the view is no longer its.
  std::atomic<bool> abandoned{false};
  std::atomic<int> holders{2};
  Wake wake = {};
};

// Lets go of run; the last to let go frees it, with what it owns.
void ReleaseRun(Run* run) {
  if (--run->holders != 0) return;
  if (run->abandoned) {
    CloseVblankSource(run->source);
    delete run->source;
    if (run->log) std::fclose(run->log);
  }
  delete run;
}

void WriteLog(Run* run, const std::string& text) {
  if (run->log) std::fwrite(text.data(), 1, text.size(), run->log);
}

void SetPathLine(Run* run, const std::wstring& line) {
  {
    MutexLock guard(published.lock);
    if (published.pathLine == line) return;
    published.pathLine = line;
  }
  // Rare, and read by whoever watches the log: out at once.
  WriteLog(run, "# " + Utf8Text(line) + "\n");
  if (run->log) std::fflush(run->log);
}

// Makes a chain for FrcView's client area once it has one; on failure the
// path stays GDI.
void OpenChain(Run* run) {
  ChainPath* path = &run->wake.path;
  RECT client = {};
  if (FrcView && GetClientRect(FrcView, &client) && (client.right <= 0 || client.bottom <= 0)) return;
  path->tried = true;
  if (!FrcView || signals.chainRefused) return;
  path->chain = CreateFlipChain(FrcView, client.right, client.bottom);
  if (!path->chain) {
    signals.chainRefused = true;
    SetPathLine(run, L"表示: GDI（フリップ チェーンを作れない）");
    return;
  }
  // A system without statistics says so before anything is presented.
  PresentStatistics probe;
  if (ReadFlipChainStatistics(path->chain, &probe) == StatisticsRead::kUnavailable) {
    DestroyFlipChain(path->chain);
    path->chain = nullptr;
    signals.chainRefused = true;
    SetPathLine(run, L"表示: GDI（表示の統計が得られない）");
    return;
  }
  path->width = client.right;
  path->height = client.bottom;
  SetPathLine(run, L"表示: フリップ チェーン（統計待ち）");
}

// Drops the chain until the display is looked at afresh; GDI draws the whole view again.
void FallBackToGdi(Run* run, const wchar_t* why) {
  ChainPath* path = &run->wake.path;
  signals.chainRefused = true;
  DestroyFlipChain(path->chain);
  path->chain = nullptr;
  path->counts = false;
  path->drawn = path->failed = false;
  run->wake.drawnFrame = ~0u;  // GDI draws the whole view on the next wake
  SetPathLine(run, std::wstring(L"表示: GDI（") + why + L"）");
}

// Follows the view's client size; a size of nothing is left alone.
void FollowViewSize(Run* run) {
  ChainPath* path = &run->wake.path;
  RECT client = {};
  if (!FrcView || !GetClientRect(FrcView, &client) || client.right <= 0 || client.bottom <= 0) return;
  if (client.right == path->width && client.bottom == path->height) return;
  if (!ResizeFlipChain(path->chain, client.right, client.bottom)) {
    FallBackToGdi(run, L"サイズを変えられない");
    return;
  }
  path->width = client.right;
  path->height = client.bottom;
  run->wake.drawnFrame = ~0u;  // the new buffers are empty
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
void PresentDrawn(Run* run, bool scheduled) {
  ChainPath* path = &run->wake.path;
  path->drawn = false;
  if (!PresentFlipChain(path->chain)) {
    FallBackToGdi(run, L"表示に失敗");
    return;
  }
  PresentStatistics reading;
  const StatisticsRead read = ReadFlipChainStatistics(path->chain, &reading);
  if (read == StatisticsRead::kUnavailable ||
      (read == StatisticsRead::kNotYet && ++path->pendingReads > kMaxPendingReads)) {
    FallBackToGdi(run, L"表示の統計が得られない");
    return;
  }
  if (read == StatisticsRead::kRead) {
    if (!path->counts) SetPathLine(run, L"表示: フリップ チェーン（統計あり）");
    path->counts = true;
    path->pendingReads = 0;
  }
  PresentTally tally = {};
  JudgePresent(&path->judge, scheduled, read == StatisticsRead::kRead ? &reading : nullptr,
               run->wake.timing.refreshesPerFrame, &tally);
  path->figures.doubled += tally.doubled;
  path->figures.missed += tally.missed;
}

// latencyMs: how long after the vblank the frame it changed was drawn, or
// negative when this wake changed none.
void Publish(Wake* wake, double latencyMs) {
  ChainPath* path = &wake->path;
  const PresentationLock& lock = wake->lock;
  path->figures.refreshes = lock.total.refreshes;
  path->figures.lateWakes = lock.total.lateWakes;
  if (!path->counts) {
    path->figures.doubled += lock.total.doubled - path->lockDoubled;
    path->figures.missed += lock.total.missed - path->lockMissed;
  }
  path->lockDoubled = lock.total.doubled;
  path->lockMissed = lock.total.missed;
  MutexLock guard(published.lock);
  published.figures = path->figures;
  published.timing = wake->timing;
  if (latencyMs >= 0) {
    if (published.latencies.size() < kPresentationLatencySamples) published.latencies.push_back(latencyMs);
    else published.latencies[published.latencyCount % kPresentationLatencySamples] = latencyMs;
    ++published.latencyCount;
  }
}

// One wake: restart or advance the schedule, change and draw the frame, all
// under FrameSetLock. Returns true when frames are changing; *scheduled is set
// when the schedule changed the frame (left alone otherwise).
bool Present(Run* run, std::uint64_t vblank, std::int64_t counter, bool* scheduled) {
  Wake* wake = &run->wake;
  PresentationSchedule* lock = &wake->lock;
  const VblankSource& source = *run->source;
  Mutex& frames = FrameSetLock();
  if (!frames.try_lock()) {
    frames.lock();
    // Waited out a rebuild: the vblank number is stale, so this wake neither
    // starts nor judges anything, and the next one starts the schedule
    // afresh, as the rebuild restarts it anyway. A wait on anything else (a
    // long paint of the view) is a real delay and is judged as such.
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const bool rebuilt = FrameSet != lock->frames || FrcCount != lock->interval;
    if (rebuilt && source.period > 0 && now.QuadPart - counter > source.period / 2) {
      lock->frames = FrameSet;
      wake->seenSchedule = ~0u;
      wake->timing = ComputeLockTiming(FrameDuration, source.rate);
      frames.unlock();
      return false;
    }
  }
  const std::uint32_t interval = FrcCount;
  const std::uint32_t frameDuration = FrameDuration;
  // The hold and the restart are one word, read once: a resume can never be
  // seen half made.
  const std::uint32_t wanted = signals.schedule;
  const bool held = (wanted & 1) != 0;
  const bool playing = !held && frameDuration != 0 && FrameSet && interval != 0;
  wake->timing = ComputeLockTiming(frameDuration, source.rate);
  if (wanted != wake->seenSchedule || wake->timing.refreshesPerFrame != lock->refreshesPerFrame ||
      interval != lock->interval || FrameSet != lock->frames) {
    lock->frames = FrameSet;
    StartPresentationLock(lock, vblank, CurrentFrame, wake->timing.refreshesPerFrame, interval);
    wake->seenSchedule = wanted;
    wake->drawnFrame = ~0u;  // new frames, or none drawn yet
    wake->shownCounter = counter;
  } else if (playing) {
    const LockStep step = AdvancePresentationLock(lock, vblank);
    if (step.judged) {
      WriteLog(run, PresentationLogRow(step.judgedFrame, step.judgedSince, wake->shownCounter, step.judgedHeld,
                                       lock->refreshesPerFrame));
      wake->shownCounter = counter;
    }
    if (step.change) SetCurrentFrame(step.frame);
    *scheduled = step.change;
  }
  const std::uint32_t frame = CurrentFrame;
  const bool repaint = TakeFrcViewRepaint();
  if (FrameSet && (frame != wake->drawnFrame || repaint)) {
    // A frame the maker has not made yet: the one on screen stays (drawn
    // again only when the view asks), and the next wake tries again.
    const bool ready = FrameSet[frame].bitmap != nullptr;
    if (!ready) {
      ++wake->path.figures.notReady;
      WriteLog(run, "# 未準備 " + std::to_string(frame) + "\n");
    }
    if ((ready || repaint) && Draw(&wake->path) && ready) wake->drawnFrame = frame;
  }
  frames.unlock();
  return playing;
}

unsigned __stdcall PresentationThread(void* context) {
  Run* run = static_cast<Run*>(context);
  Wake* wake = &run->wake;
  ResetPresentationAudit(&wake->lock);
  wake->seenSchedule = ~0u;
  wake->drawnFrame = ~0u;
  // A wake late by more than a refresh shows a frame twice: this thread
  // sleeps nearly all the time, so it may go ahead of the rest.
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
  // From here this thread draws the view, and the view's paints come here.
  SetFrcViewPresentedElsewhere(true);
  while (!run->stopping) {
    std::uint64_t vblank = 0;
    std::int64_t counter = 0;
    if (!WaitForNextVblank(run->source, &vblank, &counter)) {
      // Without vblanks the view is still drawn when it asks.
      if (!wake->path.chain && !run->stopping && TakeFrcViewRepaint()) {
        MutexLock guard(FrameSetLock());
        Draw(&wake->path);
      }
      Sleep(kRetryMs);
      continue;
    }
    // After a wait the user-interface thread may have given up on: nothing
    // more of the program is touched.
    if (run->stopping) break;
    if (!wake->path.tried) {
      OpenChain(run);
      if (wake->path.tried) {
        // Making the chain takes a while: the schedule starts afresh on the
        // next vblank instead of judging the wait.
        wake->seenSchedule = ~0u;
        wake->drawnFrame = ~0u;
        continue;
      }
    }
    const bool chained = wake->path.chain != nullptr;
    if (wake->path.chain) FollowViewSize(run);
    bool scheduled = false;
    const bool playing = Present(run, vblank, counter, &scheduled);
    if (wake->path.failed) FallBackToGdi(run, L"表示に失敗");
    if (wake->path.chain && wake->path.drawn) PresentDrawn(run, playing && scheduled);
    if (chained && !wake->path.chain) wake->seenSchedule = ~0u;  // GDI from here: start afresh
    double latencyMs = -1;
    if (playing && scheduled && run->source->frequency > 0) {
      LARGE_INTEGER now;
      QueryPerformanceCounter(&now);
      latencyMs = static_cast<double>(now.QuadPart - VblankCounter(*run->source, vblank)) * 1000.0 /
                  static_cast<double>(run->source->frequency);
    }
    Publish(wake, latencyMs);
    const ULONGLONG now = GetTickCount64();
    if (playing && now - wake->lastRequest >= kRequestIntervalMs && !signals.requestPosted.exchange(true)) {
      wake->lastRequest = now;
      PostMessageW(run->target.window, run->target.message, run->target.presented, 0);
    }
  }
  if (wake->path.chain) DestroyFlipChain(wake->path.chain);
  if (!run->abandoned) {
    SetFrcViewPresentedElsewhere(false);
    if (FrcView) InvalidateRect(FrcView, nullptr, FALSE);
    if (run->log) std::fflush(run->log);
  }
  ReleaseRun(run);
  return 0;
}

bool WantsThread() {
  return ui.mode == PresentationMode::kVsync && ui.source && ui.source->kind != VblankKind::kNone;
}

// Stops the running thread, if any, waiting kStopLimitMs at most. DXGI may
// send messages to the view while the thread ends its chain: they are served
// meanwhile. A thread still in its wait at the limit is abandoned: its run
// takes the source and the log with it, and the view draws itself again.
void StopRun() {
  Run* run = ui.run;
  if (!run) return;
  ui.run = nullptr;
  run->stopping = true;
  if (JoinThread(&ui.thread, kStopLimitMs) == ThreadEnd::kAbandoned) {
    run->abandoned = true;
    ui.source = nullptr;
    ui.log = nullptr;
    SetFrcViewPresentedElsewhere(false);
    if (FrcView) InvalidateRect(FrcView, nullptr, FALSE);
  }
  ReleaseRun(run);
}

// Starts a run of the thread on the source and log as they are. False when the
// system refuses a thread: the frame clock is then the one to change frames.
bool StartRun() {
  StopRun();
  signals.requestPosted = false;
  {
    MutexLock guard(published.lock);
    published.figures = PresentationFigures{};
    published.pathLine.clear();
    published.latencies.clear();
    published.latencyCount = 0;
  }
  signals.schedule = signals.schedule + 2;
  Run* run = new Run();
  run->source = ui.source;
  run->log = ui.log;
  run->target = ui.target;
  ui.thread = StartThread(PresentationThread, run);
  if (!ui.thread.valid()) {
    delete run;
    return false;
  }
  ui.run = run;
  return true;
}

}  // namespace

void SetPresentationOptions(const SimulatedSourceOption* simulated, const wchar_t* path) {
  ExpectUiThread();
  ui.simulatedAsked = simulated != nullptr;
  if (simulated) {
    ui.simulatedOption = *simulated;
    ui.mode = PresentationMode::kVsync;
  }
  ui.logPath = path ? path : L"";
}

void SetPresentationMode(PresentationMode chosen) {
  ExpectUiThread();
  ui.mode = ui.simulatedAsked ? PresentationMode::kVsync : chosen;
}

PresentationMode CurrentPresentationMode() {
  ExpectUiThread();
  return ui.mode;
}

void OpenPresentation(const PresentationTarget& target) {
  ExpectUiThread();
  StopRun();
  signals.chainRefused = false;
  if (!ui.source) ui.source = new VblankSource();
  CloseVblankSource(ui.source);
  ui.target = target;
  ui.sourceMonitor = MonitorFromWindow(target.window, MONITOR_DEFAULTTONEAREST);
  const RefreshRate rate = MonitorRefreshRate(target.window);
  std::wstring report;
  OpenVblankSource(ui.source, target.window, rate, ui.simulatedAsked ? &ui.simulatedOption : nullptr, &report);
  report = L"画面の更新頻度: " + (rate.numerator ? RefreshRateText(rate) + L" Hz" : std::wstring(L"不明")) + L"\n" +
           report;
  {
    MutexLock guard(published.lock);
    published.report = report;
  }
  if (!ui.log && !ui.logPath.empty()) {
    ui.log = _wfopen(ui.logPath.c_str(), L"wb");
    if (ui.log) {
      std::string comment = "# " + Utf8Text(report);
      for (size_t at = comment.find('\n'); at != std::string::npos && at + 1 < comment.size();
           at = comment.find('\n', at + 1))
        comment.insert(at + 1, "# ");
      std::fwrite(comment.data(), 1, comment.size(), ui.log);
      std::fputs(kPresentationLogHeader, ui.log);
    }
  }
  if (WantsThread()) {
    StopFrameClock();
    StartRun();
  }
}

bool PresentationMonitorChanged(HWND window) {
  ExpectUiThread();
  return ui.target.window && MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST) != ui.sourceMonitor;
}

void ClosePresentation() {
  ExpectUiThread();
  StopRun();
  if (ui.source) {
    CloseVblankSource(ui.source);
    delete ui.source;
    ui.source = nullptr;
  }
  if (ui.log) std::fclose(ui.log);
  ui.log = nullptr;
  ui.target = PresentationTarget{};
  MutexLock guard(published.lock);
  published.report.clear();
}

bool PresentationLocked() {
  ExpectUiThread();
  return WantsThread() && ui.run != nullptr;
}

void RestartPresentation(bool hold) {
  ExpectUiThread();
  signals.schedule = ((signals.schedule >> 1) + 1) << 1 | (hold ? 1u : 0u);
}

void SwitchPresentationMode(bool hold) {
  ExpectUiThread();
  ui.mode = ui.mode == PresentationMode::kVsync ? PresentationMode::kTimer : PresentationMode::kVsync;
  RestartPresentation(hold);
  if (WantsThread()) {
    StopFrameClock();
    if (StartRun()) return;
  } else {
    StopRun();
  }
  if (!hold && ui.target.window) StartFrameClock(ui.target.window, ui.target.message, ui.target.frameChanged);
}

PresentationStatus CurrentPresentationStatus() {
  ExpectUiThread();
  PresentationStatus status = {};
  status.searching = !ui.target.window && ui.mode == PresentationMode::kVsync;
  status.locked = PresentationLocked();
  if (!ui.source) return status;
  status.simulated = ui.source->kind == VblankKind::kSimulated;
  status.rate = ui.source->rate;
  MutexLock guard(published.lock);
  status.timing = published.timing;
  status.figures = published.figures;
  return status;
}

PresentationFigures PresentationTotals() {
  ExpectUiThread();
  MutexLock guard(published.lock);
  return published.figures;
}

std::vector<double> PresentationLatencies() {
  ExpectUiThread();
  MutexLock guard(published.lock);
  if (published.latencyCount <= published.latencies.size()) return published.latencies;
  const std::ptrdiff_t oldest = static_cast<std::ptrdiff_t>(published.latencyCount % kPresentationLatencySamples);
  std::vector<double> ordered(published.latencies.begin() + oldest, published.latencies.end());
  ordered.insert(ordered.end(), published.latencies.begin(), published.latencies.begin() + oldest);
  return ordered;
}

std::wstring PresentationReport() {
  ExpectUiThread();
  MutexLock guard(published.lock);
  return published.pathLine.empty() ? published.report : published.report + published.pathLine + L"\n";
}

void PresentationRequestHandled() {
  ExpectUiThread();
  signals.requestPosted = false;
}
