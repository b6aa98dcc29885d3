// The main window: see main_window.h.
#include "app/main_window.h"

#include <commdlg.h>
#include <shellapi.h>

#include <cstring>
#include <vector>

#include "app/about_box.h"
#include "app/apply_settings.h"
#include "app/control_bar.h"
#include "app/flash_check.h"
#include "app/globals.h"
#include "app/key_commands.h"
#include "app/message_routing.h"
#include "app/playback.h"
#include "present/presentation.h"
#include "app/save_cycle.h"
#include "app/settings_file.h"
#include "app/status_bar.h"
#include "app/window_state.h"
#include "frc/frame_cache.h"
#include "frc/frame_clock.h"
#include "imaging/load_source.h"
#include "imaging/test_patterns.h"
#include "views/image_view.h"
#include "views/pixel_cycle_window.h"
#include "views/window_class.h"

namespace {

constexpr const wchar_t* kColourDepthMessage =
    L"画面の色深度が不足しています。24bitカラーまたは32bitカラーに変更してください。";
constexpr const wchar_t* kCannotOpenMessage = L"ファイルを開けません。";
constexpr const wchar_t* kCannotMakePatternMessage = L"パターンを作れません。";

// The one-shot timer that opens the presentation once the window has painted.
constexpr UINT_PTR kOpenPresentationTimer = 1;

// The pattern menu's items, in the order of TestPattern.
constexpr const wchar_t* kPatternLabels[kTestPatternCount] = {
    L"グレーの階調", L"赤の階調", L"緑の階調", L"青の階調", L"シアンの階調", L"マゼンタの階調", L"黄の階調",
    L"暗部の階調 (0-15%)", L"暗部の四角 (1-32)", L"1階調違いの対"};

void ShowMessage(HWND owner, const wchar_t* text) { MessageBoxW(owner, text, kAppCaption, MB_OK); }

void LayoutToClientArea() {
  RECT client;
  GetClientRect(MainWindow, &client);
  LayoutViews(client.right, client.bottom);
}

void WarnAboutColourDepth(HWND window) {
  HDC dc = GetDC(window);
  const int bitsPerPixel = GetDeviceCaps(dc, BITSPIXEL);
  ReleaseDC(window, dc);
  if (bitsPerPixel < 24) ShowMessage(window, kColourDepthMessage);
}

// The system menu's item "画面の更新に同期", checked while the mode is kVsync.
void AddPresentationToSystemMenu(HWND window) {
  HMENU menu = GetSystemMenu(window, FALSE);
  if (!menu) return;
  const UINT check = CurrentPresentationMode() == PresentationMode::kVsync ? MF_CHECKED : MF_UNCHECKED;
  AppendMenuW(menu, MF_STRING | check, kIdPresentationSync, L"画面の更新に同期");
}

void CheckPresentationMenuItem(HWND window) {
  HMENU menu = GetSystemMenu(window, FALSE);
  if (!menu) return;
  const bool locked = CurrentPresentationMode() == PresentationMode::kVsync;
  CheckMenuItem(menu, kIdPresentationSync, MF_BYCOMMAND | (locked ? MF_CHECKED : MF_UNCHECKED));
}

// Asks for ReopenPresentation once the current message is done; asks made
// before it runs come to one.
void PostReopenPresentation(HWND window) { SetTimer(window, kOpenPresentationTimer, USER_TIMER_MINIMUM, nullptr); }

// The frame maker's notices, on its thread: only posted on.
HWND frameNoticeWindow = nullptr;  // written before the maker can call

void OnFrameNotice(FrameNotice notice) {
  PostMessageW(frameNoticeWindow, WM_USER,
               notice == FrameNotice::kOutOfMemory ? kRequestFramesFailed : kRequestFrameChanged, 0);
}

LRESULT OnCreate(HWND window) {
  ResetWindowState();
  frameNoticeWindow = window;
  SetFrameNotice(OnFrameNotice);
  WarnAboutColourDepth(window);
  CreateControlBar();
  LoadSettings(SettingsFilePath());
  AttachControlBar(window);
  ZoomTo(LoadZoomSetting(SettingsFilePath()), nullptr, POINT{0, 0});
  CreateImageViews(window, AppInstance, kPointerMessage, kZoomMessage, kPickMessage,
                   &WindowState().zoom);
  CreateStatusBar(window, AppInstance);
  LoadKeyTables();
  QueryCounterFrequency();
  DragAcceptFiles(window, TRUE);
  AddAboutToSystemMenu(window);
  SetPresentationMode(LoadPresentationSetting(SettingsFilePath()));
  AddPresentationToSystemMenu(window);
  RestartPresentation(false);
  // Looking for a vblank source waits for a few refreshes of each: that
  // comes after the first frame is up. WM_TIMER comes after every paint.
  PostReopenPresentation(window);
  RefreshStatusBar();
  return 0;
}

// The vblank source and the rate belong to the monitor: read again when the
// window is on another one or the display settings change. Always from the
// timer, never from inside the message that asked: opening stops the thread
// and serves sent messages meanwhile, and one of them could ask again.
void ReopenPresentation(HWND window) {
  OpenPresentation(PresentationTarget{window, WM_USER, kRequestPresentation, kRequestFrameChanged});
  CheckFlashingIfTimingChanged();
  ResumeFrameClockUnlessPaused();
  RefreshStatusBar();
}

LRESULT OnTimer(HWND window, WPARAM id) {
  if (id != kOpenPresentationTimer) return 0;
  KillTimer(window, id);
  ReopenPresentation(window);
  return 0;
}

LRESULT OnMove(HWND window) {
  if (PresentationMonitorChanged(window)) PostReopenPresentation(window);
  return 0;
}

LRESULT OnDisplayChange(HWND window) {
  PostReopenPresentation(window);
  return 0;
}

// The low four bits of a system command are the system's own.
LRESULT OnSysCommand(HWND window, WPARAM wParam, LPARAM lParam) {
  if ((wParam & 0xFFF0) == static_cast<WPARAM>(kIdAbout)) {
    ShowAboutBox(window);
    return 0;
  }
  if ((wParam & 0xFFF0) == static_cast<WPARAM>(kIdPresentationSync)) {
    SwitchPresentationMode(PlaybackHeld());
    CheckFlashingIfTimingChanged();
    CheckPresentationMenuItem(window);
    RefreshStatusBar();
    return 0;
  }
  return DefWindowProcW(window, WM_SYSCOMMAND, wParam, lParam);
}

LRESULT OnSize(LPARAM lParam) {
  LayoutViews(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
  return 0;
}

void ChooseAndOpenImage() {
  wchar_t path[MAX_PATH] = {};
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = MainWindow;
  dialog.lpstrFilter =
      L"画像ファイル (*.bmp;*.jpg;*.jpeg;*.png;*.gif;*.tif;*.tiff)\0*.bmp;*.jpg;*.jpeg;*.png;*.gif;*.tif;*.tiff\0"
      L"すべてのファイル (*.*)\0*.*\0";
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = path;
  dialog.nMaxFile = MAX_PATH;
  dialog.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
  if (!GetOpenFileNameW(&dialog)) return;
  OpenImage(path);
  PostSettingsChanged();
}

// The pattern menu, below the button; the chosen item comes back as WM_COMMAND.
void ShowPatternMenu() {
  HMENU menu = CreatePopupMenu();
  if (!menu) return;
  for (int i = 0; i < kTestPatternCount; ++i) AppendMenuW(menu, MF_STRING, kIdPatternFirst + i, kPatternLabels[i]);
  RECT button;
  GetWindowRect(GetDlgItem(ControlBar, kIdPattern), &button);
  TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN, button.left, button.bottom, 0, MainWindow, nullptr);
  DestroyMenu(menu);
}

// The pattern at the size of the FRC view's client area.
void OpenPatternInView(TestPattern pattern) {
  RECT client = {0, 0, 0, 0};
  GetClientRect(FrcView, &client);
  if (OpenPattern(pattern, client.right > 0 ? client.right : 1, client.bottom > 0 ? client.bottom : 1))
    PostSettingsChanged();
}

LRESULT OnCommand(WPARAM wParam) {
  const int id = LOWORD(wParam);
  const int notification = HIWORD(wParam);
  if (id >= kIdPatternFirst && id < kIdPatternFirst + kTestPatternCount) {
    OpenPatternInView(static_cast<TestPattern>(id - kIdPatternFirst));
    return 0;
  }
  switch (id) {
    case kIdOpen:
      if (notification == BN_CLICKED || notification == kFromKeyboardTable) ChooseAndOpenImage();
      break;
    case kIdInterval:
    case kIdCorrection:
    case kIdFrameDuration:
    case kIdPhasePattern:
      // Posted, not called: the combo box finishes updating its text first.
      if (notification == CBN_SELCHANGE || notification == CBN_EDITCHANGE) PostSettingsChanged();
      break;
    case kIdShowOriginal:
      if (notification == BN_CLICKED) LayoutToClientArea();
      break;
    case kIdSave:
      // The button's click, or Ctrl+S (an accelerator's notification is 1).
      if (notification == BN_CLICKED || notification == 1) SaveCycleFromWindow(MainWindow);
      break;
    case kIdPattern:
      if (notification == BN_CLICKED) ShowPatternMenu();
      break;
    default:
      if (notification == kFromKeyboardTable) OnKeyCommand(id);
      break;
  }
  return 0;
}

LRESULT OnDropFiles(WPARAM wParam) {
  HDROP drop = reinterpret_cast<HDROP>(wParam);
  StopFrameClock();
  // The first file only, at its full length.
  const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
  std::vector<wchar_t> path(static_cast<size_t>(length) + 1, L'\0');
  DragQueryFileW(drop, 0, path.data(), length + 1);
  DragFinish(drop);
  OpenImage(path.data());
  PostSettingsChanged();
  ResumeFrameClockUnlessPaused();
  return 0;
}

LRESULT OnRequest(WPARAM request, LPARAM number) {
  if (request == kRequestFrameChanged) {
    InvalidateRect(FrcView, nullptr, FALSE);
    UpdateWindow(FrcView);
    RefreshStatusBarWhilePlaying();
  } else if (request == kRequestPresentation) {
    PresentationRequestHandled();
    RefreshStatusBar();
  } else if (request == kRequestSettingsChanged) {
    // The rebuild replaces the level tables a save and the flash judgement
    // read: both stop first.
    CancelSave();
    CancelFlashCheck();
    StopFrameClock();
    ApplySettings();
    CheckFlashing();
    // Paused, the rebuilt cycle stays on its frame 0.
    ResumeFrameClockUnlessPaused();
    RefreshStatusBar();
    RefreshPixelCycle();
  } else if (request == kRequestFramesFailed) {
    // Once per rebuild: the maker makes nothing more until the next one.
    if (!PlaybackPaused()) TogglePause();
    MessageBoxW(MainWindow, kOutOfMemoryMessage, kAppCaption, MB_OK);
  } else if (request == kRequestSaveProgress) {
    OnSaveProgress();
  } else if (request == kRequestSaveEnded) {
    OnSaveEnded(number);
  } else if (request == kRequestFlashJudged) {
    OnFlashJudged(number);
  }
  return 0;
}

LRESULT OnPointer(WPARAM wParam, LPARAM lParam) {
  SetStatusPointer(reinterpret_cast<HWND>(wParam),
                   POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
  return 0;
}

// A view's Ctrl+wheel; the cursor has changed pixels, so the view reports it
// again afterwards.
LRESULT OnZoomRequest(WPARAM wParam, LPARAM lParam) {
  const ZoomRequest* request = reinterpret_cast<const ZoomRequest*>(lParam);
  ZoomTo(request->zoom, reinterpret_cast<HWND>(wParam), request->anchor);
  return 0;
}

// A Shift+click on either view shows that pixel's cycle.
LRESULT OnPick(WPARAM wParam, LPARAM lParam) {
  const POINT client = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  POINT pixel;
  if (PicturePixelAt(reinterpret_cast<HWND>(wParam), client, &pixel)) ShowPixelCycle(MainWindow, AppInstance, pixel);
  return 0;
}

// A window that is not a dialog keeps its own focus: remembered when another
// window (a message box, another program) is activated, given back after.
LRESULT OnActivate(HWND window, WPARAM wParam, LPARAM lParam) {
  if (LOWORD(wParam) == WA_INACTIVE) {
    HWND focus = GetFocus();
    WindowState().focusBeforeDeactivation = focus && IsChild(window, focus) ? focus : nullptr;
    return 0;
  }
  HWND previous = WindowState().focusBeforeDeactivation;
  if (!HIWORD(wParam) && previous && IsChild(window, previous)) {
    SetFocus(previous);
    return 0;
  }
  return DefWindowProcW(window, WM_ACTIVATE, wParam, lParam);
}

LRESULT OnPaint(HWND window) {
  PAINTSTRUCT paint;
  BeginPaint(window, &paint);
  EndPaint(window, &paint);
  return 0;
}

LRESULT OnDestroy(HWND window) {
  CancelSave();
  CancelFlashCheck();
  DragAcceptFiles(window, FALSE);
  ClosePresentation();
  StopFrameClock();
  SaveSettings(SettingsFilePath());
  SaveZoomSetting(SettingsFilePath(), WindowState().zoom);
  SavePresentationSetting(SettingsFilePath(), CurrentPresentationMode());
  PostQuitMessage(0);
  return 0;
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: return OnCreate(window);
    case WM_SIZE: return OnSize(lParam);
    case WM_MOVE: return OnMove(window);
    case WM_TIMER: return OnTimer(window, wParam);
    case WM_DISPLAYCHANGE: return OnDisplayChange(window);
    case WM_COMMAND: return OnCommand(wParam);
    case WM_SYSCOMMAND: return OnSysCommand(window, wParam, lParam);
    case WM_DROPFILES: return OnDropFiles(wParam);
    case WM_USER: return OnRequest(wParam, lParam);
    case kPointerMessage: return OnPointer(wParam, lParam);
    case kZoomMessage: return OnZoomRequest(wParam, lParam);
    case kPickMessage: return OnPick(wParam, lParam);
    case WM_ACTIVATE: return OnActivate(window, wParam, lParam);
    case WM_PAINT: return OnPaint(window);
    case WM_DESTROY: return OnDestroy(window);
    default: return DefWindowProcW(window, message, wParam, lParam);
  }
}

HWND CreateMainWindow() {
  WNDCLASSEXW windowClass;
  FillWindowClass(&windowClass, AppInstance, MainWindowProc, L"Quillane");
  RegisterClassExW(&windowClass);
  MainWindow = CreateWindowExW(0, L"Quillane", L"Quillane", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, AppInstance, nullptr);
  return MainWindow;
}

void PostSettingsChanged() { PostMessageW(MainWindow, WM_USER, kRequestSettingsChanged, 0); }

void LayoutViews(int width, int height) {
  RECT bar;
  GetWindowRect(ControlBar, &bar);
  const int barHeight = bar.bottom - bar.top;
  MoveWindow(ControlBar, 0, 0, width, barHeight, TRUE);
  int statusHeight = 0;
  if (HWND statusBar = WindowState().statusBar) {
    // The status bar keeps its own height along the bottom of its parent.
    RECT status;
    GetWindowRect(statusBar, &status);
    statusHeight = status.bottom - status.top;
    MoveWindow(statusBar, 0, height - statusHeight, width, statusHeight, TRUE);
    FitStatusBar(width);
  }
  const int viewHeight = height - barHeight - statusHeight;
  if (IsDlgButtonChecked(ControlBar, kIdShowOriginal) == BST_CHECKED) {
    MoveWindow(FrcView, 0, barHeight, width / 2, viewHeight, TRUE);
    MoveWindow(OriginalView, width / 2, barHeight, (width + 1) / 2, viewHeight, TRUE);
  } else {
    MoveWindow(FrcView, 0, barHeight, width, viewHeight, TRUE);
    MoveWindow(OriginalView, 0, 0, 0, 0, TRUE);
  }
}

void ShowNewSource(const std::wstring& title) {
  SetWindowTextW(MainWindow, title.c_str());
  // Collapsing first makes each view see a size change and take the new
  // picture's scroll ranges, even when its final size is the same as before.
  MoveWindow(FrcView, 0, 0, 0, 0, TRUE);
  MoveWindow(OriginalView, 0, 0, 0, 0, TRUE);
  LayoutToClientArea();
  // A view that was 0 x 0 and stays so (the original view with the check box
  // off) sees no size change; it still needs the new picture's ranges so that
  // it follows its partner's scrolling within them.
  for (HWND view : {FrcView, OriginalView}) {
    RECT client;
    if (view && GetClientRect(view, &client) && client.right == 0 && client.bottom == 0)
      SendMessageW(view, WM_SIZE, SIZE_RESTORED, 0);
  }
  RefreshStatusBar();
  RefreshPixelCycle();
}

int OpenImage(const std::wstring& path) {
  CancelSave();
  // The judgement reads the picture being replaced; a picture that stays is
  // judged again.
  const bool judging = CancelFlashCheck();
  if (!LoadSourceImage(path.c_str())) {
    if (judging) CheckFlashing();
    ShowMessage(MainWindow, LastLoadRefusedForSize() ? kPictureTooLargeMessage : kCannotOpenMessage);
    return 0;
  }
  ShowNewSource(std::wstring(L"Quillane ") + path);
  return 1;
}

int OpenPattern(TestPattern pattern, int width, int height) {
  CancelSave();
  // The judgement reads the picture being replaced; a picture that stays is
  // judged again.
  const bool judging = CancelFlashCheck();
  if (!LoadSourcePattern(pattern, width, height)) {
    if (judging) CheckFlashing();
    ShowMessage(MainWindow, LastLoadRefusedForSize() ? kPictureTooLargeMessage : kCannotMakePatternMessage);
    return 0;
  }
  const char* name = TestPatternName(pattern);
  ShowNewSource(L"Quillane パターン: " + std::wstring(name, name + std::strlen(name)) + L" " +
                std::to_wstring(width) + L"×" + std::to_wstring(height));
  return 1;
}
