// The arithmetic of the presentation check: the frame-number marker drawn
// into each frame of the check's cycle and read back from the desktop image,
// and the count of what the read-back sequence shows: frames doubled, frames
// missed.
//
// The marker is a row of kMarkerBlocks square blocks, each black or white:
// white, black (where the row starts), eight bits of the frame number, lowest
// first (white is 1), a bit that makes the number of white blocks among the
// eight and itself even, and a closing white block. Only exact black and white
// are drawn, so a desktop image that was scaled, blended or caught half drawn
// does not read as some other frame.
//
// Windows-free: built and tested natively as well as in the program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int kMarkerBlocks = 12;
constexpr int kMarkerBlockSize = 8;  // pixels
constexpr int kMarkerWidth = kMarkerBlocks * kMarkerBlockSize;
constexpr int kMarkerHeight = kMarkerBlockSize;
constexpr int kMarkerFrames = 256;  // frame numbers 0..255 can be marked

// Whether block (0..kMarkerBlocks-1) of the marker of frame (0..255) is white.
bool MarkerBlockIsWhite(int frame, int block);

// Reads the marker from kMarkerWidth x kMarkerHeight pixels of 32-bit BGRA
// (byte order blue, green, red, unused), rows stride bytes apart, top row
// first. A block counts as white when every colour byte of its middle
// quarter is 192 or more, black when every one is 63 or less. Returns the
// frame number, or -1 when any block is neither, or the row does not start,
// close and check as above.
int ReadFrameMarker(const std::uint8_t* pixels, std::size_t stride);

// One change of the desktop image, as the reading saw it.
struct DesktopUpdate {
  std::int64_t time;          // performance-counter time of the change
  int frame;                  // the marker read from the new image; -1 unreadable
  std::uint32_t accumulated;  // changes since the reading before (more than 1: some went unseen)
};

// The frame on screen at each refresh, from the refresh of the first change
// to that of the last: each change holds until the next. The refreshes
// between two changes are their time apart at rateNumerator/rateDenominator
// Hz, rounded to the nearest whole refresh, so the rate's error does not add
// up over a long reading. A change in the same refresh as the one before
// replaces it (the frame it replaced was never shown for a whole refresh).
// Where changes went unseen, the refreshes between the two readings are -1:
// what they showed is not known. Empty when a rate or the frequency is 0 or
// the changes would span more than kMaxReadRefreshes.
constexpr std::size_t kMaxReadRefreshes = 1u << 22;
std::vector<int> FramesPerRefresh(const DesktopUpdate* updates, std::size_t count, std::uint32_t rateNumerator,
                                  std::uint32_t rateDenominator, std::int64_t counterFrequency);

// What one refresh showed, by the count below.
enum RefreshNote : std::uint8_t {
  kRefreshAsExpected = 0,
  kRefreshDoubled = 1,     // the frame had already had its k refreshes
  kRefreshAfterMiss = 2,   // frames of the cycle were skipped just before this one
  kRefreshCutShort = 4,    // the frame before this one had fewer than k refreshes
  kRefreshUnreadable = 8,  // no marker could be read
};

struct ReadbackTally {
  std::uint32_t refreshes;   // refreshes read
  std::uint32_t frames;      // frame changes seen, plus the first frame
  std::uint32_t doubled;     // frames that stayed more than k refreshes
  std::uint32_t missed;      // frames never shown, plus frames shown fewer than k refreshes
  std::uint32_t unreadable;  // refreshes without a readable marker
};

// Counts what the screen showed: frames[i] is the frame number read at
// refresh i (-1: unreadable) of a cycle of interval frames (2..256) that is
// meant to show each frame for refreshesPerFrame (k >= 1) refreshes, then the
// next, wrapping from interval-1 to 0.
//   - A frame that stays more than k refreshes counts once as doubled; the
//     refreshes past its k-th are marked kRefreshDoubled.
//   - When frame b follows frame a, the (b - a - 1) mod interval frames in
//     between count as missed; b's first refresh is marked kRefreshAfterMiss.
//   - A frame with both neighbours read that stayed fewer than k refreshes
//     counts as missed; the next frame's first refresh is marked
//     kRefreshCutShort. The first and last frames read may have begun before
//     or lasted beyond the reading and are not judged short.
//   - An unreadable refresh separates what is before it from what is after:
//     no frame is judged missed or short across it.
// notes (when not null) is replaced by one RefreshNote set per refresh.
// Returns all zero when interval or refreshesPerFrame is out of range.
ReadbackTally CountReadback(const int* frames, std::size_t refreshes, int interval, int refreshesPerFrame,
                            std::vector<std::uint8_t>* notes);
