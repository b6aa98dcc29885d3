// Loading an image file into SourceSurface: the plug-ins first (in the
// decoding child when PluginChildProgram is set, else in this process), GDI+
// second.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "imaging/dib_surface.h"
#include "imaging/test_patterns.h"

// Decodes the file at path (plug-ins first, then GDI+) and makes it the
// 32-bpp bottom-up picture of SourceSurface, with its memory DC (Ready), the
// bitmap left free to be selected elsewhere. Returns 1 on success; 0 when
// nothing decodes the file (SourceSurface then keeps the previous picture) or
// a later step fails. Shows no message. The decoded bitmap never outlives the call.
int LoadSourceImage(const wchar_t* path);

// Makes the packed DIB in `block` (a BITMAPINFOHEADER or a larger header,
// BI_BITFIELDS masks after a 40-byte header, any colour table, then the rows,
// as the clipboard holds one; `size` bytes readable) the picture of
// SourceSurface, as LoadSourceImage does with a decoded file. Takes 24 bits
// BI_RGB and 32 bits BI_RGB or BI_BITFIELDS, bottom-up or top-down. Returns 1
// on success; 0 for anything else or a block shorter than its rows, and then
// SourceSurface keeps the previous picture unless the conversion itself failed.
int LoadSourceFromPackedDib(const void* block, std::size_t size);

// Converts `decoded` (any DIB section or bitmap; the caller keeps it) into
// SourceSurface, emptied first, and readies its DC, as LoadSourceImage does
// with a plug-in's picture. Returns 1, or 0 with SourceSurface empty or
// without its DC.
int LoadSourceFromBitmap(HBITMAP decoded);

// Makes the test pattern at width x height (each at least 1) the picture of
// SourceSurface, as LoadSourceImage does with a decoded file. Returns 1 on
// success; 0 when the section cannot be made (SourceSurface then keeps the
// previous picture) or its DC cannot.
int LoadSourcePattern(TestPattern pattern, std::int32_t width, std::int32_t height);

// Names the function every loader calls on the window's thread just before
// it releases SourceSurface's pixels, so that a reader of them on another
// thread (the frame maker) stops first. One hook; null for none.
void SetBeforeSourceChange(void (*hook)());

// Names the function every loader asks, before it releases the previous
// picture, whether a picture of width x height may be taken (the program
// asks whether a few of its frames would fit); a refused size fails the load
// with SourceSurface unchanged. Null takes every size. Window's thread.
void SetSourceSizeCheck(bool (*fits)(std::int32_t width, std::int32_t height));

// True when the last load on this thread failed because the check refused
// the picture's size.
bool LastLoadRefusedForSize();

// Makes `decoded` the surface's bitmap when it already is what ConvertToDib32
// would make of it. `decoded` must be a bottom-up section, as DecodeWithGdiplus
// makes (GDI reports the height of a top-down section as positive, so that
// cannot be told from the bitmap); this checks the rest: a 32-bpp BI_RGB DIB
// section with rows of width * 4 bytes. Then the (empty) surface owns it, its
// header, bits and byteSize are filled as a conversion fills them, and 1 is
// returned. Otherwise 0, and neither the surface nor the bitmap is touched.
int TakeOverDib32(DibSurface* surface, HBITMAP decoded);
