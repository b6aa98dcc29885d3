// The window's save command ("保存..." and Ctrl+S): a folder picker, then the
// files of the cycle on screen written into the chosen folder by a thread of
// its own, so that the window, the clock and the views go on meanwhile.
//
// One save at a time. The save makes the frames itself from the picture and
// the level tables. Anything that would change them while a save reads them (a
// rebuild, a new picture, closing the window) first cancels the save and waits
// for its thread (CancelSave): the save never works from a picture or tables
// that are being replaced.
#pragma once

#include <windows.h>

#include <cstdint>

// Asks for a folder (owned by owner) and starts exporting the cycle the FRC
// view shows into it; returns once the save's thread has started. The save
// reports to owner with kRequestSaveProgress and kRequestSaveEnded, handed to
// OnSaveProgress and OnSaveEnded. Does nothing while a save runs, or while
// there is no picture or no cycle of the picture on show.
// User-interface thread.
void SaveCycleFromWindow(HWND owner);

// True from the start of a save until its end has been handled.
bool SaveRunning();

// Stops the running save and waits for its thread: what it wrote is removed,
// nothing is said. Nothing when no save runs. User-interface thread.
void CancelSave();

// Asks the running save to stop, without waiting: its end arrives as for any
// save (Esc). Nothing when no save runs.
void StopSave();

// Copies the save's progress into the status bar.
void OnSaveProgress();

// Joins the save's thread, clears the progress and, when the save failed,
// shows "保存できません。" with the reason. number is the lParam of
// kRequestSaveEnded; the end of a save already cancelled is ignored.
void OnSaveEnded(LPARAM number);
