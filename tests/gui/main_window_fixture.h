// The fixture and helpers shared by the tests that drive the real main window
// in this process: the window opened on a settings file of its own, pictures
// written as files, keys and text as the user gives them, and what the screen
// shows read back.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/globals.h"
#include "app/main_window.h"
#include "app/playback.h"
#include "app/settings_file.h"
#include "app/window_state.h"
#include "frc/engine_state.h"
#include "frc/frame_cache.h"
#include "frc/frame_clock.h"
#include "imaging/dib_surface.h"
#include "present/presentation.h"
#include "tests/gui/gui_test_support.h"
#include "tests/support/win_test_support.h"
#include "views/image_view.h"

// Test pictures as 0xRRGGBB at (x, y).
unsigned Ramp(int x, int y);
unsigned Grey(int, int);

// A child window's rectangle in the main window's client coordinates.
RECT ChildRect(HWND child);
inline int Width(const RECT& r) { return r.right - r.left; }
inline int Height(const RECT& r) { return r.bottom - r.top; }

SCROLLINFO Scroll(HWND view, int bar);

// A rectangle of the view's client area as the screen shows it, row by row
// from the top.
std::vector<unsigned> CaptureRect(HWND view, const RECT& area);
std::vector<unsigned> CaptureClient(HWND view);

// Every screen pixel of the view is its image pixel of the picture at the
// zoom level and the scroll position, wherever the picture reaches.
void ExpectViewShows(HWND view, const DibSurface& picture, int zoom);

// Dispatches messages until every frame of the cycle has come due by the
// performance counter (the schedule the playing clock follows), so that a
// frame that stays has stayed while playing would have moved it. False when
// that takes longer than five seconds.
bool PumpWhileEveryFrameComesDue();

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AppInstance = GetModuleHandleW(nullptr);
    ModuleDirectory = directory_.Path();
  }

  void TearDown() override { Close(); }

  // The window, and the presentation it opens once it has painted.
  void Open() {
    ASSERT_NE(nullptr, CreateMainWindow());
    ASSERT_TRUE(PumpUntil([] { return !PresentationReport().empty(); }, 5000));
  }

  // Destroys the main window as the system close does, then forgets the
  // program's state so the next test starts fresh.
  void Close() {
    if (MainWindow) {
      SendMessageW(MainWindow, WM_CLOSE, 0, 0);
      PumpPending();
    }
    StopFrameClock();
    MainWindow = ControlBar = FrcView = OriginalView = nullptr;
    ResetWindowState();
    ResetEngineState();
  }

  // Applies pending requests and stops the clock, so that CurrentFrame holds.
  void Settle() {
    PumpPending();
    StopFrameClock();
  }

  void SetText(int id, const wchar_t* text) { SetDlgItemTextW(ControlBar, id, text); }

  // As typing does: the combo box tells its parent after its text changed.
  void Type(int id, const wchar_t* text) {
    SetText(id, text);
    SendMessageW(ControlBar, WM_COMMAND, MAKEWPARAM(id, CBN_EDITCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(ControlBar, id)));
  }

  void ClickShowOriginal() { SendDlgItemMessageW(ControlBar, kIdShowOriginal, BM_CLICK, 0, 0); }

  void ResizeClient(int width, int height) {
    RECT r = {0, 0, width, height};
    AdjustWindowRectEx(&r, WS_OVERLAPPEDWINDOW, FALSE, 0);
    SetWindowPos(MainWindow, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOMOVE);
    PumpPending();
  }

  std::wstring WriteImage(const wchar_t* name, int width, int height, unsigned (*colour)(int, int)) {
    const std::wstring path = directory_.File(name);
    EXPECT_TRUE(WriteBmpFile(path, width, height, colour));
    return path;
  }

  std::wstring IniValue(const wchar_t* key) {
    wchar_t value[256] = {};
    GetPrivateProfileStringW(L"Settings", key, L"<absent>", value, 256, SettingsFilePath().c_str());
    return value;
  }

  // A key pressed where the focus is, with or without Ctrl held, and handled
  // by the program's routing.
  void PressKey(WPARAM key, bool control = false) {
    BYTE state[256] = {};
    state[VK_CONTROL] = control ? 0x80 : 0;
    SetKeyboardState(state);
    PostMessageW(GetFocus() ? GetFocus() : MainWindow, WM_KEYDOWN, key, 1);
    PumpPending();
  }

  HWND IntervalEdit() { return GetWindow(GetDlgItem(ControlBar, kIdInterval), GW_CHILD); }

  // A picture loaded and its cycle built (every frame made, so that the
  // tests may read any), the window placed where the screen can be read,
  // the clock stopped.
  void OpenPicture(int width, int height, unsigned (*colour)(int, int)) {
    Open();
    ResizeClient(401, 300);
    SetWindowPos(MainWindow, HWND_TOPMOST, 500, 400, 0, 0, SWP_NOSIZE);
    ASSERT_EQ(1, OpenImage(WriteImage(L"picture.bmp", width, height, colour)));
    PostSettingsChanged();
    Settle();
    ASSERT_NE(nullptr, FrameSet);
    ASSERT_TRUE(MakeWholeCycle());
  }

  TempDirectory directory_;
  MessageBoxWatcher boxes_;
};
