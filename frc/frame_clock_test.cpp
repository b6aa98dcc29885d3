// The frame clock on the real multimedia timer and performance counter: it
// follows real time, does nothing without a duration or frames, keeps at most
// one timer, and once stopped never stores a frame or sends a request, also
// when stopped while a tick is blocked sending to the stopping thread.
#include "frc/frame_clock.h"

#include <gtest/gtest.h>

#include <mmsystem.h>

#include <atomic>
#include <cstdio>
#include <vector>

#include "frc/engine_state.h"
#include "frc/frame_index.h"
#include "tests/support/win_test_support.h"

namespace {

// What the stand-in main window and view observed.
struct Observed {
  int requests = 0;             // frame-changed requests handled
  int requestsAfterStop = 0;    // ... while the clock was stopped
  int paints = 0;
  int badIndexPaints = 0;       // CurrentFrame at or above FrcCount in a paint
  int badIndexRequests = 0;
  std::vector<std::uint32_t> frames;    // CurrentFrame at each request
  std::vector<std::int64_t> counters;   // counter at each request
  bool stopped = true;
  bool record = false;
};
Observed seen;
HWND testMain = nullptr;
HWND testView = nullptr;
// The request the clock is started with: not the program's own, so that a
// clock that ignored what it was told would be seen.
constexpr UINT kFrameMessage = WM_APP + 7;
constexpr WPARAM kFrameRequest = 3;

LRESULT CALLBACK TestMainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kFrameMessage && wParam == kFrameRequest) {
    ++seen.requests;
    if (seen.stopped) ++seen.requestsAfterStop;
    const std::uint32_t frame = CurrentFrame;
    if (frame >= FrcCount) ++seen.badIndexRequests;
    if (seen.record) {
      LARGE_INTEGER now;
      QueryPerformanceCounter(&now);
      seen.frames.push_back(frame);
      seen.counters.push_back(now.QuadPart);
    }
    InvalidateRect(testView, nullptr, FALSE);
    UpdateWindow(testView);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK TestViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    const std::uint32_t frame = CurrentFrame;  // once per paint
    if (frame >= FrcCount) ++seen.badIndexPaints;
    ++seen.paints;
    EndPaint(window, &paint);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// Dispatches whatever is queued for this thread until `done` or the time runs out.
template <typename Done>
bool PumpUntil(DWORD milliseconds, Done done) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    if (done()) return true;
    if (GetTickCount() - start >= milliseconds) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
  }
}

// Ticks of a probe timer: a 1 ms periodic timer of the same system timer
// thread that runs the clock's ticks.
std::atomic<int> probeTicks{0};

void CALLBACK CountProbeTick(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) { ++probeTicks; }

// Dispatches messages until the timer thread has run `ticks` ticks of the
// probe, so that every tick of the clock due before them (or beside them, while
// the clock runs) has run as well. False when the probe is not there in time.
bool PumpWhileTimerThreadTicks(int ticks) {
  probeTicks = 0;
  const UINT probe = timeSetEvent(1, 1, CountProbeTick, 0, TIME_PERIODIC | TIME_CALLBACK_FUNCTION | TIME_KILL_SYNCHRONOUS);
  if (probe == 0) return false;
  const bool done = PumpUntil(5000, [ticks] { return probeTicks >= ticks; });
  timeKillEvent(probe);
  return done;
}

class FrameClockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testMain = CreateTestWindow(L"Quillane clock test main", TestMainProc, L"Quillane", 300, 200);
    ASSERT_NE(nullptr, testMain);
    testView = CreateTestWindow(L"Quillane clock test view", TestViewProc, L"", 200, 100, testMain);
    ShowWindow(testMain, SW_SHOWNOACTIVATE);
    UpdateWindow(testMain);
    seen = Observed();
    QueryCounterFrequency();
    PublishCycle(0, 0);
    SetCurrentFrame(0);
    SetFrameDuration(0);
  }
  void TearDown() override {
    StopFrameClock();
    DestroyWindow(testMain);
    testMain = nullptr;
    testView = nullptr;
    PublishCycle(0, 0);
    SetCurrentFrame(0);
    SetFrameDuration(0);
  }
  static void Start() {
    seen.stopped = false;
    StartFrameClock(testMain, kFrameMessage, kFrameRequest);
  }
  static void Stop() {
    StopFrameClock();
    seen.stopped = true;
  }
};

TEST_F(FrameClockTest, CounterFrequencyIsTheSystemOne) {
  LARGE_INTEGER frequency;
  ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
  EXPECT_EQ(frequency.QuadPart, CounterFrequency());
  EXPECT_GT(CounterFrequency(), 0);
}

