// LoadSourceImage: plug-ins before GDI+, the previous picture kept on failure,
// nothing but SourceSurface left behind, and the hand-over of sections that are
// already 32-bpp bottom-up.
#include "imaging/load_source.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "imaging/gdiplus_decode.h"
#include "tests/plugins/test_plugin_control.h"
#include "tests/support/test_images.h"
#include "tests/support/win_test_support.h"

namespace {

const char kPngMagic[4] = {'\x89', 'P', 'N', 'G'};

class LoadSourceImageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SourceSurface.Reset();
    gdiBefore_ = GdiObjectCount();
  }
  void TearDown() override {
    SourceSurface.Reset();
    UnloadPlugins();
    EXPECT_EQ(gdiBefore_, GdiObjectCount()) << "GDI objects left behind";
  }

  // A 5 x 4 PNG: red above, green below.
  std::wstring WritePng() {
    std::vector<std::uint32_t> argb(20, 0xFFF00000);
    for (int i = 10; i < 20; ++i) argb[i] = 0xFF00F000;
    const std::wstring path = images_.File(L"picture.png");
    EXPECT_TRUE(SaveWithGdiplus(path, L"image/png", 5, 4, argb));
    return path;
  }

  // Installs the test plug-in, accepting PNG files and answering with `output`.
  HMODULE InstallPngPlugin(TestOutput output) {
    if (!InstallTestPlugin(L"test_plugin.spi", plugins_.File(L"test.spi"))) return nullptr;
    LoadPlugins(plugins_.Path());
    HMODULE plugin = LoadedPlugin(L"test.spi");
    TestPluginConfig config = DefaultTestPluginConfig();
    std::memcpy(config.magic, kPngMagic, 4);
    config.output = output;
    if (!plugin || !ConfigureTestPlugin(plugin, config)) return nullptr;
    return plugin;
  }

  static std::vector<std::uint32_t> Source() {
    return SurfacePixels(SourceSurface.bits, SourceSurface.header.bmiHeader.biWidth, SourceSurface.header.bmiHeader.biHeight);
  }

  static void ExpectReady() {
    const BITMAPINFOHEADER& h = SourceSurface.header.bmiHeader;
    EXPECT_NE(nullptr, SourceSurface.bitmap);
    EXPECT_NE(nullptr, SourceSurface.bits);
    EXPECT_NE(nullptr, SourceSurface.memoryDc);
    EXPECT_NE(nullptr, SourceSurface.savedObject);
    EXPECT_EQ(40u, h.biSize);
    EXPECT_EQ(32, h.biBitCount);
    EXPECT_EQ(1, h.biPlanes);
    EXPECT_EQ(static_cast<DWORD>(BI_RGB), h.biCompression);
    EXPECT_GT(h.biHeight, 0);
    EXPECT_EQ(static_cast<DWORD>(h.biWidth * h.biHeight * 4), h.biSizeImage);
    EXPECT_EQ(h.biSizeImage, SourceSurface.byteSize);
  }

  TempDirectory plugins_;
  TempDirectory images_;

 private:
  int gdiBefore_ = 0;
};

TEST_F(LoadSourceImageTest, GdiplusPictureBecomesTheSourceAndItsBitmapStaysFree) {
  const std::wstring png = WritePng();
  const int gdi = GdiObjectCount();
  ASSERT_EQ(1, LoadSourceImage(png.c_str()));
  ExpectReady();
  // The surface's bitmap and memory DC, nothing else.
  EXPECT_EQ(gdi + 2, GdiObjectCount());
  std::vector<std::uint32_t> expected(20, 0xF00000);
  for (int i = 10; i < 20; ++i) expected[i] = 0x00F000;
  EXPECT_EQ(expected, Source());

  // Not held by its own DC: another DC can take it.
  HDC other = CreateCompatibleDC(nullptr);
  HGDIOBJ previous = SelectObject(other, SourceSurface.bitmap);
  EXPECT_NE(nullptr, previous);
  SelectObject(other, previous);
  DeleteDC(other);
}

TEST_F(LoadSourceImageTest, FailureKeepsThePreviousPicture) {
  const std::wstring png = WritePng();
  ASSERT_EQ(1, LoadSourceImage(png.c_str()));
  const HBITMAP bitmap = SourceSurface.bitmap;
  const void* bits = SourceSurface.bits;
  const HDC dc = SourceSurface.memoryDc;
  BITMAPINFO header = SourceSurface.header;
  const std::vector<std::uint32_t> pixels = Source();

  const std::wstring text = images_.File(L"text.png");
  ASSERT_TRUE(WriteFileBytes(text, "not a picture", 13));
  const int gdi = GdiObjectCount();
  EXPECT_EQ(0, LoadSourceImage(text.c_str()));
  EXPECT_EQ(0, LoadSourceImage(images_.File(L"missing.png").c_str()));
  EXPECT_EQ(gdi, GdiObjectCount());
  EXPECT_EQ(bitmap, SourceSurface.bitmap);
  EXPECT_EQ(bits, SourceSurface.bits);
  EXPECT_EQ(dc, SourceSurface.memoryDc);
  EXPECT_EQ(0, std::memcmp(&header, &SourceSurface.header, sizeof header));
  EXPECT_EQ(pixels, Source());
}

