// The engine's entry point: the whole frame cycle rebuilt for an interval and
// a correction. It touches no window and shows no message; the caller that
// faces the user turns what happened into one.
#pragma once

#include <cstdint>

#include "imaging/dib_surface.h"

enum class FrameBuild {
  kBuilt,          // FrameSet holds interval frames; values published
  kTablesFailed,   // no memory for the tables or the frame block: FrameSet
                   // absent, FrcCount, FrcOffset and CurrentFrame as before
  kFramesFailed,   // a frame could not be rendered: FrameSet absent, FrcCount
                   // and FrcOffset already the new values
};

// Told how far rendering has come, in frames' worth done of interval (the
// frames are written together, band by band). Called on the thread that called
// RebuildFrameSet, every few hundredths of a second while other threads render
// (never for a single frame), never after RebuildFrameSet has returned.
using FrameProgress = void (*)(void* context, std::uint32_t done, std::uint32_t interval);

// Discards the current frame set, rebuilds the level tables for interval and
// correction and renders every frame of the cycle from source into a new FrameSet,
// publishing FrcOffset, FrcCount and CurrentFrame (0) once the block exists.
// interval must be 1..255 and correction below it (the caller validates them).
// FrameDuration is not touched. Frame clock stopped; one caller at a time;
// FrameSetLock is held throughout, so the caller must not hold it.
//
// The frames' sections are made on the calling thread; their pixels are then
// written by one thread per processor core, each taking bands of rows of the
// whole cycle in turn, while the calling thread only waits (running nothing
// else of the program). A single frame is rendered on the calling thread.
// When source is the picture of the previous build (same generation), the
// sections of the previous frames are overwritten instead of made anew, as
// many as the new cycle needs; the rest are released. progress may be null.
FrameBuild RebuildFrameSet(const DibSurface& source, std::uint32_t interval, std::uint32_t correction,
                           FrameProgress progress = nullptr, void* progressContext = nullptr);
