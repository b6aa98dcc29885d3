// The fallback decoder: GDI+ reads the file and draws its picture into a new
// 32-bpp bottom-up DIB section of the picture's own pixel size.
#pragma once

#include <windows.h>

// Decodes the image file at path with GDI+ (which must be started) and draws
// it 1:1 over black into a new 32-bpp BI_RGB bottom-up DIB section: transparent
// parts come out blended with black; of several frames or pages, the first.
// The caller owns the returned bitmap; null when GDI+ cannot read the file, its
// size is 0 or too large, or any step fails. Nothing else outlives the call.
HBITMAP DecodeWithGdiplus(const wchar_t* path);
