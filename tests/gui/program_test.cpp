// The real program, started as its own process the way a user starts it:
// command-line image, the message for a file no decoder reads, the exit code
// and the settings file it leaves behind; the version resources of the
// program and the plug-in as Explorer's file properties read them (the
// numeric version and the copyright line are checked in the files' bytes by
// scripts/check-pe.sh).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quillane_version.h"
#include "tests/gui/gui_test_support.h"
#include "tests/support/win_test_support.h"

namespace {

unsigned Stripes(int x, int) { return (x / 4) % 2 ? 0xFFFFFFu : 0x102030u; }

struct Found {
  DWORD processId;
  const wchar_t* className;
  HWND window;
};

BOOL CALLBACK FindProcessWindow(HWND window, LPARAM lParam) {
  Found* found = reinterpret_cast<Found*>(lParam);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t className[64] = {};
  GetClassNameW(window, className, 64);
  if (owner == found->processId && wcscmp(className, found->className) == 0 && IsWindowVisible(window)) {
    found->window = window;
    return FALSE;
  }
  return TRUE;
}

HWND WaitForWindow(DWORD processId, const wchar_t* className, DWORD timeoutMs = 20000) {
  Found found = {processId, className, nullptr};
  PumpUntil([&] {
    found.window = nullptr;
    EnumWindows(FindProcessWindow, reinterpret_cast<LPARAM>(&found));
    return found.window != nullptr;
  }, timeoutMs);
  return found.window;
}

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    program_ = directory_.File(L"Quillane.exe");
    ASSERT_TRUE(CopyFileW((TestProgramDirectory() + L"\\Quillane.exe").c_str(), program_.c_str(), FALSE));
  }

  void TearDown() override {
    if (process_.hProcess) {
      if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process_.hProcess, 99);
      CloseHandle(process_.hProcess);
      CloseHandle(process_.hThread);
    }
  }

  void Start(const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + program_ + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    ASSERT_TRUE(CreateProcessW(program_.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                               directory_.Path().c_str(), &startup, &process_));
  }

  DWORD CloseAndWait(HWND mainWindow) {
    PostMessageW(mainWindow, WM_CLOSE, 0, 0);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process_.hProcess, 20000));
    DWORD code = 12345;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
  }

  std::wstring Ini(const wchar_t* key) {
    wchar_t value[128] = {};
    GetPrivateProfileStringW(L"Settings", key, L"<absent>", value, 128, directory_.File(L"settings.ini").c_str());
    return value;
  }

  TempDirectory directory_;
  std::wstring program_;
  PROCESS_INFORMATION process_ = {};
};

TEST_F(ProgramTest, OpensOnlyTheFirstArgumentAndSavesSettingsAtExit) {
  const std::wstring first = directory_.File(L"first image.bmp");
  const std::wstring second = directory_.File(L"second.bmp");
  ASSERT_TRUE(WriteBmpFile(first, 64, 32, Stripes));
  ASSERT_TRUE(WriteBmpFile(second, 8, 8, Stripes));
  Start(L"\"" + first + L"\" \"" + second + L"\"");
  HWND main = WaitForWindow(process_.dwProcessId, L"Quillane");
  ASSERT_NE(nullptr, main);
  EXPECT_TRUE(PumpUntil([&] { return WindowText(main) == L"Quillane " + first; }));
  EXPECT_EQ(nullptr, WaitForWindow(process_.dwProcessId, L"#32770", 200));
  EXPECT_EQ(0u, CloseAndWait(main));
  EXPECT_EQ(L"4", Ini(L"FRCCount"));
  EXPECT_EQ(L"3", Ini(L"FRCOffset"));
  EXPECT_EQ(L"0.0166667", Ini(L"FRCDuration"));
  EXPECT_EQ(L"0", Ini(L"ShowOriginal"));
}

TEST_F(ProgramTest, FileNoDecoderReadsBringsOneMessageAndTheProgramRuns) {
  const std::wstring bad = directory_.File(L"notes.png");
  ASSERT_TRUE(WriteFileBytes(bad, "just text", 9));
  Start(L"\"" + bad + L"\"");
  HWND box = WaitForWindow(process_.dwProcessId, L"#32770");
  ASSERT_NE(nullptr, box);
  wchar_t text[128] = {}, caption[64] = {};
  GetDlgItemTextW(box, 0xFFFF, text, 128);
  GetWindowTextW(box, caption, 64);
  EXPECT_STREQ(L"ファイルを開けません。", text);
  EXPECT_STREQ(L"Quillane", caption);
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  HWND main = WaitForWindow(process_.dwProcessId, L"Quillane");
  ASSERT_NE(nullptr, main);
  EXPECT_TRUE(PumpUntil([&] { return WaitForWindow(process_.dwProcessId, L"#32770", 0) == nullptr; }));
  EXPECT_EQ(L"Quillane", WindowText(main));
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(process_.hProcess, 0));
  EXPECT_EQ(0u, CloseAndWait(main));
}

// A string of the version resource's Japanese block; empty when missing.
std::wstring VersionString(std::vector<BYTE>& block, const wchar_t* name) {
  wchar_t* value = nullptr;
  UINT size = 0;
  const std::wstring path = std::wstring(L"\\StringFileInfo\\041104b0\\") + name;
  return VerQueryValueW(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &size) ? value : L"";
}

TEST(VersionResourceTest, ProgramAndPluginCarryTheBuildVersion) {
  const wchar_t* const files[][2] = {{L"Quillane.exe", L"減色パネル"}, {L"plugins\\netpbm.spi", L"画像読み込みプラグイン"}};
  for (const auto& file : files) {
    const std::wstring path = TestProgramDirectory() + L"\\" + file[0];
    std::vector<BYTE> block(GetFileVersionInfoSizeW(path.c_str(), nullptr));
    ASSERT_TRUE(!block.empty() && GetFileVersionInfoW(path.c_str(), 0, DWORD(block.size()), block.data()));
    EXPECT_EQ(QUILLANE_VERSION_WIDE, VersionString(block, L"ProductVersion"));
    EXPECT_NE(std::wstring::npos, VersionString(block, L"FileDescription").find(file[1])) << file[0];
  }
}

}  // namespace
