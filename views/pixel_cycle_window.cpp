// The pixel's cycle: see pixel_cycle_window.h.
#include "views/pixel_cycle_window.h"

#include <cstdint>
#include <cwchar>

#include "frc/cycle_values.h"
#include "frc/engine_state.h"
#include "frc/level_tables.h"
#include "frc/frame_mapping.h"
#include "frc/light_statistics.h"
#include "frc/viewing_geometry.h"
#include "frc/visible_flicker.h"
#include "imaging/dib_surface.h"
#include "views/window_class.h"


namespace {


constexpr wchar_t kClassName[] = L"Pixel Cycle";
constexpr wchar_t kTitle[] = L"画素のサイクル";
constexpr int kLineLength = 128;
constexpr int kMargin = 8;
constexpr int kCellWidth = 30;         // at the window's first size
constexpr int kLargestStripWidth = 760;
constexpr int kSmallestStripWidth = 240;
constexpr int kStripLines = 3;         // red, green, blue
constexpr int kMeanLines = 4;          // code, light, source, visible flicker

const wchar_t* const kChannelNames[kStripLines] = {L"R", L"G", L"B"};

// What the window shows; computed by ReadContent.
struct CycleContent {
  POINT pixel;
  std::uint32_t interval;                  // 0: no cycle holds the pixel
  std::uint8_t values[kStripLines][255];   // red, green, blue, frame by frame
  std::uint32_t sums[kStripLines];
  std::uint32_t source[kStripLines];
  PixelLight light;                        // its arrays are blue, green, red
  VisibleFlicker visible;                  // over the disc the eye averages
  std::uint32_t offset;                    // the pixel's phase in frame 0
};

// The window's state; user-interface thread only.
struct CycleWindowState {
  HWND window = nullptr;  // while it is open; null while closed
  CycleContent content;
  HFONT font = nullptr;  // owned: made in OnCreate, deleted in OnDestroy
};
CycleWindowState cycleView;

// Index into PixelLight's blue-green-red arrays for display channel c.
int ByteOf(int channel) { return 2 - channel; }

bool Holds(const DibSurface& surface, POINT pixel) {
  return surface.bits && pixel.x < surface.header.bmiHeader.biWidth && pixel.y < surface.header.bmiHeader.biHeight;
}

const std::uint8_t* PixelBytes(const DibSurface& surface, POINT pixel) {
  const std::size_t width = static_cast<std::size_t>(surface.header.bmiHeader.biWidth);
  const std::size_t row = static_cast<std::size_t>(surface.header.bmiHeader.biHeight - 1 - pixel.y);
  return static_cast<const std::uint8_t*>(surface.bits) + (row * width + static_cast<std::size_t>(pixel.x)) * 4;
}

// The pixel's cycle from the picture and the tables, not from the frames.
void ReadContent() {
  cycleView.content.interval = 0;
  const std::uint32_t interval = FrcCount;
  if (interval == 0 || PresentTableInterval() != interval || !Holds(SourceSurface, cycleView.content.pixel)) return;
  const std::uint8_t* source = PixelBytes(SourceSurface, cycleView.content.pixel);
  const long memoryRow = SourceSurface.header.bmiHeader.biHeight - 1 - cycleView.content.pixel.y;
  PixelCycle cycle;
  MeasurePixelCycle(source, static_cast<std::uint32_t>(cycleView.content.pixel.x), static_cast<std::uint32_t>(memoryRow), &cycle);
  for (int c = 0; c < kStripLines; ++c) {
    cycleView.content.sums[c] = cycle.sums[ByteOf(c)];
    cycleView.content.source[c] = source[ByteOf(c)];
    for (std::uint32_t k = 0; k < interval; ++k) cycleView.content.values[c][k] = cycle.frames[k][ByteOf(c)];
  }
  cycleView.content.light = cycle.light;
  MeasureVisibleFlicker(static_cast<const std::uint8_t*>(SourceSurface.bits), SourceSurface.header.bmiHeader.biWidth,
                        SourceSurface.header.bmiHeader.biHeight, static_cast<std::uint32_t>(cycleView.content.pixel.x),
                        static_cast<std::uint32_t>(memoryRow), PixelsPerDegree(CurrentViewing()),
                        &cycleView.content.visible);
  cycleView.content.offset =
      PixelPhase(static_cast<std::uint32_t>(cycleView.content.pixel.x), static_cast<std::uint32_t>(memoryRow), 0);
  cycleView.content.interval = interval;
}

// Line `line` of the text: 0 the pixel, 1-3 the channels' values, 4-6 the
// means, 7 the visible flicker and the pixel's offset; lines 1-7 are empty
// without a cycle.
std::wstring LineText(int line) {
  wchar_t text[kLineLength];
  const std::uint32_t n = cycleView.content.interval;
  const PixelLight& light = cycleView.content.light;
  const long x = cycleView.content.pixel.x, y = cycleView.content.pixel.y;
  if (line == 0 && n == 0) {
    std::swprintf(text, kLineLength, L"画素 x %ld, y %ld  サイクルがありません", x, y);
  } else if (line == 0) {
    std::swprintf(text, kLineLength, L"画素 x %ld, y %ld  間隔 %u", x, y, n);
  } else if (n == 0) {
    return std::wstring();
  } else if (line <= kStripLines) {
    std::wstring values = kChannelNames[line - 1];
    for (std::uint32_t k = 0; k < n; ++k) values += L" " + std::to_wstring(cycleView.content.values[line - 1][k]);
    std::swprintf(text, kLineLength, L"  上位 %u / %u", light.uppers[ByteOf(line - 1)], n);
    return values + text;
  } else if (line == kStripLines + 1) {
    std::swprintf(text, kLineLength, L"平均 R%.1f G%.1f B%.1f", double(cycleView.content.sums[0]) / n,
                  double(cycleView.content.sums[1]) / n, double(cycleView.content.sums[2]) / n);
  } else if (line == kStripLines + 2) {
    std::swprintf(text, kLineLength, L"光 R%u.%u G%u.%u B%u.%u", light.meanTenths[2] / 10, light.meanTenths[2] % 10,
                  light.meanTenths[1] / 10, light.meanTenths[1] % 10, light.meanTenths[0] / 10,
                  light.meanTenths[0] % 10);
  } else if (line == kStripLines + 4) {
    const std::uint32_t tenths = ModulationTenthsOfPercent(cycleView.content.visible.modulation);
    std::swprintf(text, kLineLength, L"見えるちらつき %u.%u%% %.1f Hz  オフセット %u", tenths / 10, tenths % 10,
                  FlickerHertz(cycleView.content.visible.period, FrameDuration), cycleView.content.offset);
  } else {
    std::swprintf(text, kLineLength, L"元 R%u G%u B%u", cycleView.content.source[0], cycleView.content.source[1], cycleView.content.source[2]);
  }
  return text;
}

COLORREF ChannelColour(int channel, std::uint8_t value) {
  return channel == 0 ? RGB(value, 0, 0) : channel == 1 ? RGB(0, value, 0) : RGB(0, 0, value);
}

int TextWidth(HDC dc, const std::wstring& text) {
  SIZE size = {0, 0};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  return size.cx;
}

// Measures shared by the drawing and the window's first size.
struct Layout {
  int lineHeight;
  int labelWidth;
  int upperWidth;
};

Layout MeasureLayout(HDC dc) {
  TEXTMETRICW metrics;
  GetTextMetricsW(dc, &metrics);
  return {metrics.tmHeight + 6, TextWidth(dc, L"W") + 6, TextWidth(dc, L"  上位 255 / 255") + 4};
}

// One channel's strip: cells as wide as the space allows, each with its value
// written in when it fits.
void DrawStrip(HDC dc, int channel, int left, int right, int top, int height) {
  const int n = static_cast<int>(cycleView.content.interval);
  int cell = (right - left) / n;
  cell = cell < 1 ? 1 : cell > 2 * kCellWidth ? 2 * kCellWidth : cell;
  const int gap = cell >= 6 ? 1 : 0;
  HGDIOBJ brush = GetStockObject(DC_BRUSH);
  for (int k = 0; k < n; ++k) {
    const std::uint8_t value = cycleView.content.values[channel][k];
    RECT box = {left + k * cell, top, left + (k + 1) * cell - gap, top + height};
    SetDCBrushColor(dc, ChannelColour(channel, value));
    FillRect(dc, &box, static_cast<HBRUSH>(brush));
    const std::wstring text = std::to_wstring(value);
    if (TextWidth(dc, text) + 2 > box.right - box.left) continue;
    // By what the eye sees of the cell, not by the channel's code: a blue
    // cell is dark at any value, a green one light from the middle up.
    const COLORREF colour = ChannelColour(channel, value);
    const bool black = BlackTextReadsBetter(GetRValue(colour), GetGValue(colour), GetBValue(colour));
    SetTextColor(dc, black ? RGB(0, 0, 0) : RGB(255, 255, 255));
    DrawTextW(dc, text.c_str(), -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  wchar_t upper[kLineLength];
  std::swprintf(upper, kLineLength, L"上位 %u / %u", cycleView.content.light.uppers[ByteOf(channel)], cycleView.content.interval);
  SetTextColor(dc, RGB(0, 0, 0));
  TextOutW(dc, left + n * cell + 8, top + 3, upper, static_cast<int>(std::wcslen(upper)));
}

// The client size that shows a strip of kCellWidth cells (within limits).
SIZE FittingClientSize(HWND window) {
  HDC dc = GetDC(window);
  HGDIOBJ previous = SelectObject(dc, cycleView.font ? static_cast<HGDIOBJ>(cycleView.font) : GetStockObject(DEFAULT_GUI_FONT));
  const Layout layout = MeasureLayout(dc);
  SelectObject(dc, previous);
  ReleaseDC(window, dc);
  int strip = kCellWidth * static_cast<int>(cycleView.content.interval);
  strip = strip < kSmallestStripWidth ? kSmallestStripWidth : strip > kLargestStripWidth ? kLargestStripWidth : strip;
  return {2 * kMargin + layout.labelWidth + strip + layout.upperWidth,
          2 * kMargin + layout.lineHeight * (1 + kMeanLines) + (layout.lineHeight + 4) * kStripLines};
}

void FitWindow(HWND window) {
  const SIZE client = FittingClientSize(window);
  RECT frame = {0, 0, client.cx, client.cy};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)));
  SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT OnCreate(HWND window) {
  HDC dc = GetDC(window);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(window, dc);
  cycleView.font = CreateFontW(-MulDiv(9, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"MS Shell Dlg 2");
  return 0;
}

LRESULT OnPaint(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  RECT client;
  GetClientRect(window, &client);
  DrawPixelCycle(dc, client);
  EndPaint(window, &paint);
  return 0;
}

LRESULT OnPrintClient(HWND window, WPARAM wParam) {
  RECT client;
  GetClientRect(window, &client);
  DrawPixelCycle(reinterpret_cast<HDC>(wParam), client);
  return 0;
}

LRESULT OnSize(HWND window) {
  InvalidateRect(window, nullptr, TRUE);
  return 0;
}

LRESULT OnDestroy() {
  cycleView.window = nullptr;
  if (cycleView.font) DeleteObject(cycleView.font);
  cycleView.font = nullptr;
  return 0;
}

}  // namespace

LRESULT CALLBACK PixelCycleProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: return OnCreate(window);
    case WM_PAINT: return OnPaint(window);
    case WM_PRINTCLIENT: return OnPrintClient(window, wParam);
    case WM_SIZE: return OnSize(window);
    case WM_DESTROY: return OnDestroy();
    default: return DefWindowProcW(window, message, wParam, lParam);
  }
}

