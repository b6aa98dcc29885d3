// The two scrolled image views: see image_view.h.
#include "views/image_view.h"

#include "frc/engine_state.h"
#include "views/window_class.h"

HWND FrcView = nullptr;
HWND OriginalView = nullptr;

namespace {

// What distinguishes the two views: the picture they draw and the partner
// they keep in step.
struct ViewKind {
  const DibSurface* (*picture)();
  HWND* partner;
};

const ViewKind kFrcViewKind = {CurrentFramePicture, &OriginalView};
const ViewKind kOriginalViewKind = {OriginalPicture, &FrcView};

void SetScrollRangeAndPage(HWND view, int bar, int size, int page) {
  SCROLLINFO info = {};
  info.cbSize = sizeof info;
  info.fMask = SIF_RANGE | SIF_PAGE;
  info.nMin = 0;
  info.nMax = size;
  info.nPage = static_cast<UINT>(page < 0 ? 0 : page);
  SetScrollInfo(view, bar, &info, TRUE);
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
}

LRESULT OnSize(HWND view, LPARAM lParam) {
  const int width = static_cast<short>(LOWORD(lParam));
  const int height = static_cast<short>(HIWORD(lParam));
  SetScrollRangeAndPage(view, SB_HORZ, SourceSurface.header.bmiHeader.biWidth, width);
  SetScrollRangeAndPage(view, SB_VERT, SourceSurface.header.bmiHeader.biHeight, height);
  return 0;
}

LRESULT OnPaint(HWND view, const ViewKind& kind) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(view, &paint);
  DrawViewPicture(dc, ScrollPosition(view, SB_HORZ), ScrollPosition(view, SB_VERT), kind.picture());
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

LRESULT ViewProc(HWND view, UINT message, WPARAM wParam, LPARAM lParam, const ViewKind& kind) {
  switch (message) {
    case WM_CREATE: return 0;
    case WM_DESTROY: return 0;
    case WM_SIZE: return OnSize(view, lParam);
    case WM_PAINT: return OnPaint(view, kind);
    case WM_HSCROLL: return OnScroll(view, SB_HORZ, wParam, kind);
    case WM_VSCROLL: return OnScroll(view, SB_VERT, wParam, kind);
    case WM_LBUTTONDOWN: return OnButtonDown(view);
    case WM_RBUTTONDOWN: return OnButtonDown(view);
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
  // One read per paint: the clock may advance CurrentFrame meanwhile.
  const std::uint32_t index = CurrentFrame;
  const DibSurface* frames = FrameSet;
  if (!frames || index >= FrcCount) return nullptr;
  const DibSurface* frame = &frames[index];
  return frame->memoryDc ? frame : nullptr;
}

const DibSurface* OriginalPicture() { return SourceSurface.memoryDc ? &SourceSurface : nullptr; }

void DrawViewPicture(HDC dc, int scrollX, int scrollY, const DibSurface* picture) {
  SetWindowOrgEx(dc, scrollX, scrollY, nullptr);
  if (!picture) return;
  SelectObject(picture->memoryDc, picture->bitmap);
  BitBlt(dc, 0, 0, picture->header.bmiHeader.biWidth, picture->header.bmiHeader.biHeight, picture->memoryDc, 0, 0,
         SRCCOPY);
  SelectObject(picture->memoryDc, picture->savedObject);
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

void CreateImageViews(HWND parent, HINSTANCE instance) {
  // One structure, filled once and reused for the second class.
  WNDCLASSEXW viewClass;
  FillWindowClass(&viewClass, instance, FrcViewProc, L"FRC View");
  RegisterClassExW(&viewClass);
  FrcView = CreateView(parent, instance, L"FRC View");
  viewClass.lpfnWndProc = OriginalViewProc;
  viewClass.lpszClassName = L"Original View";
  RegisterClassExW(&viewClass);
  OriginalView = CreateView(parent, instance, L"Original View");
}
