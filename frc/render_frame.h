// Rendering of one frame of the FRC cycle into a DibSurface.
#pragma once

#include <windows.h>

#include <cstdint>

#include "imaging/dib_surface.h"

// Fills surface with a 32-bpp copy of source in which every colour channel of
// every pixel is replaced by the level the panel shows in frame k at that
// place, using the current level tables. source must hold a 32-bpp bottom-up
// section with its pixels (as every surface from ConvertToDib32 does).
//
// When surface already holds a Ready section of the source's size, that
// section is overwritten in full and kept (no GDI object is created);
// otherwise whatever it held is released and a new section and memory DC are
// made. The surface ends Ready (memory DC created, holding its initial object).
// Returns 1, or 0 when the section cannot be made (surface reset) or the memory
// DC cannot be created (the bitmap stays in the surface).
//
// Any thread; several threads may render different surfaces from one source
// at once while the tables stay unchanged.
int RenderFrame(DibSurface* surface, const DibSurface& source, std::uint32_t frameIndex);

// The first half of RenderFrame: makes surface Ready with a section of the
// source's size, keeping the one it holds when that fits, without writing any
// pixel. Same results and failures as RenderFrame.
int PrepareFrame(DibSurface* surface, const DibSurface& source);
