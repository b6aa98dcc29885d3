// Image loading benchmark: opening a generated 1920 x 1080 PNG through GDI+
// into SourceSurface. Prints the decode, the step from the decoded section to
// the Ready surface, the conversion by block copy it replaces, and one plain
// 8.3 MB copy into a fresh DIB section measured in the same run. The aim: the
// whole load costs no more than the decode plus one copy (ratio <= 1).
//
// Then opening a 1920 x 1080 binary PPM through the example Netpbm plug-in,
// in this process and through the decoding child (the real program beside
// the build's plug-in): the aim is that the child costs at most 1.5 times the
// in-process load once its own start is taken off, measured as the time the
// child takes for a file no plug-in accepts.
#include <windows.h>
#include <gdiplus.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/dib_surface.h"
#include "imaging/gdiplus_decode.h"
#include "imaging/load_source.h"
#include "imaging/plugin_host.h"
#include "imaging/plugin_isolation.h"
#include "tests/support/test_images.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kRounds = 7;

double NowMs() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// A photo-like picture: gradients and some texture, so PNG has work to do.
std::vector<std::uint32_t> MakePicture() {
  std::vector<std::uint32_t> argb(static_cast<size_t>(kWidth) * kHeight);
  std::uint32_t noise = 1;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      noise = noise * 1664525u + 1013904223u;
      const std::uint32_t r = (x * 255 / (kWidth - 1)) ^ (noise >> 29);
      const std::uint32_t g = (y * 255 / (kHeight - 1)) ^ ((noise >> 26) & 3);
      const std::uint32_t b = ((x + y) / 8) & 0xFF;
      argb[static_cast<size_t>(y) * kWidth + x] = 0xFF000000u | (r & 0xFF) << 16 | (g & 0xFF) << 8 | b;
    }
  return argb;
}

// One memcpy of a whole picture into a new DIB section (first touch of its pages included).
double TimeOneCopy(const void* from) {
  BITMAPINFO header;
  PrepareDib32Header(&header);
  header.bmiHeader.biWidth = kWidth;
  header.bmiHeader.biHeight = kHeight;
  void* bits = nullptr;
  const double start = NowMs();
  HBITMAP section = CreateDIBSection(nullptr, &header, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!section) return 0;
  std::memcpy(bits, from, static_cast<size_t>(kWidth) * kHeight * 4);
  const double elapsed = NowMs() - start;
  DeleteObject(section);
  return elapsed;
}

// The build's directory: this program lives in tests/bench below it.
std::wstring BuildDirectory() {
  wchar_t path[MAX_PATH * 2];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
  std::wstring directory(path, length);
  for (int up = 0; up < 3; ++up) directory = directory.substr(0, directory.find_last_of(L'\\'));
  return directory;
}

// A binary PPM of the same picture.
std::string MakePpm(const std::vector<std::uint32_t>& argb) {
  std::string file = "P6\n" + std::to_string(kWidth) + " " + std::to_string(kHeight) + "\n255\n";
  file.reserve(file.size() + argb.size() * 3);
  for (std::uint32_t pixel : argb) {
    file.push_back(static_cast<char>(pixel >> 16));
    file.push_back(static_cast<char>(pixel >> 8));
    file.push_back(static_cast<char>(pixel));
  }
  return file;
}

double TimeLoad(const std::wstring& path) {
  SourceSurface.Reset();
  const double start = NowMs();
  const int loaded = LoadSourceImage(path.c_str());
  const double elapsed = NowMs() - start;
  return loaded ? elapsed : -1;
}

