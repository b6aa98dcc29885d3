// The program's threading rules, checked: locks by the compiler, the
// user-interface thread at run time in the test builds.
//
// Mutex is std::mutex with the annotations of clang's thread-safety analysis
// (libstdc++'s own carries none). Fields a Mutex guards are marked
// GUARDED_BY; the test command runs clang with -Wthread-safety over the
// program, so touching one without its lock fails there. MutexLock holds a
// Mutex for a scope. Other compilers see plain code.
//
// ExpectUiThread() ends the process with a report when a function documented
// for the user-interface thread runs on another one. The test builds define
// QUILLANE_THREAD_CHECKS; elsewhere it is nothing.
#pragma once

#include <mutex>

#if defined(__clang__)
#define QUILLANE_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define QUILLANE_THREAD_ANNOTATION(x)
#endif

#define CAPABILITY(x) QUILLANE_THREAD_ANNOTATION(capability(x))
#define SCOPED_CAPABILITY QUILLANE_THREAD_ANNOTATION(scoped_lockable)
#define GUARDED_BY(x) QUILLANE_THREAD_ANNOTATION(guarded_by(x))
#define ACQUIRE(...) QUILLANE_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define RELEASE(...) QUILLANE_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define TRY_ACQUIRE(...) QUILLANE_THREAD_ANNOTATION(try_acquire_capability(__VA_ARGS__))
#define REQUIRES(...) QUILLANE_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define RETURN_CAPABILITY(x) QUILLANE_THREAD_ANNOTATION(lock_returned(x))

class CAPABILITY("mutex") Mutex {
 public:
  Mutex() = default;
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

  void lock() ACQUIRE() { mutex_.lock(); }
  void unlock() RELEASE() { mutex_.unlock(); }
  bool try_lock() TRY_ACQUIRE(true) { return mutex_.try_lock(); }

 private:
  std::mutex mutex_;
};

class SCOPED_CAPABILITY MutexLock {
 public:
  explicit MutexLock(Mutex& mutex) ACQUIRE(mutex) : mutex_(mutex) { mutex_.lock(); }
  ~MutexLock() RELEASE() { mutex_.unlock(); }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

 private:
  Mutex& mutex_;
};

// Where ExpectUiThread reports from.
void FailUiThreadCheck(const char* function);
// True on the user-interface thread: the first thread that asked, unless
// SetUiThread named one before.
bool OnUiThread();
// Names the calling thread the user-interface thread (start-up, a test's
// main), unless a thread was named already.
void SetUiThread();

#if defined(QUILLANE_THREAD_CHECKS)
#define ExpectUiThread() (OnUiThread() ? (void)0 : FailUiThreadCheck(__func__))
#else
#define ExpectUiThread() ((void)0)
#endif
