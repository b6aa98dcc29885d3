// PNG and whole-file writing: see png_writer.h.
#include "imaging/png_writer.h"

#include <gdiplus.h>

#include <cstdint>
#include <cwchar>
#include <vector>

namespace {

using namespace Gdiplus::DllExports;

bool FindPngEncoder(CLSID* clsid) {
  UINT count = 0, bytes = 0;
  if (GdipGetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0) return false;
  std::vector<unsigned char> buffer(bytes);
  Gdiplus::ImageCodecInfo* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
  if (GdipGetImageEncoders(count, bytes, codecs) != Gdiplus::Ok) return false;
  for (UINT i = 0; i < count; ++i) {
    if (codecs[i].MimeType && std::wcscmp(codecs[i].MimeType, L"image/png") == 0) {
      *clsid = codecs[i].Clsid;
      return true;
    }
  }
  return false;
}

// The grey ramp of an 8-bit grey picture: entry i is (i, i, i).
bool SetGreyPalette(Gdiplus::GpBitmap* bitmap) {
  std::vector<unsigned char> buffer(sizeof(Gdiplus::ColorPalette) + 255 * sizeof(Gdiplus::ARGB));
  Gdiplus::ColorPalette* palette = reinterpret_cast<Gdiplus::ColorPalette*>(buffer.data());
  palette->Flags = Gdiplus::PaletteFlagsGrayScale;
  palette->Count = 256;
  for (Gdiplus::ARGB i = 0; i < 256; ++i) palette->Entries[i] = 0xFF000000u | i << 16 | i << 8 | i;
  return GdipSetImagePalette(bitmap, palette) == Gdiplus::Ok;
}

// Encodes into the writer's stream from its start; returns the PNG's size, or
// 0 when the encoder fails. The stream keeps its memory from one picture to
// the next and is first made as large as a picture of rawBytes can encode to:
// a memory stream grows by a reallocation (and a copy) at every write past
// its end, which costs more than the encoding and holds the process heap's
// lock that other threads' encoders need too.
ULONG EncodeToStream(PngWriter* writer, Gdiplus::GpBitmap* bitmap, std::uint64_t rawBytes) {
  const LARGE_INTEGER start = {};
  STATSTG state = {};
  ULARGE_INTEGER room = {};
  room.QuadPart = rawBytes + rawBytes / 64 + 65536;  // incompressible rows, filter bytes, headers
  if (room.QuadPart > 0x7FFFFFFFu) room.QuadPart = 0;
  if (SUCCEEDED(writer->stream->Stat(&state, STATFLAG_NONAME)) && state.cbSize.QuadPart < room.QuadPart)
    writer->stream->SetSize(room);  // without the room the stream still grows as it goes
  if (FAILED(writer->stream->Seek(start, STREAM_SEEK_SET, nullptr))) return 0;
  if (GdipSaveImageToStream(bitmap, writer->stream.get(), &writer->encoder, nullptr) != Gdiplus::Ok) return 0;
  ULARGE_INTEGER end = {};
  if (FAILED(writer->stream->Seek(start, STREAM_SEEK_CUR, &end)) || end.QuadPart > 0xFFFFFFFFu) return 0;
  return static_cast<ULONG>(end.QuadPart);
}

}  // namespace

int OpenPngWriter(PngWriter* writer) {
  writer->stream.Reset();
  if (!FindPngEncoder(&writer->encoder)) return 0;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, writer->stream.Receive()))) {
    writer->stream.Reset();
    return 0;
  }
  return 1;
}

void ClosePngWriter(PngWriter* writer) {
  writer->stream.Reset();
}

DWORD WritePngFile(PngWriter* writer, const wchar_t* path, const void* topRow, int width, int height, int stride,
                   PngPixels pixels) {
  // The scan0 constructor only wraps the memory; the encoder reads it in place.
  ScopedGdipBitmap bitmap;
  const Gdiplus::PixelFormat format = pixels == PngPixels::kBgr24 ? PixelFormat24bppRGB : PixelFormat8bppIndexed;
  if (GdipCreateBitmapFromScan0(width, height, stride, format, static_cast<BYTE*>(const_cast<void*>(topRow)),
                                bitmap.Receive()) != Gdiplus::Ok) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  if (pixels == PngPixels::kGrey8 && !SetGreyPalette(bitmap.get())) return ERROR_NOT_ENOUGH_MEMORY;
  const std::uint64_t rawBytes = std::uint64_t(height) * std::uint64_t(stride < 0 ? -std::int64_t(stride) : stride);
  const ULONG size = EncodeToStream(writer, bitmap.get(), rawBytes);
  if (size == 0) return ERROR_NOT_ENOUGH_MEMORY;

  HGLOBAL memory = nullptr;
  if (FAILED(GetHGlobalFromStream(writer->stream.get(), &memory))) return ERROR_NOT_ENOUGH_MEMORY;
  const void* data = GlobalLock(memory);
  if (!data) return ERROR_NOT_ENOUGH_MEMORY;
  const DWORD result = WriteWholeFile(path, data, size);
  GlobalUnlock(memory);
  return result;
}

DWORD WriteWholeFile(const wchar_t* path, const void* data, std::size_t size) {
  ScopedHandle file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return GetLastError();
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes, chunk, &written, nullptr)) return GetLastError();
    if (written == 0) return ERROR_WRITE_FAULT;
    bytes += written;
    size -= written;
  }
  return file.Close();
}