// The PPM through the plug-in in this process and through the child.
int BenchPlugin(const std::wstring& temp, const std::vector<std::uint32_t>& argb) {
  const std::wstring build = BuildDirectory();
  const std::wstring program = build + L"\\Quillane.exe";
  const std::wstring plugins = build + L"\\plugins";
  const std::wstring ppm = temp + L"quillane_load_bench_" + std::to_wstring(GetCurrentProcessId()) + L".ppm";
  const std::wstring other = temp + L"quillane_load_bench_" + std::to_wstring(GetCurrentProcessId()) + L".txt";
  const std::string ppmBytes = MakePpm(argb);
  HANDLE file = CreateFileW(ppm.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  const bool wrote = file != INVALID_HANDLE_VALUE &&
                     WriteFile(file, ppmBytes.data(), static_cast<DWORD>(ppmBytes.size()), &written, nullptr) &&
                     written == ppmBytes.size();
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  file = CreateFileW(other.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    WriteFile(file, "no picture", 10, &written, nullptr);
    CloseHandle(file);
  }
  if (!wrote) {
    std::printf("could not write the test PPM\n");
    return 1;
  }

  std::vector<double> inProcess, isolated, childStart;
  for (int round = 0; round < kRounds; ++round) {
    LoadPlugins(plugins);
    inProcess.push_back(TimeLoad(ppm));
    UnloadPlugins();
    StartIsolatedPlugins(plugins, program);
    isolated.push_back(TimeLoad(ppm));
    const double start = NowMs();
    DecodeWithPluginsIsolated(program.c_str(), other.c_str());
    childStart.push_back(NowMs() - start);
    StopIsolatedPlugins();
  }
  SourceSurface.Reset();
  DeleteFileW(ppm.c_str());
  DeleteFileW(other.c_str());
  const double p = Median(inProcess), i = Median(isolated), c = Median(childStart);
  if (p <= 0 || i <= 0) {
    std::printf("the PPM did not load through the plug-in (is %ls built?)\n", (plugins + L"\\netpbm.spi").c_str());
    return 1;
  }
  std::printf("opening a %d x %d PPM through the Netpbm plug-in (median of %d)\n", kWidth, kHeight, kRounds);
  std::printf("  in this process                         %7.2f ms\n", p);
  std::printf("  through the decoding child              %7.2f ms\n", i);
  std::printf("  child start (a file it declines)        %7.2f ms\n", c);
  std::printf("  load ratio isolated/in-process  %6.3f  (child start taken off; target <= 1.5)\n", (i - c) / p);
  std::printf("  load ratio with the child start %6.3f\n", i / p);
  return 0;
}

}  // namespace

int main() {
  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR token = 0;
  if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return 2;

  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring path = std::wstring(temp) + L"quillane_load_bench_" + std::to_wstring(GetCurrentProcessId()) + L".png";
  if (!SaveWithGdiplus(path, L"image/png", kWidth, kHeight, MakePicture())) {
    std::printf("could not write the test PNG\n");
    return 1;
  }
  std::vector<std::uint8_t> source(static_cast<size_t>(kWidth) * kHeight * 4, 0x5A);

  std::vector<double> decode, handOver, load, convert, copy;
  for (int round = 0; round < kRounds; ++round) {
    double start = NowMs();
    HBITMAP decoded = DecodeWithGdiplus(path.c_str());
    decode.push_back(NowMs() - start);
    if (!decoded) {
      std::printf("GDI+ could not decode the test PNG\n");
      return 1;
    }
    // The conversion by block copy that the hand-over of the section replaces.
    BITMAPINFO header;
    PrepareDib32Header(&header);
    void* bits = nullptr;
    start = NowMs();
    HBITMAP converted = ConvertToDib32(&header, &bits, decoded);
    convert.push_back(NowMs() - start);
    DeleteObject(converted);
    // What LoadSourceImage does after the decode: the surface takes the section.
    SourceSurface.Reset();
    start = NowMs();
    const int taken = TakeOverDib32(&SourceSurface, decoded) && CreateSurfaceDc(&SourceSurface);
    handOver.push_back(NowMs() - start);
    if (!taken) {
      std::printf("the decoded section could not be taken over\n");
      return 1;
    }

    SourceSurface.Reset();
    start = NowMs();
    const int loaded = LoadSourceImage(path.c_str());
    load.push_back(NowMs() - start);
    if (!loaded) {
      std::printf("LoadSourceImage failed\n");
      return 1;
    }
    copy.push_back(TimeOneCopy(source.data()));
  }
  SourceSurface.Reset();
  DeleteFileW(path.c_str());

  const double d = Median(decode), h = Median(handOver), l = Median(load), c = Median(convert), k = Median(copy);
  std::printf("opening a %d x %d PNG into SourceSurface (median of %d)\n", kWidth, kHeight, kRounds);
  std::printf("  decode (DecodeWithGdiplus)              %7.2f ms\n", d);
  std::printf("  into SourceSurface (hand-over, DC)      %7.2f ms\n", h);
  std::printf("  ConvertToDib32 block copy (not used)    %7.2f ms\n", c);
  std::printf("  whole LoadSourceImage                   %7.2f ms\n", l);
  std::printf("  one 8.3 MB copy into a fresh section    %7.2f ms\n", k);
  std::printf("  (decode + hand-over) / (decode + one copy)  %6.3f  (target <= 1)\n", (d + h) / (d + k));
  std::printf("  whole load / (decode + one copy)            %6.3f\n", l / (d + k));
  std::printf("\n");
  const int plugin = BenchPlugin(temp, MakePicture());
  Gdiplus::GdiplusShutdown(token);
  return plugin;
}
