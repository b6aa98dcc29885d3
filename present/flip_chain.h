// A flip-model swap chain for a view window that is drawn with GDI: the
// caller takes a DC of the back buffer, draws the frame into it, gives the DC
// back and presents on the next refresh; afterwards the chain's present
// statistics say when each frame really reached the screen.
//
// Direct3D 11 and DXGI are looked up at run time (each chain loads d3d11.dll
// for as long as it lives), so the program starts on systems without them. A
// flip-model, GDI-compatible chain exists from Windows 8 on: there, and only
// there, the factory offers IDXGIFactory2 and accepts the flip-sequential
// effect with a GDI-compatible B8G8R8A8 buffer; anywhere else creation fails
// and the caller keeps presenting with GDI.
//
// A chain is used from one thread at a time (the thread that presents);
// DXGI may send messages to the window, so its thread must keep pumping.
#pragma once

#include <windows.h>

#include "present/present_timeline.h"

struct FlipChain;

// Makes a chain of width x height pixels for window. Caller owns it (free it
// with DestroyFlipChain); null when this system cannot make one. The window
// must not have another swap chain or be drawn on by the chain's owner in
// any other way while the chain exists.
FlipChain* CreateFlipChain(HWND window, int width, int height);

// Frees the chain and its buffers. A DC still taken is released first.
void DestroyFlipChain(FlipChain* chain);

// Gives the buffers a new size (the window's client size). The DC must not be
// taken. Returns 1, or 0 when they could not be resized (the chain is then
// unusable: destroy it and fall back to GDI).
int ResizeFlipChain(FlipChain* chain, int width, int height);

// A DC for the back buffer, holding what was last drawn into that buffer;
// the caller draws the whole frame into it. Owned by the chain: give it back
// with ReleaseFlipChainDc before presenting. Null on failure.
HDC TakeFlipChainDc(FlipChain* chain);
void ReleaseFlipChainDc(FlipChain* chain);

// Shows the back buffer on the next refresh (sync interval 1). It may wait
// while earlier frames are still queued. Returns 1, or 0 on failure.
int PresentFlipChain(FlipChain* chain);

enum class StatisticsRead {
  kRead,         // statistics filled in
  kNotYet,       // nothing to report at the moment (no present shown yet, or the
                 // counters restarted, e.g. after a mode change): read again later
  kUnavailable,  // this system gives no present statistics: present with GDI instead
};

// Reads the chain's present statistics and its latest present number into
// statistics. Nothing is written unless the result is kRead.
StatisticsRead ReadFlipChainStatistics(FlipChain* chain, PresentStatistics* statistics);
