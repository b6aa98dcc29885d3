// The frame cycle made when it is needed: see frame_cache.h.
#include "frc/frame_cache.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <cstdint>
#include <cstdlib>
#include <thread>
#include <vector>

#include "base/thread_checks.h"
#include "base/threads.h"
#include "frc/engine_state.h"
#include "frc/frame_mapping.h"
#include "frc/frame_plan.h"
#include "frc/level_tables.h"
#include "frc/render_frame.h"
#include "imaging/load_source.h"

namespace {

constexpr std::uint64_t kDefaultBudget = 200000000;
constexpr std::uint32_t kFewestSlots = 4;
constexpr std::uint32_t kNone = kNoFrame;

// Rows mapped together: small enough that the bands spread evenly over the
// cores, large enough that handing them out costs nothing.
constexpr std::int32_t kBandRows = 16;

struct BandJob {
  const std::uint8_t* source;
  std::uint8_t* target;
  std::int32_t width;
  std::int32_t height;
  std::uint32_t frame;
  std::atomic<std::int32_t> nextBand{0};
};

// The helpers wait for a job; a job is only ever given by one thread at a
// time (the maker, or the user-interface thread while the maker stands).
struct BandPool {
  std::mutex lock;  // guards the fields below it but the last
  std::condition_variable changed;
  BandJob* job = nullptr;
  std::uint32_t jobNumber = 0;
  std::uint32_t running = 0;  // helpers inside a job
  bool stop = false;
  std::vector<ScopedHandle> helpers;  // the giving thread only
  bool started = false;               // the giving thread only
};

// Which record holds which section, and the sections kept aside; guarded by
// FrameSetLock.
struct Cache {
  std::uint32_t lastShown[kLargestTableInterval] = {};  // per record; 0 never shown
  std::uint32_t showCount = 0;
  std::uint32_t onScreen = kNone;  // record last returned for drawing
  DibSurface spare[kLargestTableInterval];  // sections of the cycle's size in no record
  std::uint32_t spareCount = 0;
  std::uint32_t sections = 0;  // of the cycle's size: in records, spare or being made
  std::uint32_t slots = 0;
  std::uint32_t lead = 0;  // FramePlan::lead; written by the maker
  const DibSurface* source = nullptr;
};

// The maker's state, guarded by its lock.
struct Maker {
  std::mutex lock;  // guards the fields below it but the last
  std::condition_variable changed;
  bool stop = false;
  std::uint32_t pauses = 0;  // while above 0 nothing is made
  bool busy = false;         // making frames now
  bool failed = false;       // until the next rebuild
  bool pictureGone = true;   // until the next rebuild
  std::uint32_t wakes = 0;
  ScopedHandle thread;  // user-interface thread only
};

// Everything of the frame making in one record. Never destroyed: the maker
// and the helpers may still run while statics are destroyed at exit (they
// are stopped before, see StartMaker). `budget` and `stopsAtExit` are the
// user-interface thread's; the other fields say who touches them.
struct FrameMaking {
  BandPool bands;
  Cache cache;
  Maker maker;
  std::atomic<std::uint64_t> notReady{0};
  std::uint64_t budget = kDefaultBudget;
  std::atomic<void (*)(FrameNotice)> noticeHook{nullptr};
  bool stopsAtExit = false;
};
FrameMaking* const making = new FrameMaking;

// ---------------------------------------------------------------------------
// One frame on every core: the calling thread and one helper per further core
// take bands of rows in turn.

void RunBands(BandJob* job) {
  for (;;) {
    const std::int32_t first = job->nextBand++ * kBandRows;
    if (first >= job->height) return;
    MapFrameRows(job->source, job->target, job->width, first, std::min(job->height, first + kBandRows), job->frame);
  }
}

unsigned __stdcall BandHelper(void*) {
  std::uint32_t seen = 0;
  std::unique_lock<std::mutex> guard(making->bands.lock);
  for (;;) {
    making->bands.changed.wait(guard, [&]() { return making->bands.stop || making->bands.jobNumber != seen; });
    if (making->bands.stop) return 0;
    seen = making->bands.jobNumber;
    BandJob* job = making->bands.job;
    if (!job) continue;  // that job is over already
    ++making->bands.running;
    guard.unlock();
    RunBands(job);
    guard.lock();
    --making->bands.running;
    making->bands.changed.notify_all();
  }
}

}  // namespace

