// ExportCycle: see export_cycle.h.
#include "app/export_cycle.h"

#include <shlobj.h>

#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "frc/cycle_statistics.h"
#include "frc/light_statistics.h"
#include "imaging/png_writer.h"

namespace {

// The files written so far: temporary name and final name of each.
struct PendingFile {
  std::wstring temporary;
  std::wstring final;
};

// Memory freed when the scope ends.
class HeapBlock {
 public:
  explicit HeapBlock(std::size_t bytes) : data_(static_cast<std::uint8_t*>(std::malloc(bytes))) {}
  ~HeapBlock() { std::free(data_); }
  HeapBlock(const HeapBlock&) = delete;
  HeapBlock& operator=(const HeapBlock&) = delete;
  std::uint8_t* get() const { return data_; }

 private:
  std::uint8_t* data_;
};

// Everything one export works with.
struct ExportJob {
  std::wstring folder;  // full path, no trailing backslash
  const DibSurface* source;
  const DibSurface* frames;
  std::uint32_t count;
  std::uint32_t offset;
  std::uint32_t frameDuration;
  std::int32_t width;
  std::int32_t height;
  PngWriter writer;
  std::vector<PendingFile> files;
  ExportFailure* failure;
};

std::int32_t RowStride(std::int32_t width, int bytesPerPixel) { return (width * bytesPerPixel + 3) & ~3; }

const std::uint8_t* SurfaceRow(const DibSurface& surface, std::int32_t memoryRow, std::int32_t width) {
  return static_cast<const std::uint8_t*>(surface.bits) + static_cast<std::size_t>(memoryRow) * width * 4;
}

bool Fail(ExportJob* job, const std::wstring& path, DWORD error) {
  job->failure->path = path;
  job->failure->error = error;
  return false;
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

// Registers name and returns the temporary path to write it under.
const std::wstring& Begin(ExportJob* job, const std::wstring& name) {
  job->files.push_back({job->folder + L"\\~" + name + L".tmp", job->folder + L"\\" + name});
  return job->files.back().temporary;
}

bool WritePng(ExportJob* job, const std::wstring& name, const std::uint8_t* bottomRow, std::int32_t stride,
              PngPixels pixels) {
  const std::wstring& path = Begin(job, name);
  // Bottom-up rows: the top row is the last one in memory.
  const std::uint8_t* topRow = bottomRow + static_cast<std::ptrdiff_t>(job->height - 1) * stride;
  const DWORD error = WritePngFile(&job->writer, path.c_str(), topRow, job->width, job->height, -stride, pixels);
  return error == 0 || Fail(job, job->files.back().final, error);
}

bool WriteFrames(ExportJob* job) {
  const std::int32_t stride = RowStride(job->width, 3);
  HeapBlock packed(static_cast<std::size_t>(stride) * job->height);
  if (!packed.get()) return Fail(job, job->folder, ERROR_NOT_ENOUGH_MEMORY);
  for (std::uint32_t k = 0; k < job->count; ++k) {
    for (std::int32_t y = 0; y < job->height; ++y)
      PackRowBgr(SurfaceRow(job->frames[k], y, job->width), job->width, packed.get() + std::size_t(y) * stride);
    wchar_t name[32];
    std::swprintf(name, 32, L"frame_%03u.png", static_cast<unsigned>(k));
    if (!WritePng(job, name, packed.get(), stride, PngPixels::kBgr24)) return false;
  }
  return true;
}

// Mean and flicker, in codes and in light, in one pass over the frames, row
// by row, then the five summary files.
bool WriteSummary(ExportJob* job) {
  const std::int32_t meanStride = RowStride(job->width, 3);
  const std::int32_t flickerStride = RowStride(job->width, 1);
  HeapBlock mean(static_cast<std::size_t>(meanStride) * job->height);
  HeapBlock flicker(static_cast<std::size_t>(flickerStride) * job->height);
  HeapBlock meanLight(static_cast<std::size_t>(meanStride) * job->height);
  HeapBlock flickerLight(static_cast<std::size_t>(flickerStride) * job->height);
  if (!mean.get() || !flicker.get() || !meanLight.get() || !flickerLight.get())
    return Fail(job, job->folder, ERROR_NOT_ENOUGH_MEMORY);

  CycleRowScratch scratch;
  PrepareCycleRows(&scratch, job->width, job->count);
  LightRowScratch lightScratch;
  PrepareLightRows(&lightScratch, job->width, job->count);
  const LightTables& tables = SrgbLightTables();
  std::vector<std::uint16_t> lightMeans(static_cast<std::size_t>(job->width) * 3);
  std::vector<const std::uint8_t*> rows(job->count);
  CycleTotals totals = {0, 0};
  LightTotals lightTotals = {0, 0};
  for (std::int32_t y = 0; y < job->height; ++y) {
    for (std::uint32_t k = 0; k < job->count; ++k) rows[k] = SurfaceRow(job->frames[k], y, job->width);
    const std::uint8_t* sourceRow = SurfaceRow(*job->source, y, job->width);
    SummarizeCycleRow(rows.data(), sourceRow, job->width, &scratch, mean.get() + std::size_t(y) * meanStride,
                      flicker.get() + std::size_t(y) * flickerStride, &totals);
    SummarizeLightRow(rows.data(), sourceRow, job->width, tables, &lightScratch, lightMeans.data(),
                      flickerLight.get() + std::size_t(y) * flickerStride, nullptr, nullptr, &lightTotals);
    std::uint8_t* meanLightRow = meanLight.get() + std::size_t(y) * meanStride;
    for (std::size_t i = 0; i < lightMeans.size(); ++i)
      meanLightRow[i] = static_cast<std::uint8_t>(CodeOfTwentieths(lightMeans[i]));
  }
  if (!WritePng(job, L"mean.png", mean.get(), meanStride, PngPixels::kBgr24)) return false;
  if (!WritePng(job, L"flicker.png", flicker.get(), flickerStride, PngPixels::kGrey8)) return false;
  if (!WritePng(job, L"mean_light.png", meanLight.get(), meanStride, PngPixels::kBgr24)) return false;
  if (!WritePng(job, L"flicker_light.png", flickerLight.get(), flickerStride, PngPixels::kGrey8)) return false;

  const std::string report = CycleReportText(job->width, job->height, job->count, job->offset, totals) +
                             LightReportText(lightTotals, job->count, job->frameDuration);
  const std::wstring& path = Begin(job, L"cycle.txt");
  const DWORD error = WriteWholeFile(path.c_str(), report.data(), report.size());
  return error == 0 || Fail(job, job->files.back().final, error);
}

// Gives every file its final name; on a failure takes back those renamed.
bool RenameAll(ExportJob* job) {
  for (std::size_t i = 0; i < job->files.size(); ++i) {
    const PendingFile file = job->files[i];
    if (!MoveFileExW(file.temporary.c_str(), file.final.c_str(), MOVEFILE_REPLACE_EXISTING)) {
      const DWORD error = GetLastError();
      for (std::size_t j = 0; j < i; ++j) DeleteFileW(job->files[j].final.c_str());
      job->files.erase(job->files.begin(), job->files.begin() + static_cast<std::ptrdiff_t>(i));
      return Fail(job, file.final, error);
    }
  }
  job->files.clear();
  return true;
}

}  // namespace

ExportResult ExportCycle(const std::wstring& folder, const DibSurface& source, const DibSurface* frames,
                         std::uint32_t count, std::uint32_t offset, std::uint32_t frameDuration,
                         ExportFailure* failure) {
  ExportJob job;
  job.source = &source;
  job.frames = frames;
  job.count = count;
  job.offset = offset;
  job.frameDuration = frameDuration;
  job.width = source.header.bmiHeader.biWidth;
  job.height = source.header.bmiHeader.biHeight;
  job.failure = failure;
  if (!CreateFolder(&job, folder)) return ExportResult::kCannotCreateFolder;
  if (!OpenPngWriter(&job.writer)) {
    Fail(&job, job.folder, ERROR_NOT_ENOUGH_MEMORY);
    return ExportResult::kCannotWrite;
  }
  // The frames' pixels are read directly: let GDI finish any drawing first.
  GdiFlush();
  const bool written = WriteFrames(&job) && WriteSummary(&job) && RenameAll(&job);
  ClosePngWriter(&job.writer);
  for (const PendingFile& file : job.files) DeleteFileW(file.temporary.c_str());
  return written ? ExportResult::kWritten : ExportResult::kCannotWrite;
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
