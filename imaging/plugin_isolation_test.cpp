// The isolated plug-in host with the real program (Quillane.exe beside the
// test program) as the decoding child, and test plug-ins that fault, hang or
// hand back garbage inside it.
#include "imaging/plugin_isolation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "imaging/dib_surface.h"
#include "imaging/load_source.h"
#include "tests/plugins/test_plugin_control.h"
#include "tests/support/test_images.h"
#include "tests/support/win_test_support.h"

namespace {

int ChildrenLeft() { return ChildProcessCount(GetCurrentProcessId(), L"Quillane.exe"); }

std::vector<std::uint32_t> Source() {
  return SurfacePixels(SourceSurface.bits, SourceSurface.header.bmiHeader.biWidth, SourceSurface.header.bmiHeader.biHeight);
}

// A 3 x 1 file in the test plug-ins' format, which GDI+ cannot read, and the
// picture in it.
const std::uint8_t kOwnFile[] = {'Q', 'T', 'P', '1', 3, 0, 1, 0, 0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80, 0x90};
const std::vector<std::uint32_t> kOwnPixels = {0x102030, 0x405060, 0x708090};

class PluginIsolationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SourceSurface.Reset();
    const std::vector<std::uint8_t> bmp = MakePalettedBmp(2, 2, 8, {0, 1, 1, 0}, {0x102030, 0x405060});
    ASSERT_TRUE(WriteFileBytes(bmp_, bmp.data(), bmp.size()));
    ASSERT_TRUE(WriteFileBytes(own_, kOwnFile, sizeof kOwnFile));
  }
  void TearDown() override {
    StopIsolatedPlugins();
    SetEnvironmentVariableW(kTestFaultVariable, nullptr);
    SourceSurface.Reset();
    EXPECT_EQ(0, ChildrenLeft()) << "a decoding child is still running";
  }

  // Installs the test plug-in under each name and makes the real program the child.
  void Start(std::initializer_list<const wchar_t*> names, const std::wstring& fault) {
    for (const wchar_t* name : names) ASSERT_TRUE(InstallTestPlugin(L"test_plugin.spi", plugins_.File(name)));
    ASSERT_TRUE(SetEnvironmentVariableW(kTestFaultVariable, fault.c_str()));
    StartIsolatedPlugins(plugins_.Path(), TestProgramDirectory() + L"\\Quillane.exe");
  }

  TempDirectory plugins_;
  TempDirectory images_;
  const std::wstring bmp_ = images_.File(L"two.bmp");
  const std::wstring own_ = images_.File(L"own.qtp");
};

// Every kind of misbehaviour costs the file it happened on: the previous
// picture stays, the next file opens through GDI+, and no child is left.
TEST_F(PluginIsolationTest, MisbehavingPluginCostsOneFile) {
  for (const wchar_t* where : {L"none", L"probe", L"decode", L"divide", L"stack", L"garbage", L"hang"}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(where)));
    const bool none = std::wstring(where) == L"none";
    SourceSurface.Reset();
    Start({L"bad.spi"}, std::wstring(L"bad.spi=") + where);
    const DWORD start = GetTickCount();
    ASSERT_EQ(1, LoadSourceImage(bmp_.c_str())) << "GDI+ gets the file";
    const std::vector<std::uint32_t> bmpPixels = {0x102030, 0x405060, 0x405060, 0x102030};
    EXPECT_EQ(bmpPixels, Source());
    const HBITMAP before = SourceSurface.bitmap;
    EXPECT_EQ(none ? 1 : 0, LoadSourceImage(own_.c_str()));
    EXPECT_EQ(none ? kOwnPixels : bmpPixels, Source());
    if (!none) {
      EXPECT_EQ(before, SourceSurface.bitmap);
    }
    EXPECT_EQ(0, ChildrenLeft());
    const DWORD took = GetTickCount() - start;
    if (std::wstring(where) == L"hang") {
      EXPECT_GE(took, 2 * kPluginChildTimeLimit - 500);
    } else {
      EXPECT_LT(took, kPluginChildTimeLimit) << "a fault is noticed at once";
    }
    EXPECT_EQ(1u, IsolatedPluginFiles().size()) << "the table keeps the library";
  }
}

// A library that faults in its start-up code, or never finishes it, is passed
// over; the others still decode. (The system loader may catch the fault
// itself and refuse the library; one that hangs is dropped from the table.)
TEST_F(PluginIsolationTest, LibraryFaultingOrHangingOnLoadIsSkipped) {
  for (const wchar_t* where : {L"load", L"stall"}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(where)));
    Start({L"bad.spi", L"good.spi"}, std::wstring(L"bad.spi=") + where);
    ASSERT_EQ(2u, IsolatedPluginFiles().size());
    ASSERT_EQ(1, LoadSourceImage(own_.c_str()));
    EXPECT_EQ(kOwnPixels, Source());
    ASSERT_EQ(2u, IsolatedPluginFiles().size());
    EXPECT_EQ(1, std::count(IsolatedPluginFiles().begin(), IsolatedPluginFiles().end(), plugins_.File(L"good.spi")));
    if (std::wstring(where) == L"stall") {
      EXPECT_EQ(1, std::count(IsolatedPluginFiles().begin(), IsolatedPluginFiles().end(), std::wstring()))
          << "the hanging library is dropped";
    }
    EXPECT_EQ(0, ChildrenLeft());
  }
}

}  // namespace
