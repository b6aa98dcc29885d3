// DibSurface life cycle and ConvertToDib32 against the real GDI.
#include "imaging/dib_surface.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tests/support/win_test_support.h"

namespace {

bool IsEmpty(const DibSurface& s) {
  static const BITMAPINFO zero = {};
  return !s.bitmap && std::memcmp(&s.header, &zero, sizeof zero) == 0 && !s.bits && s.byteSize == 0 && !s.memoryDc &&
         !s.savedObject;
}

// Pixel at column x of picture row `top` (0 = top) in a converted surface.
unsigned PixelAt(const BITMAPINFO& header, const void* bits, int x, int top) {
  const int width = header.bmiHeader.biWidth, height = header.bmiHeader.biHeight;
  unsigned value;
  std::memcpy(&value, static_cast<const BYTE*>(bits) + (static_cast<size_t>(height - 1 - top) * width + x) * 4, 4);
  return value & 0xFFFFFFu;
}

class DibSurfaceTest : public ::testing::Test {
 protected:
  void SetUp() override { gdiBefore_ = GdiObjectCount(); }
  void TearDown() override { EXPECT_EQ(gdiBefore_, GdiObjectCount()) << "GDI objects left behind"; }

  // Converts source into a fresh surface the way the loaders do.
  bool Convert(DibSurface* surface, HBITMAP source) {
    PrepareDib32Header(&surface->header);
    surface->bitmap = ConvertToDib32(&surface->header, &surface->bits, source);
    if (!surface->bitmap) return false;
    surface->byteSize = surface->header.bmiHeader.biSizeImage;
    return true;
  }

