// Resource, control and command ids of Quillane, written once here and
// included by the resource script and the code alike. Plain macros, since
// the resource compiler reads this file too.
#pragma once

// Dialog template of the control bar.
#define IDD_CONTROL_BAR 101

// Controls on the control bar; their commands go to the main window.
#define IDC_OPEN 1001           // push button "開く"
#define IDC_INTERVAL 1002       // combo box "間隔": FRC interval N
#define IDC_CORRECTION 1003     // combo box "補正": level-grid offset
#define IDC_FRAME_DURATION 1004       // combo box "更新間隔": seconds per frame
#define IDC_SHOW_ORIGINAL 1005  // check box "元画像"
#define IDC_SAVE 1006           // push button "保存...": export the cycle on screen
#define IDC_PATTERN 1008        // push button "パターン": a menu of generated test pictures
#define IDC_PHASE_PATTERN 1009  // drop-down list "位相パターン": the spatial phase pattern

// Items added to the main window's system menu (WM_SYSCOMMAND). The system
// uses the low four bits of these commands and the ids from 0xF000 up, so
// ours are multiples of 16 below 0xF000.
#define IDM_ABOUT 0x0110  // "バージョン情報..."
#define IDM_PRESENTATION_SYNC 0x0120  // "画面の更新に同期": locked playback or the timer

// Keyboard tables (ACCELERATORS). Command keys work wherever the focus is;
// playback keys only while a view or the main window has it, so that the same
// keys still edit a combo box's field.
#define IDR_COMMAND_KEYS 201
#define IDR_PLAYBACK_KEYS 202

// Commands of the keyboard tables, sent to the main window as WM_COMMAND with
// notification 1. Ctrl+O and Ctrl+S send IDC_OPEN and IDC_SAVE, as the
// buttons do.
#define IDM_ZOOM_IN 2001
#define IDM_ZOOM_OUT 2002
#define IDM_ZOOM_RESET 2003
#define IDM_PASTE 2004
#define IDM_COPY 2005
#define IDM_PAUSE 2011           // pause or resume the cycle
#define IDM_NEXT_FRAME 2012
#define IDM_PREVIOUS_FRAME 2013
#define IDM_FIRST_FRAME 2014

// Items of the pattern button's menu: the first pattern of test_patterns.h,
// then the others in their order (ten in all).
#define IDM_PATTERN_FIRST 2101

// Esc while a save runs: stops it (handled by the message loop, not a table).

#ifndef RC_INVOKED
constexpr int kBarTemplate = IDD_CONTROL_BAR;
constexpr int kIdOpen = IDC_OPEN;
constexpr int kIdInterval = IDC_INTERVAL;
constexpr int kIdCorrection = IDC_CORRECTION;
constexpr int kIdFrameDuration = IDC_FRAME_DURATION;
constexpr int kIdShowOriginal = IDC_SHOW_ORIGINAL;
constexpr int kIdAbout = IDM_ABOUT;
constexpr int kIdPresentationSync = IDM_PRESENTATION_SYNC;
constexpr int kIdSave = IDC_SAVE;
constexpr int kIdPattern = IDC_PATTERN;
constexpr int kIdPhasePattern = IDC_PHASE_PATTERN;
constexpr int kIdPatternFirst = IDM_PATTERN_FIRST;
constexpr int kCommandKeys = IDR_COMMAND_KEYS;
constexpr int kPlaybackKeys = IDR_PLAYBACK_KEYS;
constexpr int kIdZoomIn = IDM_ZOOM_IN;
constexpr int kIdZoomOut = IDM_ZOOM_OUT;
constexpr int kIdZoomReset = IDM_ZOOM_RESET;
constexpr int kIdPaste = IDM_PASTE;
constexpr int kIdCopy = IDM_COPY;
constexpr int kIdPause = IDM_PAUSE;
constexpr int kIdNextFrame = IDM_NEXT_FRAME;
constexpr int kIdPreviousFrame = IDM_PREVIOUS_FRAME;
constexpr int kIdFirstFrame = IDM_FIRST_FRAME;
// The notification code of a WM_COMMAND that comes from a keyboard table.
constexpr int kFromKeyboardTable = 1;
#endif
