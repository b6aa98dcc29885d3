// The FRC engine's published state: the rendered frame cycle and the numbers
// the frame clock and the FRC view work from.
//
// Written only by ApplySettings on the user-interface thread while the frame
// clock is stopped. The frame clock's tick runs on the multimedia-timer
// thread, the locked playback on the presentation thread: they read FrcCount
// and FrameDuration and read and write CurrentFrame, so those three are atomic
// 32-bit values. A paint of the FRC
// view reads CurrentFrame once and uses that one value throughout.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "imaging/dib_surface.h"

// The N rendered frames, index = frame of the cycle; null when absent. One heap
// block that keeps its own element count (FrameSetCount). Owned here: created
// and released by ApplySettings only. Whenever present it holds FrcCount
// elements.
extern DibSurface* FrameSet;

// N of the current frame set; 0 before the first successful apply.
extern std::atomic<std::uint32_t> FrcCount;
// Correction (level-grid offset) of the current frame set.
extern std::uint32_t FrcOffset;
// Index of the frame the FRC view shows: reset to 0 by ApplySettings, advanced
// by the frame clock; always below FrcCount while a frame set is present.
extern std::atomic<std::uint32_t> CurrentFrame;
// Held by RebuildFrameSet for the whole rebuild, and by every reader of the
// frames' memory DCs (the FRC view's paint, the presentation thread's draw),
// so that no thread draws frames a rebuild is replacing or releasing.
extern std::mutex FrameSetLock;

// The one way code outside the rebuild moves CurrentFrame (the frame clock's
// tick, the presentation thread, a step while paused). index below FrcCount.
void SetCurrentFrame(std::uint32_t index);

// Display time of one frame in units of 100 ns; 0 stops the clock's changes.
extern std::atomic<std::uint32_t> FrameDuration;

// A block of `count` empty DibSurface records (every field zero) that keeps
// its count. Caller owns it and gives it back with ReleaseFrameSet. Null when
// count is 0, the size does not fit, or memory runs out.
DibSurface* AllocateFrameSet(std::uint32_t count);

// Resets every element of a block from AllocateFrameSet and frees it. Null is
// accepted and does nothing.
void ReleaseFrameSet(DibSurface* frames);

// The element count a block from AllocateFrameSet was made with; 0 for null.
std::uint32_t FrameSetCount(const DibSurface* frames);
