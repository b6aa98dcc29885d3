// Definitions of the process-wide handles and the common window-class fill:
// see globals.h.
#include "app/globals.h"

HINSTANCE AppInstance = nullptr;
std::wstring ModuleDirectory;
HWND MainWindow = nullptr;
HWND ControlBar = nullptr;
HWND FrcView = nullptr;
HWND OriginalView = nullptr;

void FillWindowClass(WNDCLASSEXW* windowClass, WNDPROC procedure, const wchar_t* className) {
  *windowClass = WNDCLASSEXW();
  windowClass->cbSize = sizeof *windowClass;
  windowClass->style = CS_CLASSDC;
  windowClass->lpfnWndProc = procedure;
  windowClass->hInstance = AppInstance;
  windowClass->hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass->hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass->lpszClassName = className;
}
