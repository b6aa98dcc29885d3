// Rendering of one frame of the FRC cycle into a DibSurface.
#pragma once

#include <windows.h>

#include <cstdint>

#include "imaging/dib_surface.h"

// Fills surface (whatever it held is released first) with a 32-bpp copy of
// source in which every colour channel of every pixel is replaced by the level
// the panel shows in frame k at that place, using the current level tables.
// The surface ends Ready (memory DC created, holding its initial object).
// Returns 1, or 0 when the conversion fails (surface reset) or the memory DC
// cannot be created (the bitmap stays in the surface).
int RenderFrame(DibSurface* surface, HBITMAP source, std::uint32_t frameIndex);
