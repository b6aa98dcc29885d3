// RebuildFrameSet: see rebuild_frames.h.
#include "frc/rebuild_frames.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "frc/engine_state.h"
#include "frc/level_tables.h"
#include "frc/render_frame.h"

namespace {

// Generation of the picture the current FrameSet was rendered from.
std::uint32_t frameSetPicture = 0;

constexpr auto kProgressInterval = std::chrono::milliseconds(40);

// Frames handed out in turn to the workers; the first failure stops the
// handing out (frames already started finish).
struct RenderJob {
  const DibSurface* source;
  DibSurface* frames;
  std::uint32_t count;
  std::atomic<std::uint32_t> next{0};
  std::atomic<bool> failed{false};
  std::mutex lock;
  std::condition_variable changed;
  std::uint32_t done = 0;      // guarded by lock
  std::uint32_t finished = 0;  // workers that have stopped; guarded by lock
};

void RenderWorker(RenderJob* job) {
  for (;;) {
    if (job->failed) break;
    const std::uint32_t k = job->next++;
    if (k >= job->count) break;
    const bool rendered = RenderFrame(&job->frames[k], *job->source, k) == 1;
    if (!rendered) job->failed = true;
    std::lock_guard<std::mutex> guard(job->lock);
    ++job->done;
    job->changed.notify_one();
  }
  std::lock_guard<std::mutex> guard(job->lock);
  ++job->finished;
  job->changed.notify_one();
}

// Renders every frame; returns false when one failed. The workers are joined
// before it returns.
bool RenderAllFrames(const DibSurface& source, DibSurface* frames, std::uint32_t count, FrameProgress progress,
                     void* progressContext) {
  if (count == 1) return RenderFrame(&frames[0], source, 0) == 1;

  RenderJob job;
  job.source = &source;
  job.frames = frames;
  job.count = count;
  const std::uint32_t cores = std::max(1u, std::thread::hardware_concurrency());
  const std::uint32_t wanted = std::min(cores, count);
  std::vector<std::thread> workers;
  workers.reserve(wanted);
  for (std::uint32_t i = 0; i < wanted; ++i) {
    // std::thread reports a thread the system refuses by throwing; fewer
    // workers (or the calling thread alone) then do the same work.
    try {
      workers.emplace_back(RenderWorker, &job);
    } catch (const std::system_error&) {
      break;
    }
  }
  if (workers.empty()) {
    RenderWorker(&job);
  } else {
    std::unique_lock<std::mutex> guard(job.lock);
    while (job.finished < workers.size()) {
      job.changed.wait_for(guard, kProgressInterval);
      if (progress) {
        const std::uint32_t done = job.done;
        guard.unlock();
        progress(progressContext, done, count);
        guard.lock();
      }
    }
  }
  for (std::thread& worker : workers) worker.join();
  return !job.failed;
}

void DiscardFrameSet() {
  ReleaseFrameSet(FrameSet);
  FrameSet = nullptr;
}

}  // namespace

FrameBuild RebuildFrameSet(const DibSurface& source, std::uint32_t count, std::uint32_t offset,
                           FrameProgress progress, void* progressContext) {
  // The previous frames leave FrameSet at once; their sections are kept aside
  // for the new cycle only when they show the same picture.
  DibSurface* kept = FrameSet;
  FrameSet = nullptr;
  if (kept && frameSetPicture != source.generation) {
    ReleaseFrameSet(kept);
    kept = nullptr;
  }

  if (!BuildLevelTables(count, offset)) {
    ReleaseFrameSet(kept);
    return FrameBuild::kTablesFailed;
  }
  DibSurface* frames = AllocateFrameSet(count);
  if (!frames) {
    ReleaseFrameSet(kept);
    return FrameBuild::kTablesFailed;
  }
  const std::uint32_t reused = std::min(count, FrameSetCount(kept));
  for (std::uint32_t k = 0; k < reused; ++k) MoveSurface(&frames[k], &kept[k]);
  ReleaseFrameSet(kept);  // the sections the new cycle does not need

  FrameSet = frames;
  frameSetPicture = source.generation;
  FrcOffset = offset;
  FrcCount = count;
  CurrentFrame = 0;

  if (!RenderAllFrames(source, frames, count, progress, progressContext)) {
    DiscardFrameSet();
    return FrameBuild::kFramesFailed;
  }
  return FrameBuild::kBuilt;
}
