// The program's one way to run a thread and to wait for one.
//
// StartThread runs a function on a new thread and hands back its handle;
// JoinThread waits for it with a time limit. A thread still running at the
// limit is abandoned, never terminated: it runs on until it returns by itself
// (or the process ends), so whatever it uses must outlive it. The owner of
// such state keeps it, or gives it to the thread to free as it ends.
//
// ServeWhileWaiting is the one wait of a thread that owns windows: other
// threads may send to those windows (SendMessage) while this one waits, and
// a wait that did not serve them would deadlock.
#pragma once

#include <windows.h>

#include "base/scoped_handle.h"

// What a thread runs: its context in, its exit code out.
typedef unsigned(__stdcall* ThreadFunction)(void* context);

// Starts function(context) on a new thread. The caller owns the handle;
// empty when the system refuses a thread (nothing runs then). Any thread.
ScopedHandle StartThread(ThreadFunction function, void* context);

enum class ThreadEnd { kEnded, kAbandoned };

// Waits up to limitMs (INFINITE for none) for the thread to end, serving what
// is sent to the calling thread meanwhile, and closes the handle either way.
// kAbandoned: the thread still runs and is left to it. An empty handle is
// kEnded at once.
ThreadEnd JoinThread(ScopedHandle* thread, DWORD limitMs);

// Which messages a wait serves: those sent from other threads only, or every
// message of the calling thread (dispatched), for a thread whose own windows
// must paint while it waits.
enum class Serving { kSentMessages, kAllMessages };

// Waits until done(context) is true or `object` (may be null) is signalled,
// for limitMs at most, serving messages meanwhile. done may be null, and is
// checked at least every pollMs while nothing else wakes the wait. True when
// the wait ended by done or the object, false at the limit.
bool ServeWhileWaiting(HANDLE object, bool (*done)(void* context), void* context, DWORD limitMs, DWORD pollMs,
                       Serving serving);
