// DibSurface: one 32-bpp bottom-up DIB section with the memory DC the views
// copy it through, and ConvertToDib32, the one conversion of any GDI bitmap
// into such a section.
//
// Invariant between uses: memoryDc holds savedObject, not bitmap. The bitmap is
// selected into memoryDc only for one block copy at a time, so that it can be
// selected into another DC (as a conversion source) or deleted at any moment.
#pragma once

#include <windows.h>

#include <cstdint>

struct DibSurface {
  HBITMAP bitmap;         // owned; null when empty
  BITMAPINFO header;      // describes bitmap; the colour entry stays zero
  void* bits;             // pixel memory of bitmap, valid as long as bitmap exists
  DWORD byteSize;         // biSizeImage once the conversion has succeeded
  HDC memoryDc;           // owned; created once the pixels are final
  HGDIOBJ savedObject;    // memoryDc's own initial bitmap; not owned
  // Identity of the picture the surface holds: a number no other surface and
  // no earlier content of this one has had, given at construction and by every
  // Reset. A picture can only enter a surface after one of those, so equal
  // generations mean the same picture (handles and addresses are reused).
  std::uint32_t generation;

  DibSurface();           // empty: every field zero but generation
  ~DibSurface();          // Reset
  DibSurface(const DibSurface&) = delete;
  DibSurface& operator=(const DibSurface&) = delete;

  // Deletes the bitmap, then the memory DC, zeroes every field and gives the
  // surface a new generation. Safe on several threads for different surfaces.
  void Reset();
};

// Moves what from holds (bitmap, DC, pixels, generation) into to, which must
// be empty; from is left reset.
void MoveSurface(DibSurface* to, DibSurface* from);

static_assert(sizeof(BITMAPINFO) == 44, "BITMAPINFO is a 40-byte header and one colour entry");

// The loaded picture. Empty at start; written only by the loaders of
// imaging/load_source.h (LoadSourceImage, LoadSourcePattern,
// LoadSourceFromPackedDib, LoadSourceFromBitmap) and released at exit, all on
// the window's thread.
// Read on that thread. Three other threads read its pixels, each only while
// no loader can replace them: the frame maker and its band helpers (every
// loader stops them first, through SetBeforeSourceChange), a save's thread
// and the flash judgement's (both cancelled, and waited for, before any load).
extern DibSurface SourceSurface;

// Fills header for a 32-bpp BI_RGB copy whose size is taken from the source
// (biWidth and biHeight 0): the preparation both callers of ConvertToDib32 make.
void PrepareDib32Header(BITMAPINFO* header);

// Creates a 32-bpp DIB section from header and copies source into it.
// header must have biSize 40, biPlanes 1, biBitCount 32, BI_RGB; a biWidth or
// biHeight of 0 is taken from the source, and biSizeImage is always recomputed.
// source must not be selected into any DC; it stays the caller's, unchanged.
// Returns the new section (caller owns it) and stores its pixels in *bits; on
// failure returns null with *bits null and leaves no GDI object behind. A size
// whose byte count does not fit 32 bits fails.
HBITMAP ConvertToDib32(BITMAPINFO* header, void** bits, HBITMAP source);

// Creates a 32-bpp DIB section sized as ConvertToDib32 would for source, but
// copies nothing into it: for callers that fill the pixels themselves. Same
// ownership and failure rules as ConvertToDib32.
HBITMAP CreateDib32For(BITMAPINFO* header, void** bits, HBITMAP source);

// Creates the surface's memory DC and records its initial object, leaving the
// DC holding that object (the Converted -> Ready step). Returns 1, or 0 when the
// DC cannot be created.
int CreateSurfaceDc(DibSurface* surface);