void MakeFrameInto(const DibSurface& source, DibSurface* target, std::uint32_t frame) {
  BandJob job;
  job.source = static_cast<const std::uint8_t*>(source.bits);
  job.target = static_cast<std::uint8_t*>(target->bits);
  job.width = source.header.bmiHeader.biWidth;
  job.height = source.header.bmiHeader.biHeight;
  job.frame = frame;
  if (!making->bands.started) {
    making->bands.started = true;
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    // Where the system refuses a thread, fewer helpers do the same work.
    for (unsigned i = 1; i < cores; ++i) {
      ScopedHandle helper = StartThread(BandHelper, nullptr);
      if (!helper.valid()) break;
      making->bands.helpers.push_back(std::move(helper));
    }
  }
  if (making->bands.helpers.empty() || job.height <= 2 * kBandRows) {
    RunBands(&job);
    return;
  }
  {
    std::lock_guard<std::mutex> guard(making->bands.lock);
    making->bands.job = &job;
    ++making->bands.jobNumber;
  }
  making->bands.changed.notify_all();
  RunBands(&job);
  std::unique_lock<std::mutex> guard(making->bands.lock);
  making->bands.job = nullptr;  // a helper waking from here on leaves it alone
  making->bands.changed.wait(guard, [&]() { return making->bands.running == 0; });
}

namespace {

void StopBandHelpers() {
  {
    std::lock_guard<std::mutex> guard(making->bands.lock);
    making->bands.stop = true;
  }
  making->bands.changed.notify_all();
  for (ScopedHandle& helper : making->bands.helpers) JoinThread(&helper, INFINITE);
  making->bands.helpers.clear();
  std::lock_guard<std::mutex> guard(making->bands.lock);
  making->bands.stop = false;
  making->bands.started = false;
}

// ---------------------------------------------------------------------------
// The cache.

void Notify(FrameNotice notice) {
  void (*hook)(FrameNotice) = making->noticeHook.load();
  if (hook) hook(notice);
}

std::uint64_t FrameBytes(const DibSurface& source) {
  return std::uint64_t(source.header.bmiHeader.biWidth) * std::uint64_t(source.header.bmiHeader.biHeight) * 4;
}

std::uint32_t SlotsFor(const DibSurface& source, std::uint32_t interval) {
  const std::uint64_t bytes = std::max<std::uint64_t>(1, FrameBytes(source));
  const std::uint64_t fit = std::max<std::uint64_t>(kFewestSlots, making->budget / bytes);
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(fit, interval));
}

bool Filled(const DibSurface& record) { return record.bitmap != nullptr; }

// The plan of the cache as it is now (FrameSetLock held); filled is the
// caller's, interval entries.
FramePlan PlanNow(bool* filled) {
  const std::uint32_t interval = FrcCount;
  for (std::uint32_t k = 0; k < interval; ++k) filled[k] = Filled(FrameSet[k]);
  return FramePlan{interval,  making->cache.slots,     CurrentFrame % interval, making->cache.onScreen,
                   filled,    making->cache.lastShown, making->cache.lead};
}

// Moves a section for a frame of the cycle into *into: one kept aside, else
// the record shown longest ago outside the frames wanted ahead and off
// screen. False when a new section must be made (the caller makes it, and it
// is already counted). FrameSetLock held.
bool TakeSection(DibSurface* into) {
  if (making->cache.spareCount > 0) {
    MoveSurface(into, &making->cache.spare[--making->cache.spareCount]);
    return true;
  }
  bool filled[kLargestTableInterval];
  const std::uint32_t victim = making->cache.sections < making->cache.slots ? kNoFrame : FrameToEvict(PlanNow(filled));
  if (victim == kNoFrame) {  // a section the making->budget still has (never past it: see FramesAhead)
    ++making->cache.sections;
    return false;
  }
  MoveSurface(into, &FrameSet[victim]);
  making->cache.lastShown[victim] = 0;
  return true;
}

// Gives a section back to the spares (FrameSetLock held).
void KeepAside(DibSurface* section) {
  if (making->cache.spareCount < kLargestTableInterval) MoveSurface(&making->cache.spare[making->cache.spareCount++], section);
  else section->Reset();
}

