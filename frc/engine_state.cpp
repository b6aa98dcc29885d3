// The engine state and the frame-set block: see engine_state.h.
#include "frc/engine_state.h"
#include "base/thread_checks.h"
#include "frc/frame_cache.h"

#include <cstddef>
#include <cstdlib>
#include <new>

namespace {

// The values behind the read-only names of the header; written only by the
// functions below.
struct EngineState {
  DibSurface* frameSet = nullptr;
  std::uint32_t frameSetPicture = 0;
  std::atomic<std::uint32_t> frcCount{0};
  std::uint32_t frcOffset = 0;
  std::atomic<std::uint32_t> currentFrame{0};
  std::atomic<std::uint32_t> frameDuration{0};
  Mutex frameSetLock;
};
EngineState engine;

// The count word sits in front of the elements, padded so that they keep the
// strictest alignment any object needs.
struct alignas(std::max_align_t) FrameSetHeader {
  std::uint32_t count;
};

FrameSetHeader* HeaderOf(const DibSurface* frames) {
  return reinterpret_cast<FrameSetHeader*>(reinterpret_cast<unsigned char*>(const_cast<DibSurface*>(frames)) -
                                           sizeof(FrameSetHeader));
}

// The last frame set goes with the process: its bitmaps and memory DCs are
// released at exit like the source surface's.
struct FrameSetAtExit {
  ~FrameSetAtExit() { ReleaseEngineState(); }
} frameSetAtExit;

}  // namespace

DibSurface* const& FrameSet = engine.frameSet;
const std::atomic<std::uint32_t>& FrcCount = engine.frcCount;
const std::uint32_t& FrcOffset = engine.frcOffset;
const std::atomic<std::uint32_t>& CurrentFrame = engine.currentFrame;
const std::atomic<std::uint32_t>& FrameDuration = engine.frameDuration;

Mutex& FrameSetLock() { return engine.frameSetLock; }

void PublishFrameSet(DibSurface* frames, std::uint32_t picture) {
  ExpectUiThread();
  engine.frameSet = frames;
  engine.frameSetPicture = frames ? picture : 0;
}

std::uint32_t FrameSetPicture() { return engine.frameSetPicture; }

void PublishCycle(std::uint32_t interval, std::uint32_t correction) {
  ExpectUiThread();
  engine.frcOffset = correction;
  engine.frcCount = interval;
}

void SetCurrentFrame(std::uint32_t index) { engine.currentFrame = index; }

void SetFrameDuration(std::uint32_t duration) {
  ExpectUiThread();
  engine.frameDuration = duration;
}

void ReleaseEngineState() {
  StopFrameMaking();
  DibSurface* frames = engine.frameSet;
  PublishFrameSet(nullptr, 0);
  ReleaseFrameSet(frames);
  PublishCycle(0, 0);
  SetCurrentFrame(0);
  SetFrameDuration(0);
}

DibSurface* AllocateFrameSet(std::uint32_t interval) {
  if (interval == 0) return nullptr;
  const std::uint64_t bytes = std::uint64_t{interval} * sizeof(DibSurface) + sizeof(FrameSetHeader);
  if (bytes != static_cast<std::size_t>(bytes)) return nullptr;  // beyond a 32-bit address space
  void* block = std::malloc(static_cast<std::size_t>(bytes));
  if (!block) return nullptr;
  FrameSetHeader* header = new (block) FrameSetHeader;
  header->count = interval;
  DibSurface* frames = reinterpret_cast<DibSurface*>(header + 1);
  for (std::uint32_t i = 0; i < interval; ++i) new (frames + i) DibSurface;
  return frames;
}

void ReleaseFrameSet(DibSurface* frames) {
  if (!frames) return;
  FrameSetHeader* header = HeaderOf(frames);
  for (std::uint32_t i = 0; i < header->count; ++i) frames[i].~DibSurface();
  header->~FrameSetHeader();
  std::free(header);
}

std::uint32_t FrameSetCount(const DibSurface* frames) { return frames ? HeaderOf(frames)->count : 0; }
