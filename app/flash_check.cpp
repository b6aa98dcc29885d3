// The flash guard of the window and its thread: see flash_check.h.
#include "app/flash_check.h"

#include <atomic>
#include <cstdlib>

#include "app/globals.h"
#include "app/playback.h"
#include "app/status_bar.h"
#include "app/window_state.h"
#include "base/threads.h"
#include "frc/engine_state.h"
#include "frc/flash_guard.h"
#include "frc/frame_cache.h"
#include "frc/frame_clock.h"
#include "frc/level_tables.h"
#include "frc/viewing_geometry.h"
#include "imaging/dib_surface.h"
#include "present/presentation.h"
#include "views/image_view.h"

namespace {

constexpr const wchar_t* kFlashMessage =
    L"この設定では、画面の広い範囲が1秒間に3回を超えて点滅します。光に敏感な人には発作を起こすおそれがあるため、"
    L"フレーム 1 で一時停止しました。\n"
    L"フレームの表示時間を短くするか、別のパターンを選んでください。スペースキーで再生できます。";

// The running judgement. Written on the user-interface thread while no
// judging thread runs, except `cancel` (set here, read by the thread) and
// `verdict`, written by the thread before it posts its end and read after the
// join.
struct RunningCheck {
  ScopedHandle thread;  // empty when none runs
  std::atomic<bool> cancel;
  HWND owner;
  LPARAM number;  // counts the judgements started; sent back with the end
  const std::uint8_t* bits;
  std::int32_t width, height, windowSide;
  std::uint32_t frameDuration;  // the duration judged at
  bool judged;                  // a cycle of the picture on show was judged at frameDuration
  FlashVerdict verdict;
  bool stopsAtExit;             // CancelAtExit is registered
};

RunningCheck check;

// The same test as the save's: the cycle on show is that of the picture, and
// the tables are built for it.
bool CycleOfPictureOnShow() {
  return SourceSurface.bitmap && FrcCount != 0 && FrameSetPicture() == SourceSurface.generation &&
         PresentTableInterval() == FrcCount;
}

// A judgement still running when the process ends stops before the tables it
// maps through are released at exit.
void CancelAtExit() { CancelFlashCheck(); }

unsigned __stdcall RunCheck(void*) {
  check.verdict = JudgeFlashingOfPicture(check.bits, check.width, check.height, check.frameDuration,
                                         check.windowSide, &check.cancel);
  PostMessageW(check.owner, WM_USER, kRequestFlashJudged, check.number);
  return 0;
}

// The cycle stays on frame 0 until the judgement answers; in locked playback
// the presenting thread is held first, so that it does not move the frame on.
void HoldOnFirstFrame() {
  WindowState().flashPending = true;
  StopFrameClock();
  if (PresentationLocked()) RestartPresentation(true);
  if (CurrentFrame != 0) {
    MakeFrameNow(0);
    SetCurrentFrame(0);
    if (FrcView) InvalidateRect(FrcView, nullptr, FALSE);
  }
}

void ReleaseHold() {
  WindowState().flashPending = false;
  ResumeFrameClockUnlessPaused();
}

void PauseWithMessage(const wchar_t* text) {
  WindowState().flashPending = false;
  if (!PlaybackPaused()) TogglePause();
  RefreshStatusBar();
  MessageBoxW(check.owner, text, kAppCaption, MB_OK);
}

}  // namespace

std::uint32_t FrameDurationInUse() {
  if (!PresentationLocked()) return FrameDuration;
  return ComputeLockTiming(FrameDuration, CurrentPresentationStatus().rate).usedDuration;
}

void CheckFlashing() {
  CancelFlashCheck();
  check.number += 1;
  check.judged = false;
  WindowState().flashWarning = false;
  const bool wasPending = WindowState().flashPending;
  WindowState().flashPending = false;
  if (!CycleOfPictureOnShow()) {
    if (wasPending) ResumeFrameClockUnlessPaused();
    RefreshStatusBar();
    return;
  }
  check.owner = MainWindow;
  check.bits = static_cast<const std::uint8_t*>(SourceSurface.bits);
  check.width = SourceSurface.header.bmiHeader.biWidth;
  check.height = SourceSurface.header.bmiHeader.biHeight;
  check.windowSide = FlashWindowSide(PixelsPerDegree(CurrentViewing()));
  check.frameDuration = FrameDurationInUse();
  check.judged = true;
  if (FrcCount < 2 || check.frameDuration == 0 || check.width < check.windowSide ||
      check.height < check.windowSide) {
    if (wasPending) ResumeFrameClockUnlessPaused();
    RefreshStatusBar();
    return;
  }
  HoldOnFirstFrame();
  // The picture is a section GDI may still draw into; the thread reads its
  // pixels directly.
  GdiFlush();
  check.cancel = false;
  check.verdict = FlashVerdict::kCancelled;
  // Registered after every static object is made: it runs before any is destroyed.
  if (!check.stopsAtExit) check.stopsAtExit = std::atexit(CancelAtExit) == 0;
  check.thread = StartThread(RunCheck, nullptr);
  if (!check.thread.valid()) {
    PauseWithMessage(kOutOfMemoryMessage);
    return;
  }
  RefreshStatusBar();
}

void CheckFlashingIfTimingChanged() {
  if (check.judged && FrameDurationInUse() != check.frameDuration) CheckFlashing();
}

bool CancelFlashCheck() {
  if (!check.thread.valid()) return false;
  check.cancel = true;
  JoinThread(&check.thread, INFINITE);
  return true;
}

void OnFlashJudged(LPARAM number) {
  if (!check.thread.valid() || number != check.number) return;
  JoinThread(&check.thread, INFINITE);
  if (check.verdict == FlashVerdict::kExceeded) {
    WindowState().flashWarning = true;
    PauseWithMessage(kFlashMessage);
  } else if (check.verdict == FlashVerdict::kNoMemory) {
    PauseWithMessage(kOutOfMemoryMessage);
  } else {
    ReleaseHold();
    RefreshStatusBar();
  }
}
