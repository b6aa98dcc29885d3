// RebuildFrameSet: see rebuild_frames.h.
#include "frc/rebuild_frames.h"

#include "frc/engine_state.h"
#include "frc/level_tables.h"
#include "frc/render_frame.h"

namespace {

void DiscardFrameSet() {
  ReleaseFrameSet(FrameSet);
  FrameSet = nullptr;
}

}  // namespace

FrameBuild RebuildFrameSet(const DibSurface& source, std::uint32_t count, std::uint32_t offset) {
  DiscardFrameSet();
  if (!BuildLevelTables(count, offset)) return FrameBuild::kTablesFailed;
  FrameSet = AllocateFrameSet(count);
  if (!FrameSet) return FrameBuild::kTablesFailed;
  FrcOffset = offset;
  FrcCount = count;
  CurrentFrame = 0;

  for (std::uint32_t k = 0; k < count; ++k) {
    if (!RenderFrame(&FrameSet[k], source.bitmap, k)) {
      DiscardFrameSet();
      return FrameBuild::kFramesFailed;
    }
  }
  return FrameBuild::kBuilt;
}
