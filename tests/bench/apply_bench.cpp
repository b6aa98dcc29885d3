// ApplySettings benchmark: a whole rebuild of the frame cycle from the control
// bar's texts (parse, tables, N frames rendered on every core), as the
// settings-changed request runs it: the first one after a picture is opened
// (fresh memory) and later ones after a change of correction (kept memory),
// against plain copies of one frame into memory written before.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "app/control_bar.h"
#include "app/globals.h"
#include "app/apply_settings.h"
#include "base/utf8_text.h"
#include "frc/engine_state.h"
#include "frc/level_tables.h"
#include "imaging/dib_surface.h"
#include "imaging/load_source.h"

namespace {


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
      std::printf("message box: %s\n", Utf8Text(text).c_str());
      PostMessageW(reinterpret_cast<HWND>(wParam), WM_COMMAND, IDOK, 0);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

void ResetFrames() {
  ReleaseEngineState();
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

// Sets the three fields and applies them; returns the time in ms, or a
// negative number when no frame set came of it.
double Apply(const wchar_t* interval, const wchar_t* correction) {
  SetDlgItemTextW(ControlBar, kIdInterval, interval);
  SetDlgItemTextW(ControlBar, kIdCorrection, correction);
  SetDlgItemTextW(ControlBar, kIdFrameDuration, L"0.0166667");
  const double start = NowMs();
  ApplySettings();
  const double ms = NowMs() - start;
  return FrameSet ? ms : -1;
}

// A time, or what happened instead.
void PrintTime(const char* label, double ms) {
  if (ms < 0)
    std::printf("%s: failed (no frame set: out of memory)\n", label);
  else
    std::printf("%s: %.1f ms\n", label, ms);
}

// Best of rounds applies, each after a change of correction (the best, like
// the baseline copies: what the machine can do when nothing else runs); the
// median is printed beside it.
double ApplyAfterCorrectionChange(const wchar_t* interval, int rounds) {
  const wchar_t* corrections[] = {L"0", L"1"};
  std::vector<double> times;
  for (int round = 0; round < rounds; ++round) {
    const double ms = Apply(interval, corrections[round % 2]);
    if (ms < 0) return ms;
    times.push_back(ms);
  }
  std::sort(times.begin(), times.end());
  std::printf("  N=%ls after a change of correction: best %.1f ms, median %.1f ms of %d\n", interval, times.front(),
              times[times.size() / 2], rounds);
  return times.front();
}

}  // namespace

int main() {
  AppInstance = GetModuleHandleW(nullptr);
  HHOOK hook = SetWindowsHookExW(WH_CBT, CloseBoxes, nullptr, GetCurrentThreadId());
  if (!CreateControlBar() || !LoadPicture(1920, 1080)) {
    std::printf("setup failed\n");
    return 1;
  }
  const size_t frameBytes = size_t(1920) * 1080 * 4;

  // The baseline: 16 plain copies of one frame, each into its own memory
  // written before (as kept frames are), best of several rounds.
  std::vector<std::vector<std::uint8_t>> copies(16, std::vector<std::uint8_t>(frameBytes, 1));
  const std::uint8_t* picture = static_cast<const std::uint8_t*>(SourceSurface.bits);
  double copy16 = 1e30;
  for (int round = 0; round < 5; ++round) {
    const double start = NowMs();
    for (auto& copy : copies) std::memcpy(copy.data(), picture, frameBytes);
    copy16 = std::min(copy16, NowMs() - start);
  }
  copies.clear();
  copies.shrink_to_fit();
  std::printf("16 plain copies of a 1080p frame: %.2f ms (copy rate %.1f GB/s, %u cores)\n", copy16,
              16.0 * frameBytes / copy16 / 1e6, std::thread::hardware_concurrency());

  const double first16 = Apply(L"16", L"0");
  const double again16 = ApplyAfterCorrectionChange(L"16", 15);
  PrintTime("first apply 1080p N=16 after opening", first16);
  if (again16 >= 0) std::printf("apply/copy ratio 1080p N=16: %.2f\n", again16 / copy16);

  if (!LoadPicture(1920, 1080)) return 1;
  const double first255 = Apply(L"255", L"0");
  const double again255 = ApplyAfterCorrectionChange(L"255", 5);
  PrintTime("first apply 1080p N=255 after opening", first255);
  PrintTime("apply 1080p N=255", again255);

  ResetFrames();
  if (!LoadPicture(3840, 2160)) return 1;
  const double first4k = Apply(L"64", L"0");
  const double again4k = ApplyAfterCorrectionChange(L"64", 5);
  PrintTime("first apply 4K N=64 after opening", first4k);
  PrintTime("apply 4K N=64", again4k);
  PROCESS_MEMORY_COUNTERS memory = {};
  memory.cb = sizeof memory;
  if (GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory))
    std::printf("peak working set: %.0f MB\n", memory.PeakWorkingSetSize / 1e6);

  ResetFrames();
  ReleaseLevelTables();
  SourceSurface.Reset();
  DestroyWindow(ControlBar);
  if (hook) UnhookWindowsHookEx(hook);
  if (boxesSeen) std::printf("message boxes shown: %d\n", boxesSeen);
  return 0;
}
