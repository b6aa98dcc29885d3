// The shipped Netpbm plug-in, loaded through the plug-in host from a copy in a
// temporary plug-in directory, opening files into SourceSurface.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/load_source.h"
#include "imaging/plugin_host.h"
#include "tests/support/test_images.h"
#include "tests/support/win_test_support.h"

namespace {

class NetpbmPluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SourceSurface.Reset();
    const std::wstring built = TestProgramDirectory() + L"\\plugins\\netpbm.spi";
    ASSERT_TRUE(CopyFileW(built.c_str(), plugins_.File(L"netpbm.spi").c_str(), FALSE));
    LoadPlugins(plugins_.Path());
    ASSERT_EQ(1u, PluginTable.size());
    ASSERT_NE(nullptr, PluginTable[0]);
  }
  void TearDown() override {
    SourceSurface.Reset();
    UnloadPlugins();
  }

  std::wstring Write(const std::wstring& name, const std::string& bytes) {
    const std::wstring path = images_.File(name);
    EXPECT_TRUE(WriteFileBytes(path, bytes.data(), bytes.size()));
    return path;
  }

  static std::vector<std::uint32_t> Source() {
    return SurfacePixels(SourceSurface.bits, SourceSurface.header.bmiHeader.biWidth, SourceSurface.header.bmiHeader.biHeight);
  }

  TempDirectory plugins_;
  TempDirectory images_;
};

TEST_F(NetpbmPluginTest, OpensEveryFormat) {
  struct Row {
    const wchar_t* name;
    std::string file;
    int width, height;
    std::vector<std::uint32_t> pixels;
  };
  const Row rows[] = {
      {L"a.pbm", "P1\n# bits\n3 2\n1 0 1\n0 1 0\n", 3, 2, {0, 0xFFFFFF, 0, 0xFFFFFF, 0, 0xFFFFFF}},
      {L"b.pbm", std::string("P4 9 1\n") + '\x80' + '\x80', 9, 1,
       {0, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0}},
      {L"c.pgm", "P2 2 2 100\n0 50\n100 25\n", 2, 2, {0, 0x808080, 0xFFFFFF, 0x404040}},
      {L"d.pgm", std::string("P5 3 1 255\n") + '\x01' + '\x80' + '\xFE', 3, 1, {0x010101, 0x808080, 0xFEFEFE}},
      {L"e.ppm", "P3 2 1 255\n255 0 0 1 2 3\n", 2, 1, {0xFF0000, 0x010203}},
      {L"f.ppm", std::string("P6 1 2 65535\n") + std::string("\xFF\xFF\x00\x00\x80\x00", 6) + std::string(6, '\0'), 1, 2,
       {0xFF0080, 0}},
  };
  for (const Row& row : rows) {
    const std::wstring path = Write(row.name, row.file);
    ASSERT_EQ(1, LoadSourceImage(path.c_str())) << row.file;
    EXPECT_EQ(row.width, SourceSurface.header.bmiHeader.biWidth);
    EXPECT_EQ(row.height, SourceSurface.header.bmiHeader.biHeight);
    EXPECT_EQ(row.pixels, Source()) << row.file;
  }
}

// A damaged file is refused by the plug-in; GDI+ cannot read it either, and
// the previous picture stays.
TEST_F(NetpbmPluginTest, DamagedFilesAreRefused) {
  ASSERT_EQ(1, LoadSourceImage(Write(L"good.ppm", "P3 1 1 255 9 9 9").c_str()));
  const HBITMAP before = SourceSurface.bitmap;
  const int gdi = GdiObjectCount();
  for (const char* damaged : {"P6 2 2 255\n\x01\x02", "P3 1 1 255 9 9", "P2 1 1 15 16", "P5 70000 70000 255\n"}) {
    EXPECT_EQ(nullptr, DecodeWithPlugins(Write(L"bad.ppm", damaged).c_str())) << damaged;
    EXPECT_EQ(0, LoadSourceImage(images_.File(L"bad.ppm").c_str())) << damaged;
  }
  EXPECT_EQ(gdi, GdiObjectCount());
  EXPECT_EQ(before, SourceSurface.bitmap);
  EXPECT_EQ(0x090909u, Source()[0]);
}

}  // namespace
