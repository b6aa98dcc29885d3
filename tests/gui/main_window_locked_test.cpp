// Locked presentation in the main window: the timer without a vblank, the
// simulated source audited against its log and the screen, the drawing path.
#include "tests/gui/main_window_fixture.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/status_bar.h"
#include "tests/support/test_images.h"

namespace {

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
    // Enough refreshes for the log to say something of every kind of frame.
    ASSERT_TRUE(PumpUntil([] { return PresentationTotals().refreshes >= 90; }, 10000));
    // Paused, the frame stays until a step moves it, and the view shows it.
    PressKey(VK_SPACE);
    const std::uint32_t pausedFrame = CurrentFrame;
    ASSERT_TRUE(PumpWhileEveryFrameComesDue());
    EXPECT_EQ(pausedFrame, CurrentFrame);
    StepFrame(1);
    EXPECT_EQ((pausedFrame + 1) % 4, CurrentFrame);
    ExpectViewShows(FrcView, FrameSet[CurrentFrame], 1);
    const std::wstring status = StatusText(3);
    Close();
    SetPresentationOptions(nullptr, nullptr);

    long long exact = 0;
    const std::vector<std::vector<long long>> rows = LogRows(log);
    ASSERT_GT(rows.size(), 20u);
    std::vector<PresentationLogEntry> entries;
    for (size_t i = 0; i < rows.size(); ++i) {
      const std::vector<long long>& row = rows[i];
      // Each row follows the one before by exactly what it was held.
      if (i + 1 < rows.size()) {
        EXPECT_EQ(row[1] + row[3], rows[i + 1][1]) << "row " << i;
        EXPECT_LT(row[2], rows[i + 1][2]) << "row " << i;
      }
      EXPECT_EQ(row[3] == c.k, row[4] == 1);
      exact += row[4];
      entries.push_back({std::uint32_t(row[0]), std::uint64_t(row[1]), std::uint64_t(row[3])});
    }
    // The last row gave way to the frame on screen at the pause.
    const PresentationFigures told =
        TallyPresentationLog(entries.data(), entries.size(), std::uint32_t(c.k), 4, pausedFrame);
    const long long doubled = static_cast<long long>(told.doubled), missed = static_cast<long long>(told.missed);
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
  const std::uint64_t refreshesBefore = PresentationTotals().refreshes;
  PumpUntil([&] { return PresentationTotals().refreshes >= refreshesBefore + 60; }, 5000);
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
  EXPECT_TRUE(PumpUntil([] { return StatusText(3).find(L"同期（模擬） 60 Hz") != std::wstring::npos; }, 3000))
      << testing::PrintToString(StatusText(3));
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
    MutexLock guard(FrameSetLock());
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

}  // namespace
