// The frame clock: see frame_clock.h.
//
// Threading. The tick runs on the system's multimedia-timer thread. Whether
// it may still store CurrentFrame and send its request is decided under
// frameClock.lock: the tick checks that its own timer is still the live one, stores
// the index and counts itself as sending, all in one locked step; the stop
// clears the live timer under the same lock. So after the stop has taken the
// lock, a tick either has already committed to its request (and the stop waits
// for it to finish, serving it if it is sent to the stopping thread) or it
// will see that its timer is no longer live and do nothing. The check of the
// timer's id also stops a callback that the system delivers late for a timer
// already killed, even after a new timer has started.
#include "frc/frame_clock.h"

#include <mmsystem.h>


#include "base/threads.h"
#include "frc/engine_state.h"
#include "frc/frame_index.h"
#include "base/thread_checks.h"

namespace {

constexpr UINT kTickMilliseconds = 1;

struct Clock {
  // Written by QueryCounterFrequency before any timer exists.
  std::int64_t counterFrequency = 0;
  Mutex lock;
  UINT liveTimer GUARDED_BY(lock) = 0;         // 0: no timer may act
  unsigned sendingTicks GUARDED_BY(lock) = 0;  // ticks inside their request
  // Where a frame change is reported; written while no timer is live.
  HWND targetWindow GUARDED_BY(lock) = nullptr;
  UINT targetMessage GUARDED_BY(lock) = 0;
  WPARAM targetRequest GUARDED_BY(lock) = 0;
};
Clock frameClock;

void CALLBACK FrameClockTick(UINT timerId, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
  HWND window;
  UINT message;
  WPARAM request;
  {
    MutexLock guard(frameClock.lock);
    if (timerId == 0 || timerId != frameClock.liveTimer) return;
    const std::uint32_t frameDuration = FrameDuration;
    const std::uint32_t interval = FrcCount;
    if (frameDuration == 0 || interval == 0) return;
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    const std::uint32_t index = FrameIndexAt(counter.QuadPart, frameDuration, frameClock.counterFrequency, interval);
    if (index == CurrentFrame) return;
    SetCurrentFrame(index);
    ++frameClock.sendingTicks;
    window = frameClock.targetWindow;
    message = frameClock.targetMessage;
    request = frameClock.targetRequest;
  }
  SendMessageW(window, message, request, 0);
  MutexLock guard(frameClock.lock);
  --frameClock.sendingTicks;
}

// A tick's request is sent to a window of the stopping thread, which serves it
// while it waits; this limit only keeps a request to a window of some other,
// hung thread from holding the stop for ever.
constexpr DWORD kStopLimitMs = 2000;

bool NoTickSending(void*) {
  MutexLock guard(frameClock.lock);
  return frameClock.sendingTicks == 0;
}

}  // namespace

void QueryCounterFrequency() {
  LARGE_INTEGER frequency;
  frameClock.counterFrequency = QueryPerformanceFrequency(&frequency) ? frequency.QuadPart : 0;
}

std::int64_t CounterFrequency() { return frameClock.counterFrequency; }

void StartFrameClock(HWND window, UINT message, WPARAM request) {
  ExpectUiThread();
  StopFrameClock();
  {
    MutexLock guard(frameClock.lock);
    frameClock.targetWindow = window;
    frameClock.targetMessage = message;
    frameClock.targetRequest = request;
  }
  const UINT timer = timeSetEvent(kTickMilliseconds, kTickMilliseconds, FrameClockTick, 0, TIME_PERIODIC);
  // A tick that fires before this store finds its timer not yet live and skips.
  MutexLock guard(frameClock.lock);
  frameClock.liveTimer = timer;
}

void StopFrameClock() {
  ExpectUiThread();
  UINT timer;
  {
    MutexLock guard(frameClock.lock);
    timer = frameClock.liveTimer;
    frameClock.liveTimer = 0;
  }
  if (timer != 0) timeKillEvent(timer);
  // The messages other threads send to this one are delivered meanwhile, the
  // tick's own request among them.
  ServeWhileWaiting(nullptr, NoTickSending, nullptr, kStopLimitMs, kTickMilliseconds, Serving::kSentMessages);
}

UINT FrameClockTimer() {
  MutexLock guard(frameClock.lock);
  return frameClock.liveTimer;
}
