// DecodeWithGdiplus: see gdiplus_decode.h.
#include "imaging/gdiplus_decode.h"

#include <gdiplus.h>

#include <climits>

#include "base/scoped_handle.h"
#include "imaging/dib_size.h"
#include "imaging/dib_surface.h"

namespace {

using namespace Gdiplus::DllExports;

// Wraps the section's pixels in a GDI+ bitmap and draws the decoded image into
// it. The wrapper is made over the section's own memory (bottom-up rows: the
// top row is the last one, with a negative stride), so the drawing lands in the
// section itself; a wrapper made from the DIB header may copy the pixels instead.
bool DrawInto(BYTE* bits, INT width, INT height, Gdiplus::GpImage* decoded) {
  const INT stride = width * 4;
  ScopedGdipBitmap wrapper;
  if (GdipCreateBitmapFromScan0(width, height, -stride, PixelFormat32bppRGB,
                                bits + static_cast<size_t>(height - 1) * static_cast<size_t>(stride),
                                wrapper.Receive()) != Gdiplus::Ok) {
    return false;
  }
  ScopedGdipGraphics graphics;
  if (GdipGetImageGraphicsContext(wrapper.get(), graphics.Receive()) != Gdiplus::Ok) return false;
  // Drawn into a rectangle of its own pixel size: 1:1 whatever resolution the
  // file records. The section starts all zero, so transparency blends with black.
  return GdipDrawImageRectI(graphics.get(), decoded, 0, 0, width, height) == Gdiplus::Ok;
}

}  // namespace

HBITMAP DecodeWithGdiplus(const wchar_t* path) {
  ScopedGdipBitmap decoded;
  if (GdipCreateBitmapFromFile(path, decoded.Receive()) != Gdiplus::Ok) return nullptr;

  UINT width = 0, height = 0;
  GdipGetImageWidth(decoded.get(), &width);
  GdipGetImageHeight(decoded.get(), &height);
  std::uint32_t bytes = 0;
  if (width == 0 || height == 0 || width > INT_MAX || height > INT_MAX || !DibImageSize(32, width, height, &bytes)) {
    return nullptr;
  }

  BITMAPINFO header;
  PrepareDib32Header(&header);
  header.bmiHeader.biWidth = static_cast<LONG>(width);
  header.bmiHeader.biHeight = static_cast<LONG>(height);
  header.bmiHeader.biSizeImage = bytes;
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(nullptr, &header, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!section) return nullptr;
  if (!bits || !DrawInto(static_cast<BYTE*>(bits), static_cast<INT>(width), static_cast<INT>(height), decoded.get())) {
    DeleteObject(section);
    return nullptr;
  }
  return section;
}