HWND ShowPixelCycle(HWND owner, HINSTANCE instance, POINT pixel) {
  cycleView.content.pixel = pixel;
  ReadContent();
  if (cycleView.window) {
    InvalidateRect(cycleView.window, nullptr, TRUE);
    return cycleView.window;
  }
  WNDCLASSEXW windowClass;
  FillWindowClass(&windowClass, instance, PixelCycleProc, kClassName);
  RegisterClassExW(&windowClass);  // fails harmlessly once registered
  HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, kTitle, WS_CAPTION | WS_SYSMENU | WS_THICKFRAME,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, instance,
                                nullptr);
  if (!window) return nullptr;
  cycleView.window = window;
  FitWindow(window);
  ShowWindow(window, SW_SHOWNOACTIVATE);
  return window;
}

void RefreshPixelCycle() {
  if (!cycleView.window) return;
  ReadContent();
  InvalidateRect(cycleView.window, nullptr, TRUE);
}

std::wstring PixelCycleText() {
  if (!cycleView.window) return std::wstring();
  std::wstring text;
  for (int line = 0; line <= kStripLines + kMeanLines; ++line) {
    const std::wstring each = LineText(line);
    if (!each.empty()) text += each + L"\n";
  }
  return text;
}

void DrawPixelCycle(HDC dc, const RECT& client) {
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  HGDIOBJ previousFont = SelectObject(dc, cycleView.font ? static_cast<HGDIOBJ>(cycleView.font) : GetStockObject(DEFAULT_GUI_FONT));
  const int previousMode = SetBkMode(dc, TRANSPARENT);
  const COLORREF previousColour = SetTextColor(dc, RGB(0, 0, 0));
  const Layout layout = MeasureLayout(dc);
  int top = kMargin;
  for (int line = 0; line <= kStripLines + kMeanLines; ++line) {
    if (line >= 1 && line <= kStripLines) {
      if (cycleView.content.interval == 0) continue;
      const int c = line - 1;
      SetTextColor(dc, RGB(0, 0, 0));
      TextOutW(dc, kMargin, top + 3, kChannelNames[c], 1);
      DrawStrip(dc, c, kMargin + layout.labelWidth, client.right - kMargin - layout.upperWidth, top,
                layout.lineHeight);
      top += layout.lineHeight + 4;
      continue;
    }
    const std::wstring text = LineText(line);
    TextOutW(dc, kMargin, top + 3, text.c_str(), static_cast<int>(text.size()));
    top += layout.lineHeight;
  }
  SetTextColor(dc, previousColour);
  SetBkMode(dc, previousMode);
  SelectObject(dc, previousFont);
}

HWND PixelCycleWindow() { return cycleView.window; }
