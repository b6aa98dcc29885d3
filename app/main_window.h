// The main window (class and title "Quillane"): owns the control bar, the
// two views and the pixel's cycle window, turns the user's actions into image
// loading and engine calls, runs the frame clock, and saves the settings when
// it closes.
#pragma once

#include <windows.h>

#include <string>

#include "imaging/test_patterns.h"

// Registers class "Quillane" and creates the visible main window; its creation
// builds the control bar, loads the settings and creates the views. Stores the
// handle in MainWindow once creation has returned. Null on failure.
HWND CreateMainWindow();

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Loads an image file into SourceSurface and shows it (a save that runs stops
// first): retitles the window and
// lays the views out afresh. On failure shows "ファイルを開けません。" and
// leaves title and layout as they were. Returns 1 on success, 0 on failure.
// The caller posts the settings-changed request afterwards.
int OpenImage(const std::wstring& path);

// Makes the test pattern at width x height the picture and shows it, titled
// "Quillane パターン: NAME W×H", as OpenImage does with a file; a save that
// runs stops first. On failure shows "パターンを作れません。". Returns 1 or 0;
// the caller posts the settings-changed request afterwards.
int OpenPattern(TestPattern pattern, int width, int height);

// Shows the source just loaded into SourceSurface: sets the window title to
// `title`, lays the views out afresh so that they take the new picture's
// scroll ranges, and refreshes the status bar.
void ShowNewSource(const std::wstring& title);

// Places the control bar and the views in a client area of width x height.
void LayoutViews(int width, int height);

// Posts the settings-changed request to the main window.
void PostSettingsChanged();