TEST_F(FrameClockTest, FramesFollowRealTimeInOrder) {
  PublishCycle(4, 0);
  // 33 ms frames: long enough that a loaded machine (the tests run two at a
  // time) still handles each change within a frame of its boundary.
  constexpr std::uint32_t kDuration = 333333;
  SetFrameDuration(kDuration);
  seen.record = true;
  Start();
  ASSERT_NE(0u, FrameClockTimer());
  ASSERT_TRUE(PumpUntil(5000, [] { return seen.frames.size() >= 24; })) << seen.frames.size() << " changes";
  Stop();
  const std::uint64_t period = FramePeriodTicks(kDuration, CounterFrequency());
  int inOrder = 0;
  for (size_t i = 0; i < seen.frames.size(); ++i) {
    ASSERT_LT(seen.frames[i], 4u);
    // Handled within a frame of the boundary that made it current.
    const std::uint32_t now = FrameIndexAt(seen.counters[i], kDuration, CounterFrequency(), 4);
    const std::uint32_t before = FrameIndexAt(seen.counters[i] - static_cast<std::int64_t>(period), kDuration, CounterFrequency(), 4);
    EXPECT_TRUE(seen.frames[i] == now || seen.frames[i] == before) << "change " << i;
    if (i > 0 && seen.frames[i] == (seen.frames[i - 1] + 1) % 4) ++inOrder;
  }
  EXPECT_GE(inOrder, static_cast<int>(seen.frames.size()) * 3 / 4) << "most changes step by one frame";
  EXPECT_EQ(seen.requests, seen.paints);
  EXPECT_EQ(0, seen.requestsAfterStop);
}

TEST_F(FrameClockTest, IdleWithoutDurationOrFrames) {
  for (int variant = 0; variant < 2; ++variant) {
    PublishCycle(variant == 0 ? 4 : 0, 0);
    SetFrameDuration(variant == 0 ? 0 : 100);
    SetCurrentFrame(0);
    Start();
    ASSERT_NE(0u, FrameClockTimer());
    ASSERT_TRUE(PumpWhileTimerThreadTicks(50));
    Stop();
    EXPECT_EQ(0, seen.requests) << "variant " << variant;
    EXPECT_EQ(0u, CurrentFrame.load());
  }
}

TEST_F(FrameClockTest, AtMostOneTimerExists) {
  PublishCycle(3, 0);
  SetFrameDuration(1000);
  Start();
  const UINT first = FrameClockTimer();
  ASSERT_NE(0u, first);
  Start();  // a second start, as a request dispatched inside a modal loop makes
  const UINT second = FrameClockTimer();
  ASSERT_NE(0u, second);
  EXPECT_NE(first, second);
  EXPECT_NE(MMRESULT(TIMERR_NOERROR), timeKillEvent(first)) << "the first timer must be gone";
  Stop();
  EXPECT_EQ(0u, FrameClockTimer());
  EXPECT_NE(MMRESULT(TIMERR_NOERROR), timeKillEvent(second));
  StopFrameClock();  // stopping a stopped clock is harmless
  EXPECT_EQ(0u, FrameClockTimer());
}

// A thousand starts and stops of a clock that changes frames on nearly every
// tick, with the frame count changing while it is stopped (as a settings
// change does): no request and no store after a stop, never an index beyond
// the frames, never a deadlock. Every other stop happens while a tick is
// blocked sending its request to this very thread.
TEST_F(FrameClockTest, StopIsFinalAndNeverDeadlocks) {
  const DWORD start = GetTickCount();
  int blockedStops = 0;
  SetFrameDuration(100);  // 10 microseconds: the index changes on most ticks
  for (int round = 0; round < 1000; ++round) {
    PublishCycle(round % 2 == 0 ? 255 : 3, 0);
    SetCurrentFrame(0);
    Start();
    if (round % 2 == 0) {
      // Wait, without serving it, until a tick is blocked in its request.
      const int before = seen.requests;
      if (MsgWaitForMultipleObjects(0, nullptr, FALSE, 500, QS_SENDMESSAGE) == WAIT_OBJECT_0) ++blockedStops;
      Stop();
      EXPECT_GE(seen.requests, before);
    } else {
      const int before = seen.requests;
      PumpUntil(500, [before] { return seen.requests > before; });
      Stop();
    }
    // As a settings change would: a smaller or larger set, frame 0.
    SetCurrentFrame(0);
    PublishCycle(round % 2 == 0 ? 3 : 255, 0);
    MSG message;
    ASSERT_TRUE(PumpWhileTimerThreadTicks(round % 50 == 0 ? 20 : 1));
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    ASSERT_EQ(0u, CurrentFrame.load()) << "a tick stored a frame after the stop, round " << round;
    ASSERT_EQ(0, seen.requestsAfterStop) << "round " << round;
    ASSERT_LT(GetTickCount() - start, 120000u) << "stopping takes far too long";
  }
  EXPECT_EQ(0, seen.badIndexRequests);
  EXPECT_EQ(0, seen.badIndexPaints);
  EXPECT_GT(seen.requests, 500);
  EXPECT_GT(blockedStops, 100) << "stops while a tick was blocked in its request";
  std::printf("[          ] %d requests, %d paints, %d stops with a blocked tick, %lu ms\n", seen.requests, seen.paints,
              blockedStops, static_cast<unsigned long>(GetTickCount() - start));
}

}  // namespace
