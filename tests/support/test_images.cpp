// Generated test images: see test_images.h.
#include "tests/support/test_images.h"

#include <gdiplus.h>

#include <cstring>

#include "imaging/dib_surface.h"

namespace {

using namespace Gdiplus::DllExports;

bool EncoderFor(const wchar_t* mimeType, CLSID* clsid) {
  UINT count = 0, bytes = 0;
  if (GdipGetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0) return false;
  std::vector<BYTE> buffer(bytes);
  auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
  if (GdipGetImageEncoders(count, bytes, codecs) != Gdiplus::Ok) return false;
  for (UINT i = 0; i < count; ++i) {
    if (codecs[i].MimeType && std::wcscmp(codecs[i].MimeType, mimeType) == 0) {
      *clsid = codecs[i].Clsid;
      return true;
    }
  }
  return false;
}

void Put16(std::vector<std::uint8_t>* out, unsigned v) {
  out->push_back(static_cast<std::uint8_t>(v));
  out->push_back(static_cast<std::uint8_t>(v >> 8));
}

void Put32(std::vector<std::uint8_t>* out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

void Set32(std::vector<std::uint8_t>* out, size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) (*out)[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// LSB-first bit packer for GIF's LZW codes.
struct BitWriter {
  std::vector<std::uint8_t> bytes;
  unsigned accumulator = 0;
  int count = 0;
  void Put(unsigned code, int width) {
    accumulator |= code << count;
    count += width;
    while (count >= 8) {
      bytes.push_back(static_cast<std::uint8_t>(accumulator));
      accumulator >>= 8;
      count -= 8;
    }
  }
  void Flush() {
    if (count > 0) bytes.push_back(static_cast<std::uint8_t>(accumulator));
    accumulator = 0;
    count = 0;
  }
};

}  // namespace

bool SaveWithGdiplus(const std::wstring& path, const wchar_t* mimeType, int width, int height,
                     const std::vector<std::uint32_t>& argb, float dpi) {
  CLSID clsid;
  if (!EncoderFor(mimeType, &clsid)) return false;
  std::vector<std::uint32_t> pixels = argb;
  Gdiplus::GpBitmap* bitmap = nullptr;
  if (GdipCreateBitmapFromScan0(width, height, width * 4, PixelFormat32bppARGB,
                                reinterpret_cast<BYTE*>(pixels.data()), &bitmap) != Gdiplus::Ok) {
    return false;
  }
  GdipBitmapSetResolution(bitmap, dpi, dpi);
  const bool saved = GdipSaveImageToFile(bitmap, path.c_str(), &clsid, nullptr) == Gdiplus::Ok;
  GdipDisposeImage(bitmap);
  return saved;
}

std::vector<std::uint8_t> MakeGif(int width, int height, std::uint32_t color0, std::uint32_t color1,
                                  const std::vector<std::vector<std::uint8_t>>& frames) {
  std::vector<std::uint8_t> out = {'G', 'I', 'F', '8', '9', 'a'};
  Put16(&out, static_cast<unsigned>(width));
  Put16(&out, static_cast<unsigned>(height));
  out.insert(out.end(), {0x80, 0, 0});  // a global table of 2 entries
  for (std::uint32_t c : {color0, color1}) {
    out.insert(out.end(), {static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8), static_cast<std::uint8_t>(c)});
  }
  const std::uint8_t loop[] = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0, 0};
  out.insert(out.end(), loop, loop + sizeof loop);
  for (const auto& frame : frames) {
    out.insert(out.end(), {0x21, 0xF9, 4, 0x04, 10, 0, 0, 0});  // 0.1 s, keep the frame
    out.push_back(0x2C);
    Put16(&out, 0);
    Put16(&out, 0);
    Put16(&out, static_cast<unsigned>(width));
    Put16(&out, static_cast<unsigned>(height));
    out.push_back(0);
    out.push_back(2);  // minimum code size: codes are 3 bits wide
    // A clear code before every two pixels keeps the code width at 3 bits.
    BitWriter bits;
    for (size_t i = 0; i < frame.size(); ++i) {
      if (i % 2 == 0) bits.Put(4, 3);
      bits.Put(frame[i], 3);
    }
    bits.Put(5, 3);
    bits.Flush();
    for (size_t at = 0; at < bits.bytes.size(); at += 255) {
      const size_t n = bits.bytes.size() - at < 255 ? bits.bytes.size() - at : 255;
      out.push_back(static_cast<std::uint8_t>(n));
      out.insert(out.end(), bits.bytes.begin() + at, bits.bytes.begin() + at + n);
    }
    out.push_back(0);
  }
  out.push_back(0x3B);
  return out;
}

