// The example image-decoder plug-in shipped beside Quillane: it opens the
// Netpbm formats (PBM, PGM, PPM), which GDI+ does not read. Copy netpbm.spi
// beside Quillane.exe to use it. It follows the interface every plug-in of
// the program follows (see README.md):
//   int IsSupported(pointer-sized 0, const void* data)        nonzero: mine
//   int GetPicture(const void* image, DWORD length, DWORD 1,
//                  HLOCAL* header, HLOCAL* pixels, pointer-sized 0, DWORD 0)
//                                                              0: decoded
// exported undecorated with the standard calling convention, the two blocks
// allocated with LocalAlloc and handed to the caller.
#include <windows.h>

#include <cstring>

#include "plugins/netpbm/netpbm_decode.h"

namespace {

// The data given to IsSupported is at least this long.
constexpr std::size_t kHeadSize = 2048;

// A local-memory block freed when the scope ends, unless handed over.
class LocalBlock {
 public:
  explicit LocalBlock(SIZE_T size) : block_(LocalAlloc(LMEM_FIXED | LMEM_ZEROINIT, size)) {}
  ~LocalBlock() {
    if (block_) LocalFree(block_);
  }
  LocalBlock(const LocalBlock&) = delete;
  LocalBlock& operator=(const LocalBlock&) = delete;
  BYTE* data() const { return static_cast<BYTE*>(block_); }
  HLOCAL release() {
    HLOCAL block = block_;
    block_ = nullptr;
    return block;
  }

 private:
  HLOCAL block_;
};

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
  LocalBlock info(sizeof(BITMAPINFOHEADER) + paletteEntries * sizeof(RGBQUAD));
  LocalBlock rows(file.pixelBytes);
  if (!info.data() || !rows.data()) return kOutOfMemory;
  if (!DecodeNetpbmRaster(image, length, file, rows.data())) return kBadData;

  BITMAPINFOHEADER h = {};
  h.biSize = sizeof h;
  h.biWidth = static_cast<LONG>(file.width);
  h.biHeight = static_cast<LONG>(file.height);
  h.biPlanes = 1;
  h.biBitCount = file.bitCount;
  h.biCompression = BI_RGB;
  h.biSizeImage = file.pixelBytes;
  h.biClrUsed = paletteEntries;
  std::memcpy(info.data(), &h, sizeof h);
  for (DWORD i = 0; i < paletteEntries; ++i) {
    const RGBQUAD grey = {static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i), 0};
    std::memcpy(info.data() + sizeof h + i * sizeof grey, &grey, sizeof grey);
  }
  *header = info.release();
  *pixels = rows.release();
  return 0;
}

}  // extern "C"
