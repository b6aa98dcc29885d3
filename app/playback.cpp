// Pausing and stepping the FRC cycle: see playback.h.
#include "app/playback.h"

#include "app/globals.h"
#include "present/presentation.h"
#include "app/status_bar.h"
#include "app/window_state.h"
#include "frc/engine_state.h"
#include "frc/frame_cache.h"
#include "frc/frame_clock.h"
#include "views/image_view.h"

namespace {

// The clock is stopped, so the views and the status bar are told here.
void ShowFrame(std::uint32_t index) {
  SetCurrentFrame(index);
  if (FrcView) {
    InvalidateRect(FrcView, nullptr, FALSE);
    UpdateWindow(FrcView);
  }
  RefreshStatusBar();
}

bool CanStep() { return WindowState().paused && FrameSet && FrcCount != 0; }

}  // namespace

bool PlaybackPaused() { return WindowState().paused; }

bool PlaybackHeld() { return WindowState().paused || WindowState().flashPending; }

void TogglePause() {
  WindowState().paused = !WindowState().paused;
  const bool held = PlaybackHeld();
  if (PresentationLocked()) {
    RestartPresentation(held);
  } else if (held) {
    StopFrameClock();
  } else {
    StartFrameClock(MainWindow, WM_USER, kRequestFrameChanged);
  }
  RefreshStatusBar();
}

void ResumeFrameClockUnlessPaused() {
  if (PresentationLocked()) {
    RestartPresentation(PlaybackHeld());
  } else if (!PlaybackHeld()) {
    StartFrameClock(MainWindow, WM_USER, kRequestFrameChanged);
  }
}

void StepFrame(int step) {
  if (!CanStep()) return;
  const std::uint32_t interval = FrcCount;
  const std::uint32_t current = CurrentFrame;
  const std::uint32_t next = step >= 0 ? (current + 1) % interval : (current + interval - 1) % interval;
  // A step shows its frame at once: made here when the maker has not yet.
  MakeFrameNow(next);
  ShowFrame(next);
}

void ShowFirstFrame() {
  if (CanStep()) ShowFrame(0);
}

