// LoadSourceImage: see load_source.h.
#include "imaging/load_source.h"

#include <cstdint>
#include <cstring>

#include "base/scoped_handle.h"
#include "imaging/dib_size.h"
#include "imaging/gdiplus_decode.h"
#include "imaging/packed_dib.h"
#include "imaging/plugin_host.h"
#include "imaging/plugin_isolation.h"

namespace {

// A BITMAPINFOHEADER followed by the three BI_BITFIELDS masks.
struct HeaderWithMasks {
  BITMAPINFOHEADER header;
  DWORD masks[3];
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

namespace {

// The loaders' hooks and the last load's refusal: the window's thread only.
struct Loaders {
  void (*beforeSourceChange)() = nullptr;
  bool (*sizeCheck)(std::int32_t, std::int32_t) = nullptr;
  bool refusedForSize = false;
};
Loaders loaders;

// Every loader empties SourceSurface through here.
void ReleaseSourcePicture() {
  if (loaders.beforeSourceChange) loaders.beforeSourceChange();
  SourceSurface.Reset();
}

}  // namespace

void SetBeforeSourceChange(void (*hook)()) { loaders.beforeSourceChange = hook; }

namespace {


// False, noted for LastLoadRefusedForSize, when the check refuses the size.
bool SizeAccepted(std::int32_t width, std::int32_t height) {
  loaders.refusedForSize = loaders.sizeCheck && !loaders.sizeCheck(width, height);
  return !loaders.refusedForSize;
}

bool BitmapSizeAccepted(HBITMAP bitmap) {
  BITMAP info = {};
  if (!GetObjectW(bitmap, sizeof info, &info)) return true;  // the conversion fails on its own
  return SizeAccepted(info.bmWidth, info.bmHeight < 0 ? -info.bmHeight : info.bmHeight);
}

}  // namespace

void SetSourceSizeCheck(bool (*fits)(std::int32_t width, std::int32_t height)) { loaders.sizeCheck = fits; }

bool LastLoadRefusedForSize() { return loaders.refusedForSize; }

int LoadSourceFromBitmap(HBITMAP decoded) {
  loaders.refusedForSize = false;
  if (!BitmapSizeAccepted(decoded)) return 0;
  ReleaseSourcePicture();
  PrepareDib32Header(&SourceSurface.header);
  SourceSurface.bitmap = ConvertToDib32(&SourceSurface.header, &SourceSurface.bits, decoded);
  if (!SourceSurface.bitmap) return 0;
  SourceSurface.byteSize = SourceSurface.header.bmiHeader.biSizeImage;
  return CreateSurfaceDc(&SourceSurface);
}

int LoadSourceImage(const wchar_t* path) {
  loaders.refusedForSize = false;
  HBITMAP decodedBitmap = PluginChildProgram().empty() ? DecodeWithPlugins(path)
                                                       : DecodeWithPluginsIsolated(PluginChildProgram().c_str(), path);
  // Plug-in output may be in any format and orientation; GDI+ output is always
  // a 32-bpp bottom-up section, which the surface can take as it is.
  const bool fromGdiplus = !decodedBitmap;
  if (!decodedBitmap) decodedBitmap = DecodeWithGdiplus(path);
  if (!decodedBitmap) return 0;
  ScopedBitmap decoded(decodedBitmap);
  if (!BitmapSizeAccepted(decoded.get())) return 0;

  ReleaseSourcePicture();
  // Converting such a section would be a block copy of identical bytes.
  if (fromGdiplus && TakeOverDib32(&SourceSurface, decoded.get())) {
    decoded.release();
    return CreateSurfaceDc(&SourceSurface);
  }
  return LoadSourceFromBitmap(decoded.get());
}

int LoadSourcePattern(TestPattern pattern, std::int32_t width, std::int32_t height) {
  std::uint32_t bytes = 0;
  loaders.refusedForSize = false;
  if (width < 1 || height < 1 || !DibImageSize(32, width, height, &bytes) || !SizeAccepted(width, height)) return 0;
  BITMAPINFO header;
  PrepareDib32Header(&header);
  header.bmiHeader.biWidth = width;
  header.bmiHeader.biHeight = height;
  void* bits = nullptr;
  ScopedBitmap section(CreateDIBSection(nullptr, &header, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!section.get() || !bits) return 0;
  FillTestPattern(pattern, static_cast<std::uint8_t*>(bits), width, height);
  ReleaseSourcePicture();
  if (!TakeOverDib32(&SourceSurface, section.get())) return 0;
  section.release();
  return CreateSurfaceDc(&SourceSurface);
}

int LoadSourceFromPackedDib(const void* block, std::size_t size) {
  loaders.refusedForSize = false;
  const std::uint8_t* bytes = static_cast<const std::uint8_t*>(block);
  PackedDibPlan plan;
  if (!PlanPackedDib(bytes, size, &plan)) return 0;
  HeaderWithMasks info = {};
  std::memcpy(&info.header, bytes, sizeof info.header);
  std::memcpy(info.masks, plan.masks, sizeof info.masks);
  const std::size_t offset = static_cast<std::size_t>(plan.pixelOffset);
  const std::uint32_t pixelBytes = plan.pixelBytes;

  info.header.biSize = sizeof info.header;
  info.header.biPlanes = 1;
  info.header.biSizeImage = 0;
  info.header.biClrUsed = 0;
  info.header.biClrImportant = 0;
  void* bits = nullptr;
  ScopedBitmap section(
      CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!section.get() || !bits) return 0;
  std::memcpy(bits, bytes + offset, pixelBytes);
  return LoadSourceFromBitmap(section.get());
}
