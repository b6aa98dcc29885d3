// What the main window keeps between messages, in one record: the state of
// the window layer that neither the engine nor the views own. There is one
// main window, so there is one record.
//
// Each field names the one function that writes it, besides ResetWindowState,
// which puts them all back to their start values. Everything here is read and
// written on the user-interface thread only, except `zoom`, which the views
// read when they paint and which is therefore atomic.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

struct MainWindowState {
  HWND statusBar;                // CreateStatusBar (status_bar.cpp); null until made
  std::wstring statusTexts[4];   // SetPart (status_bar.cpp): what each part shows
  int statusDotsPerInch;         // CreateStatusBar (status_bar.cpp): for FitStatusBar
  ULONGLONG statusRefreshedAt;   // RefreshStatusBarWhilePlaying (status_bar.cpp)
  std::uint32_t saveDone;        // SetStatusSaveProgress (status_bar.cpp): the
  std::uint32_t saveTotal;       //   running save's progress; total 0: none runs
  HWND pointerView;              // SetStatusPointer (status_bar.cpp): the view
  POINT pointerClient;           //   under the cursor and the cursor's place in it
  bool paused;                   // TogglePause (playback.cpp)
  bool flashPending;             // CheckFlashing, OnFlashJudged (flash_check.cpp): held
                                 //   on frame 0 until the cycle is judged
  bool flashWarning;             // CheckFlashing, OnFlashJudged (flash_check.cpp): the
                                 //   cycle on show flashes harmfully
  HWND focusBeforeDeactivation;  // OnActivate (main_window.cpp): the child that
                                 //   gets the focus back on reactivation
  std::atomic<int> zoom;         // ZoomTo (key_commands.cpp): one of kZoomLevels
};

// The record. Its fields hold their start values before the first main window
// and after ResetWindowState.
MainWindowState& WindowState();

// Puts every field back to its start value (no status bar, not paused, zoom
// 1): the main window's creation calls it, so a window created afresh (as the
// tests do) starts from nothing left by the previous one.
void ResetWindowState();
