// The main window, its layout, the views and the settings file, driven in
// this process through the real windows and messages.
#include "app/main_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <mutex>
#include <set>
#include <shlobj.h>
#include <thread>
#include <vector>

#include "app/globals.h"
#include "app/playback.h"
#include "present/presentation.h"
#include "app/settings_file.h"
#include "app/status_bar.h"
#include "app/window_state.h"
#include "frc/engine_state.h"
#include "frc/frame_clock.h"
#include "frc/rebuild_frames.h"
#include "imaging/dib_surface.h"
#include "quillane_version.h"
#include "tests/gui/gui_test_support.h"
#include "tests/support/test_images.h"
#include "tests/support/win_test_support.h"
#include "views/image_view.h"
#include "views/pixel_cycle_window.h"

namespace {

unsigned Ramp(int x, int y) { return unsigned(x & 0xFF) << 16 | unsigned((x + y) & 0xFF) << 8 | unsigned(y & 0xFF); }
unsigned Grey(int, int) { return 0x808080u; }

RECT ChildRect(HWND child) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, MainWindow, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

SCROLLINFO Scroll(HWND view, int bar) {
  SCROLLINFO info = {};
  info.cbSize = sizeof info;
  info.fMask = SIF_ALL;
  GetScrollInfo(view, bar, &info);
  return info;
}

// A rectangle of the view's client area as the screen shows it, row by row
// from the top.
std::vector<unsigned> CaptureRect(HWND view, const RECT& area) {
  const int width = area.right - area.left, height = area.bottom - area.top;
  POINT origin = {area.left, area.top};
  ClientToScreen(view, &origin);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP capture = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, capture);
  BitBlt(memory, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY);
  GdiFlush();
  const unsigned* p = static_cast<const unsigned*>(bits);
  std::vector<unsigned> pixels(p, p + size_t(width) * size_t(height));
  SelectObject(memory, old);
  DeleteObject(capture);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

std::vector<unsigned> CaptureClient(HWND view) {
  RECT client;
  GetClientRect(view, &client);
  return CaptureRect(view, client);
}

// Every screen pixel of the view is its image pixel of the picture at the
// zoom level and the scroll position, wherever the picture reaches.
void ExpectViewShows(HWND view, const DibSurface& picture, int zoom) {
  const int width = picture.header.bmiHeader.biWidth, height = picture.header.bmiHeader.biHeight;
  const std::vector<std::uint32_t> expected = SurfacePixels(picture.bits, width, height);
  const int scrollX = Scroll(view, SB_HORZ).nPos, scrollY = Scroll(view, SB_VERT).nPos;
  RECT client;
  GetClientRect(view, &client);
  int mismatches = -1, compared = 0;
  // What the screen shows reaches the display a little after the paint.
  PumpUntil([&] {
    const std::vector<unsigned> shown = CaptureClient(view);
    mismatches = compared = 0;
    for (int y = 0; y < client.bottom && (y + scrollY) / zoom < height; ++y)
      for (int x = 0; x < client.right && (x + scrollX) / zoom < width; ++x, ++compared)
        mismatches += (shown[size_t(y) * client.right + x] & 0xFFFFFF) !=
                      expected[size_t((y + scrollY) / zoom) * width + (x + scrollX) / zoom];
    return mismatches == 0;
  }, 3000);
  EXPECT_GT(compared, 1000);
  EXPECT_EQ(0, mismatches) << (view == FrcView ? "FRC view" : "original view") << " at zoom " << zoom;
}

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

  // A picture loaded and its cycle built, the window placed where the screen
  // can be read, the clock stopped.
  void OpenPicture(int width, int height, unsigned (*colour)(int, int)) {
    Open();
    ResizeClient(401, 300);
    SetWindowPos(MainWindow, HWND_TOPMOST, 500, 400, 0, 0, SWP_NOSIZE);
    ASSERT_EQ(1, OpenImage(WriteImage(L"picture.bmp", width, height, colour)));
    PostSettingsChanged();
    Settle();
    ASSERT_NE(nullptr, FrameSet);
  }

  TempDirectory directory_;
  MessageBoxWatcher boxes_;
};

TEST_F(MainWindowTest, StartsWithDefaultsAndSavesFourKeysAtExit) {
  Open();
  EXPECT_EQ(L"Quillane", WindowText(MainWindow));
  EXPECT_EQ(L"4", ControlText(kIdInterval));
  EXPECT_EQ(L"3", ControlText(kIdCorrection));
  EXPECT_EQ(L"0.0166667", ControlText(kIdFrameDuration));
  EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(ControlBar, kIdShowOriginal));
  EXPECT_EQ(nullptr, FrameSet);  // nothing is built before an image
  Close();
  EXPECT_EQ(L"4", IniValue(L"FRCCount"));
  EXPECT_EQ(L"3", IniValue(L"FRCOffset"));
  EXPECT_EQ(L"0.0166667", IniValue(L"FRCDuration"));
  EXPECT_EQ(L"0", IniValue(L"ShowOriginal"));
  for (const SeenMessageBox& box : boxes_.Seen()) ADD_FAILURE() << "message box: " << testing::PrintToString(box.text);
}

TEST_F(MainWindowTest, SystemMenuOpensTheVersionBox) {
  Open();
  wchar_t label[64] = {};
  GetMenuStringW(GetSystemMenu(MainWindow, FALSE), kIdAbout, label, 64, MF_BYCOMMAND);
  EXPECT_STREQ(L"バージョン情報...", label);
  SendMessageW(MainWindow, WM_SYSCOMMAND, kIdAbout, 0);
  ASSERT_EQ(1u, boxes_.Seen().size());
  ExpectProgramMessage(boxes_.Seen()[0],
                       std::wstring(L"Quillane " QUILLANE_VERSION_WIDE) + (sizeof(void*) == 8 ? L" (64" : L" (32") +
                           L" ビット版)\nCopyright (c) 2026 The Quillane developers\nMIT ライセンスで配布しています。" +
                           L"\n\n表示の同期\n" + PresentationReport(),
                       MainWindow);
}

