// Playing the cycle in the main window: pause, stepping and the keys that do
// it, the status bar and the pixel readout under the mouse, and the window a
// Shift+click opens on one pixel.
#include "tests/gui/main_window_fixture.h"

#include <cstdint>
#include <cwchar>
#include <set>
#include <vector>

#include "app/status_bar.h"
#include "frc/frame_index.h"
#include "frc/frame_mapping.h"
#include "frc/viewing_geometry.h"
#include "tests/support/test_images.h"
#include "views/pixel_cycle_window.h"

namespace {


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
  // larger; the pixel repeats every 4 frames of 1/60 s. Seen from 10 cm at
  // 2 mm a pixel the eye takes in the pixel alone: its visible flicker is
  // green's, the brightest, 313 against 219 in 16-bit light, 17.7 %.
  std::swprintf(expected, 200,
                L"x 7, y 5  元 R7 G12 B5  表示 R%u G%u B%u  平均 R7.0 G12.0 B5.0  光 R7.0 G12.1 B5.0  "
                L"ちらつき 40.0%% 15.0 Hz  見えるちらつき 17.7%%",
                shown >> 16, shown >> 8 & 0xFF, shown & 0xFF);
  SetViewingGeometry({10, 2});
  SendMessageW(FrcView, WM_MOUSEMOVE, 0, MAKELPARAM(15, 11));
  SetViewingGeometry(kDefaultViewing);
  EXPECT_EQ(expected, StatusText(2));
  SendMessageW(OriginalView, WM_MOUSEMOVE, 0, MAKELPARAM(14, 10));
  EXPECT_EQ(L"x 7, y 5  元 R7 G12 B5  表示 R7 G12 B5", StatusText(2));
  SendMessageW(OriginalView, WM_MOUSEMOVE, 0, MAKELPARAM(40, 10));  // right of the picture
  EXPECT_EQ(L"", StatusText(2));

  const std::vector<unsigned> before = CaptureClient(FrcView);
  ASSERT_TRUE(PumpWhileEveryFrameComesDue());
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

// The same pixel as above, in the window a Shift+click opens.
TEST_F(MainWindowTest, ShiftClickShowsThePixelsCycleWhichFollowsTheValues) {
  OpenPicture(20, 10, Ramp);
  SendMessageW(FrcView, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(7, 5));
  EXPECT_EQ(nullptr, PixelCycleWindow());
  SetViewingGeometry({10, 2});  // the pixel alone, as in the status bar above
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
                L"  上位 2 / 4\n平均 R7.0 G12.0 B5.0\n光 R7.0 G12.1 B5.0\n元 R7 G12 B5\n見えるちらつき 17.7% 15.0 Hz  オフセット " +
                std::to_wstring(PixelPhase(7, 4, 0)) + L"\n",
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
            L"光 R7.0 G12.0 B5.0\n元 R7 G12 B5\n見えるちらつき 0.0% 0.0 Hz  オフセット 0\n",
            PixelCycleText());
  SetViewingGeometry(kDefaultViewing);
  ASSERT_EQ(1, OpenImage(WriteImage(L"small.bmp", 4, 4, Ramp)));
  PostSettingsChanged();
  Settle();
  EXPECT_EQ(L"画素 x 7, y 5  サイクルがありません\n", PixelCycleText());
  SendMessageW(PixelCycleWindow(), WM_CLOSE, 0, 0);
  EXPECT_EQ(nullptr, PixelCycleWindow());
}

}  // namespace
