// The zoom arithmetic of the image views: see zoom.h.
#include "views/zoom.h"

namespace {

constexpr int kLevelCount = static_cast<int>(sizeof kZoomLevels / sizeof kZoomLevels[0]);

int LevelIndex(int zoom) {
  for (int i = 0; i < kLevelCount; ++i)
    if (kZoomLevels[i] == zoom) return i;
  return 0;
}

// Division rounding toward minus infinity, for a positive divisor.
int FloorDivide(int value, int divisor) { return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor); }

}  // namespace

bool IsZoomLevel(int zoom) { return kZoomLevels[LevelIndex(zoom)] == zoom; }

int ZoomLevelUp(int zoom) {
  const int i = LevelIndex(zoom);
  return kZoomLevels[i + 1 < kLevelCount ? i + 1 : i];
}

int ZoomLevelDown(int zoom) {
  const int i = LevelIndex(zoom);
  return kZoomLevels[i > 0 ? i - 1 : 0];
}

int ZoomLevelFromText(const wchar_t* text) {
  int value = 0;
  int digits = 0;
  for (; *text; ++text, ++digits) {
    if (*text < L'0' || *text > L'9') return 1;
    value = value * 10 + (*text - L'0');
    if (value > kZoomLevels[kLevelCount - 1]) return 1;
  }
  return digits > 0 && IsZoomLevel(value) ? value : 1;
}

int ZoomedScrollPosition(int position, int anchor, int oldZoom, int newZoom) {
  // The anchor's point in screen pixels of the old picture, scaled: its image
  // pixel, floor(point / oldZoom), is floor(scaled / newZoom) again.
  const long long point = static_cast<long long>(position) + anchor;
  return static_cast<int>(point * newZoom / oldZoom - anchor);
}

PictureSpan VisiblePictureSpan(int clipStart, int clipEnd, int zoom, int imageSize) {
  int first = FloorDivide(clipStart, zoom);
  int end = FloorDivide(clipEnd + zoom - 1, zoom);
  if (first < 0) first = 0;
  if (end > imageSize) end = imageSize;
  return {first, end > first ? end - first : 0};
}

int PicturePixelUnder(int client, int position, int zoom, int imageSize) {
  const int point = position + client;
  if (point < 0) return -1;
  const int pixel = point / zoom;
  return pixel < imageSize ? pixel : -1;
}