// Makes frame k of the current cycle into its record. The maker or the
// user-interface thread with the maker standing. False when no section could
// be made.
bool MakeFrame(std::uint32_t k) {
  DibSurface section;
  const DibSurface* source;
  {
    MutexLock guard(FrameSetLock());
    if (!FrameSet || k >= FrcCount || Filled(FrameSet[k])) return true;
    TakeSection(&section);
    source = making->cache.source;
  }
  if (!section.bitmap && !PrepareFrame(&section, *source)) {
    MutexLock guard(FrameSetLock());
    --making->cache.sections;
    return false;
  }
  MakeFrameInto(*source, &section, k);
  bool wanted;
  {
    MutexLock guard(FrameSetLock());
    MoveSurface(&FrameSet[k], &section);
    wanted = k == CurrentFrame && making->cache.onScreen != k;
  }
  if (wanted) Notify(FrameNotice::kFrameMade);
  return true;
}

// ---------------------------------------------------------------------------
// The maker thread.

bool MayMake() { return making->maker.pauses == 0 && !making->maker.failed && !making->maker.pictureGone; }

unsigned __stdcall MakerThread(void*) {
  std::uint32_t seen = 0;
  std::unique_lock<std::mutex> guard(making->maker.lock);
  for (;;) {
    making->maker.busy = false;
    making->maker.changed.notify_all();
    making->maker.changed.wait(guard, [&]() { return making->maker.stop || (MayMake() && making->maker.wakes != seen); });
    if (making->maker.stop) return 0;
    seen = making->maker.wakes;
    making->maker.busy = true;
    for (;;) {
      guard.unlock();
      std::uint32_t k, interval = 0, before = 0;
      {
        MutexLock frames(FrameSetLock());
        bool filled[kLargestTableInterval];
        k = FrameSet && FrcCount != 0 ? NextFrameToMake(PlanNow(filled)) : kNone;
        if (k != kNone) interval = FrcCount, before = CurrentFrame % interval;
      }
      const bool made = k == kNone || MakeFrame(k);
      if (k != kNone) {
        // The frames that passed while this one was made (FramePlan::lead).
        MutexLock frames(FrameSetLock());
        const std::uint32_t passed = FrcCount == interval ? (CurrentFrame % interval + interval - before) % interval : 0;
        making->cache.lead = NextLead(making->cache.lead, (k + interval - before) % interval, passed);
      }
      guard.lock();
      if (!made) {
        making->maker.failed = true;
        guard.unlock();
        Notify(FrameNotice::kOutOfMemory);
        guard.lock();
      }
      if (k == kNone || !MayMake() || making->maker.stop) break;
    }
  }
}

void WakeMaker() {
  {
    std::lock_guard<std::mutex> guard(making->maker.lock);
    ++making->maker.wakes;
  }
  making->maker.changed.notify_all();
}

// Stops the maker after the frame it is making, until ResumeMaker.
void PauseMaker() {
  std::unique_lock<std::mutex> guard(making->maker.lock);
  ++making->maker.pauses;
  making->maker.changed.wait(guard, [&]() { return !making->maker.busy; });
}

void ResumeMaker() {
  {
    std::lock_guard<std::mutex> guard(making->maker.lock);
    --making->maker.pauses;
    ++making->maker.wakes;
  }
  making->maker.changed.notify_all();
}

void StopMakerForNewPicture() {
  std::unique_lock<std::mutex> guard(making->maker.lock);
  making->maker.pictureGone = true;
  making->maker.changed.wait(guard, [&]() { return !making->maker.busy; });
}

void StopMakingAtExit() { StopFrameMaking(); }

void StartMaker() {
  if (making->maker.thread.valid()) return;
  if (!making->stopsAtExit) {
    // Registered after every static object is made, so it runs before any
    // is destroyed: the maker must not map through tables released at exit.
    making->stopsAtExit = std::atexit(StopMakingAtExit) == 0;
  }
  SetBeforeSourceChange(StopMakerForNewPicture);
  making->maker.thread = StartThread(MakerThread, nullptr);
}

// ---------------------------------------------------------------------------
// Rebuilds.

// Sections to release once FrameSetLock is let go: deleting large sections
// takes a while.
struct Discards {
  std::vector<DibSurface*> blocks;
  DibSurface loose[kLargestTableInterval + 1];
  std::uint32_t looseCount = 0;
  ~Discards() {
    for (DibSurface* block : blocks) ReleaseFrameSet(block);
  }
  void Take(DibSurface* section) {
    if (looseCount < kLargestTableInterval + 1) MoveSurface(&loose[looseCount++], section);
    else section->Reset();
  }
};

