// RebuildFrameSet: see rebuild_frames.h.
#include "frc/rebuild_frames.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "base/threads.h"
#include "frc/engine_state.h"
#include "frc/frame_mapping.h"
#include "frc/level_tables.h"
#include "frc/render_frame.h"
#include "base/thread_checks.h"

namespace {

constexpr auto kProgressInterval = std::chrono::milliseconds(40);

// Rows mapped together: small enough that the bands spread evenly over the
// workers, large enough that handing them out costs nothing.
constexpr std::int32_t kBandRows = 16;

// Bands of rows of the whole cycle, handed out in turn to the workers; the
// first failure stops the handing out (bands already started finish).
struct RenderJob {
  const std::uint8_t* source;
  std::uint8_t* const* targets;
  std::int32_t width;
  std::int32_t height;
  std::atomic<std::int32_t> nextBand{0};
  std::atomic<bool> failed{false};
  std::mutex lock;
  std::condition_variable changed;
  std::int32_t rowsDone = 0;   // guarded by lock
  std::uint32_t finished = 0;  // workers that have stopped; guarded by lock
};

unsigned __stdcall RenderWorker(void* context) {
  RenderJob* job = static_cast<RenderJob*>(context);
  for (;;) {
    if (job->failed) break;
    const std::int32_t first = job->nextBand++ * kBandRows;
    if (first >= job->height) break;
    const std::int32_t end = std::min(job->height, first + kBandRows);
    if (!MapCycleRows(job->source, job->targets, job->width, first, end)) job->failed = true;
    std::lock_guard<std::mutex> guard(job->lock);
    job->rowsDone += end - first;
    job->changed.notify_one();
  }
  std::lock_guard<std::mutex> guard(job->lock);
  ++job->finished;
  job->changed.notify_one();
  return 0;
}

// Maps every frame of frames (all Ready, of the source's size) on one worker
// per core while this thread waits and reports progress; the workers are
// joined before it returns. Returns false when a worker failed.
bool MapAllFrames(const DibSurface& source, DibSurface* frames, std::uint32_t interval, FrameProgress progress,
                  void* progressContext) {
  std::uint8_t** targets = static_cast<std::uint8_t**>(std::malloc(sizeof(std::uint8_t*) * interval));
  if (!targets) return false;
  for (std::uint32_t k = 0; k < interval; ++k) targets[k] = static_cast<std::uint8_t*>(frames[k].bits);

  RenderJob job;
  job.source = static_cast<const std::uint8_t*>(source.bits);
  job.targets = targets;
  job.width = source.header.bmiHeader.biWidth;
  job.height = source.header.bmiHeader.biHeight;
  const std::uint32_t cores = std::max(1u, std::thread::hardware_concurrency());
  std::vector<ScopedHandle> workers;
  workers.reserve(cores);
  for (std::uint32_t i = 0; i < cores; ++i) {
    // Where the system refuses a thread, fewer workers (or this thread alone)
    // do the same work.
    ScopedHandle worker = StartThread(RenderWorker, &job);
    if (!worker.valid()) break;
    workers.push_back(std::move(worker));
  }
  if (workers.empty()) {
    RenderWorker(&job);
  } else {
    // The last report comes after every worker has stopped, so that it
    // shows the whole cycle done.
    std::unique_lock<std::mutex> guard(job.lock);
    for (;;) {
      const bool allStopped = job.finished >= workers.size();
      if (progress && job.height > 0) {
        const std::uint32_t done = static_cast<std::uint32_t>(std::uint64_t{interval} * job.rowsDone / job.height);
        guard.unlock();
        progress(progressContext, done, interval);
        guard.lock();
      }
      if (allStopped) break;
      job.changed.wait_for(guard, kProgressInterval);
    }
  }
  for (ScopedHandle& worker : workers) JoinThread(&worker, INFINITE);
  std::free(targets);
  return !job.failed;
}

// Renders every frame of the cycle; false when one could not be made.
bool RenderAllFrames(const DibSurface& source, DibSurface* frames, std::uint32_t interval, FrameProgress progress,
                     void* progressContext) {
  if (interval == 1) return RenderFrame(&frames[0], source, 0) == 1;
  // Sections are made (or kept) here; the memory behind them is first
  // written by the workers.
  for (std::uint32_t k = 0; k < interval; ++k)
    if (!PrepareFrame(&frames[k], source)) return false;
  return MapAllFrames(source, frames, interval, progress, progressContext);
}

void DiscardFrameSet() {
  DibSurface* frames = FrameSet;
  PublishFrameSet(nullptr, 0);
  ReleaseFrameSet(frames);
}

}  // namespace


FrameBuild RebuildFrameSet(const DibSurface& source, std::uint32_t interval, std::uint32_t correction,
                           FrameProgress progress, void* progressContext) {
  ExpectUiThread();
  MutexLock guard(FrameSetLock());
  // The previous frames leave FrameSet at once; their sections are kept aside
  // for the new cycle only when they show the same picture.
  DibSurface* kept = FrameSet;
  const bool samePicture = FrameSetPicture() == source.generation;
  PublishFrameSet(nullptr, 0);
  if (kept && !samePicture) {
    ReleaseFrameSet(kept);
    kept = nullptr;
  }

  if (!BuildLevelTables(interval, correction)) {
    ReleaseFrameSet(kept);
    return FrameBuild::kTablesFailed;
  }
  DibSurface* frames = AllocateFrameSet(interval);
  if (!frames) {
    ReleaseFrameSet(kept);
    return FrameBuild::kTablesFailed;
  }
  const std::uint32_t reused = std::min(interval, FrameSetCount(kept));
  for (std::uint32_t k = 0; k < reused; ++k) MoveSurface(&frames[k], &kept[k]);
  ReleaseFrameSet(kept);  // the sections the new cycle does not need

  PublishFrameSet(frames, source.generation);
  PublishCycle(interval, correction);
  SetCurrentFrame(0);

  if (!RenderAllFrames(source, frames, interval, progress, progressContext)) {
    DiscardFrameSet();
    return FrameBuild::kFramesFailed;
  }
  return FrameBuild::kBuilt;
}
