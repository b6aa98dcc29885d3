// The zoom arithmetic of the image views: the levels, the scroll position
// that keeps a picture point in place when the level changes, the part of the
// picture a paint has to copy, and the picture pixel under a client point.
// Positions are in screen pixels of the zoomed picture (image pixel times the
// level), the unit of the views' scroll bars.
//
// Windows-free: built and tested natively as well as in the program.
#pragma once

// Image pixels become level x level screen pixels; 1 is the picture 1:1.
constexpr int kZoomLevels[] = {1, 2, 3, 4, 6, 8, 12, 16};

// True when zoom is one of kZoomLevels.
bool IsZoomLevel(int zoom);

// The next level above (below) zoom; the highest (lowest) level stays where it
// is. A zoom that is not a level counts as 1.
int ZoomLevelUp(int zoom);
int ZoomLevelDown(int zoom);

// The level a settings text names: the whole text is decimal digits giving
// one of kZoomLevels; anything else (empty, other numbers, signs, blanks,
// trailing characters) gives 1. text must not be null.
int ZoomLevelFromText(const wchar_t* text);

// The scroll position at level newZoom that keeps the picture point shown at
// `anchor` screen pixels from the view's edge where it is, given the position
// at oldZoom. Exact for the image pixel: the pixel under the anchor stays
// under it (the caller's scroll bar may then clamp the result). Both levels
// positive, position and anchor not negative.
int ZoomedScrollPosition(int position, int anchor, int oldZoom, int newZoom);

// The image rows (or columns) a paint covering screen pixels [clipStart,
// clipEnd) of the zoomed picture needs: every pixel touched, partly or whole,
// within 0..imageSize. count is 0 when none is.
struct PictureSpan {
  int first;
  int count;
};
PictureSpan VisiblePictureSpan(int clipStart, int clipEnd, int zoom, int imageSize);

// The image pixel column (row) under client coordinate `client` at scroll
// position `position`; -1 when the point lies before the picture or at or past
// its far edge (imageSize pixels).
int PicturePixelUnder(int client, int position, int zoom, int imageSize);
