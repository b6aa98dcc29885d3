// Definitions of the process-wide handles: see globals.h.
#include "app/globals.h"

HINSTANCE AppInstance = nullptr;
std::wstring ModuleDirectory;
HWND MainWindow = nullptr;
HWND ControlBar = nullptr;
