// Where the presentation thread waits for the display's vertical blank, and
// the refresh rate of the monitor a window is on.
//
// Every system function used here that an older Windows, or Wine, may lack is
// looked up at run time (LoadLibraryW/GetProcAddress), so the program still
// starts where it is missing. The sources are tried in order: the DXGI output
// of the window's monitor (IDXGIOutput::WaitForVBlank), the kernel display
// interface (D3DKMTWaitForVerticalBlankEvent), and the desktop compositor's
// timing (DwmFlush, its refresh counter); none of them leaves the timer. A
// source whose waits come back almost at once (a stub) is refused.
//
// A source is opened and closed on the user-interface thread; between the two
// only one thread at a time waits on it (the presentation thread).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "base/scoped_handle.h"
#include "present/presentation_lock.h"

struct IDXGIFactory1;
struct IDXGIAdapter1;
struct IDXGIOutput;

enum class VblankKind { kNone, kDxgi, kKernel, kDwm, kSimulated };

struct VblankSource {
  VblankKind kind;
  RefreshRate rate;            // the rate the waits keep (checked against them)
  std::int64_t frequency;      // of the performance counter
  std::int64_t period;         // one refresh in counter ticks
  std::int64_t lastCounter;    // counter at the last wake
  std::uint64_t vblank;        // number of the last vblank seen
  IDXGIOutput* output;         // kDxgi: owned reference
  HMODULE module;              // the library the functions below come from
  void* waitFunction;          // kKernel: D3DKMTWaitForVerticalBlankEvent; kDwm: DwmFlush
  void* timingFunction;        // kDwm: DwmGetCompositionTimingInfo
  void* closeFunction;         // kKernel: D3DKMTCloseAdapter
  UINT adapter;                // kKernel
  UINT sourceId;               // kKernel
  SimulatedSourceOption simulated;
  std::int64_t origin;         // kSimulated: counter at vblank 0
};

// The refresh rate of the monitor window is on: QueryDisplayConfig's target
// rate for that monitor, else EnumDisplaySettingsW's whole-number frequency;
// 0/1 when neither knows it (both give 0 or 1 Hz under some X servers).
RefreshRate MonitorRefreshRate(HWND window);

// Opens the first source that works for window's monitor, or the simulated
// one when `simulated` is not null (it is then the only one tried). *report
// gets one line per source tried: which was chosen, and why each other was
// refused. Returns 1 with *source ready, or 0 with source->kind kNone when
// only the timer is left. `rate` is the monitor's rate as read; the chosen
// source's waits are measured and, when they disagree with it by more than
// 2 %, the measured rate is kept instead (and said in the report).
int OpenVblankSource(VblankSource* source, HWND window, RefreshRate rate, const SimulatedSourceOption* simulated,
                     std::wstring* report);

// Waits for the next vblank the source shows. *vblank gets its number (it
// advances by more than one when vblanks went by unseen) and *counter the
// performance counter at the wake. 0 when the wait failed.
int WaitForNextVblank(VblankSource* source, std::uint64_t* vblank, std::int64_t* counter);

// The performance counter at vblank number `vblank`, the last one a wait
// returned: exact for the simulated source, which keeps its own schedule;
// for the others the counter at that wake, the nearest known to the vblank.
std::int64_t VblankCounter(const VblankSource& source, std::uint64_t vblank);

// Releases what the source holds; it is kNone afterwards. A source already
// kNone is left as it is.
void CloseVblankSource(VblankSource* source);

// The source's name as the status bar and the version box show it.
const wchar_t* VblankSourceName(VblankKind kind);

// The DXGI output that shows monitor, and its adapter: 1 with both set, or 0
// with both empty.
int FindMonitorOutput(IDXGIFactory1* factory, HMONITOR monitor, ComPtr<IDXGIAdapter1>* adapter,
                      ComPtr<IDXGIOutput>* output);
