// The window's save command ("保存..." and Ctrl+S): a folder picker, then the
// files of the cycle on screen written into the chosen folder.
#pragma once

#include <windows.h>

// Asks for a folder (owned by owner) and exports the cycle the FRC view shows
// into it, with a wait cursor while writing; "保存できません。" and the reason
// when a file cannot be written. Does nothing while there is no picture or no
// frame set. The frame clock keeps running meanwhile. User-interface thread.
void SaveCycleFromWindow(HWND owner);
