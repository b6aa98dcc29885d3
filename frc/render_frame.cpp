// RenderFrame: see render_frame.h.
#include "frc/render_frame.h"

#include "frc/frame_mapping.h"

int RenderFrame(DibSurface* surface, HBITMAP source, std::uint32_t frameIndex) {
  surface->Reset();
  PrepareDib32Header(&surface->header);

  // Frames of the loaded picture are mapped straight from its pixels into the
  // new section in one pass (it is a 32-bpp bottom-up section of the same
  // size); any other source is converted by GDI first and mapped in place.
  // The result is the same either way.
  const bool fromSource = source == SourceSurface.bitmap && SourceSurface.bits;
  surface->bitmap = fromSource ? CreateDib32For(&surface->header, &surface->bits, source)
                               : ConvertToDib32(&surface->header, &surface->bits, source);
  if (!surface->bitmap) return 0;
  surface->byteSize = surface->header.bmiHeader.biSizeImage;

  BYTE* pixels = static_cast<BYTE*>(surface->bits);
  MapFramePixels(fromSource ? static_cast<const BYTE*>(SourceSurface.bits) : pixels, pixels, surface->header.bmiHeader.biWidth,
                 surface->header.bmiHeader.biHeight, frameIndex);

  return CreateSurfaceDc(surface);
}
