// The two scrolled image views below the control bar: FrcView (class
// "FRC View") shows the current frame of the FRC cycle, OriginalView (class
// "Original View") the unaltered picture. Both show their picture 1:1 from its
// top-left corner and scroll together: scrolling one moves the other to the
// same position. They own nothing; the window scroll bars hold all scroll state.
#pragma once

#include <windows.h>

#include "imaging/dib_surface.h"

extern HWND FrcView;       // class "FRC View"; null until created
extern HWND OriginalView;  // class "Original View"; null until created

// Registers both classes for instance and creates FrcView, then OriginalView,
// as children of parent. Failures are not checked: a view that could not be
// made stays null and is never painted.
void CreateImageViews(HWND parent, HINSTANCE instance);

LRESULT CALLBACK FrcViewProc(HWND view, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK OriginalViewProc(HWND view, UINT message, WPARAM wParam, LPARAM lParam);

// The picture FrcView shows now: the FrameSet element at CurrentFrame (read
// once), or null when there is none ready to paint.
const DibSurface* CurrentFramePicture();

// The picture OriginalView shows: SourceSurface, or null when it is not ready.
const DibSurface* OriginalPicture();

// Draws picture into dc with image pixel (scrollX, scrollY) at the DC's
// top-left corner: the whole paint of a view between BeginPaint and EndPaint.
// Draws nothing when picture is null.
void DrawViewPicture(HDC dc, int scrollX, int scrollY, const DibSurface* picture);

// The scroll position a request code moves to, from the bar's page, position
// and thumb position; `moves` is false for codes that leave it unchanged.
int ScrollTarget(int code, int page, int position, int trackPosition, bool* moves);

// Pixels one line step scrolls.
constexpr int kScrollLineStep = 16;
