// The two scrolled image views: see image_view.h.
#include "views/image_view.h"

#include <initializer_list>

#include "frc/engine_state.h"
#include "frc/frame_cache.h"
#include "views/window_class.h"
#include "views/zoom.h"
#include "base/thread_checks.h"

HWND FrcView = nullptr;
HWND OriginalView = nullptr;

namespace {

// Where FrcView's picture stands: its zoom and scroll position, which another
// thread must read together (a zoom moves the scroll position too).
struct Placement {
  int zoom;
  int scrollX, scrollY;
};

struct Views {
  // Given at creation (user-interface thread): the messages to the parent
  // and the zoom level it owns.
  UINT pointerMessage = 0;
  UINT zoomMessage = 0;
  UINT pickMessage = 0;
  const std::atomic<int>* zoom = nullptr;
  // Written by the thread that draws FrcView while it plays locked, read by
  // the view's paints; the repaint flag also the other way round.
  std::atomic<bool> frcPresentedElsewhere{false};
  std::atomic<bool> frcRepaintWanted{false};
  // FrcView's placement for the drawing thread: written by the user-interface
  // thread whenever its scroll position or zoom changes, under the lock.
  Mutex placementLock;
  Placement frcPlacement GUARDED_BY(placementLock) = {1, 0, 0};
  bool placementHeld = false;  // user-interface thread: a zoom publishes once, at its end
};
Views views;

int Zoom() { return views.zoom ? views.zoom->load() : 1; }

// What distinguishes the two views: the picture they draw and the partner
// they keep in step.
const DibSurface* FrcPictureToDraw();

struct ViewKind {
  const DibSurface* (*picture)();
  HWND* partner;
};

const ViewKind kFrcViewKind = {FrcPictureToDraw, &OriginalView};
const ViewKind kOriginalViewKind = {OriginalPicture, &FrcView};

int ScrollPosition(HWND view, int bar);

// Publishes FrcView's placement for the thread that draws it.
void PublishFrcPlacement() {
  if (views.placementHeld || !FrcView) return;
  const Placement placement = {Zoom(), ScrollPosition(FrcView, SB_HORZ), ScrollPosition(FrcView, SB_VERT)};
  MutexLock guard(views.placementLock);
  views.frcPlacement = placement;
}

void SetScrollRangeAndPage(HWND view, int bar, int size, int page) {
  SCROLLINFO info = {};
  info.cbSize = sizeof info;
  info.fMask = SIF_RANGE | SIF_PAGE;
  info.nMin = 0;
  info.nMax = size;
  info.nPage = static_cast<UINT>(page < 0 ? 0 : page);
  SetScrollInfo(view, bar, &info, TRUE);
  // A new range may move the position.
  if (view == FrcView) PublishFrcPlacement();
}

int ScrollPosition(HWND view, int bar) {
  SCROLLINFO info = {};
  info.cbSize = sizeof info;
  info.fMask = SIF_POS;
  GetScrollInfo(view, bar, &info);
  return info.nPos;
}

void SetScrollPosition(HWND view, int bar, int position) {
  SCROLLINFO info = {};
  info.cbSize = sizeof info;
  info.fMask = SIF_POS;
  info.nPos = position;
  SetScrollInfo(view, bar, &info, TRUE);
  if (view == FrcView) PublishFrcPlacement();
}

// Ranges of the zoomed picture, pages of the client size.
void SetScrollRanges(HWND view, int width, int height) {
  SetScrollRangeAndPage(view, SB_HORZ, SourceSurface.header.bmiHeader.biWidth * Zoom(), width);
  SetScrollRangeAndPage(view, SB_VERT, SourceSurface.header.bmiHeader.biHeight * Zoom(), height);
}

LRESULT OnSize(HWND view, LPARAM lParam) {
  SetScrollRanges(view, static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
  return 0;
}

LRESULT OnPaint(HWND view, const ViewKind& kind) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(view, &paint);
  if (&kind == &kFrcViewKind && views.frcPresentedElsewhere) {
    // The presenting thread draws the whole view on its next wake: a paint
    // here would wait for FrameSetLock while it presents, and delay the frame,
    // or draw over its swap chain.
    views.frcRepaintWanted = true;
  } else if (&kind == &kFrcViewKind) {
    // The presentation thread draws the same frames through the same memory DCs.
    MutexLock guard(FrameSetLock());
    DrawViewPicture(dc, ScrollPosition(view, SB_HORZ), ScrollPosition(view, SB_VERT), Zoom(), kind.picture());
  } else {
    DrawViewPicture(dc, ScrollPosition(view, SB_HORZ), ScrollPosition(view, SB_VERT), Zoom(), kind.picture());
  }
  EndPaint(view, &paint);
  return 0;
}

// A scroll request on one bar: move this view, then put the partner at the
// same (clamped) position. The partner gets no message, so it does not echo.
LRESULT OnScroll(HWND view, int bar, WPARAM wParam, const ViewKind& kind) {
  SCROLLINFO info = {};
  info.cbSize = sizeof info;
  info.fMask = SIF_PAGE | SIF_POS | SIF_TRACKPOS;
  GetScrollInfo(view, bar, &info);
  bool moves = false;
  const int target = ScrollTarget(LOWORD(wParam), static_cast<int>(info.nPage), info.nPos, info.nTrackPos, &moves);
  if (moves) SetScrollPosition(view, bar, target);
  InvalidateRect(view, nullptr, TRUE);
  HWND partner = *kind.partner;
  if (partner) {
    SetScrollPosition(partner, bar, ScrollPosition(view, bar));
    InvalidateRect(partner, nullptr, TRUE);
  }
  return 0;
}

LRESULT OnButtonDown(HWND view) {
  SetFocus(view);
  return 0;
}

LRESULT OnLeftButtonDown(HWND view, WPARAM wParam, LPARAM lParam) {
  SetFocus(view);
  HWND parent = GetParent(view);
  if ((wParam & MK_SHIFT) && parent && views.pickMessage)
    SendMessageW(parent, views.pickMessage, reinterpret_cast<WPARAM>(view), lParam);
  return 0;
}

void NotifyPointer(HWND view, LPARAM clientPoint) {
  HWND parent = GetParent(view);
  if (parent && views.pointerMessage) SendMessageW(parent, views.pointerMessage, reinterpret_cast<WPARAM>(view), clientPoint);
}

LRESULT OnMouseMove(HWND view, LPARAM lParam) {
  // Asks for WM_MOUSELEAVE; repeating the request while tracking is harmless.
  TRACKMOUSEEVENT track = {};
  track.cbSize = sizeof track;
  track.dwFlags = TME_LEAVE;
  track.hwndTrack = view;
  TrackMouseEvent(&track);
  NotifyPointer(view, lParam);
  return 0;
}

LRESULT OnMouseLeave(HWND view) {
  NotifyPointer(view, MAKELPARAM(-1, -1));
  return 0;
}

// Ctrl+wheel zooms about the pixel under the cursor; a plain wheel goes on to
// the default handling.
LRESULT OnMouseWheel(HWND view, WPARAM wParam, LPARAM lParam) {
  if (!(GET_KEYSTATE_WPARAM(wParam) & MK_CONTROL)) return DefWindowProcW(view, WM_MOUSEWHEEL, wParam, lParam);
  const int delta = GET_WHEEL_DELTA_WPARAM(wParam);
  if (delta == 0) return 0;
  POINT cursor = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  ScreenToClient(view, &cursor);
  ZoomRequest request = {delta > 0 ? ZoomLevelUp(Zoom()) : ZoomLevelDown(Zoom()), cursor};
  SendMessageW(GetParent(view), views.zoomMessage, reinterpret_cast<WPARAM>(view), reinterpret_cast<LPARAM>(&request));
  NotifyPointer(view, MAKELPARAM(cursor.x, cursor.y));
  return 0;
}

// While another thread draws the FRC view it also fills what the picture
// leaves; erasing here would only flash the background over the frame.
LRESULT OnEraseBackground(HWND view, UINT message, WPARAM wParam, LPARAM lParam, const ViewKind& kind) {
  if (&kind == &kFrcViewKind && views.frcPresentedElsewhere) return 1;
  return DefWindowProcW(view, message, wParam, lParam);
}

// A view destroyed is no longer one to draw or keep in step.
LRESULT OnDestroy(HWND view) {
  if (view == FrcView) FrcView = nullptr;
  if (view == OriginalView) OriginalView = nullptr;
  return 0;
}

LRESULT ViewProc(HWND view, UINT message, WPARAM wParam, LPARAM lParam, const ViewKind& kind) {
  switch (message) {
    case WM_CREATE: return 0;
    case WM_DESTROY: return OnDestroy(view);
    case WM_SIZE: return OnSize(view, lParam);
    case WM_PAINT: return OnPaint(view, kind);
    case WM_ERASEBKGND: return OnEraseBackground(view, message, wParam, lParam, kind);
    case WM_HSCROLL: return OnScroll(view, SB_HORZ, wParam, kind);
    case WM_VSCROLL: return OnScroll(view, SB_VERT, wParam, kind);
    case WM_LBUTTONDOWN: return OnLeftButtonDown(view, wParam, lParam);
    case WM_RBUTTONDOWN: return OnButtonDown(view);
    case WM_MOUSEMOVE: return OnMouseMove(view, lParam);
    case WM_MOUSELEAVE: return OnMouseLeave(view);
    case WM_MOUSEWHEEL: return OnMouseWheel(view, wParam, lParam);
    default: return DefWindowProcW(view, message, wParam, lParam);
  }
}

HWND CreateView(HWND parent, HINSTANCE instance, const wchar_t* className) {
  return CreateWindowExW(WS_EX_CLIENTEDGE, className, nullptr, WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL,
                         CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, parent, nullptr, instance,
                         nullptr);
}

}  // namespace

