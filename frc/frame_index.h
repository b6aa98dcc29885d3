// Which frame of the FRC cycle is on screen at a given performance-counter
// value. The frame clock samples the counter and asks this; keeping it a pure
// function of the counter means a late or missed timer tick never shifts the
// cycle.
//
// Windows-free: built and tested natively as well as in the program.
#pragma once

#include <cstdint>

// Length of one frame in counter ticks: duration (100 ns units) times the
// counter frequency (ticks per second) divided by 10,000,000, truncated,
// computed without overflow in unsigned 64-bit arithmetic (a result beyond
// 64 bits saturates). A result of 0 ticks, which a very short duration or a
// missing frequency (0 or negative) gives, is returned as 1 tick so that the
// index keeps following real time.
std::uint64_t FramePeriodTicks(std::uint32_t frameDuration, std::int64_t frequency);

// The frame shown at counter value `counter`: the low 32 bits of
// counter / FramePeriodTicks(frameDuration, frequency), modulo interval. Frame k of
// the cycle is shown during every [(m*interval + k) * period, (m*interval + k + 1) * period).
// An interval of 0 gives 0. The counter is taken as unsigned.
std::uint32_t FrameIndexAt(std::int64_t counter, std::uint32_t frameDuration, std::int64_t frequency, std::uint32_t interval);
