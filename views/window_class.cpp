// FillWindowClass: see window_class.h.
#include "views/window_class.h"

void FillWindowClass(WNDCLASSEXW* windowClass, HINSTANCE instance, WNDPROC procedure, const wchar_t* className) {
  *windowClass = WNDCLASSEXW();
  windowClass->cbSize = sizeof *windowClass;
  windowClass->style = CS_CLASSDC;
  windowClass->lpfnWndProc = procedure;
  windowClass->hInstance = instance;
  windowClass->hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass->hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass->lpszClassName = className;
}
