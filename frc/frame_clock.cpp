// The frame clock: see frame_clock.h.
//
// Threading. The tick runs on the system's multimedia-timer thread. Whether
// it may still store CurrentFrame and send its request is decided under
// clockLock: the tick checks that its own timer is still the live one, stores
// the index and counts itself as sending, all in one locked step; the stop
// clears the live timer under the same lock. So after the stop has taken the
// lock, a tick either has already committed to its request (and the stop waits
// for it to finish, serving it if it is sent to the stopping thread) or it
// will see that its timer is no longer live and do nothing. The check of the
// timer's id also stops a callback that the system delivers late for a timer
// already killed, even after a new timer has started.
#include "frc/frame_clock.h"

#include <mmsystem.h>

#include <mutex>

#include "base/threads.h"
#include "frc/engine_state.h"
#include "frc/frame_index.h"

namespace {

// Written by QueryCounterFrequency before any timer exists.
std::int64_t counterFrequency = 0;

constexpr UINT kTickMilliseconds = 1;

std::mutex clockLock;
UINT liveTimer = 0;         // guarded by clockLock; 0: no timer may act
unsigned sendingTicks = 0;  // guarded by clockLock: ticks inside their request
// Where a frame change is reported; written while no timer is live.
HWND targetWindow = nullptr;  // guarded by clockLock
UINT targetMessage = 0;       // guarded by clockLock
WPARAM targetRequest = 0;     // guarded by clockLock

void CALLBACK FrameClockTick(UINT timerId, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
  HWND window;
  UINT message;
  WPARAM request;
  {
    std::lock_guard<std::mutex> guard(clockLock);
    if (timerId == 0 || timerId != liveTimer) return;
    const std::uint32_t frameDuration = FrameDuration;
    const std::uint32_t interval = FrcCount;
    if (frameDuration == 0 || interval == 0) return;
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    const std::uint32_t index = FrameIndexAt(counter.QuadPart, frameDuration, counterFrequency, interval);
    if (index == CurrentFrame) return;
    SetCurrentFrame(index);
    ++sendingTicks;
    window = targetWindow;
    message = targetMessage;
    request = targetRequest;
  }
  SendMessageW(window, message, request, 0);
  std::lock_guard<std::mutex> guard(clockLock);
  --sendingTicks;
}

// A tick's request is sent to a window of the stopping thread, which serves it
// while it waits; this limit only keeps a request to a window of some other,
// hung thread from holding the stop for ever.
constexpr DWORD kStopLimitMs = 2000;

bool NoTickSending(void*) {
  std::lock_guard<std::mutex> guard(clockLock);
  return sendingTicks == 0;
}

}  // namespace

void QueryCounterFrequency() {
  LARGE_INTEGER frequency;
  counterFrequency = QueryPerformanceFrequency(&frequency) ? frequency.QuadPart : 0;
}

std::int64_t CounterFrequency() { return counterFrequency; }

void StartFrameClock(HWND window, UINT message, WPARAM request) {
  StopFrameClock();
  {
    std::lock_guard<std::mutex> guard(clockLock);
    targetWindow = window;
    targetMessage = message;
    targetRequest = request;
  }
  const UINT timer = timeSetEvent(kTickMilliseconds, kTickMilliseconds, FrameClockTick, 0, TIME_PERIODIC);
  // A tick that fires before this store finds its timer not yet live and skips.
  std::lock_guard<std::mutex> guard(clockLock);
  liveTimer = timer;
}

void StopFrameClock() {
  UINT timer;
  {
    std::lock_guard<std::mutex> guard(clockLock);
    timer = liveTimer;
    liveTimer = 0;
  }
  if (timer != 0) timeKillEvent(timer);
  // The messages other threads send to this one are delivered meanwhile, the
  // tick's own request among them.
  ServeWhileWaiting(nullptr, NoTickSending, nullptr, kStopLimitMs, kTickMilliseconds, Serving::kSentMessages);
}

UINT FrameClockTimer() {
  std::lock_guard<std::mutex> guard(clockLock);
  return liveTimer;
}
