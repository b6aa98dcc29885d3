// The vblank sources and the monitor's refresh rate: see vblank_source.h.
#include "present/vblank_source.h"

#include <dwmapi.h>
#include <dxgi.h>
#include <mmsystem.h>

#include <cmath>
#include <cstdio>
#include <vector>

namespace {

// Waits timed before a source is taken; a stub returns from them at once.
constexpr int kProbeWaits = 4;
// A source whose waits average less than this share of a refresh is a stub.
constexpr double kStubShare = 0.25;
// A measured period this far from the stated one replaces it.
constexpr double kRateTolerance = 0.02;
// The period assumed while probing when the monitor's rate is unknown.
constexpr std::int64_t kAssumedHz = 60;

// {770aae78-f26f-4dba-a829-253c83d1b387}
const GUID kDxgiFactory1Id = {0x770aae78, 0xf26f, 0x4dba, {0xa8, 0x29, 0x25, 0x3c, 0x83, 0xd1, 0xb3, 0x87}};

using CreateFactoryFunction = HRESULT(WINAPI*)(REFIID, void**);
using DwmFlushFunction = HRESULT(WINAPI*)();
using DwmTimingFunction = HRESULT(WINAPI*)(HWND, DWM_TIMING_INFO*);
using DwmEnabledFunction = HRESULT(WINAPI*)(BOOL*);
using SizesFunction = LONG(WINAPI*)(UINT32, UINT32*, UINT32*);
using QueryFunction = LONG(WINAPI*)(UINT32, UINT32*, DISPLAYCONFIG_PATH_INFO*, UINT32*, DISPLAYCONFIG_MODE_INFO*,
                                    DISPLAYCONFIG_TOPOLOGY_ID*);
using DeviceInfoFunction = LONG(WINAPI*)(DISPLAYCONFIG_DEVICE_INFO_HEADER*);

// The kernel display interface's records, as the system defines them.
struct KernelOpenAdapter {
  HDC dc;
  UINT adapter;
  LUID luid;
  UINT sourceId;
};
struct KernelWait {
  UINT adapter;
  UINT device;
  UINT sourceId;
};
struct KernelClose {
  UINT adapter;
};
using KernelOpenFunction = LONG(APIENTRY*)(KernelOpenAdapter*);
using KernelWaitFunction = LONG(APIENTRY*)(const KernelWait*);
using KernelCloseFunction = LONG(APIENTRY*)(const KernelClose*);

std::int64_t Counter() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

bool MonitorDevice(HWND window, MONITORINFOEXW* info) {
  HMONITOR monitor = MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
  info->cbSize = sizeof *info;
  return monitor && GetMonitorInfoW(monitor, info);
}

RefreshRate DisplayConfigRate(const wchar_t* device) {
  HMODULE user = GetModuleHandleW(L"user32.dll");
  auto sizes = LookUpFunction<SizesFunction>(user, "GetDisplayConfigBufferSizes");
  auto query = LookUpFunction<QueryFunction>(user, "QueryDisplayConfig");
  auto deviceInfo = LookUpFunction<DeviceInfoFunction>(user, "DisplayConfigGetDeviceInfo");
  if (!sizes || !query || !deviceInfo) return RefreshRate{0, 1};
  UINT32 pathCount = 0, modeCount = 0;
  if (sizes(QDC_ONLY_ACTIVE_PATHS, &pathCount, &modeCount) != ERROR_SUCCESS || pathCount == 0) return RefreshRate{0, 1};
  std::vector<DISPLAYCONFIG_PATH_INFO> paths(pathCount);
  std::vector<DISPLAYCONFIG_MODE_INFO> modes(modeCount + 1);
  if (query(QDC_ONLY_ACTIVE_PATHS, &pathCount, paths.data(), &modeCount, modes.data(), nullptr) != ERROR_SUCCESS)
    return RefreshRate{0, 1};
  for (UINT32 i = 0; i < pathCount; ++i) {
    DISPLAYCONFIG_SOURCE_DEVICE_NAME name = {};
    name.header.type = DISPLAYCONFIG_DEVICE_INFO_GET_SOURCE_NAME;
    name.header.size = sizeof name;
    name.header.adapterId = paths[i].sourceInfo.adapterId;
    name.header.id = paths[i].sourceInfo.id;
    if (deviceInfo(&name.header) != ERROR_SUCCESS || lstrcmpiW(name.viewGdiDeviceName, device) != 0) continue;
    const DISPLAYCONFIG_RATIONAL rate = paths[i].targetInfo.refreshRate;
    return MakeRefreshRate(rate.Numerator, rate.Denominator);
  }
  return RefreshRate{0, 1};
}

// A rate below 2 Hz is a placeholder ("default" in the old interfaces).
bool Plausible(RefreshRate rate) { return rate.denominator != 0 && rate.numerator >= 2 * rate.denominator; }

// Counts vblanks for a source that gives no number of its own: the refreshes
// gone by since the last wake, at least one.
std::uint64_t CountSinceLastWake(VblankSource* source, std::int64_t now) {
  if (source->lastCounter == 0 || source->period <= 0) return 1;
  const std::int64_t gone = (now - source->lastCounter + source->period / 2) / source->period;
  return gone < 1 ? 1 : static_cast<std::uint64_t>(gone);
}

bool WaitOnce(VblankSource* source) {
  switch (source->kind) {
    case VblankKind::kDxgi: return SUCCEEDED(source->output->WaitForVBlank());
    case VblankKind::kKernel: {
      const KernelWait wait = {source->adapter, 0, source->sourceId};
      return reinterpret_cast<KernelWaitFunction>(source->waitFunction)(&wait) == 0;
    }
    case VblankKind::kDwm: return SUCCEEDED(reinterpret_cast<DwmFlushFunction>(source->waitFunction)());
    default: return false;
  }
}

// Times kProbeWaits waits; a failed wait or a mean below kStubShare of the
// expected refresh refuses the source. Otherwise keeps the rate, or the
// measured one when the two disagree.
bool Probe(VblankSource* source, RefreshRate stated, std::wstring* why, std::wstring* rateNote) {
  const std::int64_t expected =
      Plausible(stated) ? RefreshPeriodTicks(stated, source->frequency) : source->frequency / kAssumedHz;
  if (!WaitOnce(source)) {
    *why = L"待機が失敗";
    return false;
  }
  const std::int64_t start = Counter();
  for (int i = 0; i < kProbeWaits; ++i) {
    if (!WaitOnce(source)) {
      *why = L"待機が失敗";
      return false;
    }
  }
  const double mean = static_cast<double>(Counter() - start) / kProbeWaits;
  if (mean < kStubShare * static_cast<double>(expected)) {
    *why = L"待機がすぐ戻る";
    return false;
  }
  source->rate = stated;
  if (!Plausible(stated) || std::fabs(mean - static_cast<double>(expected)) > kRateTolerance * expected) {
    source->rate = MakeRefreshRate(static_cast<std::uint64_t>(source->frequency) * 1000,
                                   static_cast<std::uint64_t>(std::llround(mean * 1000)));
    *rateNote = L"（測定した更新頻度 " + RefreshRateText(source->rate) + L" Hz）";
  }
  source->period = RefreshPeriodTicks(source->rate, source->frequency);
  return true;
}

bool OpenDxgi(VblankSource* source, HWND window, std::wstring* why) {
  source->module = LoadLibraryW(L"dxgi.dll");
  auto create = LookUpFunction<CreateFactoryFunction>(source->module, "CreateDXGIFactory1");
  if (!create) {
    *why = L"CreateDXGIFactory1 がない";
    return false;
  }
  ComPtr<IDXGIFactory1> factory;
  if (FAILED(create(kDxgiFactory1Id, factory.ReceiveVoid())) || !factory) {
    *why = L"DXGI を作れない";
    return false;
  }
  ComPtr<IDXGIAdapter1> adapter;
  ComPtr<IDXGIOutput> output;
  if (FindMonitorOutput(factory.get(), MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &adapter, &output))
    source->output = output.Detach();
  if (!source->output) *why = L"ウィンドウのモニターの出力がない";
  return source->output != nullptr;
}

bool OpenKernel(VblankSource* source, HWND window, std::wstring* why) {
  source->module = LoadLibraryW(L"gdi32.dll");
  auto open = LookUpFunction<KernelOpenFunction>(source->module, "D3DKMTOpenAdapterFromHdc");
  source->waitFunction = reinterpret_cast<void*>(LookUpFunction<KernelWaitFunction>(source->module, "D3DKMTWaitForVerticalBlankEvent"));
  source->closeFunction = reinterpret_cast<void*>(LookUpFunction<KernelCloseFunction>(source->module, "D3DKMTCloseAdapter"));
  if (!open || !source->waitFunction || !source->closeFunction) {
    *why = L"D3DKMTWaitForVerticalBlankEvent がない";
    return false;
  }
  MONITORINFOEXW info;
  HDC dc = MonitorDevice(window, &info) ? CreateDCW(nullptr, info.szDevice, nullptr, nullptr) : nullptr;
  KernelOpenAdapter request = {dc, 0, {}, 0};
  const LONG status = dc ? open(&request) : -1;
  if (dc) DeleteDC(dc);
  if (status != 0) {
    source->closeFunction = nullptr;
    *why = L"アダプターを開けない";
    return false;
  }
  source->adapter = request.adapter;
  source->sourceId = request.sourceId;
  return true;
}

bool OpenDwm(VblankSource* source, std::wstring* why) {
  source->module = LoadLibraryW(L"dwmapi.dll");
  auto enabled = LookUpFunction<DwmEnabledFunction>(source->module, "DwmIsCompositionEnabled");
  auto timing = LookUpFunction<DwmTimingFunction>(source->module, "DwmGetCompositionTimingInfo");
  source->waitFunction = reinterpret_cast<void*>(LookUpFunction<DwmFlushFunction>(source->module, "DwmFlush"));
  source->timingFunction = reinterpret_cast<void*>(timing);
  BOOL on = FALSE;
  if (!enabled || !timing || !source->waitFunction || FAILED(enabled(&on)) || !on) {
    *why = L"合成が無効";
    return false;
  }
  DWM_TIMING_INFO before = {};
  before.cbSize = sizeof before;
  DWM_TIMING_INFO after = before;
  if (FAILED(timing(nullptr, &before)) || !WaitOnce(source) || !WaitOnce(source) || FAILED(timing(nullptr, &after)) ||
      after.cRefresh <= before.cRefresh) {
    *why = L"更新の番号が進まない";
    return false;
  }
  return true;
}

// Leaves the source empty but keeps the counter frequency.
void Clear(VblankSource* source) {
  const std::int64_t frequency = source->frequency;
  *source = VblankSource{};
  source->frequency = frequency;
}

}  // namespace

