// The main window, its layout, the views and the settings file, driven in
// this process through the real windows and messages.
#include "app/main_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <shlobj.h>
#include <vector>

#include "app/globals.h"
#include "app/settings_file.h"
#include "frc/engine_state.h"
#include "frc/frame_clock.h"
#include "imaging/dib_surface.h"
#include "quillane_version.h"
#include "tests/gui/gui_test_support.h"
#include "tests/support/win_test_support.h"
#include "views/image_view.h"

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

// The view's client area as the screen shows it, row by row from the top.
std::vector<unsigned> CaptureClient(HWND view) {
  RECT client;
  GetClientRect(view, &client);
  POINT origin = {0, 0};
  ClientToScreen(view, &origin);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = client.right;
  info.bmiHeader.biHeight = -client.bottom;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP capture = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, capture);
  BitBlt(memory, 0, 0, client.right, client.bottom, screen, origin.x, origin.y, SRCCOPY);
  GdiFlush();
  const unsigned* p = static_cast<const unsigned*>(bits);
  std::vector<unsigned> pixels(p, p + size_t(client.right) * size_t(client.bottom));
  SelectObject(memory, old);
  DeleteObject(capture);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AppInstance = GetModuleHandleW(nullptr);
    ModuleDirectory = directory_.Path();
  }

  void TearDown() override { Close(); }

  void Open() {
    ASSERT_NE(nullptr, CreateMainWindow());
    PumpPending();
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

  TempDirectory directory_;
  MessageBoxWatcher boxes_;
};

TEST_F(MainWindowTest, StartsWithDefaultsAndSavesFourKeysAtExit) {
  Open();
  EXPECT_EQ(L"Quillane", WindowText(MainWindow));
  EXPECT_EQ(L"4", ControlText(kIdInterval));
  EXPECT_EQ(L"3", ControlText(kIdCorrection));
  EXPECT_EQ(L"0.0166667", ControlText(kIdDuration));
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
                           L" ビット版)\nCopyright (c) 2026 The Quillane developers\nMIT ライセンスで配布しています。",
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
  EXPECT_EQ(longValue.substr(0, 63), ControlText(kIdDuration));
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
  EXPECT_EQ(L"0.0166667", ControlText(kIdDuration));
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
  EXPECT_EQ(400 - Height(bar), Height(original));
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
  SetText(kIdDuration, L"\xFF10\x3002\xFF15");
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

  for (HWND view : {FrcView, OriginalView}) {
    const DibSurface* picture = view == FrcView ? &FrameSet[CurrentFrame] : &SourceSurface;
    const int width = picture->header.bmiHeader.biWidth, height = picture->header.bmiHeader.biHeight;
    const unsigned* source = static_cast<const unsigned*>(picture->bits);
    RECT client;
    GetClientRect(view, &client);
    int mismatches = -1;
    // What the screen shows reaches the display a little after the paint.
    PumpUntil([&] {
      const std::vector<unsigned> shown = CaptureClient(view);
      mismatches = 0;
      for (int y = 0; y < client.bottom && y < height; ++y)
        for (int x = 0; x + 16 < width && x < client.right; ++x) {
          const unsigned expected = source[size_t(height - 1 - y) * width + x + 16] & 0xFFFFFF;
          if ((shown[size_t(y) * client.right + x] & 0xFFFFFF) != expected) ++mismatches;
        }
      return mismatches == 0;
    }, 3000);
    EXPECT_EQ(0, mismatches) << (view == FrcView ? "FRC view" : "original view");
  }
}

}  // namespace
