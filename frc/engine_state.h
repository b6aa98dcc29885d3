// The FRC engine's published state: the rendered frame cycle and the numbers
// the frame clock and the FRC view work from.
//
// Each value below is read through its name and written through exactly one
// function, so that who changes it, and on which thread, is stated once:
//
//   FrameSet       PublishFrameSet     user-interface thread, FrameSetLock
//                                      held (RebuildFrameSet,
//                                      ReleaseEngineState); its records are
//                                      filled by the frame maker
//                                      (frame_cache.h), under FrameSetLock
//   FrcCount,      PublishCycle        the same
//   FrcOffset
//   CurrentFrame   SetCurrentFrame     the frame clock's tick (timer thread);
//                                      the presenting thread while it plays;
//                                      the user-interface thread with the
//                                      clock stopped (rebuild, step, pause),
//                                      while the presenting thread runs held
//   FrameDuration  SetFrameDuration    user-interface thread (ApplySettings)
//
// Readers: the user-interface thread reads all of them. The frame clock's tick
// and the presenting thread read FrcCount, FrameDuration and CurrentFrame, so
// those are atomic 32-bit values; the presenting thread and the frame maker
// run through a rebuild and read FrameSet only while they hold FrameSetLock.
// A paint of the FRC view reads CurrentFrame once and uses that one value
// throughout; since the clock only stores indices below FrcCount and stores
// nothing once stopped, that index is always inside FrameSet.
#pragma once

#include <atomic>
#include <cstdint>

#include "base/thread_checks.h"
#include "imaging/dib_surface.h"

// The N records of the cycle, index = frame of the cycle; null when absent. One
// heap block that keeps its own element count (FrameSetCount). Whenever
// present it holds FrcCount elements; a record is empty until its frame is
// made, and may be emptied again (frame_cache.h). Read under FrameSetLock.
extern DibSurface* const& FrameSet;
// N of the current frame set; 0 before the first successful rebuild.
extern const std::atomic<std::uint32_t>& FrcCount;
// Correction (level-grid offset) of the current frame set.
extern const std::uint32_t& FrcOffset;
// Index of the frame the FRC view shows; always below FrcCount while a frame
// set is present.
extern const std::atomic<std::uint32_t>& CurrentFrame;
// Display time of one frame in units of 100 ns; 0 stops the clock's changes.
extern const std::atomic<std::uint32_t>& FrameDuration;

// The lock of the frames: held while a record of FrameSet is filled or
// emptied or the block is exchanged (never for longer than that), and by
// every reader of the frames' memory DCs (the FRC view's paint, the
// presentation thread's draw), so that no thread draws a frame being
// replaced or released. Any thread.
Mutex& FrameSetLock();

// Makes frames (a block from AllocateFrameSet, or null) the frame set, rendered
// from the picture of generation `picture`. The previous block is not released
// here: its owner, the rebuild, does that. Clock stopped.
void PublishFrameSet(DibSurface* frames, std::uint32_t picture);

// The generation of the picture FrameSet was rendered from; 0 while absent. A
// cycle belongs to the picture on show only when this equals the generation of
// SourceSurface.
std::uint32_t FrameSetPicture();

// Publishes the interval and correction of the frame set being built. Clock
// stopped.
void PublishCycle(std::uint32_t interval, std::uint32_t correction);

// Shows frame index of the cycle (below FrcCount, or 0).
void SetCurrentFrame(std::uint32_t index);

// Publishes the display time of one frame, in units of 100 ns.
void SetFrameDuration(std::uint32_t frameDuration);

// Releases the frame set and puts every value back to its start (no frames,
// interval 0, frame 0, no duration): for a program or test starting afresh.
// Clock stopped.
void ReleaseEngineState();

// A block of `interval` empty DibSurface records (every field zero) that keeps
// its count. Caller owns it and gives it back with ReleaseFrameSet. Null when
// interval is 0, the size does not fit, or memory runs out.
DibSurface* AllocateFrameSet(std::uint32_t interval);

// Resets every element of a block from AllocateFrameSet and frees it. Null is
// accepted and does nothing.
void ReleaseFrameSet(DibSurface* frames);

// The element count a block from AllocateFrameSet was made with; 0 for null.
std::uint32_t FrameSetCount(const DibSurface* frames);
