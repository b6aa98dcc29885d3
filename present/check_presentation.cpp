// The presentation check: see check_presentation.h.
//
// Three threads: this one owns the window and pumps its messages (DXGI may
// send it messages while presenting), the player presents one frame per
// refresh, the reader reads the desktop back. The player and the reader share
// nothing but the stop flag; the reader's results are read here only after it
// has ended.
#include "present/check_presentation.h"

#include <d3d11.h>
#include <dxgi1_2.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "base/console_output.h"
#include "base/exit_codes.h"
#include "base/number_text.h"
#include "base/threads.h"
#include "present/flip_chain.h"
#include "present/screen_readback.h"
#include "present/vblank_source.h"
#include "views/window_class.h"

namespace {

const wchar_t kCheckClass[] = L"Quillane Presentation Check";
constexpr int kWindowSize = 256;
constexpr UINT kAcquireTimeoutMs = 100;

// The desktop duplication of the primary monitor and what reading it needs.
// The libraries come first, so that they go last.
struct Duplication {
  ScopedModule dxgi;
  ScopedModule d3d11;
  ComPtr<ID3D11Device> device;
  ComPtr<ID3D11DeviceContext> context;
  ComPtr<IDXGIOutputDuplication> duplication;
  ComPtr<ID3D11Texture2D> staging;  // the marker's pixels, copied for the processor to read
  RECT desktop = {};                // the monitor in desktop coordinates
  UINT rateNumerator = 0;
  UINT rateDenominator = 0;
};

std::wstring Hex(HRESULT result) {
  wchar_t text[16];
  std::swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(result));
  return text;
}

// Opens the duplication; on failure, reason says what is missing.
int OpenDuplication(Duplication* open, std::wstring* reason) {
  using CreateFactory = HRESULT(WINAPI*)(REFIID, void**);
  open->dxgi.Reset(LoadLibraryW(L"dxgi.dll"));
  open->d3d11.Reset(LoadLibraryW(L"d3d11.dll"));
  if (!open->dxgi.valid() || !open->d3d11.valid()) {
    *reason = L"no DXGI / Direct3D 11";
    return 0;
  }
  const auto createFactory = LookUpFunction<CreateFactory>(open->dxgi.get(), "CreateDXGIFactory1");
  const auto createDevice = LookUpFunction<PFN_D3D11_CREATE_DEVICE>(open->d3d11.get(), "D3D11CreateDevice");
  ComPtr<IDXGIFactory1> factory;
  if (!createFactory || !createDevice || FAILED(createFactory(__uuidof(IDXGIFactory1), factory.ReceiveVoid()))) {
    *reason = L"no DXGI 1.1 / Direct3D 11";
    return 0;
  }
  ComPtr<IDXGIAdapter1> adapter;
  ComPtr<IDXGIOutput> output;
  ComPtr<IDXGIOutput1> output1;
  const HMONITOR primary = MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
  if (!FindMonitorOutput(factory.get(), primary, &adapter, &output)) {
    *reason = L"no output for the primary monitor";
    return 0;
  }
  if (FAILED(output->QueryInterface(__uuidof(IDXGIOutput1), output1.ReceiveVoid()))) {
    *reason = L"IDXGIOutput1 missing: Windows 8 or later is needed";
    return 0;
  }
  HRESULT result = createDevice(adapter.get(), D3D_DRIVER_TYPE_UNKNOWN, nullptr, 0, nullptr, 0, D3D11_SDK_VERSION,
                                open->device.Receive(), nullptr, open->context.Receive());
  if (FAILED(result)) {
    *reason = L"D3D11CreateDevice " + Hex(result);
    return 0;
  }
  result = output1->DuplicateOutput(open->device.get(), open->duplication.Receive());
  if (FAILED(result)) {
    *reason = L"DuplicateOutput " + Hex(result);
    return 0;
  }
  DXGI_OUTDUPL_DESC description = {};
  open->duplication->GetDesc(&description);
  DXGI_OUTPUT_DESC place = {};
  output->GetDesc(&place);
  open->desktop = place.DesktopCoordinates;
  open->rateNumerator = description.ModeDesc.RefreshRate.Numerator;
  open->rateDenominator = description.ModeDesc.RefreshRate.Denominator;
  if (open->rateNumerator == 0 || open->rateDenominator == 0) {
    *reason = L"the refresh rate is not known";
    return 0;
  }
  if (description.Rotation != DXGI_MODE_ROTATION_IDENTITY && description.Rotation != DXGI_MODE_ROTATION_UNSPECIFIED) {
    *reason = L"the monitor is rotated";
    return 0;
  }
  D3D11_TEXTURE2D_DESC staging = {};
  staging.Width = kMarkerWidth;
  staging.Height = kMarkerHeight;
  staging.MipLevels = 1;
  staging.ArraySize = 1;
  staging.Format = DXGI_FORMAT_B8G8R8A8_UNORM;  // the desktop image's format
  staging.SampleDesc.Count = 1;
  staging.Usage = D3D11_USAGE_STAGING;
  staging.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
  result = open->device->CreateTexture2D(&staging, nullptr, open->staging.Receive());
  if (FAILED(result)) {
    *reason = L"CreateTexture2D " + Hex(result);
    return 0;
  }
  return 1;
}