 private:
  int gdiBefore_ = 0;
};

TEST_F(DibSurfaceTest, ConstructedEmptyAndResetStaysEmpty) {
  DibSurface surface;
  EXPECT_TRUE(IsEmpty(surface));
  surface.Reset();
  surface.Reset();
  EXPECT_TRUE(IsEmpty(surface));
  EXPECT_EQ(44u, sizeof surface.header);
}

TEST_F(DibSurfaceTest, ResetReleasesBitmapAndDc) {
  const int before = GdiObjectCount();
  {
    DibSurface surface;
    HBITMAP source = CreateTestDib32(5, 4, [](int x, int y) { return unsigned(x * 40 + y); });
    ASSERT_TRUE(Convert(&surface, source));
    ASSERT_EQ(1, CreateSurfaceDc(&surface));
    DeleteObject(source);
    EXPECT_GT(GdiObjectCount(), before);
    surface.Reset();
    EXPECT_TRUE(IsEmpty(surface));
    EXPECT_EQ(before, GdiObjectCount());
    surface.Reset();
    EXPECT_TRUE(IsEmpty(surface));
  }
  EXPECT_EQ(before, GdiObjectCount());
}

TEST_F(DibSurfaceTest, HeaderOfAThreeByTwoSource) {
  DibSurface surface;
  HBITMAP source = CreateTestDib32(3, 2, [](int, int) { return 0x123456u; });
  ASSERT_TRUE(Convert(&surface, source));
  DeleteObject(source);
  const BITMAPINFOHEADER& h = surface.header.bmiHeader;
  EXPECT_EQ(40u, h.biSize);
  EXPECT_EQ(3, h.biWidth);
  EXPECT_EQ(2, h.biHeight);
  EXPECT_EQ(1, h.biPlanes);
  EXPECT_EQ(32, h.biBitCount);
  EXPECT_EQ(DWORD(BI_RGB), h.biCompression);
  EXPECT_EQ(24u, h.biSizeImage);
  EXPECT_EQ(24u, surface.byteSize);
  EXPECT_EQ(0, h.biXPelsPerMeter + h.biYPelsPerMeter + int(h.biClrUsed) + int(h.biClrImportant));
  const RGBQUAD zero = {};
  EXPECT_EQ(0, std::memcmp(&zero, &surface.header.bmiColors[0], sizeof zero));
  ASSERT_NE(nullptr, surface.bits);
  EXPECT_EQ(0x123456u, PixelAt(surface.header, surface.bits, 2, 1));
}

TEST_F(DibSurfaceTest, ConvertsPalettedAndLowDepthSourcesToThirtyTwoBits) {
  // 1 bit: black and orange, alternating along the row; bottom row first in memory.
  {
    const RGBQUAD palette[2] = {{0, 0, 0, 0}, {0x10, 0x80, 0xF0, 0}};
    const BYTE rows[2][4] = {{0xA0, 0, 0, 0}, {0x50, 0, 0, 0}};  // bottom: 1010, top: 0101
    HBITMAP source = CreateTestDib(4, 2, 1, rows, palette, 2);
    DibSurface surface;
    ASSERT_TRUE(Convert(&surface, source));
    DeleteObject(source);
    EXPECT_EQ(4, surface.header.bmiHeader.biWidth);
    EXPECT_EQ(2, surface.header.bmiHeader.biHeight);
    EXPECT_EQ(0x000000u, PixelAt(surface.header, surface.bits, 0, 0));
    EXPECT_EQ(0xF08010u, PixelAt(surface.header, surface.bits, 1, 0));
    EXPECT_EQ(0xF08010u, PixelAt(surface.header, surface.bits, 0, 1));
  }
  // 8 bits with a palette of 256 grey-blue entries.
  {
    RGBQUAD palette[256];
    for (int i = 0; i < 256; ++i) palette[i] = {BYTE(i), BYTE(255 - i), BYTE(i / 2), 0};
    const BYTE rows[3][4] = {{0, 1, 2, 0}, {100, 200, 255, 0}, {7, 8, 9, 0}};
    HBITMAP source = CreateTestDib(3, 3, 8, rows, palette, 256);
    DibSurface surface;
    ASSERT_TRUE(Convert(&surface, source));
    DeleteObject(source);
    EXPECT_EQ(0x00FF00u | 0u, PixelAt(surface.header, surface.bits, 0, 2));
    EXPECT_EQ(unsigned(127 << 16 | 0 << 8 | 255), PixelAt(surface.header, surface.bits, 2, 1));
    EXPECT_EQ(unsigned(4 << 16 | 246 << 8 | 9), PixelAt(surface.header, surface.bits, 2, 0));
  }
  // 16 bits, 5-5-5: full red, full green, full blue.
  {
    const WORD row[4] = {0x7C00, 0x03E0, 0x001F, 0};
    HBITMAP source = CreateTestDib(3, 1, 16, row);
    DibSurface surface;
    ASSERT_TRUE(Convert(&surface, source));
    DeleteObject(source);
    EXPECT_EQ(0xF80000u, PixelAt(surface.header, surface.bits, 0, 0) & 0xF8F8F8u);
    EXPECT_EQ(0x00F800u, PixelAt(surface.header, surface.bits, 1, 0) & 0xF8F8F8u);
    EXPECT_EQ(0x0000F8u, PixelAt(surface.header, surface.bits, 2, 0) & 0xF8F8F8u);
  }
  // 24 bits, top-down rows.
  {
    const BYTE rows[2][12] = {{1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0}, {10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0}};
    HBITMAP source = CreateTestDib(3, -2, 24, rows);
    DibSurface surface;
    ASSERT_TRUE(Convert(&surface, source));
    DeleteObject(source);
    EXPECT_EQ(2, surface.header.bmiHeader.biHeight);
    EXPECT_EQ(0x030201u, PixelAt(surface.header, surface.bits, 0, 0));
    EXPECT_EQ(0x121110u, PixelAt(surface.header, surface.bits, 2, 1));
  }
}

TEST_F(DibSurfaceTest, DeviceDependentSourceIsConverted) {
  HDC screen = GetDC(nullptr);
  HBITMAP source = CreateCompatibleBitmap(screen, 6, 3);
  ReleaseDC(nullptr, screen);
  ASSERT_NE(nullptr, source);
  {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, source);
    RECT all = {0, 0, 6, 3};
    HBRUSH brush = CreateSolidBrush(RGB(200, 100, 50));
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    SelectObject(dc, old);
    DeleteDC(dc);
  }
  DibSurface surface;
  ASSERT_TRUE(Convert(&surface, source));
  DeleteObject(source);
  EXPECT_EQ(6, surface.header.bmiHeader.biWidth);
  EXPECT_EQ(0xC86432u, PixelAt(surface.header, surface.bits, 5, 2));
}

// A plain 32-bpp source is copied row by row rather than blitted; the result
// must be the same bytes, the fourth byte included, in either row order.
TEST_F(DibSurfaceTest, ThirtyTwoBitSourcesKeepEveryByte) {
  std::vector<unsigned> pixels(7 * 5);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = unsigned(i * 0x01030507u) ^ 0xA5000000u;
  for (int height : {5, -5}) {
    HBITMAP source = CreateTestDib(7, height, 32, pixels.data());
    DibSurface surface;
    ASSERT_TRUE(Convert(&surface, source));
    DeleteObject(source);
    const unsigned* out = static_cast<const unsigned*>(surface.bits);
    for (int row = 0; row < 5; ++row)
      for (int x = 0; x < 7; ++x) {
        const int sourceRow = height > 0 ? row : 4 - row;
        ASSERT_EQ(pixels[size_t(sourceRow) * 7 + x], out[size_t(row) * 7 + x]) << "height " << height;
      }
  }
}