// Gives the spare sections to discards and forgets the cycle's sections
// (FrameSetLock held).
void EmptyCache(Discards* discards) {
  for (std::uint32_t i = 0; i < making->cache.spareCount; ++i) discards->Take(&making->cache.spare[i]);
  making->cache.spareCount = 0;
  making->cache.sections = 0;
  making->cache.slots = 0;
  making->cache.onScreen = kNone;
  making->cache.lead = 0;
  making->cache.source = nullptr;
}

// Empties the cache into discards and FrameSet out of sight (FrameSetLock
// held): for a failure or a release.
void DiscardAll(Discards* discards) {
  DibSurface* frames = FrameSet;
  PublishFrameSet(nullptr, 0);
  discards->blocks.push_back(frames);
  EmptyCache(discards);
}

// Under FrameSetLock: a section of the previous cycle for the new frame 0,
// anything but the one on screen; false when none is free.
bool TakePreviousSection(DibSurface* into) {
  if (making->cache.spareCount > 0) {
    MoveSurface(into, &making->cache.spare[--making->cache.spareCount]);
    return true;
  }
  const std::uint32_t count = FrameSetCount(FrameSet);
  for (std::uint32_t k = 0; k < count; ++k)
    if (Filled(FrameSet[k]) && k != making->cache.onScreen) {
      MoveSurface(into, &FrameSet[k]);
      return true;
    }
  return false;
}

FrameBuild Rebuild(const DibSurface& source, std::uint32_t interval, std::uint32_t correction) {
  Discards discards;
  if (!BuildLevelTables(interval, correction)) {
    MutexLock guard(FrameSetLock());
    DiscardAll(&discards);
    return FrameBuild::kTablesFailed;
  }
  DibSurface* frames = AllocateFrameSet(interval);
  if (!frames) {
    MutexLock guard(FrameSetLock());
    DiscardAll(&discards);
    return FrameBuild::kTablesFailed;
  }
  const bool samePicture = FrameSet && FrameSetPicture() == source.generation;
  DibSurface first;
  bool reused = false;
  if (samePicture) {
    MutexLock guard(FrameSetLock());
    reused = TakePreviousSection(&first);
  }
  if (!reused && !PrepareFrame(&first, source)) {
    MutexLock guard(FrameSetLock());
    DiscardAll(&discards);
    discards.blocks.push_back(frames);
    PublishCycle(interval, correction);
    SetCurrentFrame(0);
    return FrameBuild::kFramesFailed;
  }
  MakeFrameInto(source, &first, 0);

  {
    MutexLock guard(FrameSetLock());
    DibSurface* previous = FrameSet;
    const std::uint32_t count = FrameSetCount(previous);
    if (!samePicture) {
      for (std::uint32_t i = 0; i < making->cache.spareCount; ++i) discards.Take(&making->cache.spare[i]);
      making->cache.spareCount = 0;
    }
    for (std::uint32_t k = 0; k < count; ++k)
      if (Filled(previous[k])) {
        if (samePicture) KeepAside(&previous[k]);
        else discards.Take(&previous[k]);
      }
    discards.blocks.push_back(previous);
    MoveSurface(&frames[0], &first);
    making->cache.slots = SlotsFor(source, interval);
    making->cache.sections = 1 + making->cache.spareCount;
    // More sections than the new cycle may hold go.
    while (making->cache.sections > making->cache.slots && making->cache.spareCount > 0) {
      discards.Take(&making->cache.spare[--making->cache.spareCount]);
      --making->cache.sections;
    }
    // Frame 0 stands for the new cycle from here: until frame 1 is made, a
    // draw that wants it shows frame 0, never the previous cycle nor nothing.
    std::fill(std::begin(making->cache.lastShown), std::end(making->cache.lastShown), 0u);
    making->cache.showCount = 1;
    making->cache.lastShown[0] = 1;
    making->cache.onScreen = 0;
    making->cache.lead = 0;
    making->cache.source = &source;
    PublishFrameSet(frames, source.generation);
    PublishCycle(interval, correction);
    SetCurrentFrame(0);
  }
  return FrameBuild::kBuilt;  // discards go now, outside the lock
}

}  // namespace

