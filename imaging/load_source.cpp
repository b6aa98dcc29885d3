// LoadSourceImage: see load_source.h.
#include "imaging/load_source.h"

#include "imaging/dib_size.h"
#include "imaging/gdiplus_decode.h"
#include "imaging/plugin_host.h"
#include "imaging/plugin_isolation.h"

namespace {

// A GDI bitmap deleted when the scope ends, unless released.
class BitmapGuard {
 public:
  explicit BitmapGuard(HBITMAP bitmap) : bitmap_(bitmap) {}
  ~BitmapGuard() {
    if (bitmap_) DeleteObject(bitmap_);
  }
  BitmapGuard(const BitmapGuard&) = delete;
  BitmapGuard& operator=(const BitmapGuard&) = delete;
  HBITMAP get() const { return bitmap_; }
  void release() { bitmap_ = nullptr; }

 private:
  HBITMAP bitmap_;
};

}  // namespace

int TakeOverDib32(DibSurface* surface, HBITMAP decoded) {
  DIBSECTION section;
  if (GetObjectW(decoded, sizeof section, &section) != sizeof section) return 0;
  const BITMAPINFOHEADER& made = section.dsBmih;
  if (!section.dsBm.bmBits || made.biBitCount != 32 || made.biCompression != BI_RGB || made.biHeight <= 0 ||
      made.biWidth <= 0 || section.dsBm.bmWidthBytes != made.biWidth * 4) {
    return 0;
  }
  std::uint32_t bytes = 0;
  if (!DibImageSize(32, made.biWidth, made.biHeight, &bytes)) return 0;
  PrepareDib32Header(&surface->header);
  surface->header.bmiHeader.biWidth = made.biWidth;
  surface->header.bmiHeader.biHeight = made.biHeight;
  surface->header.bmiHeader.biSizeImage = bytes;
  surface->bitmap = decoded;
  surface->bits = section.dsBm.bmBits;
  surface->byteSize = bytes;
  return 1;
}

int LoadSourceImage(const wchar_t* path) {
  HBITMAP decodedBitmap = PluginChildProgram.empty() ? DecodeWithPlugins(path)
                                                     : DecodeWithPluginsIsolated(PluginChildProgram.c_str(), path);
  // Plug-in output may be in any format and orientation; GDI+ output is always
  // a 32-bpp bottom-up section, which the surface can take as it is.
  const bool fromGdiplus = !decodedBitmap;
  if (!decodedBitmap) decodedBitmap = DecodeWithGdiplus(path);
  if (!decodedBitmap) return 0;
  BitmapGuard decoded(decodedBitmap);

  SourceSurface.Reset();
  // Converting such a section would be a block copy of identical bytes.
  if (fromGdiplus && TakeOverDib32(&SourceSurface, decoded.get())) {
    decoded.release();
  } else {
    PrepareDib32Header(&SourceSurface.header);
    SourceSurface.bitmap = ConvertToDib32(&SourceSurface.header, &SourceSurface.bits, decoded.get());
    if (!SourceSurface.bitmap) return 0;
    SourceSurface.byteSize = SourceSurface.header.bmiHeader.biSizeImage;
  }
  return CreateSurfaceDc(&SourceSurface);
}
