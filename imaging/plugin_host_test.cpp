// The plug-in host against real plug-in libraries (tests/plugins), copied as
// "*.spi" into a temporary directory that stands in for the program's folder.
#include "imaging/plugin_host.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/plugins/test_plugin_control.h"
#include "tests/support/test_images.h"
#include "tests/support/win_test_support.h"

namespace {

// A file in the test plug-ins' own format: width x height, pixel (x, y) with
// distinct red, green and blue values; `extra` bytes of 0xEE after it.
std::vector<std::uint8_t> TestFormatFile(int width, int height, size_t extra = 0) {
  std::vector<std::uint8_t> file(kTestFormatMagic, kTestFormatMagic + 4);
  file.insert(file.end(), {static_cast<std::uint8_t>(width), 0, static_cast<std::uint8_t>(height), 0});
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      file.insert(file.end(), {static_cast<std::uint8_t>(10 + x * 70 + y * 5), static_cast<std::uint8_t>(200 - x * 30 - y * 40),
                               static_cast<std::uint8_t>(30 + x * 9 + y * 100)});
    }
  }
  file.insert(file.end(), extra, 0xEE);
  return file;
}

// The picture of TestFormatFile as 0xRRGGBB, top row first, each pixel passed through `map`.
std::vector<std::uint32_t> TestFormatPixels(int width, int height, std::uint32_t (*map)(std::uint32_t rgb)) {
  const std::vector<std::uint8_t> file = TestFormatFile(width, height);
  std::vector<std::uint32_t> pixels;
  for (size_t i = kTestFormatHeader; i + 2 < file.size(); i += 3) {
    pixels.push_back(map(static_cast<std::uint32_t>(file[i]) << 16 | file[i + 1] << 8 | file[i + 2]));
  }
  return pixels;
}

std::uint32_t Same(std::uint32_t rgb) { return rgb; }
std::uint32_t ThroughPalette(std::uint32_t rgb) { return TestPaletteColor(rgb >> 16); }
std::uint32_t ThroughPalette3(std::uint32_t rgb) { return TestPaletteColor((rgb >> 16) % 3); }

TestPluginConfig DefaultConfig() { return DefaultTestPluginConfig(); }

class PluginHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gdiBefore_ = GdiObjectCount();
  }
  void TearDown() override {
    UnloadPlugins();
    EXPECT_EQ(gdiBefore_, GdiObjectCount()) << "GDI objects left behind";
  }

  void Install(const wchar_t* built, const std::wstring& name) {
    ASSERT_TRUE(InstallTestPlugin(built, plugins_.File(name)));
  }
  static HMODULE Loaded(const std::wstring& name) { return LoadedPlugin(name); }
  static std::vector<HMODULE> LoadedInOrder() { return LoadedPluginsInOrder(); }
  static void Configure(HMODULE plugin, const TestPluginConfig& config) { ASSERT_TRUE(ConfigureTestPlugin(plugin, config)); }
  static const TestPluginRecord& Record(HMODULE plugin) { return TestPluginSeen(plugin); }

  std::wstring WriteImage(const std::wstring& name, const std::vector<std::uint8_t>& bytes) {
    const std::wstring path = images_.File(name);
    EXPECT_TRUE(WriteFileBytes(path, bytes.data(), bytes.size()));
    return path;
  }

  TempDirectory plugins_;
  TempDirectory images_;

 private:
  int gdiBefore_ = 0;
};

TEST_F(PluginHostTest, NoPluginsLeaveTheTableEmpty) {
  LoadPlugins(plugins_.Path());
  EXPECT_EQ(0u, PluginTable.size());
  EXPECT_TRUE(PluginTable.empty());
  const std::wstring path = WriteImage(L"a.qtp", TestFormatFile(2, 2));
  const int handles = KernelHandleCount();
  EXPECT_EQ(nullptr, DecodeWithPlugins(path.c_str()));
  EXPECT_EQ(handles, KernelHandleCount()) << "the file was left open";

  LoadPlugins(plugins_.File(L"does-not-exist"));
  EXPECT_EQ(0u, PluginTable.size());
  EXPECT_TRUE(PluginTable.empty());
}

