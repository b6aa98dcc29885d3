// Whether a frame cycle flashes in a way that can harm a viewer: the general
// flash threshold. The eye is modelled by the mean relative luminance over a
// square window 4.43 degrees on a side (a quarter of the area of a 10-degree
// field). A change of that mean is counted when it moves by at least 0.1 from
// the last extreme in the opposite direction while the darker of the two
// states is below 0.8; two opposing changes make a flash. The cycle is
// harmful when some window's mean makes more than six changes (more than
// three flashes) within some one second of the cycle repeated without end.
//
// The windows are not taken at every position: their corners lie on a grid
// of a quarter of the side, plus the picture's far edges. A flashing area the
// size of the window then lies at most an eighth of the side off some window
// in each direction, so that window shares at least three quarters of it.
//
// Windows-free: built and tested natively as well as in the program.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// The side of the judged window in pixels: 4.43 degrees at pixelsPerDegree,
// rounded, at least 1.
std::int32_t FlashWindowSide(double pixelsPerDegree);

// Where the windows along one axis of `length` pixels begin: every quarter
// of the side from 0, and length - side; ascending, each once. Empty when
// length is below side.
std::vector<std::int32_t> FlashWindowStarts(std::int32_t length, std::int32_t side);

// The most changes (as above) that a window mean of means[0 .. interval-1],
// frame k shown for frameDuration (100 ns units) and the cycle repeated, makes
// within any half-open second. 0 when interval is below 2 or frameDuration is
// 0 (the clock stands).
std::uint32_t MostFlashChangesPerSecond(const float* means, std::uint32_t interval, std::uint32_t frameDuration);

// More than three flashes in one second: more than six changes.
bool FlashesHarmfully(const float* means, std::uint32_t interval, std::uint32_t frameDuration);

// The cycle to judge. mapRows writes memory rows [firstRow, endRow) of frame
// `frame` into `pixels`, a buffer of width x height 32-bpp pixels (blue, green,
// red, fourth byte) starting at memory row 0; the other rows are left alone.
struct FlashCycle {
  std::int32_t width;
  std::int32_t height;
  std::uint32_t interval;       // frames in the cycle, 1..255
  std::uint32_t frameDuration;  // how long a frame stays, 100 ns units; 0: the clock stands
  std::int32_t windowSide;      // FlashWindowSide
  void (*mapRows)(void* context, std::uint32_t frame, std::int32_t firstRow, std::int32_t endRow,
                  std::uint8_t* pixels);
  void* context;
  const std::atomic<bool>* cancel;  // may be null; checked once per frame
};

enum class FlashVerdict { kWithin, kExceeded, kCancelled, kNoMemory };

// Judges the cycle. A picture narrower or lower than the window, a steady
// cycle and a standing clock are kWithin at once. Stops with kCancelled soon
// after *cancel turns true. Any thread.
FlashVerdict JudgeFlashing(const FlashCycle& cycle);

// The same for the cycle the current level tables make of a picture (32-bpp
// bottom-up, width x height), frames made as frame rendering makes them. The
// tables must stay present and unchanged until it returns.
FlashVerdict JudgeFlashingOfPicture(const std::uint8_t* bits, std::int32_t width, std::int32_t height,
                                    std::uint32_t frameDuration, std::int32_t windowSide,
                                    const std::atomic<bool>* cancel);

// The last line of cycle.txt: "general_flash=exceeded" or "general_flash=within"
// and a line feed.
std::string FlashReportLine(bool exceeded);
