// Support for the tests that drive the real main window in this process.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Dispatches messages (through the program's own routing, as its loop does)
// until done() holds or timeoutMs passes; returns done()'s last answer.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);

// Dispatches whatever is waiting now, including posted requests.
void PumpPending();

// Writes a 24-bit BMP file of width x height whose pixel (x, y), y counted from
// the top, is colour(x, y) as 0xRRGGBB. Returns true on success.
bool WriteBmpFile(const std::wstring& path, int width, int height, unsigned (*colour)(int x, int y));

// Processor time this process has used so far, kernel and user, in 100 ns.
ULONGLONG ProcessCpu100ns();

std::wstring WindowText(HWND window);
std::wstring ControlText(int id);