LRESULT CALLBACK FrcViewProc(HWND view, UINT message, WPARAM wParam, LPARAM lParam) {
  return ViewProc(view, message, wParam, lParam, kFrcViewKind);
}

LRESULT CALLBACK OriginalViewProc(HWND view, UINT message, WPARAM wParam, LPARAM lParam) {
  return ViewProc(view, message, wParam, lParam, kOriginalViewKind);
}

const DibSurface* CurrentFramePicture() {
  // One read: the clock may advance CurrentFrame meanwhile.
  const std::uint32_t index = CurrentFrame;
  const DibSurface* frames = FrameSet;
  if (frames && index < FrcCount && frames[index].memoryDc) return &frames[index];
  return FrameOnScreen();
}

namespace {

// What a draw of FrcView shows: the frame at CurrentFrame, or while that is
// not made yet the one drawn last. FrameSetLock held.
const DibSurface* FrcPictureToDraw() {
  bool made = false;
  const DibSurface* picture = FrameForDrawing(CurrentFrame, &made);
  return picture && picture->memoryDc ? picture : nullptr;
}

}  // namespace

const DibSurface* OriginalPicture() { return SourceSurface.memoryDc ? &SourceSurface : nullptr; }

void DrawViewPicture(HDC dc, int scrollX, int scrollY, int zoom, const DibSurface* picture) {
  SetWindowOrgEx(dc, scrollX, scrollY, nullptr);
  if (!picture) return;
  const int width = picture->header.bmiHeader.biWidth;
  const int height = picture->header.bmiHeader.biHeight;
  SelectObject(picture->memoryDc, picture->bitmap);
  if (zoom <= 1) {
    BitBlt(dc, 0, 0, width, height, picture->memoryDc, 0, 0, SRCCOPY);
  } else {
    // Only the pixels the clip box touches: a zoomed large picture costs what
    // the view shows, not what the picture holds.
    RECT clip;
    GetClipBox(dc, &clip);
    const PictureSpan columns = VisiblePictureSpan(clip.left, clip.right, zoom, width);
    const PictureSpan rows = VisiblePictureSpan(clip.top, clip.bottom, zoom, height);
    if (columns.count > 0 && rows.count > 0) {
      // COLORONCOLOR drops the pixels it does not need instead of blending:
      // at a whole-number scale every pixel is repeated exactly.
      const int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
      StretchBlt(dc, columns.first * zoom, rows.first * zoom, columns.count * zoom, rows.count * zoom,
                 picture->memoryDc, columns.first, rows.first, columns.count, rows.count, SRCCOPY);
      SetStretchBltMode(dc, oldMode);
    }
  }
  SelectObject(picture->memoryDc, picture->savedObject);
}

