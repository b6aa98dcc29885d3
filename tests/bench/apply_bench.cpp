// ApplySettings benchmark: a whole rebuild of the frame cycle of a 1920 x 1080
// picture from the control bar's texts (parse, tables, N frames rendered into
// fresh DIB sections, memory DCs), as the settings-changed request runs it.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/control_bar.h"
#include "app/globals.h"
#include "app/apply_settings.h"
#include "frc/engine_state.h"
#include "frc/level_tables.h"
#include "imaging/dib_surface.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

double NowMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// Closes any message box at once (a benchmark must never wait for a user).
int boxesSeen = 0;
LRESULT CALLBACK CloseBoxes(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    wchar_t name[16] = {};
    GetClassNameW(reinterpret_cast<HWND>(wParam), name, 16);
    // The control bar is a dialog too; a message box has its text at 0xFFFF.
    if (lstrcmpW(name, L"#32770") == 0 && GetDlgItem(reinterpret_cast<HWND>(wParam), 0xFFFF)) {
      ++boxesSeen;
      wchar_t text[256] = {};
      GetDlgItemTextW(reinterpret_cast<HWND>(wParam), 0xFFFF, text, 256);
      char utf8[768] = {};
      WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
      std::printf("message box: %s\n", utf8);
      PostMessageW(reinterpret_cast<HWND>(wParam), WM_COMMAND, IDOK, 0);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool LoadPicture() {
  BITMAPINFO header;
  PrepareDib32Header(&header);
  header.bmiHeader.biWidth = kWidth;
  header.bmiHeader.biHeight = kHeight;
  void* bits = nullptr;
  HBITMAP picture = CreateDIBSection(nullptr, &header, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!picture) return false;
  std::uint8_t* p = static_cast<std::uint8_t*>(bits);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x, p += 4) {
      p[0] = std::uint8_t(x * 255 / (kWidth - 1));
      p[1] = std::uint8_t(y * 255 / (kHeight - 1));
      p[2] = std::uint8_t((x + y) & 0xFF);
      p[3] = 0;
    }
  PrepareDib32Header(&SourceSurface.header);
  SourceSurface.bitmap = ConvertToDib32(&SourceSurface.header, &SourceSurface.bits, picture);
  DeleteObject(picture);
  if (!SourceSurface.bitmap) return false;
  SourceSurface.byteSize = SourceSurface.header.bmiHeader.biSizeImage;
  return CreateSurfaceDc(&SourceSurface) == 1;
}

}  // namespace

int main() {
  AppInstance = GetModuleHandleW(nullptr);
  HHOOK hook = SetWindowsHookExW(WH_CBT, CloseBoxes, nullptr, GetCurrentThreadId());
  if (!CreateControlBar() || !LoadPicture()) {
    std::printf("setup failed\n");
    return 1;
  }
  // What the rebuild cannot go below here: the first write to each page of
  // fresh memory, as every new frame's DIB section needs.
  std::vector<double> touches;
  const SIZE_T frameBytes = SIZE_T(kWidth) * kHeight * 4;
  for (int round = 0; round < 5; ++round) {
    void* block = VirtualAlloc(nullptr, frameBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    const double start = NowMs();
    if (block) std::memset(block, 1, frameBytes);
    touches.push_back(NowMs() - start);
    if (block) VirtualFree(block, 0, MEM_RELEASE);
  }
  std::sort(touches.begin(), touches.end());
  std::printf("first write to 8.3 MB of fresh memory (one frame's worth): median %.1f ms\n", touches[2]);

  struct Run {
    const wchar_t* interval;
    int rounds;
  };
  for (const Run& run : {Run{L"4", 9}, Run{L"16", 5}, Run{L"255", 1}}) {
    SetDlgItemTextW(ControlBar, kIdInterval, run.interval);
    SetDlgItemTextW(ControlBar, kIdCorrection, L"0");
    SetDlgItemTextW(ControlBar, kIdDuration, L"0.0166667");
    std::vector<double> times;
    for (int round = 0; round < run.rounds; ++round) {
      const double start = NowMs();
      ApplySettings();
      times.push_back(NowMs() - start);
    }
    std::sort(times.begin(), times.end());
    const std::uint32_t n = FrcCount;
    std::printf("ApplySettings 1920x1080 N=%u: median %.1f ms, best %.1f ms over %d rebuilds (%.2f ms per frame)%s\n", n,
                times[times.size() / 2], times.front(), run.rounds, times[times.size() / 2] / n,
                FrameSet ? "" : "  [out of memory: no frame set]");
  }
  ReleaseFrameSet(FrameSet);
  FrameSet = nullptr;
  ReleaseLevelTables();
  SourceSurface.Reset();
  DestroyWindow(ControlBar);
  if (hook) UnhookWindowsHookEx(hook);
  if (boxesSeen) std::printf("message boxes shown: %d\n", boxesSeen);
  return 0;
}
