// RenderFrame: see render_frame.h.
#include "frc/render_frame.h"

#include "frc/frame_mapping.h"

namespace {

bool HoldsSectionLike(const DibSurface& surface, const DibSurface& source) {
  return surface.bitmap && surface.bits && surface.memoryDc &&
         surface.header.bmiHeader.biBitCount == 32 &&
         surface.header.bmiHeader.biWidth == source.header.bmiHeader.biWidth &&
         surface.header.bmiHeader.biHeight == source.header.bmiHeader.biHeight;
}

}  // namespace

int RenderFrame(DibSurface* surface, const DibSurface& source, std::uint32_t frameIndex) {
  if (!source.bits || source.header.bmiHeader.biBitCount != 32 || source.header.bmiHeader.biHeight <= 0) {
    surface->Reset();
    return 0;
  }
  const bool kept = HoldsSectionLike(*surface, source);
  if (!kept) {
    surface->Reset();
    PrepareDib32Header(&surface->header);
    surface->bitmap = CreateDib32For(&surface->header, &surface->bits, source.bitmap);
    if (!surface->bitmap) return 0;
    surface->byteSize = surface->header.bmiHeader.biSizeImage;
  }
  MapFramePixels(static_cast<const BYTE*>(source.bits), static_cast<BYTE*>(surface->bits),
                 surface->header.bmiHeader.biWidth, surface->header.bmiHeader.biHeight, frameIndex);
  return kept ? 1 : CreateSurfaceDc(surface);
}
