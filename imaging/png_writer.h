// Writing pictures as PNG files through GDI+'s own PNG encoder, and whole
// files in one go, reporting failures as Windows error codes so the caller can
// say why a file could not be written. GDI+ must be started.
#pragma once

#include <windows.h>

#include <objidl.h>

#include <cstddef>

#include "base/scoped_handle.h"

enum class PngPixels {
  kBgr24,  // three bytes per pixel: blue, green, red (a 24-bit PNG)
  kGrey8,  // one byte per pixel, 0 black to 255 white (an 8-bit grey PNG)
};

// The PNG encoder and one memory stream that every picture is encoded into
// before it goes to its file. Use from one thread at a time.
struct PngWriter {
  CLSID encoder;
  ComPtr<IStream> stream;
};

// Finds the encoder for "image/png" and creates the stream. Returns 1, or 0
// (writer empty) when either is missing.
int OpenPngWriter(PngWriter* writer);
void ClosePngWriter(PngWriter* writer);

// Encodes width x height pixels whose top row starts at topRow, rows stride
// bytes apart (negative for pictures stored bottom-up, as DIB sections are),
// and writes the PNG to path, replacing any file there. The pixels are read in
// place, not copied. Returns 0, or the Windows error code of the failure
// (ERROR_NOT_ENOUGH_MEMORY when the encoder fails); a failed write may leave a
// partial file at path.
DWORD WritePngFile(PngWriter* writer, const wchar_t* path, const void* topRow, int width, int height, int stride,
                   PngPixels pixels);

// Writes size bytes to path, replacing any file there. Returns 0 or the
// Windows error code; a failed write may leave a partial file.
DWORD WriteWholeFile(const wchar_t* path, const void* data, std::size_t size);
