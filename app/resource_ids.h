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
#define IDC_DURATION 1004       // combo box "更新間隔": seconds per frame
#define IDC_SHOW_ORIGINAL 1005  // check box "元画像"
#define IDC_SAVE 1006           // push button "保存...": export the cycle on screen
#define IDC_REBUILD_PROGRESS 1007  // progress bar shown during long rebuilds (made by the code)

// Keyboard shortcuts of the main window (Ctrl+S: IDC_SAVE).
#define IDR_ACCELERATORS 102

// Items added to the main window's system menu (WM_SYSCOMMAND). The system
// uses the low four bits of these commands and the ids from 0xF000 up, so
// ours are multiples of 16 below 0xF000.
#define IDM_ABOUT 0x0110  // "バージョン情報..."

#ifndef RC_INVOKED
constexpr int kBarTemplate = IDD_CONTROL_BAR;
constexpr int kIdOpen = IDC_OPEN;
constexpr int kIdInterval = IDC_INTERVAL;
constexpr int kIdCorrection = IDC_CORRECTION;
constexpr int kIdDuration = IDC_DURATION;
constexpr int kIdShowOriginal = IDC_SHOW_ORIGINAL;
constexpr int kIdRebuildProgress = IDC_REBUILD_PROGRESS;
constexpr int kIdAbout = IDM_ABOUT;
constexpr int kIdSave = IDC_SAVE;
#endif
