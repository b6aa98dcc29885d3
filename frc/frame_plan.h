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
};

// Frames made ahead of the current one: the whole cycle when it fits, else as
// many as leave a section for the frame on screen and one for the next.
std::uint32_t FramesAhead(std::uint32_t interval, std::uint32_t slots);

// The first frame from the current one on, within FramesAhead, that is not
// made; kNoFrame when all are.
std::uint32_t NextFrameToMake(const FramePlan& plan);

// The made frame shown longest ago that is neither on screen nor wanted ahead;
// kNoFrame when there is none.
std::uint32_t FrameToEvict(const FramePlan& plan);
