// Benchmark of the program as a whole: start-up to the first painted frame
// with a 1920 x 1080 image, the cost of one frame change (the paint of the
// visible part) at 0.0041667 s, and the CPU the program uses while it plays
// N = 4 at 0.0166667 s. Runs the real Quillane.exe as its own process for the
// first and last figure, and the main window in this process for the second.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/globals.h"
#include "views/image_view.h"
#include "app/main_window.h"
#include "frc/engine_state.h"
#include "frc/frame_clock.h"
#include "tests/gui/gui_test_support.h"

namespace {

double NowMs() {
  LARGE_INTEGER counter, frequency;
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  return double(counter.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

std::wstring Directory(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

std::wstring ThisProgram() {
  wchar_t path[MAX_PATH * 4] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  return path;
}

// The bench's picture: gradients in every channel.
unsigned Gradient(int x, int y) {
  return unsigned(x * 255 / 1919) << 16 | unsigned(y * 255 / 1079) << 8 | unsigned((x + y) & 0xFF);
}

struct Search {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK FindMain(HWND window, LPARAM lParam) {
  Search* search = reinterpret_cast<Search*>(lParam);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t name[32] = {};
  GetClassNameW(window, name, 32);
  if (owner == search->processId && lstrcmpW(name, L"Quillane") == 0) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

// True once the screen shows something other than the white background in
// the middle of the view.
bool ShowsPicture(HWND view) {
  RECT client;
  GetClientRect(view, &client);
  if (client.right < 4 || client.bottom < 4) return false;
  POINT middle = {client.right / 2, client.bottom / 2};
  ClientToScreen(view, &middle);
  HDC screen = GetDC(nullptr);
  const COLORREF colour = GetPixel(screen, middle.x, middle.y);
  ReleaseDC(nullptr, screen);
  return colour != CLR_INVALID && colour != RGB(255, 255, 255);
}

ULONGLONG CpuTime100ns(HANDLE process) {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
  const ULONGLONG k = (ULONGLONG(kernel.dwHighDateTime) << 32) | kernel.dwLowDateTime;
  const ULONGLONG u = (ULONGLONG(user.dwHighDateTime) << 32) | user.dwLowDateTime;
  return k + u;
}

void MeasureProgram(const std::wstring& directory, const std::wstring& image) {
  const std::wstring program = directory + L"\\Quillane.exe";
  const std::wstring source = Directory(Directory(Directory(ThisProgram()))) + L"\\Quillane.exe";
  if (!CopyFileW(source.c_str(), program.c_str(), FALSE)) {
    std::printf("program: cannot copy %ls\n", source.c_str());
    return;
  }
  const std::wstring ini = directory + L"\\settings.ini";
  WritePrivateProfileStringW(L"Settings", L"FRCCount", L"4", ini.c_str());
  WritePrivateProfileStringW(L"Settings", L"FRCDuration", L"0.0166667", ini.c_str());
  std::wstring commandLine = L"\"" + program + L"\" \"" + image + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  const double start = NowMs();
  if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, directory.c_str(),
                      &startup, &process)) {
    std::printf("program: cannot start\n");
    return;
  }
  Search search = {process.dwProcessId, nullptr};
  HWND frcView = nullptr;
  double firstFrame = -1;
  while (NowMs() - start < 30000) {
    if (!search.found) EnumWindows(FindMain, reinterpret_cast<LPARAM>(&search));
    if (search.found && !frcView) frcView = FindWindowExW(search.found, nullptr, L"FRC View", nullptr);
    if (frcView && ShowsPicture(frcView)) {
      firstFrame = NowMs() - start;
      break;
    }
    Sleep(2);
  }
  std::printf("start-up to the first painted frame, 1920x1080 BMP: %.0f ms\n", firstFrame);

  if (search.found) PostMessageW(search.found, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
}

void MeasureFrameChange(const std::wstring& directory, const std::wstring& image) {
  AppInstance = GetModuleHandleW(nullptr);
  ModuleDirectory = directory;
  const std::wstring ini = directory + L"\\settings.ini";
  WritePrivateProfileStringW(L"Settings", L"FRCCount", L"4", ini.c_str());
  WritePrivateProfileStringW(L"Settings", L"FRCDuration", L"0.0041667", ini.c_str());
  WritePrivateProfileStringW(L"Settings", L"ShowOriginal", L"0", ini.c_str());
  if (!CreateMainWindow()) return;
  SetWindowPos(MainWindow, nullptr, 0, 0, 1280, 1000, SWP_NOZORDER);
  OpenImage(image);
  PostSettingsChanged();
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  StopFrameClock();
  RECT client;
  GetClientRect(FrcView, &client);
  std::vector<double> costs;
  for (int i = 0; i < 400; ++i) {
    SetCurrentFrame(std::uint32_t(i + 1) % FrcCount);
    const double start = NowMs();
    SendMessageW(MainWindow, WM_USER, kRequestFrameChanged, 0);
    costs.push_back(NowMs() - start);
  }
  std::sort(costs.begin(), costs.end());
  std::printf("one frame change (paint of a %ldx%ld view of the 1920x1080 frame): median %.3f ms, p99 %.3f ms "
              "(budget at 0.0041667 s: 4.167 ms)\n",
              client.right, client.bottom, costs[costs.size() / 2], costs[costs.size() * 99 / 100]);

  // Playing N = 4 at 0.0166667 s with the program's own kind of message loop.
  SetDlgItemTextW(ControlBar, kIdFrameDuration, L"0.0166667");
  PostSettingsChanged();
  const double until = NowMs() + 500;
  while (NowMs() < until) {
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  const ULONGLONG cpuBefore = CpuTime100ns(GetCurrentProcess());
  const double wallBefore = NowMs();
  unsigned framesShown = 0;
  std::uint32_t last = CurrentFrame;
  while (NowMs() - wallBefore < 3000) {
    if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      DispatchMessageW(&message);
    } else {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    if (CurrentFrame != last) {
      last = CurrentFrame;
      ++framesShown;
    }
  }
  const double cpu = double(CpuTime100ns(GetCurrentProcess()) - cpuBefore) / 10000.0;
  const double wall = NowMs() - wallBefore;
  std::printf("CPU while playing N=4 at 0.0166667 s (%ux%ld view): %.1f %% of one core (%.0f ms in %.0f ms, "
              "about %u frame changes)\n",
              unsigned(client.right), client.bottom, 100.0 * cpu / wall, cpu, wall, framesShown);
  StopFrameClock();
  DestroyWindow(MainWindow);
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
  }
}

}  // namespace

int main() {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring directory = std::wstring(temp) + L"quillane-program-bench";
  CreateDirectoryW(directory.c_str(), nullptr);
  const std::wstring image = directory + L"\\picture-1080p.bmp";
  if (!WriteBmpFile(image, 1920, 1080, Gradient)) return 1;
  MeasureProgram(directory, image);
  MeasureFrameChange(directory, image);
  DeleteFileW(image.c_str());
  DeleteFileW((directory + L"\\Quillane.exe").c_str());
  DeleteFileW((directory + L"\\settings.ini").c_str());
  RemoveDirectoryW(directory.c_str());
  return 0;
}
