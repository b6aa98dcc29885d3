// The flip-model swap chain of a view: see flip_chain.h.
#include "present/flip_chain.h"

#include <d3d11.h>
#include <dxgi1_2.h>

#include "base/scoped_handle.h"

struct FlipChain {
  ScopedModule d3d11;  // held while the device lives: first, so that it goes last
  ComPtr<ID3D11Device> device;
  ComPtr<ID3D11DeviceContext> context;
  ComPtr<IDXGISwapChain1> swapChain;
  ComPtr<IDXGISurface1> drawing;  // the back buffer while its DC is taken
};

namespace {

// Hardware first; where there is no hardware device, the software rasterizer.
int CreateDevice(FlipChain* chain) {
  const auto create = LookUpFunction<PFN_D3D11_CREATE_DEVICE>(chain->d3d11.get(), "D3D11CreateDevice");
  if (!create) return 0;
  for (D3D_DRIVER_TYPE type : {D3D_DRIVER_TYPE_HARDWARE, D3D_DRIVER_TYPE_WARP}) {
    // BGRA support: a GDI-compatible buffer is B8G8R8A8.
    if (SUCCEEDED(create(nullptr, type, nullptr, D3D11_CREATE_DEVICE_BGRA_SUPPORT, nullptr, 0, D3D11_SDK_VERSION,
                         chain->device.Receive(), nullptr, chain->context.Receive())))
      return 1;
  }
  return 0;
}

int CreateSwapChain(FlipChain* chain, HWND window, int width, int height) {
  ComPtr<IDXGIDevice1> dxgiDevice;
  ComPtr<IDXGIAdapter> adapter;
  ComPtr<IDXGIFactory2> factory;
  if (FAILED(chain->device->QueryInterface(__uuidof(IDXGIDevice1), dxgiDevice.ReceiveVoid())) ||
      FAILED(dxgiDevice->GetAdapter(adapter.Receive())) ||
      FAILED(adapter->GetParent(__uuidof(IDXGIFactory2), factory.ReceiveVoid())))
    return 0;
  // One frame queued at most: a present waits for the one before to be shown,
  // so the frame drawn is the one shown next.
  dxgiDevice->SetMaximumFrameLatency(1);

  DXGI_SWAP_CHAIN_DESC1 description = {};
  description.Width = static_cast<UINT>(width);
  description.Height = static_cast<UINT>(height);
  description.Format = DXGI_FORMAT_B8G8R8A8_UNORM;
  description.SampleDesc.Count = 1;
  description.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
  description.BufferCount = 2;
  description.Scaling = DXGI_SCALING_STRETCH;
  description.SwapEffect = DXGI_SWAP_EFFECT_FLIP_SEQUENTIAL;
  description.AlphaMode = DXGI_ALPHA_MODE_IGNORE;
  description.Flags = DXGI_SWAP_CHAIN_FLAG_GDI_COMPATIBLE;
  if (FAILED(factory->CreateSwapChainForHwnd(chain->device.get(), window, &description, nullptr, nullptr,
                                             chain->swapChain.Receive())))
    return 0;
  // Alt+Enter stays the program's, not a switch to full screen.
  factory->MakeWindowAssociation(window, DXGI_MWA_NO_ALT_ENTER);
  return 1;
}

}  // namespace

FlipChain* CreateFlipChain(HWND window, int width, int height) {
  if (!window || width <= 0 || height <= 0) return nullptr;
  FlipChain* chain = new FlipChain();
  chain->d3d11.Reset(LoadLibraryW(L"d3d11.dll"));
  if (!chain->d3d11.valid() || !CreateDevice(chain) || !CreateSwapChain(chain, window, width, height)) {
    DestroyFlipChain(chain);
    return nullptr;
  }
  return chain;
}

void DestroyFlipChain(FlipChain* chain) {
  if (!chain) return;
  ReleaseFlipChainDc(chain);
  chain->swapChain.Reset();
  if (chain->context) chain->context->ClearState();
  chain->context.Reset();
  chain->device.Reset();
  delete chain;
}

int ResizeFlipChain(FlipChain* chain, int width, int height) {
  if (chain->drawing || width <= 0 || height <= 0) return 0;
  return SUCCEEDED(chain->swapChain->ResizeBuffers(0, static_cast<UINT>(width), static_cast<UINT>(height),
                                                   DXGI_FORMAT_UNKNOWN, DXGI_SWAP_CHAIN_FLAG_GDI_COMPATIBLE))
             ? 1
             : 0;
}

HDC TakeFlipChainDc(FlipChain* chain) {
  if (chain->drawing) return nullptr;
  // In a flip-model chain, buffer 0 is always the one to draw next.
  if (FAILED(chain->swapChain->GetBuffer(0, __uuidof(IDXGISurface1), chain->drawing.ReceiveVoid()))) return nullptr;
  HDC dc = nullptr;
  if (FAILED(chain->drawing->GetDC(FALSE, &dc))) {
    chain->drawing.Reset();
    return nullptr;
  }
  return dc;
}

void ReleaseFlipChainDc(FlipChain* chain) {
  if (!chain->drawing) return;
  chain->drawing->ReleaseDC(nullptr);  // null: the whole surface was drawn
  chain->drawing.Reset();
}

int PresentFlipChain(FlipChain* chain) {
  if (chain->drawing) return 0;
  // Success codes such as "occluded" count as presented: the frame is queued.
  return SUCCEEDED(chain->swapChain->Present(1, 0)) ? 1 : 0;
}

StatisticsRead ReadFlipChainStatistics(FlipChain* chain, PresentStatistics* statistics) {
  DXGI_FRAME_STATISTICS frame = {};
  const HRESULT result = chain->swapChain->GetFrameStatistics(&frame);
  if (result == DXGI_ERROR_FRAME_STATISTICS_DISJOINT) return StatisticsRead::kNotYet;
  if (FAILED(result)) return StatisticsRead::kUnavailable;
  // Before the first present has been shown the counters are all zero.
  if (frame.PresentCount == 0 && frame.PresentRefreshCount == 0) return StatisticsRead::kNotYet;
  UINT lastPresent = 0;
  if (FAILED(chain->swapChain->GetLastPresentCount(&lastPresent))) return StatisticsRead::kUnavailable;
  statistics->presentCount = frame.PresentCount;
  statistics->presentRefreshCount = frame.PresentRefreshCount;
  statistics->syncRefreshCount = frame.SyncRefreshCount;
  statistics->syncQpcTime = frame.SyncQPCTime.QuadPart;
  statistics->lastPresentCount = lastPresent;
  return StatisticsRead::kRead;
}
