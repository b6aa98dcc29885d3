// The pixel's cycle (class "Pixel Cycle"): a small tool window that shows
// what one pixel of the FRC view does over the N frames. Per channel the N
// values in frame order as a strip of cells, each in the channel's colour at
// its value, and how many frames show the channel's upper level; below, the
// pixel's means over the cycle in code values, in light (as codes, on the
// sRGB curve) and the source's values, all computed from the picture and the
// level tables. It stays until closed and computes them afresh whenever told
// that the cycle changed.
//
// It owns its font (made with the window, deleted with it); every other GDI
// object it draws with is a stock object. User-interface thread only.
#pragma once

#include <windows.h>

#include <string>

// Shows the cycle of picture pixel `pixel` (x, y from the top-left corner),
// opening the window owned by owner when it is closed; an open window keeps
// its place and size and takes the new pixel. Null when it cannot be made.
HWND ShowPixelCycle(HWND owner, HINSTANCE instance, POINT pixel);

// The window while it is open; null while closed.
HWND PixelCycleWindow();

// Computes the pixel's values from the picture and the tables again (after a
// rebuild, a new picture) and repaints. Nothing while closed.
void RefreshPixelCycle();

// What the window shows, as lines of text: the pixel and N, the values of red,
// green and blue each with its upper count, then the code, light and source
// means. Empty while closed.
std::wstring PixelCycleText();

// Draws the contents into dc over client: the whole paint, also answered to
// WM_PRINTCLIENT.
void DrawPixelCycle(HDC dc, const RECT& client);

LRESULT CALLBACK PixelCycleProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