int FindMonitorOutput(IDXGIFactory1* factory, HMONITOR monitor, ComPtr<IDXGIAdapter1>* adapter,
                      ComPtr<IDXGIOutput>* output) {
  for (UINT a = 0; factory->EnumAdapters1(a, adapter->Receive()) == S_OK; ++a) {
    for (UINT o = 0; (*adapter)->EnumOutputs(o, output->Receive()) == S_OK; ++o) {
      DXGI_OUTPUT_DESC description = {};
      if (SUCCEEDED((*output)->GetDesc(&description)) && description.Monitor == monitor) return 1;
    }
  }
  output->Reset();
  adapter->Reset();
  return 0;
}

RefreshRate MonitorRefreshRate(HWND window) {
  MONITORINFOEXW info;
  if (!MonitorDevice(window, &info)) return RefreshRate{0, 1};
  const RefreshRate configured = DisplayConfigRate(info.szDevice);
  if (Plausible(configured)) return configured;
  DEVMODEW mode = {};
  mode.dmSize = sizeof mode;
  if (!EnumDisplaySettingsW(info.szDevice, ENUM_CURRENT_SETTINGS, &mode) || mode.dmDisplayFrequency < 2)
    return RefreshRate{0, 1};
  return MakeRefreshRate(mode.dmDisplayFrequency, 1);
}

