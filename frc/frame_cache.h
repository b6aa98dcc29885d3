// The frame cycle, made when it is needed.
//
// FrameSet holds the N records of the cycle. A change (RebuildFrameSet) makes
// frame 0 at once and publishes the cycle with only that record filled; the
// frame maker, a thread of its own, fills the others ahead of CurrentFrame,
// each frame on every core in bands of rows. Records stay filled while the
// budget allows: when every frame of the cycle fits it, all are made in frame
// order and kept; otherwise the frame shown longest ago gives its section to
// the frame needed next, never the frame on screen nor one made ahead.
//
// Whoever draws a frame asks FrameForDrawing under FrameSetLock: a record not
// yet made is never drawn as nothing, the frame drawn last is drawn again and
// the miss is counted (FramesNotReady).
//
// The maker reads SourceSurface and the level tables; RebuildFrameSet and
// MakeFrameNow stop it (for at most the frame it is making) before they
// change or use them, and every loader stops it before it releases the
// picture (SetBeforeSourceChange), until the next rebuild.
#pragma once

#include <cstdint>

#include "imaging/dib_surface.h"

enum class FrameBuild {
  kBuilt,          // FrameSet holds interval records, frame 0 made; values published
  kTablesFailed,   // no memory for the tables or the record block: FrameSet
                   // absent, FrcCount, FrcOffset and CurrentFrame as before
  kFramesFailed,   // frame 0 could not be made: FrameSet absent, FrcCount
                   // and FrcOffset already the new values
};

// Rebuilds the level tables for interval and correction and makes frame 0 of
// the new cycle from source, then publishes it all at once: FrameSet (a new
// block), FrcOffset, FrcCount and CurrentFrame (0). The previous frames stay
// drawable until then; FrameSetLock is held only for that exchange. Sections
// of the previous cycle are used again when source is the same picture.
// interval must be 1..255 and correction below it (the caller validates them).
// FrameDuration is not touched. User-interface thread; the caller must not
// hold FrameSetLock. source must stay until the next rebuild or load.
FrameBuild RebuildFrameSet(const DibSurface& source, std::uint32_t interval, std::uint32_t correction);

// Makes frame index of the current cycle now, on this thread and every core,
// when it is missing (a step while paused). True when it is made.
// User-interface thread, FrameSetLock not held.
bool MakeFrameNow(std::uint32_t index);

// Makes every frame of the current cycle that is missing, in frame order, and
// returns true once all are filled; false (nothing more made) when the whole
// cycle does not fit the budget or memory runs out. User-interface thread,
// FrameSetLock not held.
bool MakeWholeCycle();

// Maps frame `frame` of source through the current tables into target (a
// Ready section of the source's size), on this thread and one helper per
// further core, each taking bands of rows in turn. One caller at a time: the
// maker, or the user-interface thread while the maker stands (within the
// calls above, or before any cycle is built).
void MakeFrameInto(const DibSurface& source, DibSurface* target, std::uint32_t frame);

// Under FrameSetLock, any thread: the record to draw for frame index. When
// that frame is made it is returned and becomes the frame on screen; when it
// is not, *made is false, the miss is counted and the frame on screen is
// returned again (null when there is none). Wakes the maker for what follows.
const DibSurface* FrameForDrawing(std::uint32_t index, bool* made);

// Under FrameSetLock: the frame last returned by FrameForDrawing, or null.
const DibSurface* FrameOnScreen();

// Refreshes for which the frame wanted was not made yet, since the start.
// Any thread.
std::uint64_t FramesNotReady();

// Under FrameSetLock: the records of FrameSet now filled.
std::uint32_t FramesMade();

// Bytes of sections the frames of one cycle may hold: about 200 MB, and never
// less than four frames take. Tests set a smaller one; it applies from the
// next rebuild. Both on the user-interface thread. Returns the previous one.
std::uint64_t SetFrameBudget(std::uint64_t bytes);
// Sections the current cycle may hold at most (0 without one).
std::uint32_t FrameSlots();

// What the maker tells the program, on its own thread.
enum class FrameNotice {
  kFrameMade,    // the frame CurrentFrame names was missing on screen and is now made
  kOutOfMemory,  // a frame could not be made: nothing more is made until the next rebuild
};
// Names the function the maker calls for a notice (it must only post). Set on
// the user-interface thread before the first rebuild; null for none.
void SetFrameNotice(void (*notice)(FrameNotice));

// True when the address space has room for the few frames every cycle keeps
// and one more picture, all of width x height: what a picture must leave to
// be played at all. Any thread.
bool FewFramesFit(std::int32_t width, std::int32_t height);

// Stops the maker and the band workers and releases the sections kept aside.
// User-interface thread; called by ReleaseEngineState.
void StopFrameMaking();