TEST_F(PluginHostTest, NonLibrariesTakeNullEntriesAndArePassedOver) {
  Install(L"test_plugin.spi", L"good.spi");
  Install(L"test_plugin.spi", L"not-a-plugin.dll");
  ASSERT_TRUE(WriteFileBytes(plugins_.File(L"text.spi"), "no library", 10));
  ASSERT_TRUE(CreateDirectoryW(plugins_.File(L"folder.spi").c_str(), nullptr));
  LoadPlugins(plugins_.Path());
  ASSERT_EQ(3u, PluginTable.size());
  EXPECT_EQ(1u, LoadedInOrder().size());
  ASSERT_NE(nullptr, Loaded(L"good.spi"));

  const std::wstring path = WriteImage(L"a.qtp", TestFormatFile(3, 2));
  HBITMAP bitmap = DecodeWithPlugins(path.c_str());
  ASSERT_NE(nullptr, bitmap);
  int width = 0, height = 0;
  EXPECT_EQ(TestFormatPixels(3, 2, Same), BitmapPixels(bitmap, &width, &height));
  EXPECT_EQ(3, width);
  EXPECT_EQ(2, height);
  DeleteObject(bitmap);

  // Loading again releases the first table instead of keeping its modules loaded.
  LoadPlugins(plugins_.Path());
  EXPECT_EQ(3u, PluginTable.size());
  UnloadPlugins();
  EXPECT_EQ(0u, PluginTable.size());
  EXPECT_TRUE(PluginTable.empty());
  EXPECT_EQ(nullptr, GetModuleHandleW(plugins_.File(L"good.spi").c_str())) << "the library stayed loaded";
}

// Every kind of output a plug-in may hand back: carried exactly, or refused
// without reading past its blocks.
TEST_F(PluginHostTest, PluginOutputsAreCarriedOrRefused) {
  struct Row {
    const char* what;
    TestOutput output;
    std::uint32_t (*map)(std::uint32_t);  // null: refused
    WORD bitCount;
  };
  const Row rows[] = {
      {"24-bit with a 40-byte header block", kOutputRgb24, Same, 24},
      {"header block of 24 bytes", kOutputShortHeader, nullptr, 0},
      {"biSizeImage past the rows", kOutputOversizedSizeImage, nullptr, 0},
      {"negative height, rows top-down", kOutputTopDown, Same, 24},
      {"8-bit with 256 colours", kOutputPaletted8, ThroughPalette, 8},
      {"4-bit with 3 colours used", kOutputPaletted4Used3, ThroughPalette3, 4},
      {"biSizeImage 0, BI_RGB", kOutputSizeImageZeroRgb, Same, 24},
      {"biSizeImage 0, BI_RLE8", kOutputSizeImageZeroRle, nullptr, 0},
      {"pixel block shorter than its rows", kOutputShortPixelBlock, nullptr, 0},
      {"sizes that overflow", kOutputOverflow, nullptr, 0},
      {"32-bit BI_RGB", kOutputRgb32, Same, 32},
  };
  Install(L"test_plugin.spi", L"test.spi");
  LoadPlugins(plugins_.Path());
  HMODULE plugin = Loaded(L"test.spi");
  ASSERT_NE(nullptr, plugin);
  // Width 3: 24-bit rows of 9 bytes padded to 12.
  const std::wstring path = WriteImage(L"a.qtp", TestFormatFile(3, 2));
  for (const Row& row : rows) {
    TestPluginConfig config = DefaultConfig();
    config.output = row.output;
    Configure(plugin, config);
    const int handles = KernelHandleCount();
    HBITMAP bitmap = DecodeWithPlugins(path.c_str());
    EXPECT_EQ(1, Record(plugin).getPictureCalls) << row.what;
    EXPECT_EQ(handles, KernelHandleCount()) << row.what;
    if (!row.map) {
      EXPECT_EQ(nullptr, bitmap) << row.what;
      if (bitmap) DeleteObject(bitmap);
      continue;
    }
    ASSERT_NE(nullptr, bitmap) << row.what;
    DIBSECTION section;
    ASSERT_EQ(static_cast<int>(sizeof section), GetObjectW(bitmap, sizeof section, &section)) << row.what;
    EXPECT_EQ(row.bitCount, section.dsBm.bmBitsPixel) << row.what;
    EXPECT_EQ(TestFormatPixels(3, 2, row.map), BitmapPixels(bitmap)) << row.what;
    DeleteObject(bitmap);
  }
}

// 16-bit output with 5-6-5 masks shows the colours the platform gives the same
// 5-6-5 pixels, not those of the default 5-5-5 layout.
TEST_F(PluginHostTest, BitfieldMasksReachTheSection) {
  Install(L"test_plugin.spi", L"test.spi");
  LoadPlugins(plugins_.Path());
  HMODULE plugin = Loaded(L"test.spi");
  ASSERT_NE(nullptr, plugin);
  TestPluginConfig config = DefaultConfig();
  config.output = kOutputBitfields16;
  Configure(plugin, config);
  const std::wstring path = WriteImage(L"a.qtp", TestFormatFile(3, 2));
  HBITMAP bitmap = DecodeWithPlugins(path.c_str());
  ASSERT_NE(nullptr, bitmap);

  // The same 5-6-5 rows, bottom-up, in a section made directly.
  std::vector<WORD> rows;
  const std::vector<std::uint32_t> rgb = TestFormatPixels(3, 2, Same);
  for (int row = 1; row >= 0; --row) {
    for (int x = 0; x < 3; ++x) {
      const std::uint32_t c = rgb[static_cast<size_t>(row) * 3 + x];
      rows.push_back(static_cast<WORD>(((c >> 19) & 0x1F) << 11 | ((c >> 10) & 0x3F) << 5 | ((c >> 3) & 0x1F)));
    }
    rows.push_back(0);  // padding to 8 bytes
  }
  const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
  HBITMAP expected = CreateTestDib(3, 2, 16, rows.data(), nullptr, 0, masks);
  ASSERT_NE(nullptr, expected);
  const std::vector<std::uint32_t> got = BitmapPixels(bitmap);
  EXPECT_EQ(BitmapPixels(expected), got);
  // Green 200 - 30x - 40y needs the sixth bit: without the masks it would be read as 5-5-5.
  EXPECT_NE(0u, got[0] & 0x00FF00);
  DeleteObject(expected);
  DeleteObject(bitmap);
}

