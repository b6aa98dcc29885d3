// The two scrolled image views below the control bar: FrcView (class
// "FRC View") shows the current frame of the FRC cycle, OriginalView (class
// "Original View") the unaltered picture. Both show their picture at the same
// zoom level (1:1 unless zoomed) from its top-left corner and scroll together:
// scrolling one moves the other to the same position. They own nothing; the
// window scroll bars hold all scroll state, in screen pixels of the zoomed
// picture, and FrcView's is copied, with the zoom, for the thread that
// presents it (DrawFrcViewPicture).
#pragma once

#include <windows.h>

#include <atomic>

#include "imaging/dib_surface.h"

// Written by CreateImageViews on the user-interface thread, and cleared there
// when the view's window is destroyed. Read on that thread, and FrcView by the
// presenting thread, which draws into it (and has stopped before the views go).
extern HWND FrcView;       // class "FRC View"; null until created
extern HWND OriginalView;  // class "Original View"; null until created

// What a view asks of its parent for a Ctrl+wheel: the level one step up or
// down from the current one, about client point `anchor` of the view.
struct ZoomRequest {
  int zoom;
  POINT anchor;
};

// Registers both classes for instance and creates FrcView, then OriginalView,
// as children of parent. Failures are not checked: a view that could not be
// made stays null and is never painted.
//
// zoom is the level both views show, one of kZoomLevels (views/zoom.h); the
// parent owns it, writes it only together with ZoomViews, and keeps it alive
// as long as the views. The views read it when they draw: on the user-interface
// thread, and on the thread that presents the FRC view at the vblank.
//
// Each view sends pointerMessage to parent whenever the cursor moves over it
// and when it leaves it: wParam the view, lParam the cursor's client position
// packed as WM_MOUSEMOVE packs it, (-1, -1) once the cursor has left. It is
// sent too after a Ctrl+wheel zoom, which changes what lies under the cursor.
// A Ctrl+wheel sends zoomMessage to parent: wParam the view, lParam the
// address of a ZoomRequest, valid while the message is handled.
//
// A left click with Shift held sends pickMessage to parent, wParam and lParam
// as for pointerMessage; 0 sends nothing.
//
// A left or right click gives a view the keyboard focus.
void CreateImageViews(HWND parent, HINSTANCE instance, UINT pointerMessage, UINT zoomMessage, UINT pickMessage,
                      const std::atomic<int>* zoom);

// Gives both views the ranges and pages of level newZoom, which the zoom the
// views were given already holds, keeping the picture point at client point
// `anchor` of `view` (as shown at oldZoom) in place as far as the scroll
// ranges allow; the partner takes the same positions. Both views are
// repainted. Nothing happens for a null view or when newZoom is not a level.
void ZoomViews(int oldZoom, int newZoom, HWND view, POINT anchor);

// The picture pixel under client point `client` of `view` at its scroll
// position and the zoom level: 1 and *pixel set, or 0 when the point is outside
// the client area or the picture, or the view shows no picture.
int PicturePixelAt(HWND view, POINT client, POINT* pixel);

LRESULT CALLBACK FrcViewProc(HWND view, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK OriginalViewProc(HWND view, UINT message, WPARAM wParam, LPARAM lParam);

// The picture FrcView shows now: the FrameSet record at CurrentFrame (read
// once) when its frame is made, else the frame drawn last; null when there is
// neither. Any thread, FrameSetLock held; it changes nothing (a draw asks
// FrameForDrawing, which also counts a frame not ready).
const DibSurface* CurrentFramePicture();

// The picture OriginalView shows: SourceSurface, or null when it is not ready.
const DibSurface* OriginalPicture();

// Draws picture into dc at zoom level `zoom` with point (scrollX, scrollY) of
// the zoomed picture at the DC's top-left corner: the whole paint of a view
// between BeginPaint and EndPaint. At level 1 a plain block copy, clipped by
// the DC; above it every image pixel becomes a zoom x zoom block of exactly
// its value, and only the pixels inside the DC's clip box are copied. Draws
// nothing when picture is null.
void DrawViewPicture(HDC dc, int scrollX, int scrollY, int zoom, const DibSurface* picture);

// Draws all of FrcView's client area as it shows now (CurrentFrame's frame at
// its scroll position and the zoom level, the background where the picture
// does not reach) into dc, a DC of that area. For a thread other than the
// view's: the caller holds FrameSetLock. The zoom and the scroll position are
// read together, as the view's thread last published them, so a zoom is
// never drawn at the scroll position of the level before.
void DrawFrcViewPicture(HDC dc);

// While another thread presents FrcView (with GDI or through a swap chain),
// the view's own thread neither erases nor draws it: with elsewhere true,
// WM_PAINT only validates and notes that the view wants drawing, which
// TakeFrcViewRepaint reports once (the presenting thread then draws the whole
// view). So a paint never waits for FrameSetLock while frames are presented.
// Set by the presenting thread; the flags are atomic.
void SetFrcViewPresentedElsewhere(bool elsewhere);
bool TakeFrcViewRepaint();

// The scroll position a request code moves to, from the bar's page, position
// and thumb position; `moves` is false for codes that leave it unchanged.
int ScrollTarget(int code, int page, int position, int trackPosition, bool* moves);

// Pixels one line step scrolls.
constexpr int kScrollLineStep = 16;
