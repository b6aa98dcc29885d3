// The engine's entry point: the whole frame cycle rebuilt for an interval and
// a correction. It touches no window and shows no message; the caller that
// faces the user turns what happened into one.
#pragma once

#include <cstdint>

#include "imaging/dib_surface.h"

enum class FrameBuild {
  kBuilt,          // FrameSet holds count frames; counts published
  kTablesFailed,   // no memory for the tables or the frame block: FrameSet
                   // absent, FrcCount, FrcOffset and CurrentFrame as before
  kFramesFailed,   // a frame could not be rendered: FrameSet absent, FrcCount
                   // and FrcOffset already the new values
};

// Discards the current frame set, rebuilds the level tables for count and
// offset and renders every frame of the cycle from source into a new FrameSet,
// publishing FrcOffset, FrcCount and CurrentFrame (0) once the block exists.
// count must be 1..255 and offset below count (the caller validates them).
// FrameDuration is not touched. User-interface thread, frame clock stopped.
FrameBuild RebuildFrameSet(const DibSurface& source, std::uint32_t count, std::uint32_t offset);