void ZoomViews(int oldZoom, int newZoom, HWND view, POINT anchor) {
  ExpectUiThread();
  if (!IsZoomLevel(newZoom) || !view) return;
  const int x = ZoomedScrollPosition(ScrollPosition(view, SB_HORZ), anchor.x, oldZoom, newZoom);
  const int y = ZoomedScrollPosition(ScrollPosition(view, SB_VERT), anchor.y, oldZoom, newZoom);
  HWND partner = view == FrcView ? OriginalView : FrcView;
  views.placementHeld = true;
  for (HWND each : {view, partner}) {
    if (!each) continue;
    RECT client;
    GetClientRect(each, &client);
    SetScrollRanges(each, client.right, client.bottom);
  }
  SetScrollPosition(view, SB_HORZ, x);
  SetScrollPosition(view, SB_VERT, y);
  if (partner) {
    SetScrollPosition(partner, SB_HORZ, ScrollPosition(view, SB_HORZ));
    SetScrollPosition(partner, SB_VERT, ScrollPosition(view, SB_VERT));
    InvalidateRect(partner, nullptr, TRUE);
  }
  views.placementHeld = false;
  PublishFrcPlacement();
  InvalidateRect(view, nullptr, TRUE);
}

void SetFrcViewPresentedElsewhere(bool elsewhere) {
  views.frcPresentedElsewhere = elsewhere;
  views.frcRepaintWanted = false;
}

