// The two views inside the main window: scrolled together, painting the
// current frame and the source, zoomed in exact blocks.
#include "tests/gui/main_window_fixture.h"

#include <algorithm>

#include "app/control_bar.h"
#include "app/resource_ids.h"
#include "app/status_bar.h"
#include "frc/level_tables.h"
#include "frc/phase_patterns.h"

namespace {

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

}  // namespace

// The phase pattern list: a malformed custom matrix is refused with its fault
// named and standard used; a choice from the list rebuilds with that pattern
// and is kept in the settings.
TEST_F(MainWindowTest, PhasePatternListChoosesThePatternAndRefusesABadMatrix) {
  ASSERT_TRUE(WritePrivateProfileStringW(L"Settings", L"PhasePattern", L"custom", SettingsFilePath().c_str()));
  ASSERT_TRUE(WritePrivateProfileStringW(L"Settings", L"PhasePatternMatrix", L"0 1 / 1 2", SettingsFilePath().c_str()));
  OpenPicture(40, 30, Ramp);
  ASSERT_EQ(1u, boxes_.Seen().size());
  EXPECT_NE(std::wstring::npos, boxes_.Seen()[0].text.find(L"同じ値が2回あります: 1"));
  boxes_.Clear();
  EXPECT_EQ(PhasePatternKind::kStandard, PhasePatternInBar());
  EXPECT_EQ(PhasePatternKind::kStandard, CurrentPhasePattern().kind);

  SelectPhasePatternInBar(PhasePatternKind::kBayer4);
  HWND list = GetDlgItem(ControlBar, kIdPhasePattern);
  SendMessageW(ControlBar, WM_COMMAND, MAKEWPARAM(kIdPhasePattern, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
  Settle();
  EXPECT_EQ(PhasePatternKind::kBayer4, CurrentPhasePattern().kind);
  EXPECT_EQ(4u, PatternWidth);
  Close();
  EXPECT_EQ(L"bayer4", IniValue(L"PhasePattern"));
  SetPhasePattern(PhasePattern());
}
