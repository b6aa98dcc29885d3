// Threads and the wait that serves messages: see threads.h.
#include "base/threads.h"

#include <process.h>

ScopedHandle StartThread(ThreadFunction function, void* context) {
  // _beginthreadex rather than CreateThread: the thread may use the C
  // runtime, which then sets itself up for it.
  const uintptr_t thread = _beginthreadex(nullptr, 0, function, context, 0, nullptr);
  return ScopedHandle(reinterpret_cast<HANDLE>(thread));
}

ThreadEnd JoinThread(ScopedHandle* thread, DWORD limitMs) {
  if (!thread->valid()) return ThreadEnd::kEnded;
  const bool ended = ServeWhileWaiting(thread->get(), nullptr, nullptr, limitMs, INFINITE, Serving::kSentMessages);
  thread->Close();
  return ended ? ThreadEnd::kEnded : ThreadEnd::kAbandoned;
}

bool ServeWhileWaiting(HANDLE object, bool (*done)(void* context), void* context, DWORD limitMs, DWORD pollMs,
                       Serving serving) {
  const ULONGLONG start = GetTickCount64();
  const DWORD wake = serving == Serving::kAllMessages ? QS_ALLINPUT : QS_SENDMESSAGE;
  for (;;) {
    if (done && done(context)) return true;
    DWORD wait = pollMs;
    if (limitMs != INFINITE) {
      const ULONGLONG spent = GetTickCount64() - start;
      if (spent >= limitMs) return object && WaitForSingleObject(object, 0) == WAIT_OBJECT_0;
      if (limitMs - spent < wait) wait = static_cast<DWORD>(limitMs - spent);
    }
    const DWORD woken = MsgWaitForMultipleObjects(object ? 1 : 0, object ? &object : nullptr, FALSE, wait, wake);
    if (object && woken == WAIT_OBJECT_0) return true;
    MSG message;
    if (serving == Serving::kAllMessages) {
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
    } else {
      // Peeking delivers the messages other threads sent to this one.
      PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
  }
}
