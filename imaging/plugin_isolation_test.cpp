// The isolated plug-in host with the real program (Quillane.exe beside the
// test program) as the decoding child, and test plug-ins that fault, hang or
// hand back garbage inside it.
#include "imaging/plugin_isolation.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

#include "imaging/dib_surface.h"
#include "imaging/load_source.h"
#include "imaging/plugin_host.h"
#include "tests/plugins/test_plugin_control.h"
#include "tests/support/test_images.h"
#include "tests/support/win_test_support.h"

namespace {

// Processes whose parent is this one and that still exist.
int ChildrenLeft() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  int children = 0;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if (entry.th32ParentProcessID == GetCurrentProcessId() && entry.th32ProcessID != GetCurrentProcessId()) ++children;
  }
  CloseHandle(snapshot);
  return children;
}

unsigned Checks(int x, int y) { return ((x + y) % 2) ? 0x203040u : 0xC0A080u; }

// A 3 x 2 file in the test plug-ins' format; GDI+ cannot read it.
std::vector<std::uint8_t> TestFormatFile() {
  std::vector<std::uint8_t> file(kTestFormatMagic, kTestFormatMagic + 4);
  file.insert(file.end(), {3, 0, 2, 0});
  for (int i = 0; i < 6; ++i) file.insert(file.end(), {static_cast<std::uint8_t>(40 * i), 0x11, 0xEE});
  return file;
}

std::vector<std::uint32_t> TestFormatPixels() {
  std::vector<std::uint32_t> pixels;
  for (int i = 0; i < 6; ++i) pixels.push_back(static_cast<std::uint32_t>(40 * i) << 16 | 0x11EE);
  return pixels;
}

class PluginIsolationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SourceSurface.Reset();
    child_ = TestProgramDirectory() + L"\\Quillane.exe";
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(child_.c_str())) << "the program is built beside the tests";
    bmp_ = images_.File(L"checks.bmp");
    std::vector<std::uint8_t> indices;
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 5; ++x) indices.push_back(static_cast<std::uint8_t>((x + y) % 2));
    const std::vector<std::uint8_t> bmp = MakePalettedBmp(5, 4, 8, indices, {Checks(0, 0), Checks(1, 0)});
    ASSERT_TRUE(WriteFileBytes(bmp_, bmp.data(), bmp.size()));
    const std::vector<std::uint8_t> own = TestFormatFile();
    own_ = images_.File(L"own.qtp");
    ASSERT_TRUE(WriteFileBytes(own_, own.data(), own.size()));
  }
  void TearDown() override {
    StopIsolatedPlugins();
    UnloadPlugins();
    SetEnvironmentVariableW(kTestFaultVariable, nullptr);
    SourceSurface.Reset();
    EXPECT_EQ(0, ChildrenLeft()) << "a decoding child is still running";
  }

  void Install(const std::wstring& name) { ASSERT_TRUE(InstallTestPlugin(L"test_plugin.spi", plugins_.File(name))); }
  void Start() { StartIsolatedPlugins(plugins_.Path(), child_); }
  static std::vector<std::uint32_t> Source() {
    return SurfacePixels(SourceSurface.bits, SourceSurface.header.bmiHeader.biWidth,
                         SourceSurface.header.bmiHeader.biHeight);
  }

  std::wstring child_;
  std::wstring bmp_;
  std::wstring own_;
  TempDirectory plugins_;
  TempDirectory images_;
};

TEST_F(PluginIsolationTest, DecodesInTheChildAsInProcess) {
  Install(L"good.spi");
  Start();
  ASSERT_EQ(1u, PluginFiles.size());
  ASSERT_EQ(1, LoadSourceImage(own_.c_str()));
  EXPECT_EQ(TestFormatPixels(), Source());
  EXPECT_EQ(0, ChildrenLeft());
  // Files no plug-in takes go to GDI+ as before.
  ASSERT_EQ(1, LoadSourceImage(bmp_.c_str()));
  EXPECT_EQ(5, SourceSurface.header.bmiHeader.biWidth);
}

// Every kind of misbehaviour costs the file it happened on: the previous
// picture stays, the next file opens through GDI+, and no child is left.
TEST_F(PluginIsolationTest, MisbehavingPluginCostsOneFile) {
  Install(L"bad.spi");
  for (const wchar_t* where : {L"probe", L"decode", L"divide", L"stack", L"garbage", L"hang"}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(where)));
    SourceSurface.Reset();
    ASSERT_TRUE(SetEnvironmentVariableW(kTestFaultVariable, (std::wstring(L"bad.spi=") + where).c_str()));
    Start();
    const DWORD start = GetTickCount();
    ASSERT_EQ(1, LoadSourceImage(bmp_.c_str())) << "GDI+ gets the file";
    std::vector<std::uint32_t> expected;
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 5; ++x) expected.push_back(Checks(x, y));
    EXPECT_EQ(expected, Source());
    const HBITMAP before = SourceSurface.bitmap;
    EXPECT_EQ(0, LoadSourceImage(own_.c_str()));
    EXPECT_EQ(before, SourceSurface.bitmap);
    EXPECT_EQ(expected, Source());
    EXPECT_EQ(0, ChildrenLeft());
    const DWORD took = GetTickCount() - start;
    if (std::wstring(where) == L"hang") {
      EXPECT_GE(took, 2 * kPluginChildTimeLimit - 500);
    } else {
      EXPECT_LT(took, kPluginChildTimeLimit) << "a fault is noticed at once";
    }
    EXPECT_EQ(1u, PluginFiles.size()) << "the table keeps the library";
  }
}

// A library that faults in its start-up code, or never finishes it, is passed
// over; the others still decode. (The system loader may catch the fault
// itself and refuse the library; one that hangs is dropped from the table.)
TEST_F(PluginIsolationTest, LibraryFaultingOrHangingOnLoadIsSkipped) {
  Install(L"bad.spi");
  Install(L"good.spi");
  for (const wchar_t* where : {L"load", L"stall"}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(where)));
    ASSERT_TRUE(SetEnvironmentVariableW(kTestFaultVariable, (std::wstring(L"bad.spi=") + where).c_str()));
    Start();
    ASSERT_EQ(2u, PluginFiles.size());
    ASSERT_EQ(1, LoadSourceImage(own_.c_str()));
    EXPECT_EQ(TestFormatPixels(), Source());
    ASSERT_EQ(2u, PluginFiles.size());
    int kept = 0;
    for (const std::wstring& file : PluginFiles) kept += file == plugins_.File(L"good.spi");
    EXPECT_EQ(1, kept);
    if (std::wstring(where) == L"stall") {
      EXPECT_EQ(1, PluginFiles[0].empty() + PluginFiles[1].empty()) << "the hanging library is dropped";
    }
    // Once dropped, it costs nothing more.
    const DWORD start = GetTickCount();
    ASSERT_EQ(1, LoadSourceImage(own_.c_str()));
    EXPECT_LT(GetTickCount() - start, kPluginChildTimeLimit);
    EXPECT_EQ(0, ChildrenLeft());
  }
}

}  // namespace
