// The process-wide handles and values that tie the program together. Each is
// written once, on the user-interface thread, by the code that creates it:
// AppInstance and ModuleDirectory by start-up before any window or thread
// exists, MainWindow by CreateMainWindow, ControlBar by CreateControlBar. They
// are read on the user-interface thread; the presentation, save and flash
// judgement threads only post requests to MainWindow (the frame maker posts
// to a copy of it taken at the window's creation).
#pragma once

#include <windows.h>

#include <string>

#include "app/resource_ids.h"

// The executable's instance: loads the control-bar template, registers classes.
extern HINSTANCE AppInstance;

// The executable's directory without a trailing backslash: base of
// "settings.ini" and of the plug-in search. Computed once at start-up.
extern std::wstring ModuleDirectory;

extern HWND MainWindow;   // class "Quillane"; null until its creation returns
extern HWND ControlBar;   // the bar across the top (dialog template 101)

// The internal requests to the main window: WM_USER with one of these as wParam.
constexpr WPARAM kRequestFrameChanged = 0;     // sent by the frame clock
constexpr WPARAM kRequestSettingsChanged = 1;  // posted after an open or an edit
constexpr WPARAM kRequestSaveProgress = 2;     // posted by a save's thread: more files written
constexpr WPARAM kRequestSaveEnded = 3;        // posted by a save's thread, lParam its number
constexpr WPARAM kRequestPresentation = 4;     // posted by the presentation thread
constexpr WPARAM kRequestFramesFailed = 5;     // posted by the frame maker: no memory for a frame
constexpr WPARAM kRequestFlashJudged = 6;      // posted by the flash judgement's thread, lParam its number

// The views' cursor reports, zoom requests and Shift+clicks to the main window
// (see CreateImageViews).
constexpr UINT kPointerMessage = WM_APP;
constexpr UINT kZoomMessage = WM_APP + 1;
constexpr UINT kPickMessage = WM_APP + 2;

// Caption of every message box.
constexpr const wchar_t* kAppCaption = L"Quillane";
// What every message about memory that ran out says.
constexpr const wchar_t* kOutOfMemoryMessage = L"メモリが不足しています。";
// What a load refused for its size says (the previous picture stays).
constexpr const wchar_t* kPictureTooLargeMessage = L"画像が大きすぎて、フレームを作るメモリがありません。";
