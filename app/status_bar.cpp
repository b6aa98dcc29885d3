// The status bar: see status_bar.h.
#include "app/status_bar.h"

#include <commctrl.h>

#include <cstdint>
#include <cwchar>

#include "app/playback.h"
#include "app/status_texts.h"
#include "app/window_state.h"
#include "frc/cycle_values.h"
#include "frc/engine_state.h"
#include "frc/level_tables.h"
#include "frc/light_statistics.h"
#include "frc/viewing_geometry.h"
#include "frc/visible_flicker.h"
#include "imaging/dib_surface.h"
#include "present/presentation.h"
#include "views/image_view.h"

namespace {

enum StatusPart { kFramePart = 0, kZoomPart = 1, kPixelPart = 2, kPresentationPart = 3, kPartCount = 4 };

// Right edges of the frame and zoom parts, and the width of the presentation
// part, at 96 dots per inch; the pixel part takes what is left between.
constexpr int kFramePartEnd = 320;
constexpr int kZoomPartEnd = 420;
constexpr int kPresentationPartWidth = 330;
constexpr int kTextLength = 256;
constexpr ULONGLONG kPlayingRefreshMs = 100;

// The 4 bytes (blue, green, red, unused) of pixel (x, y), y from the top, of a
// 32-bpp bottom-up surface.
const std::uint8_t* PixelBytes(const DibSurface& surface, int x, int y) {
  const int width = surface.header.bmiHeader.biWidth;
  const int height = surface.header.bmiHeader.biHeight;
  return static_cast<const std::uint8_t*>(surface.bits) +
         (static_cast<size_t>(height - 1 - y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 4;
}

// The 0x00RRGGBB value of pixel (x, y).
std::uint32_t PixelOf(const DibSurface& surface, int x, int y) {
  const std::uint8_t* bytes = PixelBytes(surface, x, y);
  return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16;
}

// A picture opened or pasted shows in the original view before the frames are
// rebuilt from it, so the sizes may differ for a moment.
bool Holds(const DibSurface& surface, POINT pixel) {
  return surface.bits && pixel.x < surface.header.bmiHeader.biWidth && pixel.y < surface.header.bmiHeader.biHeight;
}

unsigned Red(std::uint32_t pixel) { return pixel >> 16 & 0xFF; }
unsigned Green(std::uint32_t pixel) { return pixel >> 8 & 0xFF; }
unsigned Blue(std::uint32_t pixel) { return pixel & 0xFF; }

// A refresh with every frame change sets only the parts whose text changed.
void SetPart(int part, const wchar_t* text) {
  MainWindowState& state = WindowState();
  if (!state.statusBar || state.statusTexts[part] == text) return;
  state.statusTexts[part] = text;
  SendMessageW(state.statusBar, SB_SETTEXTW, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(text));
}

void FrameText(wchar_t* text) {
  const wchar_t* pause = PlaybackPaused() ? L"（一時停止）" : L"";
  const std::uint32_t interval = FrcCount;
  int length = 0;
  if (FrameSet && interval != 0) {
    length = std::swprintf(text, kTextLength, L"フレーム %u / %u%ls", static_cast<unsigned>(CurrentFrame) + 1,
                           static_cast<unsigned>(interval), pause);
  } else {
    length = std::swprintf(text, kTextLength, L"%ls", pause);
  }
  if (WindowState().flashWarning && length >= 0)
    length += std::swprintf(text + length, static_cast<size_t>(kTextLength - length), L"  点滅注意");
  const std::uint32_t saveDone = WindowState().saveDone, saveTotal = WindowState().saveTotal;
  if (saveTotal != 0 && length >= 0)
    std::swprintf(text + length, static_cast<size_t>(kTextLength - length), L"  保存中 %u / %u",
                  static_cast<unsigned>(saveDone), static_cast<unsigned>(saveTotal));
}

// Source, shown and (FRC view) cycle-mean values of the pixel under the
// cursor, and over the FRC view what its cycle looks like in light; empty
// when the cursor is not over a picture.
void PixelText(wchar_t* text) {
  text[0] = L'\0';
  const HWND pointerView = WindowState().pointerView;
  const POINT pointerClient = WindowState().pointerClient;
  POINT pixel;
  if (!pointerView || !PicturePixelAt(pointerView, pointerClient, &pixel) || !Holds(SourceSurface, pixel)) return;
  const std::uint32_t source = PixelOf(SourceSurface, pixel.x, pixel.y);
  std::uint32_t shown = source;
  if (pointerView == FrcView) {
    MutexLock guard(FrameSetLock());
    const DibSurface* shownPicture = CurrentFramePicture();
    if (!shownPicture || !Holds(*shownPicture, pixel)) return;
    shown = PixelOf(*shownPicture, pixel.x, pixel.y);
  }
  const int length =
      std::swprintf(text, kTextLength, L"x %ld, y %ld  元 R%u G%u B%u  表示 R%u G%u B%u", pixel.x, pixel.y, Red(source),
                    Green(source), Blue(source), Red(shown), Green(shown), Blue(shown));
  const std::uint32_t interval = FrcCount;
  if (pointerView != FrcView || interval == 0 || PresentTableInterval() != interval || length < 0) return;
  // The cycle from the picture and the tables: the frames need not be at hand.
  PixelCycle cycle;
  const int memoryRow = SourceSurface.header.bmiHeader.biHeight - 1 - pixel.y;
  MeasurePixelCycle(PixelBytes(SourceSurface, pixel.x, pixel.y), static_cast<std::uint32_t>(pixel.x),
                    static_cast<std::uint32_t>(memoryRow), &cycle);
  const double red = cycle.sums[2], green = cycle.sums[1], blue = cycle.sums[0];
  const PixelLight& light = cycle.light;
  VisibleFlicker visible;
  MeasureVisibleFlicker(static_cast<const std::uint8_t*>(SourceSurface.bits), SourceSurface.header.bmiHeader.biWidth,
                        SourceSurface.header.bmiHeader.biHeight, static_cast<std::uint32_t>(pixel.x),
                        static_cast<std::uint32_t>(memoryRow), PixelsPerDegree(CurrentViewing()), &visible);
  const std::uint32_t visibleTenths = ModulationTenthsOfPercent(visible.modulation);
  std::swprintf(text + length, static_cast<size_t>(kTextLength - length),
                L"  平均 R%.1f G%.1f B%.1f  光 R%u.%u G%u.%u B%u.%u  ちらつき %u.%u%% %.1f Hz  見えるちらつき %u.%u%%",
                red / interval, green / interval, blue / interval, light.meanTenths[2] / 10, light.meanTenths[2] % 10,
                light.meanTenths[1] / 10, light.meanTenths[1] % 10, light.meanTenths[0] / 10, light.meanTenths[0] % 10,
                light.modulationTenths / 10, light.modulationTenths % 10, FlickerHertz(light.period, FrameDuration),
                visibleTenths / 10, visibleTenths % 10);
}

}  // namespace

HWND CreateStatusBar(HWND parent, HINSTANCE instance) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  HWND bar = CreateWindowExW(0, STATUSCLASSNAMEW, nullptr, WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, parent,
                             nullptr, instance, nullptr);
  MainWindowState& state = WindowState();
  // The texts and the pointer start empty: the window's creation has just
  // reset the whole record.
  state.statusBar = bar;
  if (!bar) return nullptr;
  HDC dc = GetDC(parent);
  state.statusDotsPerInch = GetDeviceCaps(dc, LOGPIXELSX);
  ReleaseDC(parent, dc);
  RECT client;
  GetClientRect(parent, &client);
  FitStatusBar(client.right);
  RefreshStatusBar();
  return bar;
}

void FitStatusBar(int width) {
  HWND bar = WindowState().statusBar;
  if (!bar) return;
  const int dpi = WindowState().statusDotsPerInch;
  const int zoomEnd = MulDiv(kZoomPartEnd, dpi, 96);
  const int pixelEnd = width - MulDiv(kPresentationPartWidth, dpi, 96);
  int edges[] = {MulDiv(kFramePartEnd, dpi, 96), zoomEnd, pixelEnd > zoomEnd ? pixelEnd : zoomEnd, -1};
  SendMessageW(bar, SB_SETPARTS, kPartCount, reinterpret_cast<LPARAM>(edges));
}

void SetStatusPointer(HWND view, POINT client) {
  WindowState().pointerView = view;
  WindowState().pointerClient = client;
  RefreshStatusBar();
}

void RefreshStatusBar() {
  if (!WindowState().statusBar) return;
  wchar_t text[kTextLength];
  FrameText(text);
  SetPart(kFramePart, text);
  std::swprintf(text, kTextLength, L"倍率 %d%%", WindowState().zoom.load() * 100);
  SetPart(kZoomPart, text);
  PixelText(text);
  SetPart(kPixelPart, text);
  const PresentationStatus presentation = CurrentPresentationStatus();
  SetPart(kPresentationPart, PresentationStatusText(presentation.searching, presentation.locked, presentation.rate,
                                                    presentation.timing, presentation.figures, presentation.simulated)
                                 .c_str());
}

void RefreshStatusBarWhilePlaying() {
  const ULONGLONG now = GetTickCount64();
  if (now - WindowState().statusRefreshedAt < kPlayingRefreshMs) return;
  WindowState().statusRefreshedAt = now;
  RefreshStatusBar();
}

void SetStatusSaveProgress(std::uint32_t done, std::uint32_t total) {
  WindowState().saveDone = done;
  WindowState().saveTotal = total;
  RefreshStatusBar();
}

std::wstring StatusText(int part) {
  HWND bar = WindowState().statusBar;
  if (!bar) return std::wstring();
  const LRESULT length = LOWORD(SendMessageW(bar, SB_GETTEXTLENGTHW, static_cast<WPARAM>(part), 0));
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  SendMessageW(bar, SB_GETTEXTW, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(&text[0]));
  text.resize(static_cast<size_t>(length));
  return text;
}
