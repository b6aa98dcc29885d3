// Frame rendering benchmark, 1920 x 1080: the mapping of a whole 16-frame cycle
// (as a rebuild does it) against plain copies of the same bytes into the same
// frames, one frame mapped on its own against a copy into one warm buffer, the
// table path, and (in the Windows build) RenderFrame into a frame kept from
// before. Ratios are to copies measured in the same run.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "frc/frame_mapping.h"
#include "frc/level_tables.h"

#ifdef _WIN32
#include <windows.h>

#include "frc/render_frame.h"
#include "imaging/dib_surface.h"
#endif

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr size_t kBytes = size_t(kWidth) * kHeight * 4;

double NowMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

void FillPicture(std::uint8_t* p) {
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      std::uint8_t* px = p + (size_t(y) * kWidth + x) * 4;
      px[0] = std::uint8_t(x * 255 / (kWidth - 1));
      px[1] = std::uint8_t(y * 255 / (kHeight - 1));
      px[2] = std::uint8_t((x + y) & 0xFF);
      px[3] = 0;
    }
}

// Best of several rounds of `rounds` calls, per call.
template <typename F>
double TimePerCall(int rounds, F f) {
  double best = 1e30;
  for (int attempt = 0; attempt < 5; ++attempt) {
    const double start = NowMs();
    for (int i = 0; i < rounds; ++i) f(i);
    const double each = (NowMs() - start) / rounds;
    if (each < best) best = each;
  }
  return best;
}

volatile std::uint8_t sink;

}  // namespace

int main() {
  std::vector<std::uint8_t> source(kBytes), target(kBytes), copy(kBytes);
  FillPicture(source.data());
  std::memset(target.data(), 1, kBytes);
  std::memset(copy.data(), 1, kBytes);

  const double copyMs = TimePerCall(10, [&](int i) {
    std::memcpy(copy.data(), source.data(), kBytes);
    sink = copy[size_t(i) * 4099 % kBytes];
  });
  std::printf("copy 1080p (%zu bytes): %.3f ms (copy rate %.1f GB/s)\n", kBytes, copyMs, kBytes / copyMs / 1e6);

  for (std::uint32_t n : {4u, 16u, 255u}) {
    if (!BuildLevelTables(n, n - 1)) return 1;
    const double mapMs = TimePerCall(10, [&](int i) {
      MapFramePixels(source.data(), target.data(), kWidth, kHeight, std::uint32_t(i) % n);
      sink = target[size_t(i) * 4099 % kBytes];
    });
    std::printf("one frame on its own 1080p N=%u: %.3f ms (%.2f x copy)\n", n, mapMs, mapMs / copyMs);
  }

  // The whole cycle at once, as a rebuild maps it (one thread), per frame,
  // against plain copies of the same bytes into the same 16 frames.
  double ratio16 = 0;
  {
    std::vector<std::vector<std::uint8_t>> cycle(16, std::vector<std::uint8_t>(kBytes, 1));
    std::vector<std::uint8_t*> targets;
    for (auto& frame : cycle) targets.push_back(frame.data());
    if (!BuildLevelTables(16, 15)) return 1;
    const double cycleMs = TimePerCall(2, [&](int i) {
      MapCycleRows(source.data(), targets.data(), kWidth, 0, kHeight);
      sink = targets[i % 16][size_t(i) * 4099 % kBytes];
    }) / 16;
    const double copyCycleMs = TimePerCall(2, [&](int i) {
      for (auto& frame : cycle) std::memcpy(frame.data(), source.data(), kBytes);
      sink = targets[i % 16][size_t(i) * 4099 % kBytes];
    }) / 16;
    std::printf("cycle of 16 frames 1080p, one thread: %.3f ms per frame; plain copy into the same frames: %.3f ms\n",
                cycleMs, copyCycleMs);
    ratio16 = cycleMs / copyCycleMs;
  }

  // Each vector path this processor has, on its own.
  for (VectorPath path : {VectorPath::kSse2, VectorPath::kAvx2}) {
    if (LimitVectorPath(path) != path) continue;
    const char* name = path == VectorPath::kSse2 ? "SSE2" : "AVX2";
    if (!BuildLevelTables(16, 15)) return 1;
    const double frameMs = TimePerCall(10, [&](int i) {
      MapFramePixels(source.data(), target.data(), kWidth, kHeight, std::uint32_t(i) % 16);
      sink = target[size_t(i) * 4099 % kBytes];
    });
    std::vector<std::vector<std::uint8_t>> cycle(16, std::vector<std::uint8_t>(kBytes, 1));
    std::vector<std::uint8_t*> targets;
    for (auto& frame : cycle) targets.push_back(frame.data());
    const double cycleMs = TimePerCall(2, [&](int i) {
      MapCycleRows(source.data(), targets.data(), kWidth, 0, kHeight);
      sink = targets[i % 16][size_t(i) * 4099 % kBytes];
    }) / 16;
    std::printf("%s path 1080p N=16: one frame %.3f ms (%.2f x copy), cycle %.3f ms per frame\n", name, frameMs,
                frameMs / copyMs, cycleMs);
  }
  LimitVectorPath(VectorPath::kAvx2);

  if (!BuildLevelTables(16, 15)) return 1;
  const double tableMs = TimePerCall(10, [&](int i) {
    MapFramePixelsByTable(source.data(), target.data(), kWidth, kHeight, std::uint32_t(i) % 16);
    sink = target[size_t(i) * 4099 % kBytes];
  });
  std::printf("table path 1080p N=16: %.3f ms per frame (%.2f x copy)\n", tableMs, tableMs / copyMs);

#ifdef _WIN32
  // RenderFrame into a frame rendered once before (kept memory), against a
  // plain copy of one frame into memory written before.
  BITMAPINFO header;
  PrepareDib32Header(&header);
  header.bmiHeader.biWidth = kWidth;
  header.bmiHeader.biHeight = kHeight;
  DibSurface picture;
  picture.header = header;
  picture.bitmap = CreateDIBSection(nullptr, &picture.header, DIB_RGB_COLORS, &picture.bits, nullptr, 0);
  if (!picture.bitmap) return 1;
  picture.byteSize = picture.header.bmiHeader.biSizeImage;
  FillPicture(static_cast<std::uint8_t*>(picture.bits));
  double firstTouch = 1e30;
  for (int round = 0; round < 3; ++round) {
    void* fresh = nullptr;
    HBITMAP section = CreateDIBSection(nullptr, &header, DIB_RGB_COLORS, &fresh, nullptr, 0);
    if (!section) return 1;
    const double start = NowMs();
    std::memcpy(fresh, source.data(), kBytes);
    const double each = NowMs() - start;
    if (each < firstTouch) firstTouch = each;
    DeleteObject(section);
  }
  std::printf("first write into a new 1080p DIB section (page faults): %.2f ms\n", firstTouch);
  DibSurface frame;
  if (!RenderFrame(&frame, picture, 0)) return 1;
  const double renderMs = TimePerCall(10, [&](int i) {
    if (!RenderFrame(&frame, picture, std::uint32_t(i) % 16)) std::printf("RenderFrame failed\n");
    sink = static_cast<std::uint8_t*>(frame.bits)[size_t(i) * 4099 % kBytes];
  });
  std::printf("RenderFrame 1080p N=16 into kept memory: %.3f ms per frame\n", renderMs);
  std::printf("render/copy ratio 1080p: %.2f\n", renderMs / copyMs);
#endif
  ReleaseLevelTables();
  std::printf("mapping/copy ratio 1080p N=16: %.2f\n", ratio16);
  return 0;
}
