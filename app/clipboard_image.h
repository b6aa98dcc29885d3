// Pictures to and from the clipboard: a pasted image becomes the source as an
// opened file does; a copy puts a shown picture there as a packed DIB.
#pragma once

#include <windows.h>

#include "imaging/dib_surface.h"

// Loads the clipboard's image (CF_DIBV5, else CF_DIB; 24 or 32 bits, either
// row order) into SourceSurface. Returns 1 on success; 0 when the clipboard
// cannot be opened or holds no such image (SourceSurface then unchanged).
// Shows no message. `owner` is the window that opens the clipboard.
int PasteClipboardImage(HWND owner);

// Puts a copy of the whole picture on the clipboard as CF_DIB (its 40-byte
// header and rows, 32 bits, bottom-up), replacing what was there. Returns 1
// on success, 0 when memory or the clipboard is not to be had.
int CopyPictureToClipboard(HWND owner, const DibSurface& picture);