// Two plug-ins that accept the same file: the first in table order decodes
// it; when its GetPicture fails, the later one is not asked.
TEST_F(PluginHostTest, FirstAcceptingPluginDecides) {
  Install(L"test_plugin.spi", L"one.spi");
  Install(L"test_plugin.spi", L"two.spi");
  LoadPlugins(plugins_.Path());
  const std::vector<HMODULE> order = LoadedInOrder();
  ASSERT_EQ(2u, order.size());
  TestPluginConfig first = DefaultConfig();
  TestPluginConfig second = DefaultConfig();
  second.output = kOutputPaletted8;
  Configure(order[0], first);
  Configure(order[1], second);
  const std::wstring path = WriteImage(L"a.qtp", TestFormatFile(3, 2));

  HBITMAP bitmap = DecodeWithPlugins(path.c_str());
  ASSERT_NE(nullptr, bitmap);
  EXPECT_EQ(TestFormatPixels(3, 2, Same), BitmapPixels(bitmap));
  DeleteObject(bitmap);
  EXPECT_EQ(0, Record(order[1]).isSupportedCalls);
  EXPECT_EQ(0, Record(order[1]).getPictureCalls);

  first.getPictureResult = 7;
  Configure(order[0], first);
  Configure(order[1], second);
  EXPECT_EQ(nullptr, DecodeWithPlugins(path.c_str()));
  EXPECT_EQ(1, Record(order[0]).getPictureCalls);
  EXPECT_EQ(0, Record(order[1]).getPictureCalls);

  // RunPluginDecode hands the failing plug-in's own result back.
  std::vector<std::uint8_t> image = TestFormatFile(3, 2, kProbeSize);
  PluginBitmapInfo header;
  std::unique_ptr<BYTE[]> pixels;
  EXPECT_EQ(7, RunPluginDecode(image.data(), static_cast<DWORD>(image.size()), &header, &pixels));
  EXPECT_EQ(nullptr, pixels);
  EXPECT_EQ(0, Record(order[1]).getPictureCalls);
}

// A plug-in that accepts the head but not the whole file, or that lacks an
// operation, does not stop the next one from decoding.
TEST_F(PluginHostTest, PluginsThatCannotDecodeArePassedOver) {
  Install(L"test_plugin_no_get.spi", L"no-get.spi");
  Install(L"test_plugin_no_is.spi", L"no-is.spi");
  LoadPlugins(plugins_.Path());
  HMODULE noGet = Loaded(L"no-get.spi");
  HMODULE noIs = Loaded(L"no-is.spi");
  ASSERT_NE(nullptr, noGet);
  ASSERT_NE(nullptr, noIs);
  const std::wstring path = WriteImage(L"a.qtp", TestFormatFile(3, 2));
  // The head is accepted, but nothing can decode the file.
  EXPECT_EQ(nullptr, DecodeWithPlugins(path.c_str()));
  EXPECT_EQ(1, Record(noGet).isSupportedCalls) << "asked in the decode step despite lacking GetPicture";
  EXPECT_EQ(0, Record(noIs).getPictureCalls);
  std::vector<std::uint8_t> image = TestFormatFile(3, 2, kProbeSize);
  PluginBitmapInfo header;
  std::unique_ptr<BYTE[]> pixels;
  EXPECT_EQ(kPluginNoneAccepted, RunPluginDecode(image.data(), static_cast<DWORD>(image.size()), &header, &pixels));
  UnloadPlugins();

  // Head-only first in table order, a working plug-in after it.
  Install(L"test_plugin.spi", L"one.spi");
  Install(L"test_plugin.spi", L"two.spi");
  LoadPlugins(plugins_.Path());
  const std::vector<HMODULE> order = LoadedInOrder();
  ASSERT_EQ(4u, order.size());
  std::vector<HMODULE> full;
  for (HMODULE m : order) {
    if (m == Loaded(L"one.spi") || m == Loaded(L"two.spi")) full.push_back(m);
  }
  ASSERT_EQ(2u, full.size());
  TestPluginConfig headOnly = DefaultConfig();
  headOnly.answerCount = 2;
  headOnly.answers[0] = 1;
  headOnly.answers[1] = 0;
  TestPluginConfig decoder = DefaultConfig();
  decoder.output = kOutputPaletted8;
  Configure(full[0], headOnly);
  Configure(full[1], decoder);
  TestPluginConfig refuses = DefaultConfig();
  std::memcpy(refuses.magic, "none", 4);
  Configure(Loaded(L"no-get.spi"), refuses);
  HBITMAP bitmap = DecodeWithPlugins(path.c_str());
  ASSERT_NE(nullptr, bitmap);
  EXPECT_EQ(TestFormatPixels(3, 2, ThroughPalette), BitmapPixels(bitmap));
  DeleteObject(bitmap);
  EXPECT_EQ(2, Record(full[0]).isSupportedCalls);
  EXPECT_EQ(0, Record(full[0]).getPictureCalls);
  EXPECT_EQ(1, Record(full[1]).getPictureCalls);
}

