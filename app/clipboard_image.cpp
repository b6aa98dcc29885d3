// Pictures to and from the clipboard: see clipboard_image.h.
#include "app/clipboard_image.h"

#include <cstring>
#include <initializer_list>

#include "base/scoped_handle.h"
#include "imaging/load_source.h"

namespace {

int LoadFormat(UINT format) {
  HANDLE data = GetClipboardData(format);
  if (!data) return 0;
  const void* block = GlobalLock(data);
  if (!block) return 0;
  const int loaded = LoadSourceFromPackedDib(block, GlobalSize(data));
  GlobalUnlock(data);
  return loaded;
}

}  // namespace

int PasteClipboardImage(HWND owner) {
  ScopedClipboard clipboard(OpenClipboard(owner) != FALSE);
  if (!clipboard.valid()) return 0;
  // The system offers each of the two formats made from the other as well;
  // the richer one first.
  for (UINT format : {static_cast<UINT>(CF_DIBV5), static_cast<UINT>(CF_DIB)})
    if (IsClipboardFormatAvailable(format) && LoadFormat(format)) return 1;
  return 0;
}

int CopyPictureToClipboard(HWND owner, const DibSurface& picture) {
  const BITMAPINFOHEADER& header = picture.header.bmiHeader;
  const SIZE_T pixelBytes = header.biSizeImage;
  if (!picture.bits || pixelBytes == 0) return 0;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof header + pixelBytes);
  if (!memory) return 0;
  unsigned char* block = static_cast<unsigned char*>(GlobalLock(memory));
  if (!block) {
    GlobalFree(memory);
    return 0;
  }
  std::memcpy(block, &header, sizeof header);
  std::memcpy(block + sizeof header, picture.bits, pixelBytes);
  GlobalUnlock(memory);
  ScopedClipboard clipboard(OpenClipboard(owner) != FALSE);
  // Once set, the memory belongs to the clipboard.
  if (!clipboard.valid() || !EmptyClipboard() || !SetClipboardData(CF_DIB, memory)) {
    GlobalFree(memory);
    return 0;
  }
  return 1;
}
