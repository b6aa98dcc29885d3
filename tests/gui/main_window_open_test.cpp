// The main window opened, laid out and closed: its settings file, the
// pictures it opens from a file, a drop or a pattern, and the settings typed
// into its control bar, driven in this process through the real windows.
#include "tests/gui/main_window_fixture.h"

#include <cstdint>
#include <cstring>
#include <shlobj.h>
#include <vector>

#include "imaging/load_source.h"
#include "quillane_version.h"

namespace {

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

}  // namespace

namespace {
bool NarrowerThan100(std::int32_t width, std::int32_t) { return width < 100; }
}  // namespace

// A picture refused for its size says so, and the picture on show stays with
// its cycle; the check every loader asks is the program's own in wWinMain.
TEST_F(MainWindowTest, APictureTooLargeForItsFramesLeavesThePreviousOne) {
  EXPECT_TRUE(FewFramesFit(640, 480));
  EXPECT_FALSE(FewFramesFit(0, 480));
  OpenPicture(40, 30, Ramp);
  const std::uint32_t picture = SourceSurface.generation;
  const std::wstring title = WindowText(MainWindow);
  SetSourceSizeCheck(NarrowerThan100);
  EXPECT_EQ(0, OpenImage(WriteImage(L"wide.bmp", 120, 30, Ramp)));
  EXPECT_EQ(0, OpenPattern(TestPattern::kGray, 100, 8));
  SetSourceSizeCheck(nullptr);
  ASSERT_EQ(2u, boxes_.Seen().size());
  for (const SeenMessageBox& box : boxes_.Seen()) ExpectProgramMessage(box, kPictureTooLargeMessage, MainWindow);
  boxes_.Clear();
  EXPECT_EQ(picture, SourceSurface.generation);
  EXPECT_EQ(picture, FrameSetPicture());
  EXPECT_EQ(title, WindowText(MainWindow));
  Close();
}
