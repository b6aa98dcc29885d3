// The version box: "バージョン情報..." at the end of the main window's system
// menu opens a message box with the program's name, version, whether this is
// the 32- or 64-bit program, and its copyright and licence lines.
#pragma once

#include <windows.h>

#include <string>

// Appends "バージョン情報..." (command kIdAbout) to window's system menu.
void AddAboutToSystemMenu(HWND window);

// The version box's text, one line each: "Quillane VERSION (NN ビット版)", the
// copyright line, the licence line.
std::wstring AboutText();

// Shows the version box (caption "Quillane", OK) owned by owner, with the
// choice of vblank source below the version text; returns when it is closed.
void ShowAboutBox(HWND owner);