// What IsSupported and GetPicture are shown for short files.
TEST_F(PluginHostTest, ShortFilesArePaddedWithZeros) {
  Install(L"test_plugin.spi", L"test.spi");
  LoadPlugins(plugins_.Path());
  HMODULE plugin = Loaded(L"test.spi");
  ASSERT_NE(nullptr, plugin);
  Configure(plugin, DefaultConfig());

  const std::vector<std::uint8_t> file = TestFormatFile(2, 2, 100 - kTestFormatHeader - 12);
  ASSERT_EQ(100u, file.size());
  const std::wstring path = WriteImage(L"hundred.qtp", file);
  HBITMAP bitmap = DecodeWithPlugins(path.c_str());
  ASSERT_NE(nullptr, bitmap);
  DeleteObject(bitmap);
  const TestPluginRecord& record = Record(plugin);
  ASSERT_EQ(2, record.isSupportedCalls);
  std::vector<std::uint8_t> expected(file);
  expected.resize(kProbeSize, 0);
  EXPECT_EQ(0, std::memcmp(expected.data(), record.seen[0], kProbeSize)) << "probe";
  EXPECT_EQ(0, std::memcmp(expected.data(), record.seen[1], kProbeSize)) << "decode step";
  EXPECT_EQ(100u, record.lastLength);

  // An empty file: 2,048 zero bytes, and GetPicture is told its length is 0.
  TestPluginConfig acceptAll = DefaultConfig();
  acceptAll.answerCount = 2;
  acceptAll.answers[0] = acceptAll.answers[1] = 1;
  Configure(plugin, acceptAll);
  const std::wstring empty = WriteImage(L"empty.qtp", {});
  bitmap = DecodeWithPlugins(empty.c_str());
  ASSERT_NE(nullptr, bitmap);
  DeleteObject(bitmap);
  const std::vector<std::uint8_t> zeros(kProbeSize, 0);
  EXPECT_EQ(0, std::memcmp(zeros.data(), record.seen[0], kProbeSize));
  EXPECT_EQ(0, std::memcmp(zeros.data(), record.seen[1], kProbeSize));
  EXPECT_EQ(0u, record.lastLength);
  EXPECT_EQ(1, record.getPictureCalls);
}

// A file of 4 GiB or more: its low 32 bits of size would describe a small
// file, so the plug-ins are never shown it.
TEST_F(PluginHostTest, FilesOf4GiBAreRefused) {
  Install(L"test_plugin.spi", L"test.spi");
  LoadPlugins(plugins_.Path());
  HMODULE plugin = Loaded(L"test.spi");
  ASSERT_NE(nullptr, plugin);
  Configure(plugin, DefaultConfig());
  const std::wstring path = WriteImage(L"huge.qtp", TestFormatFile(2, 2, 100));
  {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    LARGE_INTEGER end;
    end.QuadPart = 0x100000000LL + 120;  // sparse where the file system allows
    const bool grown = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    if (!grown) GTEST_SKIP() << "cannot make a 4 GiB file here";
  }
  EXPECT_EQ(nullptr, DecodeWithPlugins(path.c_str()));
  EXPECT_EQ(0, Record(plugin).isSupportedCalls);
  EXPECT_EQ(0, Record(plugin).getPictureCalls);
  DeleteFileW(path.c_str());
}

TEST_F(PluginHostTest, MissingFileGivesNull) {
  Install(L"test_plugin.spi", L"test.spi");
  LoadPlugins(plugins_.Path());
  EXPECT_EQ(nullptr, DecodeWithPlugins(images_.File(L"missing.qtp").c_str()));
}

}  // namespace
