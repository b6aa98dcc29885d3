// The one way to run and stop a thread: a thread that will not stop is left
// running, never killed, once the limit is past; and a wait serves what other
// threads send to this one, so a stop cannot deadlock on it.
#include "base/threads.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

struct Stuck {
  HANDLE release;
  std::atomic<bool> finished{false};
};

unsigned __stdcall WaitForRelease(void* context) {
  Stuck* stuck = static_cast<Stuck*>(context);
  WaitForSingleObject(stuck->release, INFINITE);
  stuck->finished = true;
  return 0;
}

TEST(ThreadsTest, AThreadPastItsLimitIsAbandonedAndRunsOn) {
  Stuck stuck;
  stuck.release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ScopedHandle thread = StartThread(WaitForRelease, &stuck);
  ASSERT_TRUE(thread.valid());
  HANDLE watch = nullptr;
  DuplicateHandle(GetCurrentProcess(), thread.get(), GetCurrentProcess(), &watch, SYNCHRONIZE, FALSE, 0);
  const ULONGLONG start = GetTickCount64();
  EXPECT_EQ(ThreadEnd::kAbandoned, JoinThread(&thread, 200));
  const ULONGLONG waited = GetTickCount64() - start;
  EXPECT_GE(waited, 150u);
  EXPECT_LT(waited, 1000u);
  EXPECT_FALSE(thread.valid());
  // Not terminated: released, it finishes its work.
  SetEvent(stuck.release);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(watch, 5000));
  EXPECT_TRUE(stuck.finished);
  CloseHandle(watch);
  CloseHandle(stuck.release);
}

struct Sender {
  HWND window;
  LRESULT answer;
};

unsigned __stdcall SendToWindow(void* context) {
  Sender* sender = static_cast<Sender*>(context);
  sender->answer = SendMessageW(sender->window, WM_USER, 0, 0);
  return 0;
}

LRESULT CALLBACK AnswerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return message == WM_USER ? 42 : DefWindowProcW(window, message, wParam, lParam);
}

TEST(ThreadsTest, JoiningServesWhatTheThreadSendsToThisOne) {
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = AnswerProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"ThreadsTestAnswer";
  RegisterClassW(&windowClass);
  Sender sender = {CreateWindowW(L"ThreadsTestAnswer", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 windowClass.hInstance, nullptr),
                   0};
  ASSERT_NE(nullptr, sender.window);
  ScopedHandle thread = StartThread(SendToWindow, &sender);
  EXPECT_EQ(ThreadEnd::kEnded, JoinThread(&thread, 5000));
  EXPECT_EQ(42, sender.answer);
  DestroyWindow(sender.window);
}

}  // namespace