const wchar_t* VblankSourceName(VblankKind kind) {
  switch (kind) {
    case VblankKind::kDxgi: return L"DXGI WaitForVBlank";
    case VblankKind::kKernel: return L"D3DKMTWaitForVerticalBlankEvent";
    case VblankKind::kDwm: return L"DWM";
    case VblankKind::kSimulated: return L"模擬";
    default: return L"タイマー";
  }
}

int OpenVblankSource(VblankSource* source, HWND window, RefreshRate rate, const SimulatedSourceOption* simulated,
                     std::wstring* report) {
  *source = VblankSource{};
  LARGE_INTEGER frequency;
  source->frequency = QueryPerformanceFrequency(&frequency) ? frequency.QuadPart : 0;
  report->clear();
  if (simulated) {
    source->kind = VblankKind::kSimulated;
    source->simulated = *simulated;
    source->rate = simulated->rate;
    source->period = RefreshPeriodTicks(simulated->rate, source->frequency);
    source->origin = Counter();
    // Sleep(1) then lasts about 1 ms instead of the default tick.
    timeBeginPeriod(1);
    *report = L"選択: 模擬 " + RefreshRateText(simulated->rate) + L" Hz\n";
    return 1;
  }
  const VblankKind order[] = {VblankKind::kDxgi, VblankKind::kKernel, VblankKind::kDwm};
  std::wstring chosen;
  for (VblankKind kind : order) {
    std::wstring why, rateNote;
    bool opened = false;
    source->kind = kind;
    switch (kind) {
      case VblankKind::kDxgi: opened = OpenDxgi(source, window, &why); break;
      case VblankKind::kKernel: opened = OpenKernel(source, window, &why); break;
      default: opened = OpenDwm(source, &why); break;
    }
    if (opened && Probe(source, rate, &why, &rateNote)) {
      chosen = L"選択: " + std::wstring(VblankSourceName(kind)) + rateNote + L"\n";
      break;
    }
    *report += std::wstring(VblankSourceName(kind)) + L": 不可（" + why + L"）\n";
    CloseVblankSource(source);
  }
  if (source->kind == VblankKind::kNone) {
    *report += L"選択: タイマー\n";
    return 0;
  }
  *report = chosen + *report;
  return 1;
}