TEST_F(LoadSourceImageTest, PluginsComeBeforeGdiplus) {
  const std::wstring png = WritePng();
  HMODULE plugin = InstallPngPlugin(kOutputPaletted8);
  ASSERT_NE(nullptr, plugin);
  const int gdi = GdiObjectCount();
  ASSERT_EQ(1, LoadSourceImage(png.c_str()));
  ExpectReady();
  EXPECT_EQ(gdi + 2, GdiObjectCount()) << "the plug-in's section outlived the load";
  EXPECT_EQ(1, TestPluginSeen(plugin).getPictureCalls);
  // The plug-in's fixed 4 x 3 picture, through its palette (index = red).
  EXPECT_EQ(4, SourceSurface.header.bmiHeader.biWidth);
  EXPECT_EQ(3, SourceSurface.header.bmiHeader.biHeight);
  std::vector<std::uint32_t> expected;
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) expected.push_back(TestPaletteColor(static_cast<std::uint32_t>(x * 60)));
  EXPECT_EQ(expected, Source());
}

// Plug-in sections are converted, whatever their orientation.
TEST_F(LoadSourceImageTest, TopDownPluginOutputIsUpright) {
  const std::wstring png = WritePng();
  for (TestOutput output : {kOutputTopDown, kOutputRgb32, kOutputTopDown32}) {
    SourceSurface.Reset();
    UnloadPlugins();
    ASSERT_NE(nullptr, InstallPngPlugin(output));
    ASSERT_EQ(1, LoadSourceImage(png.c_str())) << output;
    ExpectReady();
    std::vector<std::uint32_t> expected;
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 4; ++x) expected.push_back(static_cast<std::uint32_t>(x * 60) << 16 | (y * 80) << 8 | 200);
    EXPECT_EQ(expected, Source()) << output;
  }
}

// Unusable plug-in output ends the plug-in path cleanly and GDI+ decodes the file.
TEST_F(LoadSourceImageTest, BadPluginOutputFallsBackToGdiplus) {
  const std::wstring png = WritePng();
  for (TestOutput output : {kOutputShortHeader, kOutputOversizedSizeImage, kOutputShortPixelBlock, kOutputOverflow}) {
    SourceSurface.Reset();
    UnloadPlugins();
    HMODULE plugin = InstallPngPlugin(output);
    ASSERT_NE(nullptr, plugin);
    ASSERT_EQ(1, LoadSourceImage(png.c_str())) << output;
    EXPECT_EQ(1, TestPluginSeen(plugin).getPictureCalls);
    EXPECT_EQ(5, SourceSurface.header.bmiHeader.biWidth) << output;
    EXPECT_EQ(0xF00000u, Source()[0]) << output;
  }
}

// A decoded 32-bpp bottom-up section is handed over instead of copied: the
// surface must be exactly what ConvertToDib32 would have made of it.
TEST_F(LoadSourceImageTest, HandOverMatchesConversion) {
  const int w = 7, h = 5;
  std::vector<std::uint32_t> argb;
  for (int i = 0; i < w * h; ++i) argb.push_back(0xFF000000u | static_cast<std::uint32_t>(i * 0x030507 + 0x102030));
  argb[3] = 0x80FF8000;
  argb[9] = 0x00123456;
  const std::wstring path = images_.File(L"mixed.png");
  ASSERT_TRUE(SaveWithGdiplus(path, L"image/png", w, h, argb));

  HBITMAP decoded = DecodeWithGdiplus(path.c_str());
  ASSERT_NE(nullptr, decoded);
  DibSurface converted;
  PrepareDib32Header(&converted.header);
  converted.bitmap = ConvertToDib32(&converted.header, &converted.bits, decoded);
  ASSERT_NE(nullptr, converted.bitmap);
  converted.byteSize = converted.header.bmiHeader.biSizeImage;

  DibSurface taken;
  ASSERT_EQ(1, TakeOverDib32(&taken, decoded));
  EXPECT_EQ(decoded, taken.bitmap);
  EXPECT_EQ(0, std::memcmp(&converted.header, &taken.header, sizeof taken.header));
  EXPECT_EQ(converted.byteSize, taken.byteSize);
  ASSERT_EQ(static_cast<DWORD>(w * h * 4), taken.byteSize);
  EXPECT_EQ(0, std::memcmp(converted.bits, taken.bits, taken.byteSize)) << "all four bytes of every pixel";
}

TEST_F(LoadSourceImageTest, OtherSectionsAreConvertedNotHandedOver) {
  const BYTE rgb[2 * 8] = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
  const WORD rgb16[4] = {0x1234, 0x5678, 0x9ABC, 0xDEF0};
  const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
  HBITMAP rgb24 = CreateTestDib(2, 2, 24, rgb);
  HBITMAP bitfields = CreateTestDib(2, 2, 16, rgb16, nullptr, 0, masks);
  HDC screen = GetDC(nullptr);
  HBITMAP device = CreateCompatibleBitmap(screen, 2, 2);
  ReleaseDC(nullptr, screen);
  for (HBITMAP bitmap : {rgb24, bitfields, device}) {
    ASSERT_NE(nullptr, bitmap);
    DibSurface surface;
    EXPECT_EQ(0, TakeOverDib32(&surface, bitmap));
    EXPECT_EQ(nullptr, surface.bitmap);
    EXPECT_EQ(0u, surface.header.bmiHeader.biSize);
    DeleteObject(bitmap);
  }
}

}  // namespace
