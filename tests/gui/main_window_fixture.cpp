// The fixture and helpers shared by the main window's tests: see
// main_window_fixture.h.
#include "tests/gui/main_window_fixture.h"

#include <cstdint>
#include <vector>

#include "frc/frame_index.h"
#include "tests/support/test_images.h"

unsigned Ramp(int x, int y) { return unsigned(x & 0xFF) << 16 | unsigned((x + y) & 0xFF) << 8 | unsigned(y & 0xFF); }
unsigned Grey(int, int) { return 0x808080u; }

RECT ChildRect(HWND child) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, MainWindow, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

SCROLLINFO Scroll(HWND view, int bar) {
  SCROLLINFO info = {};
  info.cbSize = sizeof info;
  info.fMask = SIF_ALL;
  GetScrollInfo(view, bar, &info);
  return info;
}

std::vector<unsigned> CaptureRect(HWND view, const RECT& area) {
  const int width = area.right - area.left, height = area.bottom - area.top;
  POINT origin = {area.left, area.top};
  ClientToScreen(view, &origin);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP capture = CreateTopDownDib32(width, height, &bits);
  HGDIOBJ old = SelectObject(memory, capture);
  BitBlt(memory, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY);
  GdiFlush();
  const unsigned* p = static_cast<const unsigned*>(bits);
  std::vector<unsigned> pixels(p, p + size_t(width) * size_t(height));
  SelectObject(memory, old);
  DeleteObject(capture);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

std::vector<unsigned> CaptureClient(HWND view) {
  RECT client;
  GetClientRect(view, &client);
  return CaptureRect(view, client);
}

// Every screen pixel of the view is its image pixel of the picture at the
// zoom level and the scroll position, wherever the picture reaches.
void ExpectViewShows(HWND view, const DibSurface& picture, int zoom) {
  const int width = picture.header.bmiHeader.biWidth, height = picture.header.bmiHeader.biHeight;
  const std::vector<std::uint32_t> expected = SurfacePixels(picture.bits, width, height);
  const int scrollX = Scroll(view, SB_HORZ).nPos, scrollY = Scroll(view, SB_VERT).nPos;
  RECT client;
  GetClientRect(view, &client);
  int mismatches = -1, compared = 0;
  // What the screen shows reaches the display a little after the paint.
  PumpUntil([&] {
    const std::vector<unsigned> shown = CaptureClient(view);
    mismatches = compared = 0;
    for (int y = 0; y < client.bottom && (y + scrollY) / zoom < height; ++y)
      for (int x = 0; x < client.right && (x + scrollX) / zoom < width; ++x, ++compared)
        mismatches += (shown[size_t(y) * client.right + x] & 0xFFFFFF) !=
                      expected[size_t((y + scrollY) / zoom) * width + (x + scrollX) / zoom];
    return mismatches == 0;
  }, 3000);
  EXPECT_GT(compared, 1000);
  EXPECT_EQ(0, mismatches) << (view == FrcView ? "FRC view" : "original view") << " at zoom " << zoom;
}

bool PumpWhileEveryFrameComesDue() {
  const std::uint32_t interval = FrcCount, frameDuration = FrameDuration;
  std::vector<bool> due(interval, false);
  std::uint32_t seen = 0;
  return PumpUntil([&] {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const std::uint32_t frame = FrameIndexAt(now.QuadPart, frameDuration, CounterFrequency(), interval);
    if (!due[frame]) {
      due[frame] = true;
      ++seen;
    }
    return seen == interval;
  }, 5000);
}
