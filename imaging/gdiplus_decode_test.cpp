// DecodeWithGdiplus against the real GDI+, with images generated here.
#include "imaging/gdiplus_decode.h"

#include <gdiplus.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "tests/support/test_images.h"
#include "tests/support/win_test_support.h"

namespace {

using namespace Gdiplus::DllExports;

// The frame dimensions of GDI+, spelled out here so that no GUID library is needed.
const GUID kFrameDimensionTime = {0x6aedbd6d, 0x3fb5, 0x418a, {0x83, 0xa6, 0x7f, 0x45, 0x22, 0x9d, 0xc8, 0x72}};
const GUID kFrameDimensionPage = {0x7462dc86, 0x6180, 0x4c7e, {0x8e, 0x3f, 0xee, 0x73, 0x33, 0xa7, 0xa4, 0x83}};

// Channels within `tolerance` of each other (for lossy and blended results).
bool Near(std::uint32_t a, std::uint32_t b, int tolerance) {
  for (int shift = 0; shift < 24; shift += 8) {
    if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > tolerance) return false;
  }
  return true;
}

class GdiplusDecodeTest : public ::testing::Test {
 protected:
  void SetUp() override { gdiBefore_ = GdiObjectCount(); }
  void TearDown() override { EXPECT_EQ(gdiBefore_, GdiObjectCount()) << "GDI objects left behind"; }

  // Decodes path; checks the section's format and returns its pixels.
  std::vector<std::uint32_t> Decode(const std::wstring& path, int* width, int* height) {
    HBITMAP bitmap = DecodeWithGdiplus(path.c_str());
    if (!bitmap) {
      ADD_FAILURE() << "not decoded";
      return {};
    }
    DIBSECTION section;
    EXPECT_EQ(static_cast<int>(sizeof section), GetObjectW(bitmap, sizeof section, &section));
    EXPECT_EQ(32, section.dsBm.bmBitsPixel);
    EXPECT_GT(section.dsBmih.biHeight, 0) << "rows must be bottom-up";
    EXPECT_EQ(static_cast<DWORD>(BI_RGB), section.dsBmih.biCompression);
    *width = section.dsBmih.biWidth;
    *height = section.dsBmih.biHeight;
    std::vector<std::uint32_t> pixels = SurfacePixels(section.dsBm.bmBits, *width, *height);
    DeleteObject(bitmap);
    return pixels;
  }

  TempDirectory dir_;

 private:
  int gdiBefore_ = 0;
};

TEST_F(GdiplusDecodeTest, PngAlphaIsBlendedWithBlack) {
  // Top row: opaque red, transparent green, half-transparent blue; bottom row opaque grey.
  const std::vector<std::uint32_t> argb = {0xFFFF0000, 0x0000FF00, 0x800000FF, 0xFF404040, 0xFF404040, 0xFF404040};
  const std::wstring path = dir_.File(L"alpha.png");
  ASSERT_TRUE(SaveWithGdiplus(path, L"image/png", 3, 2, argb));
  int width = 0, height = 0;
  const std::vector<std::uint32_t> pixels = Decode(path, &width, &height);
  ASSERT_EQ(3, width);
  ASSERT_EQ(2, height);
  EXPECT_EQ(0xFF0000u, pixels[0]);
  EXPECT_EQ(0x000000u, pixels[1]);
  EXPECT_TRUE(Near(0x000080, pixels[2], 1)) << std::hex << pixels[2];
  EXPECT_EQ(0x404040u, pixels[3]);
  EXPECT_EQ(0x404040u, pixels[5]);
}

TEST_F(GdiplusDecodeTest, Jpeg300DpiFillsItsPixelSize) {
  const int w = 48, h = 32;
  std::vector<std::uint32_t> argb;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) argb.push_back(x < w / 2 ? 0xFFE00000 : 0xFF0000E0);
  const std::wstring path = dir_.File(L"dpi.jpg");
  ASSERT_TRUE(SaveWithGdiplus(path, L"image/jpeg", w, h, argb, 300.0f));
  {
    // The file really records 300 dpi, so a draw at its physical size would be a third as large.
    Gdiplus::GpImage* image = nullptr;
    ASSERT_EQ(Gdiplus::Ok, GdipLoadImageFromFile(path.c_str(), &image));
    Gdiplus::REAL dpi = 0;
    GdipGetImageHorizontalResolution(image, &dpi);
    GdipDisposeImage(image);
    ASSERT_NEAR(300.0, dpi, 0.5);
  }
  int width = 0, height = 0;
  const std::vector<std::uint32_t> pixels = Decode(path, &width, &height);
  ASSERT_EQ(w, width);
  ASSERT_EQ(h, height);
  EXPECT_TRUE(Near(0xE00000, pixels[0], 24)) << std::hex << pixels[0];
  EXPECT_TRUE(Near(0x0000E0, pixels[static_cast<size_t>(h) * w - 1], 24)) << std::hex << pixels.back();
  EXPECT_TRUE(Near(0xE00000, pixels[static_cast<size_t>(h - 1) * w], 24));
  EXPECT_TRUE(Near(0x0000E0, pixels[w - 1], 24));
}

