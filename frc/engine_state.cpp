// The engine state and the frame-set block: see engine_state.h.
#include "frc/engine_state.h"

#include <cstddef>
#include <cstdlib>
#include <new>

DibSurface* FrameSet = nullptr;
std::atomic<std::uint32_t> FrcCount{0};
std::uint32_t FrcOffset = 0;
std::atomic<std::uint32_t> CurrentFrame{0};
std::atomic<std::uint32_t> FrameDuration{0};
std::mutex FrameSetLock;

void SetCurrentFrame(std::uint32_t index) { CurrentFrame = index; }

namespace {

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
  ~FrameSetAtExit() {
    ReleaseFrameSet(FrameSet);
    FrameSet = nullptr;
  }
} frameSetAtExit;

}  // namespace

DibSurface* AllocateFrameSet(std::uint32_t count) {
  if (count == 0) return nullptr;
  const std::uint64_t bytes = std::uint64_t{count} * sizeof(DibSurface) + sizeof(FrameSetHeader);
  if (bytes != static_cast<std::size_t>(bytes)) return nullptr;  // beyond a 32-bit address space
  void* block = std::malloc(static_cast<std::size_t>(bytes));
  if (!block) return nullptr;
  FrameSetHeader* header = new (block) FrameSetHeader;
  header->count = count;
  DibSurface* frames = reinterpret_cast<DibSurface*>(header + 1);
  for (std::uint32_t i = 0; i < count; ++i) new (frames + i) DibSurface;
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
