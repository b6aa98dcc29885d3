// Which frame of the cycle to make next, and which made frame gives up its
// section for it: the rules of the frame cache, apart from its sections.
//
// Windows-free: built and tested natively as well as in the program.
#pragma once

#include <cstdint>

constexpr std::uint32_t kNoFrame = ~0u;

// What the cache holds now. filled and lastShown have interval entries;
// lastShown counts up with every frame put on screen (0: never shown).
struct FramePlan {
  std::uint32_t interval;
  std::uint32_t slots;     // sections the cycle may hold, at least 2 or interval
  std::uint32_t current;   // CurrentFrame
  std::uint32_t onScreen;  // the frame drawn last, or kNoFrame
  const bool* filled;
  const std::uint32_t* lastShown;
  // Frames that pass while one is made, when making is slower than playing:
  // the frames nearer than that would be late however soon they are made.
  std::uint32_t lead = 0;
};

// Frames made ahead of the current one: the whole cycle when it fits, else as
// many as leave a section for the frame on screen and one for the next.
std::uint32_t FramesAhead(std::uint32_t interval, std::uint32_t slots);

// The first frame from the current one on, within FramesAhead, that is not
// made; kNoFrame when all are. Where the cycle does not fit, the search
// starts `lead` frames on, so that a maker slower than the refresh still puts
// frames on screen at their time instead of always finishing one too late.
std::uint32_t NextFrameToMake(const FramePlan& plan);

// The lead after a frame was made `distance` frames ahead of the current one
// while `passed` frames went by: none while the maker keeps up, more than
// passed once a frame came too late, and unchanged while its aim holds.
std::uint32_t NextLead(std::uint32_t lead, std::uint32_t distance, std::uint32_t passed);

// The made frame shown longest ago that is neither on screen nor wanted ahead;
// failing that, the wanted one farthest ahead; kNoFrame when every made frame
// is on screen.
std::uint32_t FrameToEvict(const FramePlan& plan);