int WaitForNextVblank(VblankSource* source, std::uint64_t* vblank, std::int64_t* counter) {
  if (source->kind == VblankKind::kSimulated) {
    if (source->period <= 0) return 0;
    // The wake comes at the first vblank after the last one seen that is not
    // swallowed; the number it reports is the latest one gone by.
    std::uint64_t next = source->vblank + 1;
    const std::uint32_t stall = source->simulated.stallAfter;
    // A display that sleeps or is removed: the wait never returns.
    if (stall != 0 && next > stall) Sleep(INFINITE);
    const std::uint32_t drop = source->simulated.dropEvery;
    if (drop != 0 && next % drop == 0) ++next;
    const std::int64_t due = source->origin + static_cast<std::int64_t>(next) * source->period;
    std::int64_t now = Counter();
    while (now < due) {
      const std::int64_t ms = (due - now) * 1000 / source->frequency;
      Sleep(ms > 1 ? static_cast<DWORD>(ms - 1) : 1);
      now = Counter();
    }
    const std::uint64_t seen = static_cast<std::uint64_t>((now - source->origin) / source->period);
    source->vblank = seen;
    source->lastCounter = now;
    *vblank = seen;
    *counter = now;
    return 1;
  }
  if (source->kind == VblankKind::kNone || !WaitOnce(source)) return 0;
  const std::int64_t now = Counter();
  if (source->kind == VblankKind::kDwm) {
    DWM_TIMING_INFO timing = {};
    timing.cbSize = sizeof timing;
    if (FAILED(reinterpret_cast<DwmTimingFunction>(source->timingFunction)(nullptr, &timing))) return 0;
    source->vblank = timing.cRefresh > source->vblank ? timing.cRefresh : source->vblank + 1;
  } else {
    source->vblank += CountSinceLastWake(source, now);
  }
  source->lastCounter = now;
  *vblank = source->vblank;
  *counter = now;
  return 1;
}

std::int64_t VblankCounter(const VblankSource& source, std::uint64_t vblank) {
  if (source.kind == VblankKind::kSimulated) return source.origin + static_cast<std::int64_t>(vblank) * source.period;
  return source.lastCounter;
}

void CloseVblankSource(VblankSource* source) {
  if (source->kind == VblankKind::kNone && !source->module) return;
  if (source->output) source->output->Release();
  if (source->kind == VblankKind::kKernel && source->closeFunction) {
    const KernelClose request = {source->adapter};
    reinterpret_cast<KernelCloseFunction>(source->closeFunction)(&request);
  }
  if (source->kind == VblankKind::kSimulated) timeEndPeriod(1);
  if (source->module) FreeLibrary(source->module);
  Clear(source);
}