TEST_F(DibSurfaceTest, PresetSizesAreKeptAndTheCopyIsClipped) {
  HBITMAP source = CreateTestDib32(4, 4, [](int x, int y) { return unsigned(0x10 * (x + 1) + 0x1000 * (y + 1)); });
  {
    DibSurface surface;
    PrepareDib32Header(&surface.header);
    surface.header.bmiHeader.biWidth = 2;
    surface.header.bmiHeader.biHeight = 6;
    surface.header.bmiHeader.biSizeImage = 12345;  // always recomputed
    surface.bitmap = ConvertToDib32(&surface.header, &surface.bits, source);
    ASSERT_NE(nullptr, surface.bitmap);
    EXPECT_EQ(2, surface.header.bmiHeader.biWidth);
    EXPECT_EQ(6, surface.header.bmiHeader.biHeight);
    EXPECT_EQ(48u, surface.header.bmiHeader.biSizeImage);
    // The source's top-left lands at the target's top-left; the rest stays zero.
    EXPECT_EQ(0x4010u, PixelAt(surface.header, surface.bits, 0, 0));
    EXPECT_EQ(0x1020u, PixelAt(surface.header, surface.bits, 1, 3));
    EXPECT_EQ(0u, PixelAt(surface.header, surface.bits, 1, 5));
  }
  DeleteObject(source);
}

TEST_F(DibSurfaceTest, FailuresLeaveNothingBehind) {
  void* bits = reinterpret_cast<void*>(1);
  BITMAPINFO header;
  // Not a bitmap at all.
  PrepareDib32Header(&header);
  EXPECT_EQ(nullptr, ConvertToDib32(&header, &bits, reinterpret_cast<HBITMAP>(GetStockObject(WHITE_BRUSH))));
  EXPECT_EQ(nullptr, bits);
  // A size whose byte count wraps in 32-bit arithmetic: 65536 x 65536 x 4.
  HBITMAP source = CreateTestDib32(2, 2, [](int, int) { return 0u; });
  PrepareDib32Header(&header);
  header.bmiHeader.biWidth = 65536;
  header.bmiHeader.biHeight = 65536;
  bits = reinterpret_cast<void*>(1);
  EXPECT_EQ(nullptr, ConvertToDib32(&header, &bits, source));
  EXPECT_EQ(nullptr, bits);
  // One just past the signed range: 32768 x 16384 x 4 = 2^31.
  PrepareDib32Header(&header);
  header.bmiHeader.biWidth = 32768;
  header.bmiHeader.biHeight = 16384;
  EXPECT_EQ(nullptr, ConvertToDib32(&header, &bits, source));
  DeleteObject(source);
}

TEST_F(DibSurfaceTest, SourceSelectedElsewhereFailsCleanly) {
  HDC screen = GetDC(nullptr);
  HBITMAP source = CreateCompatibleBitmap(screen, 4, 4);
  ReleaseDC(nullptr, screen);
  HDC holder = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(holder, source);
  BITMAPINFO header;
  PrepareDib32Header(&header);
  void* bits = nullptr;
  HBITMAP result = ConvertToDib32(&header, &bits, source);
  // GDI may refuse the selection or copy anyway; either way nothing may leak.
  if (result) {
    EXPECT_NE(nullptr, bits);
    DeleteObject(result);
  } else {
    EXPECT_EQ(nullptr, bits);
  }
  SelectObject(holder, old);
  DeleteDC(holder);
  DeleteObject(source);
}

TEST_F(DibSurfaceTest, ReadySurfaceLeavesItsBitmapFree) {
  DibSurface surface;
  HBITMAP source = CreateTestDib32(3, 3, [](int, int) { return 0x00FF00u; });
  ASSERT_TRUE(Convert(&surface, source));
  DeleteObject(source);
  ASSERT_EQ(1, CreateSurfaceDc(&surface));
  EXPECT_NE(nullptr, surface.savedObject);
  EXPECT_EQ(surface.savedObject, GetCurrentObject(surface.memoryDc, OBJ_BITMAP));
  // The bitmap can be selected into another DC.
  HDC other = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(other, surface.bitmap);
  EXPECT_NE(nullptr, old);
  SelectObject(other, old);
  DeleteDC(other);
}

}  // namespace
