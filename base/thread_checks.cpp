// The run-time check of the user-interface thread: see thread_checks.h.
#include "base/thread_checks.h"

#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

// Named once: by SetUiThread, or by the first check, whichever comes first.
struct UiThread {
  std::once_flag named;
  std::thread::id id;
};
UiThread uiThread;

void NameThisThread() {
  std::call_once(uiThread.named, [] { uiThread.id = std::this_thread::get_id(); });
}

}  // namespace

void SetUiThread() { NameThisThread(); }

bool OnUiThread() {
  NameThisThread();
  return std::this_thread::get_id() == uiThread.id;
}

void FailUiThreadCheck(const char* function) {
  // Neither assert nor abort: in a window program both may open a message
  // box, and a test would wait on it until its time limit.
  std::fprintf(stderr, "thread check: %s runs off the user-interface thread\n", function);
  std::fflush(stderr);
  std::_Exit(134);
}