TEST_F(GdiplusDecodeTest, AnimatedGifShowsItsFirstFrame) {
  const int w = 5, h = 3;
  std::vector<std::uint8_t> first(w * h, 0), second(w * h, 1);
  first[2] = 1;  // one pixel of the second colour, to check placement
  const std::wstring path = dir_.File(L"anim.gif");
  const std::vector<std::uint8_t> gif = MakeGif(w, h, 0xC02010, 0x1030F0, {first, second});
  ASSERT_TRUE(WriteFileBytes(path, gif.data(), gif.size()));
  {
    Gdiplus::GpImage* image = nullptr;
    ASSERT_EQ(Gdiplus::Ok, GdipLoadImageFromFile(path.c_str(), &image));
    UINT frames = 0;
    GdipImageGetFrameCount(image, &kFrameDimensionTime, &frames);
    GdipDisposeImage(image);
    ASSERT_EQ(2u, frames);
  }
  int width = 0, height = 0;
  const std::vector<std::uint32_t> pixels = Decode(path, &width, &height);
  ASSERT_EQ(w, width);
  ASSERT_EQ(h, height);
  std::vector<std::uint32_t> expected(w * h, 0xC02010);
  expected[2] = 0x1030F0;
  EXPECT_EQ(expected, pixels);
}

TEST_F(GdiplusDecodeTest, MultiPageTiffShowsItsFirstPage) {
  const int w = 3, h = 2;
  std::vector<std::uint32_t> first = {0x00FF00, 0x102030, 0x00FF00, 0x00FF00, 0x00FF00, 0xA0B0C0};
  std::vector<std::uint32_t> second(w * h, 0xFF00FF);
  const std::wstring path = dir_.File(L"pages.tif");
  const std::vector<std::uint8_t> tiff = MakeTiff(w, h, {first, second});
  ASSERT_TRUE(WriteFileBytes(path, tiff.data(), tiff.size()));
  {
    Gdiplus::GpImage* image = nullptr;
    ASSERT_EQ(Gdiplus::Ok, GdipLoadImageFromFile(path.c_str(), &image));
    UINT pages = 0;
    GdipImageGetFrameCount(image, &kFrameDimensionPage, &pages);
    GdipDisposeImage(image);
    ASSERT_EQ(2u, pages);
  }
  int width = 0, height = 0;
  EXPECT_EQ(first, Decode(path, &width, &height));
  EXPECT_EQ(w, width);
  EXPECT_EQ(h, height);
}

TEST_F(GdiplusDecodeTest, PalettedImagesComeOutAs32Bpp) {
  struct Row {
    int bitCount, width, height;
  };
  for (const Row row : {Row{1, 11, 3}, Row{8, 5, 4}}) {
    std::vector<std::uint32_t> palette;
    for (int i = 0; i < (1 << row.bitCount); ++i) palette.push_back(static_cast<std::uint32_t>(i * 0x010203 + 0x102000) & 0xFFFFFF);
    if (row.bitCount == 1) palette = {0xF01020, 0x2040E0};
    std::vector<std::uint8_t> indices;
    std::vector<std::uint32_t> expected;
    for (int i = 0; i < row.width * row.height; ++i) {
      const std::uint8_t index = static_cast<std::uint8_t>((i * 37 + i / 3) % (1 << row.bitCount));
      indices.push_back(index);
      expected.push_back(palette[index]);
    }
    const std::wstring path = dir_.File(L"paletted.bmp");
    const std::vector<std::uint8_t> bmp = MakePalettedBmp(row.width, row.height, row.bitCount, indices, palette);
    ASSERT_TRUE(WriteFileBytes(path, bmp.data(), bmp.size()));
    int width = 0, height = 0;
    EXPECT_EQ(expected, Decode(path, &width, &height)) << row.bitCount << " bits";
    EXPECT_EQ(row.width, width);
    EXPECT_EQ(row.height, height);
  }
}

TEST_F(GdiplusDecodeTest, NonImagesGiveNullAndLeaveNothing) {
  const std::wstring text = dir_.File(L"text.png");
  ASSERT_TRUE(WriteFileBytes(text, "this is no picture\r\n", 20));
  const std::wstring empty = dir_.File(L"empty.png");
  ASSERT_TRUE(WriteFileBytes(empty, "", 0));
  // A first failing call may make GDI+ set up what it keeps for the process.
  HBITMAP warm = DecodeWithGdiplus(text.c_str());
  EXPECT_EQ(nullptr, warm);
  const int gdi = GdiObjectCount();
  const int handles = KernelHandleCount();
  EXPECT_EQ(nullptr, DecodeWithGdiplus(text.c_str()));
  EXPECT_EQ(nullptr, DecodeWithGdiplus(empty.c_str()));
  EXPECT_EQ(nullptr, DecodeWithGdiplus(dir_.File(L"missing.png").c_str()));
  EXPECT_EQ(gdi, GdiObjectCount());
  EXPECT_EQ(handles, KernelHandleCount());
  // The file is not held: it can be deleted at once.
  EXPECT_TRUE(DeleteFileW(text.c_str()));
}

}  // namespace
