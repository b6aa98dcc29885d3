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

int PrepareFrame(DibSurface* surface, const DibSurface& source) {
  if (!source.bits || source.header.bmiHeader.biBitCount != 32 || source.header.bmiHeader.biHeight <= 0) {
    surface->Reset();
    return 0;
  }
  if (HoldsSectionLike(*surface, source)) return 1;
  surface->Reset();
  PrepareDib32Header(&surface->header);
  surface->bitmap = CreateDib32For(&surface->header, &surface->bits, source.bitmap);
  if (!surface->bitmap) return 0;
  surface->byteSize = surface->header.bmiHeader.biSizeImage;
  return CreateSurfaceDc(surface);
}

int RenderFrame(DibSurface* surface, const DibSurface& source, std::uint32_t frameIndex) {
  if (!PrepareFrame(surface, source)) return 0;
  MapFramePixels(static_cast<const BYTE*>(source.bits), static_cast<BYTE*>(surface->bits),
                 surface->header.bmiHeader.biWidth, surface->header.bmiHeader.biHeight, frameIndex);
  return 1;
}
