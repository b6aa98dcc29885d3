// DibSurface and ConvertToDib32: see dib_surface.h.
#include "imaging/dib_surface.h"

#include <atomic>
#include <cstring>

#include "base/scoped_handle.h"
#include "imaging/dib_size.h"

namespace {

std::atomic<std::uint32_t> lastGeneration{0};

std::uint32_t NewGeneration() { return ++lastGeneration; }

}  // namespace

DibSurface SourceSurface;

DibSurface::DibSurface()
    : bitmap(nullptr), header(), bits(nullptr), byteSize(0), memoryDc(nullptr), savedObject(nullptr),
      generation(NewGeneration()) {}

DibSurface::~DibSurface() { Reset(); }

void DibSurface::Reset() {
  // The bitmap goes before the DC: by the invariant it is not selected into it.
  if (bitmap) DeleteObject(bitmap);
  bitmap = nullptr;
  std::memset(&header, 0, sizeof header);
  bits = nullptr;
  byteSize = 0;
  if (memoryDc) DeleteDC(memoryDc);
  savedObject = nullptr;
  memoryDc = nullptr;
  generation = NewGeneration();
}

void MoveSurface(DibSurface* to, DibSurface* from) {
  to->bitmap = from->bitmap;
  to->header = from->header;
  to->bits = from->bits;
  to->byteSize = from->byteSize;
  to->memoryDc = from->memoryDc;
  to->savedObject = from->savedObject;
  to->generation = from->generation;
  from->bitmap = nullptr;
  from->memoryDc = nullptr;
  from->Reset();
}

void PrepareDib32Header(BITMAPINFO* header) {
  std::memset(header, 0, sizeof *header);
  header->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  header->bmiHeader.biPlanes = 1;
  header->bmiHeader.biBitCount = 32;
  header->bmiHeader.biCompression = BI_RGB;
}

namespace {

// Takes the missing sizes from the source and computes biSizeImage, checked.
int CompleteDib32Header(BITMAPINFO* header, const BITMAP& source) {
  BITMAPINFOHEADER& h = header->bmiHeader;
  if (h.biWidth == 0) h.biWidth = source.bmWidth;
  if (h.biHeight == 0) h.biHeight = source.bmHeight;
  std::uint32_t bytes = 0;
  if (!DibImageSize(h.biBitCount, h.biWidth, h.biHeight, &bytes)) return 0;
  h.biSizeImage = bytes;
  return 1;
}

}  // namespace

HBITMAP CreateDib32For(BITMAPINFO* header, void** bits, HBITMAP source) {
  *bits = nullptr;
  BITMAP info;
  if (GetObjectW(source, sizeof info, &info) == 0) return nullptr;
  if (!CompleteDib32Header(header, info)) return nullptr;
  HBITMAP section = CreateDIBSection(nullptr, header, DIB_RGB_COLORS, bits, nullptr, 0);
  if (!section) *bits = nullptr;
  return section;
}

HBITMAP ConvertToDib32(BITMAPINFO* header, void** bits, HBITMAP source) {
  *bits = nullptr;
  BITMAP info;
  if (GetObjectW(source, sizeof info, &info) == 0) return nullptr;
  ScopedMemoryDc sourceDc(CreateCompatibleDC(nullptr));
  if (!sourceDc.get()) return nullptr;
  ScopedMemoryDc targetDc(CreateCompatibleDC(nullptr));
  if (!targetDc.get()) return nullptr;
  if (!CompleteDib32Header(header, info)) return nullptr;
  HBITMAP section = CreateDIBSection(nullptr, header, DIB_RGB_COLORS, bits, nullptr, 0);
  if (!section) {
    *bits = nullptr;
    return nullptr;
  }

  BOOL copied = FALSE;
  {
    ScopedSelection sourceSelected(sourceDc.get(), source);
    ScopedSelection targetSelected(targetDc.get(), section);
    copied = BitBlt(targetDc.get(), 0, 0, info.bmWidth, info.bmHeight, sourceDc.get(), 0, 0, SRCCOPY);
  }
  if (!copied) {
    DeleteObject(section);
    *bits = nullptr;
    return nullptr;
  }
  return section;
}

int CreateSurfaceDc(DibSurface* surface) {
  surface->memoryDc = CreateCompatibleDC(nullptr);
  if (!surface->memoryDc) return 0;
  surface->savedObject = SelectObject(surface->memoryDc, surface->bitmap);
  SelectObject(surface->memoryDc, surface->savedObject);
  return 1;
}
