// The window-class fill that every window class of the program shares.
#pragma once

#include <windows.h>

// Fills windowClass as every window class of the program is: class-wide DC,
// the given instance, the arrow cursor, the stock white brush, no icon, menu
// or extra bytes; with the given procedure and name.
void FillWindowClass(WNDCLASSEXW* windowClass, HINSTANCE instance, WNDPROC procedure, const wchar_t* className);