FrameBuild RebuildFrameSet(const DibSurface& source, std::uint32_t interval, std::uint32_t correction) {
  ExpectUiThread();
  StartMaker();
  PauseMaker();
  const FrameBuild built = Rebuild(source, interval, correction);
  {
    std::lock_guard<std::mutex> guard(making->maker.lock);
    making->maker.failed = false;
    making->maker.pictureGone = built != FrameBuild::kBuilt;
  }
  ResumeMaker();
  return built;
}

bool MakeFrameNow(std::uint32_t index) {
  ExpectUiThread();
  {
    std::lock_guard<std::mutex> guard(making->maker.lock);
    if (making->maker.pictureGone) return false;
  }
  PauseMaker();
  const bool made = MakeFrame(index);
  ResumeMaker();
  return made;
}

bool MakeWholeCycle() {
  ExpectUiThread();
  {
    std::lock_guard<std::mutex> guard(making->maker.lock);
    if (making->maker.pictureGone) return false;
  }
  PauseMaker();
  bool made;
  {
    MutexLock guard(FrameSetLock());
    made = FrameSet && making->cache.slots >= FrcCount;
  }
  for (std::uint32_t k = 0; made && k < FrcCount; ++k) made = MakeFrame(k);
  ResumeMaker();
  return made;
}

const DibSurface* FrameForDrawing(std::uint32_t index, bool* made) {
  const DibSurface* frames = FrameSet;
  *made = false;
  if (!frames || index >= FrcCount) return nullptr;
  if (Filled(frames[index])) {
    *made = true;
    if (making->cache.onScreen != index) {
      making->cache.onScreen = index;
      making->cache.lastShown[index] = ++making->cache.showCount;
      WakeMaker();
    }
    return &frames[index];
  }
  ++making->notReady;
  WakeMaker();
  return making->cache.onScreen != kNone && Filled(frames[making->cache.onScreen]) ? &frames[making->cache.onScreen] : nullptr;
}

const DibSurface* FrameOnScreen() {
  const DibSurface* frames = FrameSet;
  if (!frames || making->cache.onScreen == kNone || !Filled(frames[making->cache.onScreen])) return nullptr;
  return &frames[making->cache.onScreen];
}

std::uint64_t FramesNotReady() { return making->notReady; }

std::uint32_t FramesMade() {
  const std::uint32_t count = FrameSetCount(FrameSet);
  std::uint32_t made = 0;
  for (std::uint32_t k = 0; k < count; ++k) made += Filled(FrameSet[k]) ? 1 : 0;
  return made;
}

std::uint64_t SetFrameBudget(std::uint64_t bytes) {
  ExpectUiThread();
  const std::uint64_t previous = making->budget;
  making->budget = bytes;
  return previous;
}

std::uint32_t FrameSlots() { return making->cache.slots; }

void SetFrameNotice(void (*notice)(FrameNotice)) { making->noticeHook = notice; }

bool FewFramesFit(std::int32_t width, std::int32_t height) {
  const std::uint64_t bytes = std::uint64_t(width > 0 ? width : 0) * std::uint64_t(height > 0 ? height : 0) * 4;
  if (bytes == 0 || bytes != static_cast<std::size_t>(bytes)) return false;
  // Each its own reservation: a few separate sections, not one block.
  void* reserved[kFewestSlots + 1] = {};
  bool fits = true;
  for (void*& region : reserved) {
    region = VirtualAlloc(nullptr, static_cast<std::size_t>(bytes), MEM_RESERVE, PAGE_NOACCESS);
    if (!region) {
      fits = false;
      break;
    }
  }
  for (void* region : reserved)
    if (region) VirtualFree(region, 0, MEM_RELEASE);
  return fits;
}

void StopFrameMaking() {
  if (making->maker.thread.valid()) {
    {
      std::lock_guard<std::mutex> guard(making->maker.lock);
      making->maker.stop = true;
    }
    making->maker.changed.notify_all();
    JoinThread(&making->maker.thread, INFINITE);
    std::lock_guard<std::mutex> guard(making->maker.lock);
    making->maker.stop = false;
    making->maker.pictureGone = true;
  }
  StopBandHelpers();
  Discards discards;
  {
    MutexLock guard(FrameSetLock());
    EmptyCache(&discards);
  }
}