struct CheckRun {
  HWND window;
  Duplication* duplication;
  POINT marker;  // the marker's top-left corner within the duplicated image
  LONGLONG readUntil;
  std::atomic<bool> stop;
  // Written by the player before it ends.
  bool chainMade;
  bool presentFailed;  // the player stopped early, and stopped the reader
  // Written by the reader before it ends.
  std::vector<DesktopUpdate> updates;
  std::wstring lost;  // why the reading stopped early; empty when it ran its time
};

LONGLONG Now() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

unsigned __stdcall PlayCycle(void* parameter) {
  CheckRun* run = static_cast<CheckRun*>(parameter);
  FlipChain* chain = CreateFlipChain(run->window, kWindowSize, kWindowSize);
  run->chainMade = chain != nullptr;
  if (!chain) {
    run->stop = true;
    return 0;
  }
  for (int frame = 0; !run->stop.load(); frame = (frame + 1) % kCheckInterval) {
    HDC dc = TakeFlipChainDc(chain);
    if (dc) {
      DrawCheckFrame(dc, kWindowSize, kWindowSize, frame);
      ReleaseFlipChainDc(chain);
    }
    if (!dc || !PresentFlipChain(chain)) {
      run->presentFailed = true;
      run->stop = true;
    }
  }
  DestroyFlipChain(chain);
  return 0;
}

// The marker of the desktop image just acquired; -1 when it cannot be read.
int ReadMarker(CheckRun* run, IDXGIResource* resource) {
  Duplication* open = run->duplication;
  ComPtr<ID3D11Texture2D> image;
  if (FAILED(resource->QueryInterface(__uuidof(ID3D11Texture2D), image.ReceiveVoid()))) return -1;
  const D3D11_BOX box = {static_cast<UINT>(run->marker.x), static_cast<UINT>(run->marker.y), 0,
                         static_cast<UINT>(run->marker.x + kMarkerWidth), static_cast<UINT>(run->marker.y + kMarkerHeight),
                         1};
  open->context->CopySubresourceRegion(open->staging.get(), 0, 0, 0, 0, image.get(), 0, &box);
  D3D11_MAPPED_SUBRESOURCE mapped = {};
  if (FAILED(open->context->Map(open->staging.get(), 0, D3D11_MAP_READ, 0, &mapped))) return -1;
  const int frame = ReadFrameMarker(static_cast<const std::uint8_t*>(mapped.pData), mapped.RowPitch);
  open->context->Unmap(open->staging.get(), 0);
  return frame;
}

