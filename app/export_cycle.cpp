// ExportCycle: see export_cycle.h.
#include "app/export_cycle.h"

#include <shlobj.h>

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <thread>
#include <vector>

#include "base/threads.h"
#include "frc/cycle_statistics.h"
#include "frc/cycle_values.h"
#include "frc/flash_guard.h"
#include "frc/frame_mapping.h"
#include "frc/level_tables.h"
#include "frc/light_statistics.h"
#include "frc/phase_patterns.h"
#include "frc/viewing_geometry.h"
#include "frc/visible_flicker.h"
#include "imaging/png_writer.h"
#include "base/thread_checks.h"

namespace {

// The files written so far: temporary name and final name of each.
struct PendingFile {
  std::wstring temporary;
  std::wstring final;
};

// What the threads of one export share.
struct ExportShared {
  Mutex lock;                      // guards files and failure while threads run
  std::vector<PendingFile> files;  // every file begun, by any thread
  ExportFailure* failure;          // the first failure only
  std::atomic<bool> failed;
  std::atomic<std::uint32_t> nextPiece;  // 0 the summary, 1 + k frame k
  std::atomic<std::uint32_t> piecesDone;
  const ExportControl* control;
};

// Everything one thread of an export works with.
struct ExportJob {
  ExportShared* shared;
  std::wstring folder;  // full path, no trailing backslash
  const DibSurface* source;
  std::uint32_t interval;
  std::uint32_t correction;
  std::uint32_t frameDuration;
  PhasePatternKind phasePattern;  // the tables' pattern, read when the export starts
  std::int32_t width;
  std::int32_t height;
  PngWriter writer;
  std::uint8_t* packed;  // one frame as 24-bit rows; null until needed
  std::uint8_t* band;    // bandRows rows of one frame as 32-bpp pixels; null until needed
  std::int32_t bandRows;
};

std::int32_t RowStride(std::int32_t width, int bytesPerPixel) { return (width * bytesPerPixel + 3) & ~3; }

const std::uint8_t* SurfaceRow(const DibSurface& surface, std::int32_t memoryRow, std::int32_t width) {
  return static_cast<const std::uint8_t*>(surface.bits) + static_cast<std::size_t>(memoryRow) * width * 4;
}

// The export's cancel flag, or null.
const std::atomic<bool>* CancelFlag(const ExportJob* job) {
  return job->shared->control ? job->shared->control->cancel : nullptr;
}

bool Fail(ExportJob* job, const std::wstring& path, DWORD error) {
  MutexLock guard(job->shared->lock);
  if (!job->shared->failed) {
    job->shared->failure->path = path;
    job->shared->failure->error = error;
    job->shared->failed = true;
  }
  return false;
}

// True once another thread failed or the export is cancelled.
bool Stopped(const ExportJob* job) {
  const ExportControl* control = job->shared->control;
  return job->shared->failed || (control && control->cancel && *control->cancel);
}

// Makes folder and its parents; true when it is a folder afterwards.
bool CreateFolder(ExportJob* job, const std::wstring& folder) {
  DWORD length = GetFullPathNameW(folder.c_str(), 0, nullptr, nullptr);
  if (length == 0) return Fail(job, folder, GetLastError());
  std::vector<wchar_t> full(length + 1);
  length = GetFullPathNameW(folder.c_str(), length + 1, full.data(), nullptr);
  if (length == 0) return Fail(job, folder, GetLastError());
  job->folder.assign(full.data(), length);
  while (job->folder.size() > 3 && (job->folder.back() == L'\\' || job->folder.back() == L'/'))
    job->folder.pop_back();
  const int made = SHCreateDirectoryExW(nullptr, job->folder.c_str(), nullptr);
  const DWORD attributes = GetFileAttributesW(job->folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
    return Fail(job, job->folder, made != ERROR_SUCCESS && made != ERROR_ALREADY_EXISTS ? DWORD(made)
                                                                                        : ERROR_DIRECTORY);
  return true;
}

// Registers name and returns its temporary and final paths.
PendingFile Begin(ExportJob* job, const std::wstring& name) {
  const PendingFile file = {job->folder + L"\\~" + name + L".tmp", job->folder + L"\\" + name};
  MutexLock guard(job->shared->lock);
  job->shared->files.push_back(file);
  return file;
}

// False without a failure of its own when the export has stopped.
bool WritePng(ExportJob* job, const std::wstring& name, const std::uint8_t* bottomRow, std::int32_t stride,
              PngPixels pixels) {
  if (Stopped(job)) return false;
  const PendingFile file = Begin(job, name);
  // Bottom-up rows: the top row is the last one in memory.
  const std::uint8_t* topRow = bottomRow + static_cast<std::ptrdiff_t>(job->height - 1) * stride;
  const DWORD error =
      WritePngFile(&job->writer, file.temporary.c_str(), topRow, job->width, job->height, -stride, pixels);
  return error == 0 || Fail(job, file.final, error);
}

// Rows of a frame mapped at a time: a whole number of cycles of the row
// order, so that a band mapped as if it began at memory row 0 shows the
// phases of the rows it stands for, and at least a few dozen rows.
std::int32_t BandRows(std::uint32_t interval, std::int32_t height) {
  const std::uint32_t cycles = (32 + interval - 1) / interval;
  return static_cast<std::int32_t>(std::min<std::uint32_t>(cycles * interval, static_cast<std::uint32_t>(height)));
}

// Frame k made from the picture band by band through the level tables, packed
// into 24-bit rows and written.
bool WriteFrame(ExportJob* job, std::uint32_t k) {
  const std::int32_t stride = RowStride(job->width, 3);
  for (std::int32_t first = 0; first < job->height; first += job->bandRows) {
    const std::int32_t rows = std::min(job->bandRows, job->height - first);
    MapFramePixels(SurfaceRow(*job->source, first, job->width), job->band, job->width, rows, k);
    for (std::int32_t y = 0; y < rows; ++y)
      PackRowBgr(job->band + std::size_t(y) * job->width * 4, job->width,
                 job->packed + std::size_t(first + y) * stride);
  }
  wchar_t name[32];
  std::swprintf(name, 32, L"frame_%03u.png", static_cast<unsigned>(k));
  return WritePng(job, name, job->packed, stride, PngPixels::kBgr24);
}

// Mean and flicker, in codes and in light, row by row from the picture and a
// summary of the panel's levels (no frame is read), then the five summary
// files.
bool WriteSummary(ExportJob* job) {
  const std::int32_t meanStride = RowStride(job->width, 3);
  const std::int32_t flickerStride = RowStride(job->width, 1);
  ScopedHeapMemory mean(static_cast<std::uint8_t*>(std::malloc(static_cast<std::size_t>(meanStride) * job->height)));
  ScopedHeapMemory flicker(static_cast<std::uint8_t*>(std::malloc(static_cast<std::size_t>(flickerStride) * job->height)));
  ScopedHeapMemory meanLight(static_cast<std::uint8_t*>(std::malloc(static_cast<std::size_t>(meanStride) * job->height)));
  ScopedHeapMemory flickerLight(static_cast<std::uint8_t*>(std::malloc(static_cast<std::size_t>(flickerStride) * job->height)));
  if (!mean.get() || !flicker.get() || !meanLight.get() || !flickerLight.get())
    return Fail(job, job->folder, ERROR_NOT_ENOUGH_MEMORY);

  CycleValues values;
  SummarizePanelValues(job->interval, job->correction, &values);
  std::vector<std::uint16_t> lightMeans(static_cast<std::size_t>(job->width) * 3);
  CycleTotals totals = {0, 0};
  LightTotals lightTotals = {0, 0};
  for (std::int32_t y = 0; y < job->height; ++y) {
    const std::uint8_t* sourceRow = SurfaceRow(*job->source, y, job->width);
    SummarizeCycleRowByValue(values, sourceRow, job->width, mean.get() + std::size_t(y) * meanStride,
                             flicker.get() + std::size_t(y) * flickerStride, &totals);
    SummarizeLightRowByValue(values, sourceRow, job->width, lightMeans.data(),
                             flickerLight.get() + std::size_t(y) * flickerStride, nullptr, nullptr, &lightTotals);
    std::uint8_t* meanLightRow = meanLight.get() + std::size_t(y) * meanStride;
    for (std::size_t i = 0; i < lightMeans.size(); ++i)
      meanLightRow[i] = static_cast<std::uint8_t>(CodeOfTwentieths(lightMeans[i]));
  }
  if (!WritePng(job, L"mean.png", mean.get(), meanStride, PngPixels::kBgr24)) return false;
  if (!WritePng(job, L"flicker.png", flicker.get(), flickerStride, PngPixels::kGrey8)) return false;
  if (!WritePng(job, L"mean_light.png", meanLight.get(), meanStride, PngPixels::kBgr24)) return false;
  if (!WritePng(job, L"flicker_light.png", flickerLight.get(), flickerStride, PngPixels::kGrey8)) return false;

  // The eye's view needs each pixel's neighbours in every frame: made through
  // the tables, which the caller keeps present.
  if (Stopped(job)) return false;
  const double pixelsPerDegree = PixelsPerDegree(CurrentViewing());
  VisibleFlickerTotals visibleTotals;
  if (!VisibleFlickerMap(static_cast<const std::uint8_t*>(job->source->bits), job->width, job->height, pixelsPerDegree,
                         flickerLight.get(), static_cast<std::size_t>(flickerStride), &visibleTotals))
    return Fail(job, job->folder, ERROR_NOT_ENOUGH_MEMORY);
  if (!WritePng(job, L"flicker_visible.png", flickerLight.get(), flickerStride, PngPixels::kGrey8)) return false;

  const FlashVerdict flash =
      JudgeFlashingOfPicture(SurfaceRow(*job->source, 0, job->width), job->width, job->height, job->frameDuration,
                             FlashWindowSide(pixelsPerDegree), CancelFlag(job));
  if (flash == FlashVerdict::kNoMemory) return Fail(job, job->folder, ERROR_NOT_ENOUGH_MEMORY);
  // The flash verdict is the last line, whatever lines come before it.
  const std::string report = CycleReportText(job->width, job->height, job->interval, job->correction, totals) +
                             LightReportText(lightTotals, job->interval, job->frameDuration) +
                             "phase_pattern=" + PhasePatternName(job->phasePattern) + "\n" +
                             VisibleFlickerReportText(pixelsPerDegree, visibleTotals, job->frameDuration) +
                             FlashReportLine(flash == FlashVerdict::kExceeded);
  if (Stopped(job)) return false;
  const PendingFile file = Begin(job, L"cycle.txt");
  const DWORD error = WriteWholeFile(file.temporary.c_str(), report.data(), report.size());
  return error == 0 || Fail(job, file.final, error);
}

// One thread's share: the next piece not yet taken, until none is left or
// the export stops.
unsigned __stdcall RunPieces(void* context) {
  ExportJob* job = static_cast<ExportJob*>(context);
  ExportShared* shared = job->shared;
  if (!OpenPngWriter(&job->writer)) {
    Fail(job, job->folder, ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  ScopedHeapMemory packed(static_cast<std::uint8_t*>(std::malloc(static_cast<std::size_t>(RowStride(job->width, 3)) * job->height)));
  job->bandRows = BandRows(job->interval, job->height);
  ScopedHeapMemory band(static_cast<std::uint8_t*>(std::malloc(static_cast<std::size_t>(job->width) * 4 * job->bandRows)));
  job->packed = packed.get();
  job->band = band.get();
  const std::uint32_t total = job->interval + 1;
  while (!Stopped(job)) {
    const std::uint32_t piece = shared->nextPiece++;
    if (piece >= total) break;
    if (piece > 0 && (!job->packed || !job->band)) {
      Fail(job, job->folder, ERROR_NOT_ENOUGH_MEMORY);
      break;
    }
    if (!(piece == 0 ? WriteSummary(job) : WriteFrame(job, piece - 1))) break;
    const std::uint32_t done = ++shared->piecesDone;
    if (shared->control && shared->control->progress) shared->control->progress(shared->control->context, done, total);
  }
  job->packed = nullptr;
  job->band = nullptr;
  ClosePngWriter(&job->writer);
  return 0;
}

// Runs the pieces on one thread per core, this one included.
void RunAllPieces(const ExportJob& model) {
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const unsigned threads = static_cast<unsigned>(std::min<std::uint64_t>(cores, std::uint64_t{model.interval} + 1));
  // Each thread has its own encoder and buffer, so the jobs are made afresh
  // and given the model's settings.
  std::vector<ExportJob> jobs(threads);
  for (ExportJob& job : jobs) {
    job.shared = model.shared;
    job.folder = model.folder;
    job.source = model.source;
    job.interval = model.interval;
    job.correction = model.correction;
    job.frameDuration = model.frameDuration;
    job.phasePattern = model.phasePattern;
    job.width = model.width;
    job.height = model.height;
  }
  // Where the system refuses a thread, the threads that run take its pieces.
  std::vector<ScopedHandle> workers;
  for (unsigned i = 1; i < threads; ++i) workers.push_back(StartThread(RunPieces, &jobs[i]));
  RunPieces(&jobs[0]);
  for (ScopedHandle& worker : workers) JoinThread(&worker, INFINITE);
}

// True for the pictures, which get their names before the text summary.
bool IsPicture(const PendingFile& file) {
  return file.final.size() > 4 && file.final.compare(file.final.size() - 4, 4, L".png") == 0;
}

// Gives every file its final name, the text summary last, so that whoever
// finds it finds every picture too; on a failure takes back those renamed.
// The other threads have stopped.
bool RenameAll(ExportJob* job) {
  std::vector<PendingFile>& files = job->shared->files;
  std::stable_partition(files.begin(), files.end(), IsPicture);
  for (std::size_t i = 0; i < files.size(); ++i) {
    const PendingFile file = files[i];
    if (!MoveFileExW(file.temporary.c_str(), file.final.c_str(), MOVEFILE_REPLACE_EXISTING)) {
      const DWORD error = GetLastError();
      for (std::size_t j = 0; j < i; ++j) DeleteFileW(files[j].final.c_str());
      files.erase(files.begin(), files.begin() + static_cast<std::ptrdiff_t>(i));
      return Fail(job, file.final, error);
    }
  }
  files.clear();
  return true;
}

}  // namespace

ExportResult ExportCycle(const std::wstring& folder, const DibSurface& source, std::uint32_t interval,
                         std::uint32_t correction, std::uint32_t frameDuration, ExportFailure* failure,
                         const ExportControl* control) {
  ExportShared shared;
  shared.failure = failure;
  shared.failed = false;
  shared.nextPiece = 0;
  shared.piecesDone = 0;
  shared.control = control;
  if (interval == 0 || PresentTableInterval() != interval) {
    failure->path = folder;
    failure->error = ERROR_INVALID_DATA;
    return ExportResult::kCannotWrite;
  }
  ExportJob job = {};
  job.shared = &shared;
  job.source = &source;
  job.interval = interval;
  job.correction = correction;
  job.frameDuration = frameDuration;
  job.phasePattern = CurrentPhasePattern().kind;
  job.width = source.header.bmiHeader.biWidth;
  job.height = source.header.bmiHeader.biHeight;
  if (!CreateFolder(&job, folder)) return ExportResult::kCannotCreateFolder;
  // The picture's pixels are read directly: let GDI finish any drawing first.
  GdiFlush();
  RunAllPieces(job);
  const bool cancelled = control && control->cancel && *control->cancel;
  const bool written = !shared.failed && !cancelled && shared.piecesDone == interval + 1 && RenameAll(&job);
  for (const PendingFile& file : shared.files) DeleteFileW(file.temporary.c_str());
  if (written) return ExportResult::kWritten;
  return shared.failed ? ExportResult::kCannotWrite : ExportResult::kCancelled;
}

std::wstring DescribeExportFailure(const ExportFailure& failure) {
  wchar_t* text = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                 nullptr, failure.error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring reason = text ? text : L"";
  if (text) LocalFree(text);
  while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r' || reason.back() == L' '))
    reason.pop_back();
  if (reason.empty()) reason = L"error " + std::to_wstring(failure.error);
  return failure.path + L" (" + reason + L")";
}