TEST_F(MainWindowTest, StoredTextsArriveUncheckedAndOtherKeysSurvive) {
  const std::wstring ini = SettingsFilePath();
  const std::wstring longValue(64, L'7');
  ASSERT_TRUE(WritePrivateProfileStringW(L"Settings", L"FRCCount", L"300", ini.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringW(L"Settings", L"FRCOffset", L"", ini.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringW(L"Settings", L"FRCDuration", longValue.c_str(), ini.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringW(L"Settings", L"ShowOriginal", L"yes", ini.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringW(L"Settings", L"Comment", L"mine", ini.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringW(L"Other", L"Key", L"kept", ini.c_str()));
  Open();
  EXPECT_EQ(L"300", ControlText(kIdInterval));
  EXPECT_EQ(L"", ControlText(kIdCorrection));
  EXPECT_EQ(longValue.substr(0, 63), ControlText(kIdFrameDuration));
  EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(ControlBar, kIdShowOriginal));
  Close();
  EXPECT_EQ(L"300", IniValue(L"FRCCount"));
  EXPECT_EQ(L"", IniValue(L"FRCOffset"));
  EXPECT_EQ(longValue.substr(0, 63), IniValue(L"FRCDuration"));
  EXPECT_EQ(L"mine", IniValue(L"Comment"));
  wchar_t other[32] = {};
  GetPrivateProfileStringW(L"Other", L"Key", L"", other, 32, ini.c_str());
  EXPECT_STREQ(L"kept", other);
  // Loading never validates.
  for (const SeenMessageBox& box : boxes_.Seen()) ADD_FAILURE() << "message box: " << testing::PrintToString(box.text);
}

// A program directory so long that the settings path passes MAX_PATH: the
// file is not used at all, and nothing is written under a cut path.
TEST_F(MainWindowTest, NoSettingsFileBeyondMaxPath) {
  std::wstring deep = directory_.Path();
  while (deep.size() < 300) {
    deep += L"\\" + std::wstring(40, L'd');
    ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
  }
  ModuleDirectory = deep;
  EXPECT_EQ(deep + L"\\settings.ini", SettingsFilePath());
  Open();
  EXPECT_EQ(L"4", ControlText(kIdInterval));
  EXPECT_EQ(L"0.0166667", ControlText(kIdFrameDuration));
  SetText(kIdCorrection, L"5");
  Close();
  const std::wstring cut = SettingsFilePath().substr(0, MAX_PATH - 1);
  for (const std::wstring& candidate : {SettingsFilePath(), cut, cut.substr(0, cut.find_last_of(L'\\')) + L"\\settings.ini"})
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(candidate.c_str())) << "written: " << testing::PrintToString(candidate);
}

TEST_F(MainWindowTest, ShowOriginalStoredAsOneStartsSideBySide) {
  ASSERT_TRUE(WritePrivateProfileStringW(L"Settings", L"ShowOriginal", L"1", SettingsFilePath().c_str()));
  Open();
  ResizeClient(601, 400);
  EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(ControlBar, kIdShowOriginal));
  const RECT frc = ChildRect(FrcView), original = ChildRect(OriginalView), bar = ChildRect(ControlBar);
  EXPECT_EQ(0, bar.top);
  EXPECT_EQ(601, Width(bar));
  EXPECT_EQ(300, Width(frc));
  EXPECT_EQ(301, Width(original));  // the odd pixel goes to the original
  EXPECT_EQ(300, original.left);
  EXPECT_EQ(Height(bar), frc.top);
  // The status bar along the bottom, the views between it and the bar.
  const RECT status = ChildRect(WindowState().statusBar);
  EXPECT_TRUE(status.bottom == 400 && Width(status) == 601 && status.top == frc.bottom);
  EXPECT_EQ(400 - Height(bar) - Height(status), Height(original));
}

TEST_F(MainWindowTest, CheckBoxRelaysOutWithoutRebuilding) {
  Open();
  ResizeClient(500, 300);
  EXPECT_EQ(500, Width(ChildRect(FrcView)));
  EXPECT_EQ(0, Width(ChildRect(OriginalView)));
  EXPECT_EQ(0, Height(ChildRect(OriginalView)));
  ASSERT_EQ(1, OpenImage(WriteImage(L"a.bmp", 40, 30, Ramp)));
  PostSettingsChanged();
  Settle();
  const DibSurface* frames = FrameSet;
  ASSERT_NE(nullptr, frames);
  ClickShowOriginal();
  PumpPending();
  EXPECT_EQ(250, Width(ChildRect(FrcView)));
  EXPECT_EQ(250, Width(ChildRect(OriginalView)));
  EXPECT_EQ(frames, FrameSet);
  ClickShowOriginal();
  PumpPending();
  EXPECT_EQ(500, Width(ChildRect(FrcView)));
  EXPECT_EQ(0, Width(ChildRect(OriginalView)));
  Close();
  EXPECT_EQ(L"0", IniValue(L"ShowOriginal"));
}

TEST_F(MainWindowTest, OpeningRetitlesAndSetsScrollRanges) {
  Open();
  ResizeClient(300, 200);
  const std::wstring path = WriteImage(L"picture.bmp", 640, 480, Ramp);
  ASSERT_EQ(1, OpenImage(path));
  EXPECT_EQ(L"Quillane " + path, WindowText(MainWindow));
  const SCROLLINFO h = Scroll(FrcView, SB_HORZ), v = Scroll(FrcView, SB_VERT);
  EXPECT_EQ(0, h.nMin);
  EXPECT_EQ(640, h.nMax);
  EXPECT_EQ(480, v.nMax);
  RECT client;
  GetClientRect(FrcView, &client);
  EXPECT_EQ(UINT(client.right), h.nPage);
  EXPECT_EQ(640, Scroll(OriginalView, SB_HORZ).nMax);
}

TEST_F(MainWindowTest, PatternMenuOpensAPatternAtTheViewsSizeAndRebuilds) {
  Open();
  ResizeClient(300, 200);
  ASSERT_EQ(1, OpenImage(WriteImage(L"picture.bmp", 640, 480, Ramp)));
  PostSettingsChanged();
  Settle();
  // The items of the pattern button's menu: squares, then gray.
  for (int pattern : {8, 0}) {
    const std::uint32_t previous = SourceSurface.generation;
    SendMessageW(MainWindow, WM_COMMAND, MAKEWPARAM(kIdPatternFirst + pattern, 0), 0);
    Settle();
    RECT client;
    GetClientRect(FrcView, &client);
    EXPECT_EQ(std::wstring(L"Quillane パターン: ") + (pattern == 8 ? L"squares " : L"gray ") +
                  std::to_wstring(client.right) + L"×" + std::to_wstring(client.bottom),
              WindowText(MainWindow));
    EXPECT_NE(previous, SourceSurface.generation);
    ASSERT_NE(nullptr, FrameSet);
    EXPECT_EQ(SourceSurface.generation, FrameSetPicture());
    EXPECT_EQ(client.right, FrameSet[0].header.bmiHeader.biWidth);
  }
  // The grey ramp runs from black on the left to white on the right.
  const int width = SourceSurface.header.bmiHeader.biWidth;
  const std::uint32_t* row = static_cast<const std::uint32_t*>(SourceSurface.bits);
  EXPECT_EQ(0u, row[0] & 0xFFFFFF);
  EXPECT_EQ(0xFFFFFFu, row[width - 1] & 0xFFFFFF);
  EXPECT_TRUE(boxes_.Seen().empty());
}

TEST_F(MainWindowTest, UnreadableFileKeepsThePreviousPicture) {
  Open();
  const std::wstring good = WriteImage(L"good.bmp", 20, 10, Ramp);
  ASSERT_EQ(1, OpenImage(good));
  const std::wstring bad = directory_.File(L"bad.png");
  ASSERT_TRUE(WriteFileBytes(bad, "no picture here", 15));
  HBITMAP before = SourceSurface.bitmap;
  EXPECT_EQ(0, OpenImage(bad));
  ASSERT_EQ(1u, boxes_.Seen().size());
  ExpectProgramMessage(boxes_.Seen()[0], L"ファイルを開けません。", MainWindow);
  EXPECT_EQ(before, SourceSurface.bitmap);
  EXPECT_EQ(L"Quillane " + good, WindowText(MainWindow));
}

TEST_F(MainWindowTest, DroppingSeveralFilesOpensOnlyTheFirst) {
  Open();
  const std::wstring first = WriteImage(L"first.bmp", 12, 8, Ramp);
  const std::wstring second = WriteImage(L"second.bmp", 30, 30, Grey);
  std::vector<wchar_t> names(first.begin(), first.end());
  names.push_back(L'\0');
  names.insert(names.end(), second.begin(), second.end());
  names.push_back(L'\0');
  names.push_back(L'\0');
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
  ASSERT_NE(nullptr, memory);
  DROPFILES* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  std::memcpy(drop + 1, names.data(), names.size() * sizeof(wchar_t));
  GlobalUnlock(memory);
  PostMessageW(MainWindow, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
  ASSERT_TRUE(PumpUntil([] { return FrameSet != nullptr; }));
  Settle();
  EXPECT_EQ(L"Quillane " + first, WindowText(MainWindow));
  EXPECT_EQ(12, SourceSurface.header.bmiHeader.biWidth);
  EXPECT_EQ(4u, FrcCount);
}

TEST_F(MainWindowTest, TypingRebuildsFromTheCurrentText) {
  Open();
  ASSERT_EQ(1, OpenImage(WriteImage(L"a.bmp", 16, 16, Ramp)));
  PostSettingsChanged();
  Settle();
  ASSERT_EQ(4u, FrcCount);
  Type(kIdInterval, L"");
  Settle();
  ASSERT_EQ(1u, boxes_.Seen().size());
  EXPECT_EQ(L"間隔は1から255の範囲内である必要があります。", boxes_.Seen()[0].text);
  EXPECT_EQ(4u, FrcCount);  // an invalid text changes nothing
  Type(kIdInterval, L"16");
  Settle();
  EXPECT_EQ(16u, FrcCount);
  EXPECT_EQ(3u, FrcOffset);
  // Picking a preset: the selection's text is what gets applied.
  const LRESULT index = SendDlgItemMessageW(ControlBar, kIdInterval, CB_FINDSTRINGEXACT, WPARAM(-1),
                                            reinterpret_cast<LPARAM>(L"8"));
  ASSERT_NE(CB_ERR, index);
  SendDlgItemMessageW(ControlBar, kIdInterval, CB_SETCURSEL, WPARAM(index), 0);
  SendMessageW(ControlBar, WM_COMMAND, MAKEWPARAM(kIdInterval, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(GetDlgItem(ControlBar, kIdInterval)));
  Settle();
  EXPECT_EQ(8u, FrcCount);
  EXPECT_EQ(1u, boxes_.Seen().size());
}

// What the keyboard gives with the Japanese input method on: full-width
// digits, signs and points, ideographic spaces. The lowered correction is
// written back in ASCII digits.
TEST_F(MainWindowTest, FullWidthTextsApplyAsTheirAsciiCounterparts) {
  Open();
  ASSERT_EQ(1, OpenImage(WriteImage(L"a.bmp", 16, 16, Ramp)));
  SetText(kIdCorrection, L"\x3000\xFF19\xFF19");
  SetText(kIdFrameDuration, L"\xFF10\x3002\xFF15");
  Type(kIdInterval, L"\xFF0B\xFF11\xFF16");
  Settle();
  EXPECT_EQ(16u, FrcCount);
  EXPECT_EQ(15u, FrcOffset);
  EXPECT_EQ(L"15", ControlText(kIdCorrection));
  EXPECT_EQ(5000000u, FrameDuration.load());
  EXPECT_TRUE(boxes_.Seen().empty());
}

TEST_F(MainWindowTest, ScrollingOneViewMovesTheOther) {
  ASSERT_TRUE(WritePrivateProfileStringW(L"Settings", L"ShowOriginal", L"1", SettingsFilePath().c_str()));
  Open();
  ResizeClient(401, 300);
  ASSERT_EQ(1, OpenImage(WriteImage(L"big.bmp", 640, 480, Ramp)));
  Settle();
  RECT frcClient, originalClient;
  GetClientRect(FrcView, &frcClient);
  GetClientRect(OriginalView, &originalClient);
  ASSERT_EQ(originalClient.right, frcClient.right + 1);

  SendMessageW(FrcView, WM_HSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(16, Scroll(FrcView, SB_HORZ).nPos);
  EXPECT_EQ(16, Scroll(OriginalView, SB_HORZ).nPos);
  SendMessageW(OriginalView, WM_VSCROLL, SB_PAGEDOWN, 0);
  const int pageDown = std::min<int>(originalClient.bottom, 480 - originalClient.bottom + 1);
  EXPECT_EQ(pageDown, Scroll(OriginalView, SB_VERT).nPos);
  EXPECT_EQ(pageDown, Scroll(FrcView, SB_VERT).nPos);
  SendMessageW(FrcView, WM_HSCROLL, SB_LINEUP, 0);
  SendMessageW(FrcView, WM_HSCROLL, SB_LINEUP, 0);
  EXPECT_EQ(0, Scroll(FrcView, SB_HORZ).nPos);  // clamped at the start
  EXPECT_EQ(0, Scroll(OriginalView, SB_HORZ).nPos);
  // Fully right: the narrower FRC view reaches one position further.
  for (int i = 0; i < 100; ++i) SendMessageW(FrcView, WM_HSCROLL, SB_PAGEDOWN, 0);
  EXPECT_EQ(640 - frcClient.right + 1, Scroll(FrcView, SB_HORZ).nPos);
  EXPECT_EQ(640 - originalClient.right + 1, Scroll(OriginalView, SB_HORZ).nPos);
  // Requests that do not move still keep the partner in step.
  SendMessageW(FrcView, WM_HSCROLL, SB_TOP, 0);
  EXPECT_EQ(640 - frcClient.right + 1, Scroll(FrcView, SB_HORZ).nPos);
}

TEST_F(MainWindowTest, ViewsPaintTheCurrentFrameAndTheSource) {
  ASSERT_TRUE(WritePrivateProfileStringW(L"Settings", L"ShowOriginal", L"1", SettingsFilePath().c_str()));
  Open();
  ResizeClient(400, 240);
  // Away from the corner where other test programs' windows appear, and above them.
  SetWindowPos(MainWindow, HWND_TOPMOST, 500, 400, 0, 0, SWP_NOSIZE);
  ASSERT_EQ(1, OpenImage(WriteImage(L"ramp.bmp", 300, 200, Ramp)));
  PostSettingsChanged();
  Settle();
  ASSERT_NE(nullptr, FrameSet);
  SendMessageW(FrcView, WM_HSCROLL, SB_LINEDOWN, 0);  // both views at column 16
  UpdateWindow(FrcView);
  UpdateWindow(OriginalView);

  ExpectViewShows(FrcView, FrameSet[CurrentFrame], 1);
  ExpectViewShows(OriginalView, SourceSurface, 1);
}

TEST_F(MainWindowTest, ZoomShowsExactBlocksFollowsTheWheelAndIsKept) {
  const std::wstring ini = SettingsFilePath();
  ASSERT_TRUE(WritePrivateProfileStringW(L"Settings", L"ShowOriginal", L"1", ini.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringW(L"Settings", L"Zoom", L"5", ini.c_str()));
  OpenPicture(151, 213, Ramp);
  EXPECT_EQ(1, WindowState().zoom.load());  // not a level
  SetFocus(IntervalEdit());  // the zoom keys and the wheel work with the focus in a field
  for (int zoom : {2, 3}) {
    PressKey(zoom == 2 ? VK_ADD : VK_OEM_PLUS, true);
    ASSERT_EQ(zoom, WindowState().zoom.load());
    SendMessageW(FrcView, WM_HSCROLL, SB_LINEDOWN, 0);  // partly scrolled, both views
    SendMessageW(OriginalView, WM_VSCROLL, SB_LINEDOWN, 0);
    ExpectViewShows(FrcView, FrameSet[CurrentFrame], zoom);
    ExpectViewShows(OriginalView, SourceSurface, zoom);
  }
  PressKey('0', true);
  POINT cursor = {101, 67}, before, after, screen = cursor;
  ASSERT_EQ(1, PicturePixelAt(FrcView, cursor, &before));
  ClientToScreen(FrcView, &screen);
  for (int notch : {1, 1, 1, -1}) {  // the system gives the wheel to the focus window
    PostMessageW(GetFocus(), WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, WHEEL_DELTA * notch), MAKELPARAM(screen.x, screen.y));
    PumpPending();
    ASSERT_EQ(1, PicturePixelAt(FrcView, cursor, &after));
    EXPECT_TRUE(before.x == after.x && before.y == after.y) << after.x << "," << after.y;
  }
  EXPECT_EQ(L"倍率 300%", StatusText(1));
  Close();
  EXPECT_EQ(L"3", IniValue(L"Zoom"));
  Open();
  EXPECT_EQ(3, WindowState().zoom.load());
}

TEST_F(MainWindowTest, PauseStepsStatusBarAndFocusAfterTheMessage) {
  ASSERT_TRUE(WritePrivateProfileStringW(L"Settings", L"ShowOriginal", L"1", SettingsFilePath().c_str()));
  ASSERT_TRUE(WritePrivateProfileStringW(L"Settings", L"Zoom", L"2", SettingsFilePath().c_str()));
  OpenPicture(20, 10, Ramp);
  StartFrameClock(MainWindow, WM_USER, kRequestFrameChanged);
  SetFocus(IntervalEdit());
  SendMessageW(IntervalEdit(), EM_SETSEL, 0, -1);
  PressKey(VK_SPACE);  // typed over the selected text, not a pause: the range message
  ASSERT_EQ(1u, boxes_.Seen().size());
  // Another test program's window may have taken the activation meanwhile; the
  // window's own activation must then bring the focus back as well.
  SetForegroundWindow(MainWindow);
  EXPECT_EQ(IntervalEdit(), GetFocus());  // the focus is back in the field and it takes the next keys
  SendMessageW(GetFocus(), WM_CHAR, L'4', 1);
  PumpPending();
  EXPECT_EQ(L" 4", ControlText(kIdInterval));
  EXPECT_NE(0u, FrameClockTimer());
  SendMessageW(FrcView, WM_LBUTTONDOWN, 0, 0);
  PressKey(VK_SPACE);
  EXPECT_EQ(0u, FrameClockTimer());
  const std::uint32_t f = CurrentFrame;
  const struct { WPARAM key; std::uint32_t frame; } steps[] = {
      {VK_RIGHT, (f + 1) % 4}, {VK_OEM_PERIOD, (f + 2) % 4}, {VK_RIGHT, (f + 3) % 4}, {VK_LEFT, (f + 2) % 4},
      {VK_OEM_COMMA, (f + 1) % 4}, {VK_LEFT, f}, {VK_LEFT, (f + 3) % 4}, {VK_LEFT, (f + 2) % 4}, {VK_HOME, 0},
      {VK_RIGHT, 1}, {VK_RIGHT, 2}};
  for (const auto& step : steps) {
    PressKey(step.key);
    EXPECT_EQ(step.frame, CurrentFrame) << "key " << step.key;
  }
  EXPECT_EQ(L"フレーム 3 / 4（一時停止）", StatusText(0));
  const std::uint32_t shown = SurfacePixels(FrameSet[2].bits, 20, 10)[5 * 20 + 7];
  wchar_t expected[200];
  // N = 4, correction 3: red 7 is a level; green 12 shows 15 in one frame of
  // four and 11 in the others, blue 5 shows 3 and 7 in two each. In light:
  // green 12.08, blue 5.0 (linear there); blue's modulation 4/10 is the
  // larger; the pixel repeats every 4 frames of 1/60 s.
  std::swprintf(expected, 200,
                L"x 7, y 5  元 R7 G12 B5  表示 R%u G%u B%u  平均 R7.0 G12.0 B5.0  光 R7.0 G12.1 B5.0  "
                L"ちらつき 40.0%% 15.0 Hz",
                shown >> 16, shown >> 8 & 0xFF, shown & 0xFF);
  SendMessageW(FrcView, WM_MOUSEMOVE, 0, MAKELPARAM(15, 11));
  EXPECT_EQ(expected, StatusText(2));
  SendMessageW(OriginalView, WM_MOUSEMOVE, 0, MAKELPARAM(14, 10));
  EXPECT_EQ(L"x 7, y 5  元 R7 G12 B5  表示 R7 G12 B5", StatusText(2));
  SendMessageW(OriginalView, WM_MOUSEMOVE, 0, MAKELPARAM(40, 10));  // right of the picture
  EXPECT_EQ(L"", StatusText(2));

  const std::vector<unsigned> before = CaptureClient(FrcView);
  PumpUntil([] { return false; }, 1000);
  EXPECT_EQ(2u, CurrentFrame);
  EXPECT_TRUE(before == CaptureClient(FrcView));
  Type(kIdInterval, L"8");
  PumpPending();
  EXPECT_EQ(0u, FrameClockTimer());
  EXPECT_EQ(L"フレーム 1 / 8（一時停止）", StatusText(0));
  SetFocus(FrcView);
  PressKey(VK_SPACE);
  EXPECT_NE(0u, FrameClockTimer());
}

// Without a vblank the timer plays, and says why; the system menu's item
// switches the mode, which the settings file keeps.
TEST_F(MainWindowTest, WithoutVblankTheTimerPlaysAndTheMenuSwitches) {
  Open();
  if (PresentationLocked()) GTEST_SKIP() << "this display has a vblank source";
  EXPECT_EQ(L"非同期（タイマー）", StatusText(3));
  const std::wstring report = PresentationReport();
  EXPECT_NE(std::wstring::npos, report.find(L"選択: タイマー")) << testing::PrintToString(report);
  EXPECT_NE(std::wstring::npos, report.find(L"DWM: 不可（")) << testing::PrintToString(report);
  HMENU menu = GetSystemMenu(MainWindow, FALSE);
  EXPECT_EQ(static_cast<UINT>(MF_CHECKED), GetMenuState(menu, kIdPresentationSync, MF_BYCOMMAND) & MF_CHECKED);
  SendMessageW(MainWindow, WM_SYSCOMMAND, kIdPresentationSync, 0);
  EXPECT_EQ(0u, GetMenuState(menu, kIdPresentationSync, MF_BYCOMMAND) & MF_CHECKED);
  Close();
  EXPECT_EQ(L"timer", IniValue(L"Presentation"));
}

// The log's rows, read back: frame, vblank, counter, held, exact.
std::vector<std::vector<long long>> LogRows(const std::wstring& path) {
  const std::vector<unsigned char> bytes = ReadFileBytes(path);
  std::vector<std::vector<long long>> rows;
  std::string line;
  for (unsigned char c : bytes) {
    if (c != '\n') {
      line += static_cast<char>(c);
      continue;
    }
    std::vector<long long> row(5, -1);
    if (std::sscanf(line.c_str(), "%lld,%lld,%lld,%lld,%lld", &row[0], &row[1], &row[2], &row[3], &row[4]) == 5)
      rows.push_back(row);
    line.clear();
  }
  return rows;
}

// The simulated source plays locked: every frame change is logged, each row
// follows the one before by exactly what it was held, and the status bar's
// figures are the log's. Swallowed vblanks show as doubled and missed frames.
TEST_F(MainWindowTest, SimulatedSourceLocksPlaybackAndAuditsIt) {
  const struct {
    SimulatedSourceOption source;
    const wchar_t* duration;
    long long k;
  } cases[] = {{{{240, 1}, 0}, L"0.0083333", 2}, {{{60, 1}, 5}, L"0.0166667", 1}};
  for (const auto& c : cases) {
    const std::wstring log = directory_.File(L"presentation.csv");
    SetPresentationOptions(&c.source, log.c_str());
    ASSERT_TRUE(WritePrivateProfileStringW(L"Settings", L"FRCDuration", c.duration, SettingsFilePath().c_str()));
    OpenPicture(40, 40, Ramp);
    ASSERT_TRUE(PresentationLocked());
    PumpUntil([] { return false; }, 1500);
    // Paused, the frame stays until a step moves it, and the view shows it.
    PressKey(VK_SPACE);
    const std::uint32_t pausedFrame = CurrentFrame;
    PumpUntil([] { return false; }, 200);
    EXPECT_EQ(pausedFrame, CurrentFrame);
    StepFrame(1);
    EXPECT_EQ((pausedFrame + 1) % 4, CurrentFrame);
    ExpectViewShows(FrcView, FrameSet[CurrentFrame], 1);
    PumpUntil([] { return false; }, 200);
    const std::wstring status = StatusText(3);
    Close();
    SetPresentationOptions(nullptr, nullptr);

    long long doubled = 0, missed = 0, exact = 0;
    const std::vector<std::vector<long long>> rows = LogRows(log);
    ASSERT_GT(rows.size(), 20u);
    for (size_t i = 0; i < rows.size(); ++i) {
      const std::vector<long long>& row = rows[i];
      // The next frame went up as this one left; the last one gave way to
      // the frame on screen at the pause. Frames the wakes jumped never
      // reach the log: each is a missed frame.
      const long long nextFrame = i + 1 < rows.size() ? rows[i + 1][0] : pausedFrame;
      if (i + 1 < rows.size()) {
        EXPECT_EQ(row[1] + row[3], rows[i + 1][1]) << "row " << i;
        EXPECT_LT(row[2], rows[i + 1][2]) << "row " << i;
      }
      EXPECT_EQ(row[3] == c.k, row[4] == 1);
      exact += row[4];
      doubled += row[3] > c.k;
      missed += (row[3] < c.k) + (nextFrame - row[0] + 3) % 4;
    }
    EXPECT_GT(exact, static_cast<long long>(rows.size()) / 2);
    wchar_t expected[120];
    std::swprintf(expected, 120, L"同期（模擬） %u Hz ×%lld 欠落 %lld 重複 %lld", c.source.rate.numerator, c.k,
                  missed, doubled);
    EXPECT_EQ(0u, status.find(expected)) << testing::PrintToString(status) << " against the log: " << doubled << " doubled, " << missed << " missed, rows " << rows.size();
    if (c.source.dropEvery != 0) {
      EXPECT_GE(doubled, static_cast<long long>(rows.size()) / 5 - 1);
    } else {
      // Only a wake more than a refresh late disturbs the lock; a busy
      // machine may cause a few.
      EXPECT_LE(doubled + missed, static_cast<long long>(rows.size()) / 10) << testing::PrintToString(status);
    }
  }
}

// The presentation report once the thread has settled how it draws: through a
// swap chain that gives statistics, or GDI with the reason.
std::wstring SettledPresentationReport() {
  std::wstring report;
  PumpUntil([&] {
    report = PresentationReport();
    return report.find(L"表示: GDI（") != std::wstring::npos || report.find(L"統計あり") != std::wstring::npos;
  }, 3000);
  return report;
}

// The screen, read against the counter, agrees with the log: with the
// simulated 60 Hz source and k = 2, every frame seen on screen was seen while
// the log says it was up. The presenting thread waits between vblanks instead
// of spinning.
TEST_F(MainWindowTest, SimulatedSourceScreenAgreesWithTheLogAndNothingSpins) {
  const SimulatedSourceOption source = {{60, 1}, 0};
  const std::wstring log = directory_.File(L"screen.csv");
  SetPresentationOptions(&source, log.c_str());
  ASSERT_TRUE(WritePrivateProfileStringW(L"Settings", L"FRCDuration", L"0.0333333", SettingsFilePath().c_str()));
  OpenPicture(40, 40, Ramp);
  ASSERT_TRUE(PresentationLocked());
  std::vector<std::vector<std::uint32_t>> frames;
  for (int f = 0; f < 4; ++f) frames.push_back(SurfacePixels(FrameSet[f].bits, 40, 40));
  ASSERT_EQ(4u, std::set<std::vector<std::uint32_t>>(frames.begin(), frames.end()).size());

  // Trying the swap chain costs a burst of work once; the playing after it is measured.
  SettledPresentationReport();
  const ULONGLONG cpuBefore = ProcessCpu100ns();
  const DWORD idleStart = GetTickCount();
  PumpUntil([] { return false; }, 1000);
  const double cpuShare = double(ProcessCpu100ns() - cpuBefore) / 10000.0 / double(GetTickCount() - idleStart);
  EXPECT_LT(cpuShare, 0.25) << "of one core while playing at 60 Hz";

  struct Seen {
    long long from, to;
    int frame;
  };
  std::vector<Seen> seen;
  for (const DWORD start = GetTickCount(); GetTickCount() - start < 1500;) {
    LARGE_INTEGER before, after;
    QueryPerformanceCounter(&before);
    std::vector<unsigned> shown = CaptureRect(FrcView, RECT{0, 0, 40, 40});
    QueryPerformanceCounter(&after);
    for (unsigned& pixel : shown) pixel &= 0xFFFFFF;
    for (int f = 0; f < 4; ++f)
      if (std::equal(shown.begin(), shown.end(), frames[f].begin())) seen.push_back({before.QuadPart, after.QuadPart, f});
    PumpPending();
  }
  Close();
  SetPresentationOptions(nullptr, nullptr);

  // Row i: frame rows[i][0] was put up at counter rows[i][2] and stayed until
  // the next row's. A frame is drawn a little after its wake: 10 ms allowed.
  const std::vector<std::vector<long long>> rows = LogRows(log);
  ASSERT_GT(rows.size(), 30u);
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  const long long slack = frequency.QuadPart / 100;
  size_t checked = 0, changes = 0;
  for (size_t i = 0; i < seen.size(); ++i) {
    changes += i > 0 && seen[i].frame != seen[i - 1].frame;
    if (seen[i].from >= rows.back()[2]) break;
    bool agrees = false;
    for (size_t r = 0; r + 1 < rows.size() && !agrees; ++r)
      agrees = rows[r][0] == seen[i].frame && seen[i].to >= rows[r][2] && seen[i].from <= rows[r + 1][2] + slack;
    EXPECT_TRUE(agrees) << "frame " << seen[i].frame << " seen at " << seen[i].from;
    ++checked;
  }
  EXPECT_GT(checked, 100u);
  EXPECT_GT(changes, 20u);
}

// Locked playback presents through a flip chain where one gives statistics;
// Wine's makes one but gives none, so playback falls back to GDI, the report
// says why, and the view still shows the frame.
TEST_F(MainWindowTest, LockedPlaybackReportsItsPathAndFallsBackToGdi) {
  const SimulatedSourceOption source = {{60, 1}, 0};
  SetPresentationOptions(&source, nullptr);
  OpenPicture(40, 40, Ramp);
  ASSERT_TRUE(PresentationLocked());
  const std::wstring report = SettledPresentationReport();
  const bool wine = UnderWine();
  if (wine) {
    ASSERT_EQ("", MissingDirect3D());
  }
  EXPECT_NE(std::wstring::npos, report.find(wine ? L"表示: GDI（表示の統計" : L"表示: "))
      << testing::PrintToString(report);
  PressKey(VK_SPACE);
  StepFrame(1);
  ExpectViewShows(FrcView, FrameSet[CurrentFrame], 1);
  PressKey(VK_SPACE);
  PumpUntil([] { return false; }, 300);
  EXPECT_NE(std::wstring::npos, StatusText(3).find(L"同期（模擬） 60 Hz")) << testing::PrintToString(StatusText(3));
  Close();
  SetPresentationOptions(nullptr, nullptr);
}

// While frames are presented, the view's own paints go to the presenting
// thread: a paint never waits for the frames' lock, and that thread draws the
// whole view, the background the picture no longer covers included, through a
// DC of its own rather than the view class's shared one.
TEST_F(MainWindowTest, LockedPlaybackDrawsTheViewsPaintsWithoutWaitingForFrames) {
  const SimulatedSourceOption source = {{60, 1}, 0};
  SetPresentationOptions(&source, nullptr);
  OpenPicture(40, 40, Ramp);
  ASSERT_TRUE(PresentationLocked());
  SetFocus(IntervalEdit());
  PressKey(VK_SPACE);
  // The thread draws through a DC of its own: what this thread sets in the
  // view class's DC stays there.
  HDC classDc = GetDC(FrcView);
  SetWindowOrgEx(classDc, 7, 5, nullptr);
  ReleaseDC(FrcView, classDc);
  PressKey(VK_ADD, true);
  ExpectViewShows(FrcView, FrameSet[CurrentFrame], 2);

  std::atomic<bool> locked{false};
  std::thread holder([&] {
    std::lock_guard<std::mutex> guard(FrameSetLock());
    locked = true;
    Sleep(1500);
  });
  while (!locked) Sleep(1);
  InvalidateRect(FrcView, nullptr, TRUE);
  const DWORD start = GetTickCount();
  UpdateWindow(FrcView);
  EXPECT_LT(GetTickCount() - start, 500u);
  holder.join();

  PressKey(VK_SUBTRACT, true);
  ExpectViewShows(FrcView, FrameSet[CurrentFrame], 1);
  RECT client;
  GetClientRect(FrcView, &client);
  EXPECT_TRUE(PumpUntil([&] {
    const std::vector<unsigned> shown = CaptureClient(FrcView);
    return (shown[size_t(20) * client.right + 60] & 0xFFFFFF) == 0xFFFFFF &&
           (shown[size_t(60) * client.right + 20] & 0xFFFFFF) == 0xFFFFFF;
  }, 3000)) << "the zoomed picture stays beside and below the picture";
  classDc = GetDC(FrcView);
  POINT origin = {};
  GetWindowOrgEx(classDc, &origin);
  SetWindowOrgEx(classDc, 0, 0, nullptr);
  ReleaseDC(FrcView, classDc);
  EXPECT_TRUE(origin.x == 7 && origin.y == 5) << "the presenting thread drew through the class DC: " << origin.x << "," << origin.y;
  Close();
  SetPresentationOptions(nullptr, nullptr);
}

// Puts a packed DIB of the picture colour(x, y) on the clipboard: 24 bits with
// a plain header, or 32 bits with a version 5 header and masks.
void PutOnClipboard(UINT format, int width, int height, bool topDown, unsigned (*colour)(int, int)) {
  BITMAPV5HEADER header = {};
  const bool v5 = format == CF_DIBV5;
  header.bV5Size = v5 ? sizeof(BITMAPV5HEADER) : sizeof(BITMAPINFOHEADER);
  header.bV5Width = width;
  header.bV5Height = topDown ? -height : height;
  header.bV5BitCount = v5 ? 32 : 24;
  header.bV5Compression = v5 ? BI_BITFIELDS : BI_RGB;
  header.bV5RedMask = 0xFF0000, header.bV5GreenMask = 0xFF00, header.bV5BlueMask = 0xFF;
  const size_t pixelBytes = v5 ? 4 : 3, stride = (width * pixelBytes + 3) & ~size_t(3);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, header.bV5Size + stride * height);
  unsigned char* block = static_cast<unsigned char*>(GlobalLock(memory));
  std::memcpy(block, &header, header.bV5Size);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const unsigned c = colour(x, topDown ? y : height - 1 - y);
      std::memcpy(block + header.bV5Size + y * stride + x * pixelBytes, &c, pixelBytes);
    }
  GlobalUnlock(memory);
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  if (width > 0) SetClipboardData(format, memory); else GlobalFree(memory);
  CloseClipboard();
}

TEST_F(MainWindowTest, PastedImagesAreTheSourceAFileGivesAndCopyGivesTheFrame) {
  OpenPicture(13, 7, Ramp);
  const std::vector<std::uint32_t> fromFile = SurfacePixels(SourceSurface.bits, 13, 7);
  for (UINT format : {UINT(CF_DIB), UINT(CF_DIBV5)}) {  // bottom-up 24 bits, top-down 32 bits
    PutOnClipboard(format, 13, 7, format == CF_DIBV5, Ramp);
    SourceSurface.Reset();
    PressKey('V', true);
    EXPECT_EQ(L"Quillane (クリップボード)", WindowText(MainWindow));
    ASSERT_EQ(13, SourceSurface.header.bmiHeader.biWidth);
    EXPECT_TRUE(fromFile == SurfacePixels(SourceSurface.bits, 13, 7)) << format;
  }
  PutOnClipboard(CF_DIB, 0, 0, false, Ramp);
  HBITMAP before = SourceSurface.bitmap;
  PressKey('V', true);
  ASSERT_EQ(1u, boxes_.Seen().size());
  ExpectProgramMessage(boxes_.Seen()[0], L"クリップボードに画像がありません。", MainWindow);
  EXPECT_EQ(before, SourceSurface.bitmap);

  Settle();
  SetFocus(FrcView);
  PressKey(VK_SPACE);
  PressKey(VK_RIGHT);
  PressKey('C', true);
  ASSERT_TRUE(OpenClipboard(nullptr));
  const BITMAPINFOHEADER* copied = static_cast<const BITMAPINFOHEADER*>(GlobalLock(GetClipboardData(CF_DIB)));
  ASSERT_NE(nullptr, copied);
  EXPECT_TRUE(SurfacePixels(copied + 1, 13, 7) == SurfacePixels(FrameSet[CurrentFrame].bits, 13, 7));
  CloseClipboard();
}

// The same pixel as above, in the window a Shift+click opens.
TEST_F(MainWindowTest, ShiftClickShowsThePixelsCycleWhichFollowsTheValues) {
  OpenPicture(20, 10, Ramp);
  SendMessageW(FrcView, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(7, 5));
  EXPECT_EQ(nullptr, PixelCycleWindow());
  SendMessageW(FrcView, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELPARAM(7, 5));
  ASSERT_NE(nullptr, PixelCycleWindow());
  std::wstring strips[3] = {L"R", L"G", L"B"};
  std::set<std::uint32_t> cells;  // each value in its channel's colour
  for (std::uint32_t k = 0; k < 4; ++k) {
    const std::uint32_t value = SurfacePixels(FrameSet[k].bits, 20, 10)[5 * 20 + 7];
    for (int c = 0; c < 3; ++c) {
      strips[c] += L" " + std::to_wstring(value >> (16 - 8 * c) & 0xFF);
      cells.insert(value & (0xFF0000u >> (8 * c)));
    }
  }
  EXPECT_EQ(L"画素 x 7, y 5  間隔 4\n" + strips[0] + L"  上位 0 / 4\n" + strips[1] + L"  上位 1 / 4\n" + strips[2] +
                L"  上位 2 / 4\n平均 R7.0 G12.0 B5.0\n光 R7.0 G12.1 B5.0\n元 R7 G12 B5\n",
            PixelCycleText());
  // Its drawing, as a print into a top-down 32-bpp section.
  RECT client;
  GetClientRect(PixelCycleWindow(), &client);
  BITMAPINFO info = {{sizeof(BITMAPINFOHEADER), client.right, -client.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
  void* bits = nullptr;
  HDC memory = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(memory, CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  SendMessageW(PixelCycleWindow(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT);
  GdiFlush();
  std::set<std::uint32_t> drawn;
  for (long i = 0; i < client.right * client.bottom; ++i) drawn.insert(static_cast<std::uint32_t*>(bits)[i] & 0xFFFFFF);
  DeleteObject(SelectObject(memory, old));
  DeleteDC(memory);
  for (std::uint32_t colour : cells) EXPECT_EQ(1u, drawn.count(colour)) << std::hex << colour;

  Type(kIdInterval, L"1");
  PumpPending();
  EXPECT_EQ(L"画素 x 7, y 5  間隔 1\nR 7  上位 0 / 1\nG 12  上位 0 / 1\nB 5  上位 0 / 1\n平均 R7.0 G12.0 B5.0\n"
            L"光 R7.0 G12.0 B5.0\n元 R7 G12 B5\n",
            PixelCycleText());
  ASSERT_EQ(1, OpenImage(WriteImage(L"small.bmp", 4, 4, Ramp)));
  PostSettingsChanged();
  Settle();
  EXPECT_EQ(L"画素 x 7, y 5  サイクルがありません\n", PixelCycleText());
  SendMessageW(PixelCycleWindow(), WM_CLOSE, 0, 0);
  EXPECT_EQ(nullptr, PixelCycleWindow());
}

}  // namespace

// Folder pickers this thread opens: counted and cancelled, so that a save
// that should not have asked for a folder fails the test instead of hanging it.
int pickersShown = 0;

LRESULT CALLBACK CancelFolderPicker(int code, WPARAM wParam, LPARAM lParam) {
  HWND dialog = reinterpret_cast<HWND>(wParam);
  wchar_t className[32] = {};
  if (code == HCBT_ACTIVATE && GetClassNameW(dialog, className, 32) && std::wcscmp(className, L"#32770") == 0 &&
      dialog != ControlBar && GetDlgItem(dialog, 0xFFFF) == nullptr) {
    ++pickersShown;
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

int PickersShownBySave() {
  pickersShown = 0;
  HHOOK hook = SetWindowsHookExW(WH_CBT, CancelFolderPicker, nullptr, GetCurrentThreadId());
  SendMessageW(MainWindow, WM_COMMAND, MAKEWPARAM(kIdSave, BN_CLICKED), 0);
  PumpPending();
  UnhookWindowsHookEx(hook);
  return pickersShown;
}

// A second picture of the same size whose rebuild is refused leaves the first
// picture's frames in place; Save must not present them as the second's.
TEST_F(MainWindowTest, SaveOffersOnlyTheCycleOfThePictureOnShow) {
  OpenPicture(40, 30, Ramp);
  Type(kIdInterval, L"");
  PumpPending();
  const std::wstring second = WriteImage(L"second.bmp", 40, 30, Grey);
  ASSERT_EQ(1, OpenImage(second));
  PostSettingsChanged();
  Settle();
  ASSERT_EQ(2u, boxes_.Seen().size());  // the range message, once for each picture
  EXPECT_EQ(L"Quillane " + second, WindowText(MainWindow));
  ASSERT_NE(nullptr, FrameSet);
  EXPECT_EQ(0, PickersShownBySave());

  Type(kIdInterval, L"4");
  Settle();
  EXPECT_EQ(1, PickersShownBySave()) << "with the second picture's cycle built, Save asks for a folder";
}