unsigned __stdcall ReadDesktop(void* parameter) {
  CheckRun* run = static_cast<CheckRun*>(parameter);
  IDXGIOutputDuplication* duplication = run->duplication->duplication.get();
  while (!run->stop.load() && Now() < run->readUntil) {
    DXGI_OUTDUPL_FRAME_INFO information = {};
    ComPtr<IDXGIResource> resource;
    const HRESULT result = duplication->AcquireNextFrame(kAcquireTimeoutMs, &information, resource.Receive());
    if (result == DXGI_ERROR_WAIT_TIMEOUT) continue;
    if (FAILED(result)) {
      run->lost = L"AcquireNextFrame " + Hex(result);
      return 0;
    }
    // A change of the pointer alone has no time of its own.
    if (information.LastPresentTime.QuadPart != 0) {
      const int frame = ReadMarker(run, resource.get());
      // Until the window is first seen, the changes are someone else's.
      if (frame >= 0 || !run->updates.empty())
        run->updates.push_back({information.LastPresentTime.QuadPart, frame, information.AccumulatedFrames});
    }
    resource.Reset();
    duplication->ReleaseFrame();
  }
  return 0;
}

LRESULT OnPaint(HWND window) {
  // The player draws; the window only has nothing left to paint.
  PAINTSTRUCT paint;
  BeginPaint(window, &paint);
  EndPaint(window, &paint);
  return 0;
}

LRESULT CALLBACK CheckWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: return OnPaint(window);
    case WM_ERASEBKGND: return 1;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// Centred on the primary monitor, above other windows, without a frame.
HWND CreateCheckWindow(HINSTANCE instance) {
  WNDCLASSEXW windowClass;
  FillWindowClass(&windowClass, instance, CheckWindowProc, kCheckClass);
  RegisterClassExW(&windowClass);
  const int left = (GetSystemMetrics(SM_CXSCREEN) - kWindowSize) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - kWindowSize) / 2;
  return CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kCheckClass, L"Quillane", WS_POPUP | WS_VISIBLE, left,
                         top, kWindowSize, kWindowSize, nullptr, nullptr, instance, nullptr);
}

// Waits for thread to end while the window's messages are handled.
void WaitPumping(HANDLE thread) {
  ServeWhileWaiting(thread, nullptr, nullptr, INFINITE, INFINITE, Serving::kAllMessages);
}

int CannotCheck(const std::wstring& reason) {
  Say(Stream::kOutput, L"presentation check: not available here: " + reason,
      L"表示の確認: この環境では使えません: " + reason);
  return kExitCannotCheck;
}

std::wstring Rate(const Duplication& open) {
  wchar_t text[64];
  std::swprintf(text, 64, L"%.3f Hz (%u/%u)", static_cast<double>(open.rateNumerator) / open.rateDenominator,
                open.rateNumerator, open.rateDenominator);
  return text;
}

// Prints the frame at every refresh and the figures; returns the exit code.
int Report(const std::vector<int>& frames) {
  std::vector<std::uint8_t> notes;
  const ReadbackTally tally = CountReadback(frames.data(), frames.size(), kCheckInterval, 1, &notes);
  std::wstring lines;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    lines += L"refresh " + std::to_wstring(i) + L": ";
    lines += frames[i] < 0 ? L"unreadable" : L"frame " + std::to_wstring(frames[i]);
    if (notes[i] & kRefreshDoubled) lines += L", doubled";
    if (notes[i] & kRefreshAfterMiss) lines += L", after missed frames";
    if (notes[i] & kRefreshCutShort) lines += L", after a frame cut short";
    lines += L"\n";
  }
  Write(Stream::kOutput, lines);
  const std::wstring refreshes = std::to_wstring(tally.refreshes), doubled = std::to_wstring(tally.doubled);
  const std::wstring missed = std::to_wstring(tally.missed), unreadable = std::to_wstring(tally.unreadable);
  Say(Stream::kOutput,
      L"refreshes " + refreshes + L", frames doubled " + doubled + L", frames missed " + missed +
          L", refreshes unreadable " + unreadable,
      L"リフレッシュ " + refreshes + L"、重複 " + doubled + L"、欠落 " + missed + L"、読み取れず " + unreadable);
  const bool clean = tally.refreshes > 0 && tally.doubled == 0 && tally.missed == 0 && tally.unreadable == 0;
  return clean ? kExitWritten : kExitPresentationFaults;
}

