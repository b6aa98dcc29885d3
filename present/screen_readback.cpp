// The presentation check's marker and count: see screen_readback.h.
#include "present/screen_readback.h"

#include <cmath>

#include "present/presentation_lock.h"

namespace {

constexpr int kFirstBit = 2;
constexpr int kParityBlock = kFirstBit + 8;

int WhiteBits(int frame) {
  int white = 0;
  for (int bit = 0; bit < 8; ++bit) white += (frame >> bit) & 1;
  return white;
}

// 1 white, 0 black, -1 neither.
int ReadBlock(const std::uint8_t* pixels, std::size_t stride, int block) {
  const int quarter = kMarkerBlockSize / 4;
  bool white = true, black = true;
  for (int y = quarter; y < kMarkerBlockSize - quarter; ++y) {
    const std::uint8_t* row = pixels + static_cast<std::size_t>(y) * stride;
    for (int x = quarter; x < kMarkerBlockSize - quarter; ++x) {
      const std::uint8_t* pixel = row + 4 * (block * kMarkerBlockSize + x);
      for (int channel = 0; channel < 3; ++channel) {
        white = white && pixel[channel] >= 192;
        black = black && pixel[channel] <= 63;
      }
    }
  }
  return white ? 1 : black ? 0 : -1;
}

}  // namespace

bool MarkerBlockIsWhite(int frame, int block) {
  if (block == 0 || block == kMarkerBlocks - 1) return true;
  if (block == 1) return false;
  if (block == kParityBlock) return WhiteBits(frame) % 2 == 1;
  return ((frame >> (block - kFirstBit)) & 1) != 0;
}

int ReadFrameMarker(const std::uint8_t* pixels, std::size_t stride) {
  int blocks[kMarkerBlocks];
  for (int block = 0; block < kMarkerBlocks; ++block) {
    blocks[block] = ReadBlock(pixels, stride, block);
    if (blocks[block] < 0) return -1;
  }
  if (!blocks[0] || blocks[1] || !blocks[kMarkerBlocks - 1]) return -1;
  int frame = 0;
  for (int bit = 0; bit < 8; ++bit) frame |= blocks[kFirstBit + bit] << bit;
  if ((WhiteBits(frame) + blocks[kParityBlock]) % 2 != 0) return -1;
  return frame;
}

std::vector<int> FramesPerRefresh(const DesktopUpdate* updates, std::size_t count, std::uint32_t rateNumerator,
                                  std::uint32_t rateDenominator, std::int64_t counterFrequency) {
  std::vector<int> frames;
  if (count == 0 || rateNumerator == 0 || rateDenominator == 0 || counterFrequency <= 0) return frames;
  const double refreshesPerTick =
      static_cast<double>(rateNumerator) / (static_cast<double>(rateDenominator) * static_cast<double>(counterFrequency));
  frames.push_back(updates[0].frame);
  for (std::size_t i = 1; i < count; ++i) {
    const double apart = static_cast<double>(updates[i].time - updates[i - 1].time) * refreshesPerTick;
    const double gap = apart > 0 ? std::floor(apart + 0.5) : 0;
    if (gap >= static_cast<double>(kMaxReadRefreshes - frames.size())) return std::vector<int>();
    const std::size_t refreshes = static_cast<std::size_t>(gap);
    if (refreshes == 0) {
      frames.back() = updates[i].frame;
      continue;
    }
    const int held = updates[i].accumulated > 1 ? -1 : frames.back();
    frames.insert(frames.end(), refreshes - 1, held);
    frames.push_back(updates[i].frame);
  }
  return frames;
}

ReadbackTally CountReadback(const int* frames, std::size_t refreshes, int interval, int refreshesPerFrame,
                            std::vector<std::uint8_t>* notes) {
  ReadbackTally tally = {0, 0, 0, 0, 0};
  std::vector<std::uint8_t> marks(refreshes, kRefreshAsExpected);
  if (interval < 2 || interval > kMarkerFrames || refreshesPerFrame < 1) {
    if (notes) notes->clear();
    return tally;
  }
  const std::size_t k = static_cast<std::size_t>(refreshesPerFrame);
  tally.refreshes = static_cast<std::uint32_t>(refreshes);

  // The run of one frame just before the current one, when nothing unreadable came between.
  bool havePrevious = false;
  bool previousHadBefore = false;  // the previous run had a run of its own just before it
  int previousFrame = 0;
  std::size_t previousLength = 0;
  std::size_t i = 0;
  while (i < refreshes) {
    const int frame = frames[i];
    if (frame < 0 || frame >= interval) {
      ++tally.unreadable;
      marks[i] |= kRefreshUnreadable;
      havePrevious = false;
      ++i;
      continue;
    }
    const std::size_t start = i;
    while (i < refreshes && frames[i] == frame) ++i;
    const std::size_t length = i - start;
    ++tally.frames;
    if (JudgeHeldFrame(length, static_cast<std::uint32_t>(k)) == HeldJudgement::kDoubled) {
      ++tally.doubled;
      for (std::size_t j = start + k; j < i; ++j) marks[j] |= kRefreshDoubled;
    }
    if (havePrevious) {
      const int skipped = (frame - previousFrame - 1 + interval) % interval;
      if (skipped > 0) {
        tally.missed += static_cast<std::uint32_t>(skipped);
        marks[start] |= kRefreshAfterMiss;
      }
      // Its first refresh may not be the first it was up: judged only after one before it.
      if (previousHadBefore &&
          JudgeHeldFrame(previousLength, static_cast<std::uint32_t>(k)) == HeldJudgement::kCutShort) {
        ++tally.missed;
        marks[start] |= kRefreshCutShort;
      }
    }
    previousHadBefore = havePrevious;
    havePrevious = true;
    previousFrame = frame;
    previousLength = length;
  }
  if (notes) notes->swap(marks);
  return tally;
}
