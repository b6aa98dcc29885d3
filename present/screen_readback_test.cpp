// The presentation check's arithmetic: the marker read back exactly and never
// misread, the desktop's changes spread over refreshes, and the count of
// doubled, missed and unreadable refreshes.
#include "present/screen_readback.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr std::size_t kStride = kMarkerWidth * 4 + 12;

std::vector<std::uint8_t> Marker(int frame) {
  std::vector<std::uint8_t> pixels(kStride * kMarkerHeight, 0x55);
  for (int y = 0; y < kMarkerHeight; ++y)
    for (int x = 0; x < kMarkerWidth; ++x)
      for (int c = 0; c < 4; ++c)
        pixels[y * kStride + x * 4 + c] = MarkerBlockIsWhite(frame, x / kMarkerBlockSize) ? 255 : 0;
  return pixels;
}

// Sets the middle of block to value in one channel.
void Paint(std::vector<std::uint8_t>* pixels, int block, int channel, std::uint8_t value) {
  (*pixels)[(kMarkerHeight / 2) * kStride + (block * kMarkerBlockSize + kMarkerBlockSize / 2) * 4 + channel] = value;
}

TEST(ScreenReadbackTest, EveryFrameReadsBackAndNoSingleWrongBlockPassesForAnother) {
  for (int frame = 0; frame < kMarkerFrames; ++frame) {
    std::vector<std::uint8_t> pixels = Marker(frame);
    ASSERT_EQ(frame, ReadFrameMarker(pixels.data(), kStride));
    for (int block = 0; block < kMarkerBlocks; ++block) {
      const bool white = MarkerBlockIsWhite(frame, block);
      std::vector<std::uint8_t> flipped = Marker(frame);
      for (int c = 0; c < 3; ++c) Paint(&flipped, block, c, white ? 0 : 255);
      // Only the sampled middle was flipped: a block half one, half the other reads as neither.
      EXPECT_EQ(-1, ReadFrameMarker(flipped.data(), kStride)) << frame << " " << block;
    }
  }
  std::vector<std::uint8_t> pixels = Marker(0xA5);
  Paint(&pixels, 3, 2, MarkerBlockIsWhite(0xA5, 3) ? 192 : 63);  // still inside the thresholds
  EXPECT_EQ(0xA5, ReadFrameMarker(pixels.data(), kStride));
  Paint(&pixels, 3, 2, MarkerBlockIsWhite(0xA5, 3) ? 191 : 64);
  EXPECT_EQ(-1, ReadFrameMarker(pixels.data(), kStride));
}

TEST(ScreenReadbackTest, ChangesSpreadOverRefreshesWithoutDrift) {
  // 60 Hz against a counter of 600 ticks a second: 10 ticks a refresh.
  const DesktopUpdate updates[] = {{0, 0, 1}, {10, 1, 1}, {34, 2, 1}, {35, 3, 1}, {51, 4, 3}, {61, 5, 1}};
  EXPECT_EQ((std::vector<int>{0, 1, 1, 3, -1, 4, 5}), FramesPerRefresh(updates, 6, 60, 1, 600));
  EXPECT_TRUE(FramesPerRefresh(updates, 6, 0, 1, 600).empty());
  // 59.94 Hz for an hour, one change a refresh at whole ticks of 10 MHz.
  std::vector<DesktopUpdate> hour;
  for (std::int64_t i = 0; i < 215784; ++i) hour.push_back({i * 10010000 / 60, int(i % 7), 1});
  const std::vector<int> frames = FramesPerRefresh(hour.data(), hour.size(), 60000, 1001, 10000000);
  ASSERT_EQ(hour.size(), frames.size());
  EXPECT_EQ(hour.back().frame, frames.back());
}

std::string Count(const std::vector<int>& frames, int interval, int k) {
  std::vector<std::uint8_t> notes;
  const ReadbackTally t = CountReadback(frames.data(), frames.size(), interval, k, &notes);
  std::string text = std::to_string(t.refreshes) + "/" + std::to_string(t.frames) + " d" + std::to_string(t.doubled) +
                     " m" + std::to_string(t.missed) + " u" + std::to_string(t.unreadable) + " ";
  for (std::uint8_t note : notes) text += "0123456789ABCDEF"[note];
  return text;
}

TEST(ScreenReadbackTest, CountsDoubledMissedAndUnreadable) {
  // Notes: 1 doubled, 2 after missed frames, 4 after a frame cut short, 8 unreadable.
  const struct {
    int interval, k;
    std::vector<int> frames;
    const char* expected;
  } cases[] = {
      {4, 1, {2, 3, 0, 1, 2, 3, 0}, "7/7 d0 m0 u0 0000000"},
      {4, 1, {0, 1, 1, 2, 3}, "5/4 d1 m0 u0 00100"},
      {4, 1, {0, 1, 3, 0}, "4/4 d0 m1 u0 0020"},
      // k > 1: the first and last frames may be partial; the wrap back to 0.
      {4, 2, {1, 2, 2, 3, 3, 0, 0, 1}, "8/5 d0 m0 u0 00000000"},
      {3, 3, {2, 2, 2, 0, 0, 0, 1, 1, 1, 2}, "10/4 d0 m0 u0 0000000000"},
      // A late change: 3 stays three refreshes, 0 only one.
      {4, 2, {2, 2, 3, 3, 3, 0, 1, 1}, "8/4 d1 m1 u0 00001040"},
      {4, 2, {2, 2, 2, 2, 2, 3, 3}, "7/2 d1 m0 u0 0011100"},
      {8, 4, {6, 6, 6, 6, 1, 1, 1, 1}, "8/2 d0 m2 u0 00002000"},
      {2, 2, {0, 0, 0, 0, 0, 0}, "6/1 d1 m0 u0 001111"},
      // Nothing is judged across an unreadable refresh; a number outside the cycle is unreadable.
      {4, 2, {0, 0, -1, 1, 3, 3}, "6/3 d0 m1 u1 008020"},
      {4, 1, {0, 1, 9, 3}, "4/3 d0 m0 u1 0080"},
      {256, 1, {255, 0}, "2/2 d0 m0 u0 00"},
      // Out of range: nothing counted.
      {1, 1, {0, 0}, "0/0 d0 m0 u0 "},
      {4, 0, {0, 1}, "0/0 d0 m0 u0 "},
  };
  for (const auto& c : cases) EXPECT_EQ(c.expected, Count(c.frames, c.interval, c.k)) << c.expected;
}

}  // namespace