std::vector<std::uint8_t> MakeTiff(int width, int height, const std::vector<std::vector<std::uint32_t>>& pages) {
  std::vector<std::uint8_t> out = {'I', 'I', 42, 0, 0, 0, 0, 0};
  size_t linkAt = 4;  // where the offset of the next IFD goes
  for (const auto& page : pages) {
    const std::uint32_t bitsAt = static_cast<std::uint32_t>(out.size());
    Put16(&out, 8);
    Put16(&out, 8);
    Put16(&out, 8);
    const std::uint32_t stripAt = static_cast<std::uint32_t>(out.size());
    for (std::uint32_t c : page) {
      out.insert(out.end(), {static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8), static_cast<std::uint8_t>(c)});
    }
    if (out.size() % 2) out.push_back(0);
    const std::uint32_t ifdAt = static_cast<std::uint32_t>(out.size());
    Set32(&out, linkAt, ifdAt);
    struct Entry {
      unsigned tag, type;
      std::uint32_t count, value;
    };
    const std::uint32_t w = static_cast<std::uint32_t>(width), h = static_cast<std::uint32_t>(height);
    const Entry entries[] = {{256, 4, 1, w},       {257, 4, 1, h},           {258, 3, 3, bitsAt},
                             {259, 3, 1, 1},       {262, 3, 1, 2},           {273, 4, 1, stripAt},
                             {277, 3, 1, 3},       {278, 4, 1, h},           {279, 4, 1, w * h * 3},
                             {284, 3, 1, 1}};
    Put16(&out, sizeof entries / sizeof entries[0]);
    for (const Entry& e : entries) {
      Put16(&out, e.tag);
      Put16(&out, e.type);
      Put32(&out, e.count);
      Put32(&out, e.value);  // a single SHORT sits in the low half, little-endian
    }
    linkAt = out.size();
    Put32(&out, 0);
  }
  return out;
}

std::vector<std::uint8_t> MakePalettedBmp(int width, int height, int bitCount, const std::vector<std::uint8_t>& indices,
                                          const std::vector<std::uint32_t>& palette) {
  const size_t stride = (static_cast<size_t>(bitCount) * width + 31) / 32 * 4;
  const std::uint32_t dataAt = static_cast<std::uint32_t>(14 + 40 + palette.size() * 4);
  std::vector<std::uint8_t> out = {'B', 'M'};
  Put32(&out, static_cast<std::uint32_t>(dataAt + stride * height));
  Put32(&out, 0);
  Put32(&out, dataAt);
  Put32(&out, 40);
  Put32(&out, static_cast<std::uint32_t>(width));
  Put32(&out, static_cast<std::uint32_t>(height));
  Put16(&out, 1);
  Put16(&out, static_cast<unsigned>(bitCount));
  Put32(&out, 0);
  Put32(&out, static_cast<std::uint32_t>(stride * height));
  Put32(&out, 2835);
  Put32(&out, 2835);
  Put32(&out, static_cast<std::uint32_t>(palette.size()));
  Put32(&out, 0);
  for (std::uint32_t c : palette) Put32(&out, c & 0xFFFFFF);
  for (int row = height - 1; row >= 0; --row) {
    std::vector<std::uint8_t> line(stride, 0);
    for (int x = 0; x < width; ++x) {
      const unsigned index = indices[static_cast<size_t>(row) * width + x];
      const int bit = x * bitCount;
      line[bit / 8] |= static_cast<std::uint8_t>(index << (8 - bitCount - bit % 8));
    }
    out.insert(out.end(), line.begin(), line.end());
  }
  return out;
}

std::vector<std::uint32_t> SurfacePixels(const void* bits, int width, int height) {
  std::vector<std::uint32_t> pixels(static_cast<size_t>(width) * height);
  const auto* bytes = static_cast<const std::uint8_t*>(bits);
  for (int top = 0; top < height; ++top) {
    for (int x = 0; x < width; ++x) {
      std::uint32_t v;
      std::memcpy(&v, bytes + (static_cast<size_t>(height - 1 - top) * width + x) * 4, 4);
      pixels[static_cast<size_t>(top) * width + x] = v & 0xFFFFFF;
    }
  }
  return pixels;
}

std::vector<std::uint32_t> BitmapPixels(HBITMAP bitmap, int* width, int* height) {
  BITMAPINFO header;
  PrepareDib32Header(&header);
  void* bits = nullptr;
  HBITMAP copy = ConvertToDib32(&header, &bits, bitmap);
  if (!copy) return {};
  const int w = header.bmiHeader.biWidth, h = header.bmiHeader.biHeight;
  if (width) *width = w;
  if (height) *height = h;
  std::vector<std::uint32_t> pixels = SurfacePixels(bits, w, h);
  DeleteObject(copy);
  return pixels;
}
