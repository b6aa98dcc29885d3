// Where the viewer sits, set up once at start from the command line, the
// settings file and the monitor: the distance from --viewing-distance, else
// "ViewingDistance" in settings.ini, else 60 cm; the pixel pitch from
// --pixel-pitch, else "PixelPitch", else the monitor's own, else 25.4 / 96 mm.
// A settings value that does not read as the options' values do is passed
// over.
#pragma once

#include <windows.h>

#include "app/command_line.h"

// The pitch in millimetres of the monitor that holds window (the primary one
// when window is null), from the physical size Windows reports for it; 0 when
// it reports none, or one no panel has.
double MonitorPixelPitch(HWND window);

// Sets the viewing geometry (SetViewingGeometry) as described above.
// User-interface thread, before any thread that reads it is started.
void SetUpViewing(const CommandLine& command, HWND window);
