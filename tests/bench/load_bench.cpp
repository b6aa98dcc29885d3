// Image loading benchmark: opening a generated 1920 x 1080 PNG through GDI+
// into SourceSurface. Prints the decode, the step from the decoded section to
// the Ready surface, the conversion by block copy it replaces, and one plain
// 8.3 MB copy into a fresh DIB section measured in the same run. The aim: the
// whole load costs no more than the decode plus one copy (ratio <= 1).
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
  Gdiplus::GdiplusShutdown(token);

  const double d = Median(decode), h = Median(handOver), l = Median(load), c = Median(convert), k = Median(copy);
  std::printf("opening a %d x %d PNG into SourceSurface (median of %d)\n", kWidth, kHeight, kRounds);
  std::printf("  decode (DecodeWithGdiplus)              %7.2f ms\n", d);
  std::printf("  into SourceSurface (hand-over, DC)      %7.2f ms\n", h);
  std::printf("  ConvertToDib32 block copy (not used)    %7.2f ms\n", c);
  std::printf("  whole LoadSourceImage                   %7.2f ms\n", l);
  std::printf("  one 8.3 MB copy into a fresh section    %7.2f ms\n", k);
  std::printf("  (decode + hand-over) / (decode + one copy)  %6.3f  (target <= 1)\n", (d + h) / (d + k));
  std::printf("  whole load / (decode + one copy)            %6.3f\n", l / (d + k));
  return 0;
}