int SecondsFromText(const wchar_t* text) {
  if (!text) return kCheckDefaultSeconds;
  const wchar_t* end = text;
  const std::uint32_t seconds = ParseUnsignedText(text, &end);
  const bool whole = end != text && *end == L'\0' && text[0] != L'-' && text[0] != L'+';
  return whole && seconds >= 1 && seconds <= static_cast<std::uint32_t>(kCheckMaxSeconds) ? int(seconds) : 0;
}

}  // namespace

void DrawCheckFrame(HDC dc, int width, int height, int frame) {
  const int grey = 64 + (frame * 8) % 128;
  const RECT all = {0, 0, width, height};
  SetDCBrushColor(dc, RGB(grey, grey, grey));
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
  for (int block = 0; block < kMarkerBlocks; ++block) {
    const int left = kCheckMarkerLeft + block * kMarkerBlockSize;
    const RECT square = {left, kCheckMarkerTop, left + kMarkerBlockSize, kCheckMarkerTop + kMarkerBlockSize};
    FillRect(dc, &square, static_cast<HBRUSH>(GetStockObject(MarkerBlockIsWhite(frame, block) ? WHITE_BRUSH
                                                                                            : BLACK_BRUSH)));
  }
}

int RunPresentationCheck(HINSTANCE instance, const wchar_t* secondsText) {
  const int seconds = SecondsFromText(secondsText);
  if (seconds == 0) {
    const std::wstring text = secondsText;
    const std::wstring limit = std::to_wstring(kCheckMaxSeconds);
    Say(Stream::kError, L"error: the seconds must be a whole number from 1 to " + limit + L": " + text,
        L"エラー: 秒数は1から" + limit + L"までの整数である必要があります: " + text);
    return kExitUsage;
  }
  Duplication duplication;
  std::wstring reason;
  if (!OpenDuplication(&duplication, &reason)) return CannotCheck(reason);

  HWND window = CreateCheckWindow(instance);
  if (!window) return CannotCheck(L"no window");
  POINT marker = {kCheckMarkerLeft, kCheckMarkerTop};
  ClientToScreen(window, &marker);
  const RECT& desktop = duplication.desktop;
  CheckRun run;
  run.window = window;
  run.duplication = &duplication;
  run.marker = {marker.x - desktop.left, marker.y - desktop.top};
  run.stop = false;
  run.chainMade = false;
  run.presentFailed = false;
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  // Half a second more than asked: the window takes a moment to appear.
  run.readUntil = Now() + frequency.QuadPart * seconds + frequency.QuadPart / 2;
  Say(Stream::kOutput,
      L"presentation check: " + Rate(duplication) + L", " + std::to_wstring(kCheckInterval) +
          L" frames, 1 refresh each, " + std::to_wstring(seconds) + L" s",
      L"表示の確認: " + Rate(duplication) + L"、" + std::to_wstring(kCheckInterval) + L" フレーム、各1リフレッシュ、" +
          std::to_wstring(seconds) + L" 秒");

  ScopedHandle player = StartThread(PlayCycle, &run);
  ScopedHandle reader = player.valid() ? StartThread(ReadDesktop, &run) : ScopedHandle();
  if (reader.valid()) WaitPumping(reader.get());
  run.stop = true;
  if (player.valid()) WaitPumping(player.get());
  DestroyWindow(window);
  UnregisterClassW(kCheckClass, instance);

  if (!player.valid() || !reader.valid()) return CannotCheck(L"no thread");
  if (!run.chainMade) return CannotCheck(L"no flip-model swap chain");
  if (run.presentFailed) return CannotCheck(L"presenting through the swap chain failed");
  if (!run.lost.empty()) return CannotCheck(run.lost);
  if (run.updates.empty()) return CannotCheck(L"the check's window was never seen on the screen");
  return Report(FramesPerRefresh(run.updates.data(), run.updates.size(), duplication.rateNumerator,
                                 duplication.rateDenominator, frequency.QuadPart));
}
