// Export benchmark: the files of a 1920 x 1080 picture's cycle with N = 16
// (level tables, frames made and written as PNG, mean and flicker, summary)
// against a render of the whole cycle plus GDI+'s PNG encoding of each frame
// into memory on one thread: the ratio shows what working on every core gains. First, before anything else large
// is made, the export of a 3840 x 2160 picture's cycle with N = 64 and the
// process's peak working set after it: what the export needs at its largest.
#include <windows.h>
#include <gdiplus.h>
#include <psapi.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "app/export_cycle.h"
#include "base/scoped_handle.h"
#include "frc/engine_state.h"
#include "frc/level_tables.h"
#include "frc/frame_cache.h"
#include "imaging/dib_surface.h"
#include "imaging/load_source.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr std::uint32_t kCount = 16;
constexpr std::uint32_t kOffset = 15;
constexpr int kLargeWidth = 3840;
constexpr int kLargeHeight = 2160;
constexpr std::uint32_t kLargeCount = 64;

using namespace Gdiplus::DllExports;

double NowMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// Processor time of the whole process so far, all threads, in milliseconds.
double CpuMs() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  const auto ms = [](const FILETIME& t) { return (std::uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 1e4; };
  return ms(kernel) + ms(user);
}

bool LoadPicture(int width, int height) {
  BITMAPINFO header;
  PrepareDib32Header(&header);
  header.bmiHeader.biWidth = width;
  header.bmiHeader.biHeight = height;
  void* bits = nullptr;
  HBITMAP picture = CreateDIBSection(nullptr, &header, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!picture) return false;
  std::uint8_t* p = static_cast<std::uint8_t*>(bits);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x, p += 4) {
      p[0] = std::uint8_t(x * 255 / (width - 1));
      p[1] = std::uint8_t(y * 255 / (height - 1));
      p[2] = std::uint8_t((x + y) & 0xFF);
      p[3] = 0;
    }
  const bool loaded = LoadSourceFromBitmap(picture) == 1;
  DeleteObject(picture);
  return loaded;
}

bool PngEncoder(CLSID* clsid) {
  UINT interval = 0, bytes = 0;
  GdipGetImageEncodersSize(&interval, &bytes);
  std::string buffer(bytes, '\0');
  Gdiplus::ImageCodecInfo* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(&buffer[0]);
  if (bytes == 0 || GdipGetImageEncoders(interval, bytes, codecs) != Gdiplus::Ok) return false;
  for (UINT i = 0; i < interval; ++i)
    if (lstrcmpW(codecs[i].MimeType, L"image/png") == 0) *clsid = codecs[i].Clsid;
  return true;
}

// Each frame, straight from its memory, through the PNG encoder into memory.
bool EncodeFrames(const CLSID& png) {
  for (std::uint32_t k = 0; k < kCount; ++k) {
    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.Receive()))) return false;
    ScopedGdipBitmap bitmap;
    BYTE* top = static_cast<BYTE*>(FrameSet[k].bits) + std::size_t(kHeight - 1) * kWidth * 4;
    bool ok = GdipCreateBitmapFromScan0(kWidth, kHeight, -kWidth * 4, PixelFormat32bppRGB, top, bitmap.Receive()) ==
              Gdiplus::Ok;
    ok = ok && GdipSaveImageToStream(bitmap.get(), stream.get(), &png, nullptr) == Gdiplus::Ok;
    if (!ok) return false;
  }
  return true;
}

void RemoveFolder(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((folder + L"\\" + found.cFileName).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(folder.c_str());
}

// The files of source's cycle of interval frames written into folder (and
// removed again): the export as the program runs it, from the picture alone.
bool ExportFromPicture(const std::wstring& folder, std::uint32_t interval) {
  ExportFailure failure = {L"", 0};
  bool exported = BuildLevelTables(interval, kOffset) == 1;
  exported = exported &&
             ExportCycle(folder, SourceSurface, interval, kOffset, 166667, &failure) == ExportResult::kWritten;
  RemoveFolder(folder);
  return exported;
}

double PeakWorkingSetMb() {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return -1;
  return counters.PeakWorkingSetSize / 1e6;
}

}  // namespace

int main() {
  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR token = 0;
  CLSID png;
  if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok || !PngEncoder(&png)) {
    std::printf("setup failed\n");
    return 1;
  }
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"quillane-export-bench-" + std::to_wstring(GetCurrentProcessId());

  // The large export comes first, so that the peak is its own.
  if (!LoadPicture(kLargeWidth, kLargeHeight)) {
    std::printf("setup failed\n");
    return 1;
  }
  const double largeStart = NowMs();
  const double largeStartCpu = CpuMs();
  const bool largeExported = ExportFromPicture(folder, kLargeCount);
  const double largeMs = NowMs() - largeStart;
  const double largeCpuMs = CpuMs() - largeStartCpu;
  const double largePeakMb = PeakWorkingSetMb();
  ReleaseEngineState();
  if (!largeExported || !LoadPicture(kWidth, kHeight)) {
    std::printf("export failed\n");
    return 1;
  }

  const double start = NowMs();
  const double startCpu = CpuMs();
  const bool rendered = RebuildFrameSet(SourceSurface, kCount, kOffset) == FrameBuild::kBuilt && MakeWholeCycle();
  const double renderMs = NowMs() - start;
  const bool encoded = rendered && EncodeFrames(png);
  const double baselineMs = NowMs() - start;
  const double baselineCpuMs = CpuMs() - startCpu;

  const double exportStart = NowMs();
  const double exportStartCpu = CpuMs();
  const bool exported = ExportFromPicture(folder, kCount);
  const double exportMs = NowMs() - exportStart;
  const double exportCpuMs = CpuMs() - exportStartCpu;
  if (!encoded || !exported) {
    std::printf("export failed\n");
    return 1;
  }
  std::printf("render 1080p N=16: %.0f ms\n", renderMs);
  std::printf("render + single-threaded PNG encoding 1080p N=16: %.0f ms (processor %.0f ms)\n", baselineMs,
              baselineCpuMs);
  // The processor time over the elapsed time tells how many cores the export
  // had to itself: on a busy machine fewer than it asked for.
  std::printf("export 1080p N=16: %.0f ms (%.2f x render + single-threaded PNG encoding; processor %.0f ms)\n",
              exportMs, exportMs / baselineMs, exportCpuMs);
  std::printf("export 4K N=64: %.0f ms (processor %.0f ms)\n", largeMs, largeCpuMs);
  std::printf("export 4K N=64 peak working set: %.0f MB\n", largePeakMb);
  ReleaseEngineState();
  SourceSurface.Reset();
  Gdiplus::GdiplusShutdown(token);
  return 0;
}
