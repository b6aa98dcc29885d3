// The example image-decoder plug-in shipped beside Quillane: it opens the
// Netpbm formats (PBM, PGM, PPM), which GDI+ does not read. Copy netpbm.spi
// beside Quillane.exe to use it. It defines the two functions of the plug-in
// interface (imaging/plugin_api.h), the one contract host and plug-ins share.
#include <windows.h>

#include <cstring>

#include "base/scoped_handle.h"
#include "imaging/plugin_api.h"
#include "plugins/netpbm/netpbm_decode.h"

namespace {

// The data given to IsSupported is at least this long.
constexpr std::size_t kHeadSize = 2048;

// GetPicture's failure results.
constexpr int kNotNetpbm = 2;
constexpr int kOutOfMemory = 4;
constexpr int kBadData = 5;

}  // namespace

extern "C" {

int WINAPI IsSupported(INT_PTR reserved, const BYTE* data) {
  (void)reserved;
  return data && LooksLikeNetpbm(data, kHeadSize) ? 1 : 0;
}

int WINAPI GetPicture(const BYTE* image, DWORD length, DWORD flag, HLOCAL* header, HLOCAL* pixels, INT_PTR reserved1,
                      DWORD reserved2) {
  (void)flag;
  (void)reserved1;
  (void)reserved2;
  if (!image || !header || !pixels) return kNotNetpbm;
  NetpbmHeader file;
  if (!ReadNetpbmHeader(image, length, &file)) return kNotNetpbm;

  // PBM and PGM come out as 8-bit grey with a grey palette, PPM as 24 bits.
  const DWORD paletteEntries = file.bitCount == 8 ? 256 : 0;
  // Fixed blocks: the handle is the memory.
  ScopedLocal info(LocalAlloc(LMEM_FIXED | LMEM_ZEROINIT, sizeof(BITMAPINFOHEADER) + paletteEntries * sizeof(RGBQUAD)));
  ScopedLocal rows(LocalAlloc(LMEM_FIXED | LMEM_ZEROINIT, file.pixelBytes));
  if (!info.valid() || !rows.valid()) return kOutOfMemory;
  BYTE* const infoData = static_cast<BYTE*>(info.get());
  if (!DecodeNetpbmRaster(image, length, file, static_cast<BYTE*>(rows.get()))) return kBadData;

  BITMAPINFOHEADER h = {};
  h.biSize = sizeof h;
  h.biWidth = static_cast<LONG>(file.width);
  h.biHeight = static_cast<LONG>(file.height);
  h.biPlanes = 1;
  h.biBitCount = file.bitCount;
  h.biCompression = BI_RGB;
  h.biSizeImage = file.pixelBytes;
  h.biClrUsed = paletteEntries;
  std::memcpy(infoData, &h, sizeof h);
  for (DWORD i = 0; i < paletteEntries; ++i) {
    const RGBQUAD grey = {static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i), 0};
    std::memcpy(infoData + sizeof h + i * sizeof grey, &grey, sizeof grey);
  }
  *header = info.release();
  *pixels = rows.release();
  return 0;
}

}  // extern "C"