bool TakeFrcViewRepaint() { return views.frcRepaintWanted.exchange(false); }

void DrawFrcViewPicture(HDC dc) {
  if (!FrcView) return;
  Placement placement;
  {
    MutexLock guard(views.placementLock);
    placement = views.frcPlacement;
  }
  const int scrollX = placement.scrollX, scrollY = placement.scrollY, zoom = placement.zoom;
  const DibSurface* picture = FrcPictureToDraw();
  // Nothing erases the view for this thread: the part the picture leaves
  // (all of it without one) gets the class's background here, in client
  // coordinates whatever origin the DC came with.
  SetWindowOrgEx(dc, 0, 0, nullptr);
  RECT client;
  GetClientRect(FrcView, &client);
  const int pictureRight = picture ? picture->header.bmiHeader.biWidth * zoom - scrollX : 0;
  const int pictureBottom = picture ? picture->header.bmiHeader.biHeight * zoom - scrollY : 0;
  HBRUSH background = reinterpret_cast<HBRUSH>(GetClassLongPtrW(FrcView, GCLP_HBRBACKGROUND));
  if (pictureRight < client.right) {
    const RECT right = {pictureRight > 0 ? pictureRight : 0, 0, client.right, client.bottom};
    FillRect(dc, &right, background);
  }
  if (pictureBottom < client.bottom) {
    const RECT below = {0, pictureBottom > 0 ? pictureBottom : 0, client.right, client.bottom};
    FillRect(dc, &below, background);
  }
  DrawViewPicture(dc, scrollX, scrollY, zoom, picture);
}

int PicturePixelAt(HWND view, POINT client, POINT* pixel) {
  int width = 0, height = 0;
  if (view == FrcView) {
    MutexLock guard(FrameSetLock());
    const DibSurface* picture = CurrentFramePicture();
    if (picture) width = picture->header.bmiHeader.biWidth, height = picture->header.bmiHeader.biHeight;
  } else if (const DibSurface* picture = OriginalPicture()) {
    width = picture->header.bmiHeader.biWidth;
    height = picture->header.bmiHeader.biHeight;
  }
  RECT area;
  if (width == 0 || !GetClientRect(view, &area) || !PtInRect(&area, client)) return 0;
  const int x = PicturePixelUnder(client.x, ScrollPosition(view, SB_HORZ), Zoom(), width);
  const int y = PicturePixelUnder(client.y, ScrollPosition(view, SB_VERT), Zoom(), height);
  if (x < 0 || y < 0) return 0;
  pixel->x = x;
  pixel->y = y;
  return 1;
}

int ScrollTarget(int code, int page, int position, int trackPosition, bool* moves) {
  *moves = true;
  switch (code) {
    case SB_LINEUP: return position - kScrollLineStep;
    case SB_LINEDOWN: return position + kScrollLineStep;
    case SB_PAGEUP: return position - page;
    case SB_PAGEDOWN: return position + page;
    case SB_THUMBPOSITION: return trackPosition;
    case SB_THUMBTRACK: return trackPosition;
    default: *moves = false; return position;
  }
}

void CreateImageViews(HWND parent, HINSTANCE instance, UINT pointerNotice, UINT zoomNotice, UINT pickNotice,
                      const std::atomic<int>* zoom) {
  views.pointerMessage = pointerNotice;
  views.zoomMessage = zoomNotice;
  views.pickMessage = pickNotice;
  views.zoom = zoom;
  // One structure, filled once and reused for the second class.
  WNDCLASSEXW viewClass;
  FillWindowClass(&viewClass, instance, FrcViewProc, L"FRC View");
  RegisterClassExW(&viewClass);
  FrcView = CreateView(parent, instance, L"FRC View");
  viewClass.lpfnWndProc = OriginalViewProc;
  viewClass.lpszClassName = L"Original View";
  RegisterClassExW(&viewClass);
  OriginalView = CreateView(parent, instance, L"Original View");
  PublishFrcPlacement();
}
