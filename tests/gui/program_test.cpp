// The real program, started as its own process the way a user starts it:
// command-line image, the message for a file no decoder reads, the exit code
// and the settings file it leaves behind; the version resources of the
// program and the plug-in as Explorer's file properties read them (the
// numeric version and the copyright line are checked in the files' bytes by
// scripts/check-pe.sh).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "base/utf8_text.h"
#include "quillane_version.h"
#include "tests/gui/gui_test_support.h"
#include "tests/plugins/test_plugin_api.h"
#include "tests/support/win_test_support.h"

namespace {

unsigned Stripes(int x, int) { return (x / 4) % 2 ? 0xFFFFFFu : 0x102030u; }
unsigned Ramp(int x, int y) { return unsigned(x * 7 & 0xFF) << 16 | unsigned((x + y) * 3 & 0xFF) << 8; }

// A UTF-8 file (the program's redirected output, cycle.txt) as wide text.
std::wstring FileText(const std::wstring& path) {
  const std::vector<unsigned char> bytes = ReadFileBytes(path);
  return WideText(std::string(bytes.begin(), bytes.end()));
}

// The files of an export with N = 4 are in both folders, with the same bytes.
void ExpectSameFiles(const std::wstring& expected, const std::wstring& actual) {
  for (const wchar_t* name : {L"\\frame_000.png", L"\\frame_001.png", L"\\frame_002.png", L"\\frame_003.png",
                              L"\\mean.png", L"\\flicker.png", L"\\mean_light.png", L"\\flicker_light.png",
                              L"\\cycle.txt"}) {
    const std::vector<unsigned char> bytes = ReadFileBytes(expected + name);
    EXPECT_FALSE(bytes.empty());
    EXPECT_TRUE(bytes == ReadFileBytes(actual + name)) << std::string(name, name + wcslen(name));
  }
}


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

  // Starts the program; with output given, both its standard outputs go there.
  void Start(const std::wstring& arguments, HANDLE output = nullptr) {
    std::wstring commandLine = L"\"" + program_ + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = output ? STARTF_USESTDHANDLES : 0;
    startup.hStdOutput = startup.hStdError = output;
    // Under load, Wine now and then fails to bring up a new process before it
    // runs a line of it (wine-run.sh knows the same); a program that cannot
    // start fails the second attempt too.
    for (int attempt = 1;; ++attempt) {
      if (CreateProcessW(program_.c_str(), &commandLine[0], nullptr, nullptr, output != nullptr, 0, nullptr,
                         directory_.Path().c_str(), &startup, &process_))
        return;
      const DWORD error = GetLastError();
      ASSERT_LT(attempt, 2) << "the program did not start: error " << error;
      std::fprintf(stderr, "the program did not start (error %lu); starting it once more\n", error);
      Sleep(500);
    }
  }

  // Runs the program to its end with both standard outputs going to one file;
  // returns the exit code and what it wrote.
  DWORD RunToEnd(const std::wstring& arguments, std::wstring* output) {
    // A new file each run: Wine's helper processes may keep the last one open.
    const std::wstring outputPath = directory_.File(L"output" + std::to_wstring(++runs_) + L".txt");
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE file = CreateFileW(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                              CREATE_ALWAYS, 0, nullptr);
    Start(arguments, file);
    CloseHandle(file);
    DWORD code = 12345;
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process_.hProcess, 60000));
    GetExitCodeProcess(process_.hProcess, &code);
    TearDown();
    process_ = PROCESS_INFORMATION();
    *output = FileText(outputPath);
    return code;
  }

  // Types folder into the running program's folder picker and presses OK.
  void AnswerPicker(const std::wstring& folder) {
    HWND picker = WaitForWindow(process_.dwProcessId, L"#32770");
    ASSERT_NE(nullptr, picker);
    HWND name = FindWindowExW(picker, nullptr, L"Edit", nullptr);
    SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder.c_str()));
    PostMessageW(picker, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  }

  // Picks folder in the program and waits until the export into it is complete.
  void SaveInto(const std::wstring& folder) {
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    AnswerPicker(folder);
    // cycle.txt gets its name last.
    EXPECT_TRUE(PumpUntil([&] { return !ReadFileBytes(folder + L"\\cycle.txt").empty(); }, 60000));
    ExpectSameFiles(directory_.File(L"cli"), folder);
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
  int runs_ = 0;
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

TEST_F(ProgramTest, ExportReportsEachErrorWithItsExitCodeAndLeavesTheSettingsAlone) {
  const std::wstring image = directory_.File(L"picture.bmp"), text = directory_.File(L"notes.png");
  ASSERT_TRUE(WriteBmpFile(image, 9, 7, Ramp));
  ASSERT_TRUE(WriteFileBytes(text, "just text", 9));
  const std::wstring missing = directory_.File(L"missing.png"), out = directory_.File(L"out");
  const std::wstring range = L"error: the interval must be 1 to 255: ";
  const std::wstring rangeJa = L"エラー: 間隔は1から255の範囲内である必要があります: ";
  const struct {
    std::wstring arguments;
    DWORD code;
    std::wstring output;
  } cases[] = {
      {L"\"" + missing + L"\"", 2, L"error: cannot open image: " + missing + L"\nエラー: 画像を開けません: " + missing},
      {L"\"" + text + L"\"", 2, L"error: cannot open image: " + text + L"\nエラー: 画像を開けません: " + text},
      {L"--interval 0 \"" + image + L"\"", 1, range + L"0\n" + rangeJa + L"0"},
      {L"--interval 256 \"" + image + L"\"", 1, range + L"256\n" + rangeJa + L"256"},
      {L"--frames 3 \"" + image + L"\"", 1, L"error: unknown option: --frames\nエラー: 不明なオプションです: --frames"},
      {L"--export \"" + text + L"\\sub\" \"" + image + L"\"", 3, L"error: cannot create folder: " + text + L"\\sub ("},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.arguments.begin(), c.arguments.end()));
    std::wstring output;
    EXPECT_EQ(c.code, RunToEnd(L"--export \"" + out + L"\" " + c.arguments, &output));
    EXPECT_EQ(0u, output.find(c.output)) << std::string(output.begin(), output.end());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(out.c_str()));
  }
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(directory_.File(L"settings.ini").c_str()));

  // The interval, the correction and the frame duration from the file; the
  // correction lowered as the window does.
  const char settings[] = "[Settings]\r\nFRCCount=2\r\nFRCOffset=5\r\nFRCDuration=0.25\r\nOther=kept\r\n";
  ASSERT_TRUE(WriteFileBytes(directory_.File(L"settings.ini"), settings, sizeof settings - 1));
  std::wstring output;
  EXPECT_EQ(0u, RunToEnd(L"--export \"" + out + L"\" \"" + image + L"\"", &output));
  EXPECT_EQ(L"note: correction 5 lowered to 1\n注意: 補正 5 を 1 に下げました。\n", output);
  EXPECT_EQ(0u, FileText(out + L"\\cycle.txt").find(L"width=9\nheight=7\ninterval=2\ncorrection=1\nlevels=1,3,"));
  EXPECT_NE(std::wstring::npos, FileText(out + L"\\cycle.txt").find(L"\nframe_duration=0.2500000\nflicker_hz=2.000\n"));
  EXPECT_EQ(0u, RunToEnd(L"--export \"" + out + L"\" --frame-duration 0.125 \"" + image + L"\"", &output));
  EXPECT_NE(std::wstring::npos, FileText(out + L"\\cycle.txt").find(L"\nframe_duration=0.1250000\nflicker_hz=4.000\n"));
  EXPECT_EQ(std::wstring(settings, settings + sizeof settings - 1), FileText(directory_.File(L"settings.ini")));
}

TEST_F(ProgramTest, PresentationCheckSaysAtOnceWhenItCannotRun) {
  std::wstring output;
  EXPECT_EQ(1u, RunToEnd(L"--check-presentation 0", &output));
  EXPECT_EQ(0u, output.find(L"error: the seconds must be a whole number from 1 to 600: 0\n"));
  if (!UnderWine())
    GTEST_SKIP() << "the check runs for real here";
  // Wine has no desktop duplication: the check must say so, with its own
  // code, and neither wait on a window nor on a message box.
  const DWORD started = GetTickCount();
  EXPECT_EQ(5u, RunToEnd(L"--check-presentation 30", &output));
  EXPECT_LT(GetTickCount() - started, 15000u);
  EXPECT_EQ(0u, output.find(L"presentation check: not available here: ")) << std::string(output.begin(), output.end());
  EXPECT_NE(std::wstring::npos, output.find(L"\n表示の確認: この環境では使えません: "));
}

// A display that stops giving vblanks (asleep, removed) cannot hold up
// closing: the presenting thread stuck in its wait is left behind.
TEST_F(ProgramTest, ClosesAtOnceWhileTheVblankWaitNeverReturns) {
  const std::wstring log = directory_.File(L"presentation.csv");
  Start(L"--vblank-source=simulated:60:stall=1 --presentation-log \"" + log + L"\" --pattern gray:64x32");
  HWND main = WaitForWindow(process_.dwProcessId, L"Quillane");
  ASSERT_NE(nullptr, main);
  // The thread writes how it draws after its first wake; its next wait never returns.
  ASSERT_TRUE(PumpUntil([&] { return FileText(log).find(L"# 表示:") != std::wstring::npos; }, 20000));
  const ULONGLONG start = GetTickCount64();
  PostMessageW(main, WM_CLOSE, 0, 0);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process_.hProcess, 10000));
  EXPECT_LT(GetTickCount64() - start, 1000u);
  DWORD code = 12345;
  GetExitCodeProcess(process_.hProcess, &code);
  EXPECT_EQ(0u, code);
}

TEST_F(ProgramTest, SaveButtonAndCtrlSWriteWhatTheCommandLineWrites) {
  const std::wstring image = directory_.File(L"picture.bmp");
  ASSERT_TRUE(WriteBmpFile(image, 37, 23, Ramp));
  std::wstring output;
  ASSERT_EQ(0u, RunToEnd(L"--export \"" + directory_.File(L"cli") + L"\" \"" + image + L"\"", &output));
  Start(L"\"" + image + L"\"");
  HWND main = WaitForWindow(process_.dwProcessId, L"Quillane");
  ASSERT_TRUE(main && PumpUntil([&] { return WindowText(main) == L"Quillane " + image; }));
  HWND save = GetDlgItem(FindWindowExW(main, nullptr, L"#32770", nullptr), 1006);
  // Once the loop answers, the start-up's rebuild request is queued ahead of the click.
  SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_BLOCK, 10000, nullptr);

  PostMessageW(save, BM_CLICK, 0, 0);
  SaveInto(directory_.File(L"button"));

  // Real key presses go to whichever window is in front; a window of another
  // test program may come forward in between, so the keys are pressed again
  // until the picker shows.
  for (int attempt = 0; attempt < 3 && !WaitForWindow(process_.dwProcessId, L"#32770", 0); ++attempt) {
    SetForegroundWindow(main);
    ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == main; }));
    keybd_event(VK_CONTROL, 0, 0, 0);
    keybd_event('S', 0, 0, 0);
    keybd_event('S', 0, KEYEVENTF_KEYUP, 0);
    keybd_event(VK_CONTROL, 0, KEYEVENTF_KEYUP, 0);
    WaitForWindow(process_.dwProcessId, L"#32770", 5000);
  }
  SaveInto(directory_.File(L"keys"));

  // A folder where the last file's name is taken: the message, and no file.
  const std::wstring blocked = directory_.File(L"blocked");
  ASSERT_TRUE(CreateDirectoryW(blocked.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((blocked + L"\\cycle.txt").c_str(), nullptr));
  PostMessageW(save, BM_CLICK, 0, 0);
  AnswerPicker(blocked);
  HWND box = nullptr;  // captioned "Quillane", unlike the picker
  ASSERT_TRUE(PumpUntil([&] { return (box = FindWindowW(L"#32770", L"Quillane")) != nullptr; }, 60000));
  wchar_t message[512] = {};
  GetDlgItemTextW(box, 0xFFFF, message, 512);
  EXPECT_EQ(0u, std::wstring(message).find(L"保存できません。\n" + blocked + L"\\cycle.txt ("));
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((blocked + L"\\frame_000.png").c_str()));
  EXPECT_EQ(0u, CloseAndWait(main));
}

// The first part of a status bar of another process (the system carries
// WM_GETTEXT across; GetWindowTextW would give the window's own caption).
std::wstring FirstStatusPart(HWND status) {
  wchar_t text[256] = {};
  SendMessageTimeoutW(status, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 5000, nullptr);
  return text;
}

// A save of a large cycle runs beside the window: the window answers at once,
// the frames go on changing, the status bar counts the files, and Esc stops
// the save and leaves nothing of it in the folder.
TEST_F(ProgramTest, SaveLeavesTheWindowAnsweringAndEscCancelsIt) {
  const char settings[] = "[Settings]\r\nFRCCount=32\r\nFRCOffset=0\r\nFRCDuration=0.02\r\n";
  ASSERT_TRUE(WriteFileBytes(directory_.File(L"settings.ini"), settings, sizeof settings - 1));
  Start(L"--pattern gray:1920x1080");
  HWND main = WaitForWindow(process_.dwProcessId, L"Quillane");
  ASSERT_TRUE(main && PumpUntil([&] { return WindowText(main) == L"Quillane パターン: gray 1920×1080"; }));
  HWND save = GetDlgItem(FindWindowExW(main, nullptr, L"#32770", nullptr), 1006);
  HWND status = FindWindowExW(main, nullptr, L"msctls_statusbar32", nullptr);
  ASSERT_NE(nullptr, status);
  // The start-up's rebuild is over once the loop answers.
  SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_BLOCK, 30000, nullptr);
  const std::wstring folder = directory_.File(L"saved");
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  PostMessageW(save, BM_CLICK, 0, 0);
  AnswerPicker(folder);
  ASSERT_TRUE(PumpUntil([&] { return FirstStatusPart(status).find(L"保存中 ") != std::wstring::npos; }, 10000));

  // The frame part of the bar's first part; empty once the save is over.
  const auto savingFrame = [status] {
    const std::wstring text = FirstStatusPart(status);
    const size_t saving = text.find(L"  保存中 ");
    return saving == std::wstring::npos ? std::wstring() : text.substr(0, saving);
  };
  std::vector<std::wstring> frames;
  ULONGLONG slowest = 0;
  for (int i = 0; i < 10; ++i) {
    const ULONGLONG start = GetTickCount64();
    EXPECT_NE(0, SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, nullptr));
    slowest = std::max(slowest, GetTickCount64() - start);
    const std::wstring frame = savingFrame();
    if (frame.empty()) break;
    frames.push_back(frame);
    // The next sample once the bar shows another frame (or the save is over).
    PumpUntil([&] { return savingFrame() != frame; }, 1000);
  }
  // Slow on a busy machine, but a window that waited for the save would not answer for seconds.
  EXPECT_LT(slowest, 1000u);
  std::sort(frames.begin(), frames.end());
  EXPECT_GT(std::unique(frames.begin(), frames.end()) - frames.begin(), 2) << "the frames stood still";

  PostMessageW(main, WM_KEYDOWN, VK_ESCAPE, 1);
  EXPECT_TRUE(PumpUntil([&] { return FirstStatusPart(status).find(L"保存中") == std::wstring::npos; }, 20000));
  // Nothing at all is left in the folder: RemoveDirectory takes only an empty one.
  EXPECT_TRUE(RemoveDirectoryW(folder.c_str()));
  EXPECT_TRUE(FindWindowW(L"#32770", L"Quillane") == nullptr);
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

// A plug-in beside the program that crashes on every file it is given: the
// program goes on, GDI+ opens the picture, no message, no child left behind.
TEST_F(ProgramTest, CrashingPluginCostsTheProgramNothing) {
  ASSERT_TRUE(CopyFileW((TestProgramDirectory() + L"\\test_plugins\\test_plugin.spi").c_str(),
                        directory_.File(L"crash.spi").c_str(), FALSE));
  ASSERT_TRUE(SetEnvironmentVariableW(kTestFaultVariable, L"crash.spi=decode"));
  const std::wstring picture = directory_.File(L"picture.bmp");
  ASSERT_TRUE(WriteBmpFile(picture, 16, 8, Stripes));
  Start(L"\"" + picture + L"\"");
  SetEnvironmentVariableW(kTestFaultVariable, nullptr);
  HWND main = WaitForWindow(process_.dwProcessId, L"Quillane");
  ASSERT_NE(nullptr, main);
  EXPECT_TRUE(PumpUntil([&] { return WindowText(main) == L"Quillane " + picture; }));
  EXPECT_EQ(nullptr, WaitForWindow(process_.dwProcessId, L"#32770", 200));
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(process_.hProcess, 0));
  EXPECT_EQ(0, ChildProcessCount(process_.dwProcessId, L"Quillane.exe"));
  EXPECT_EQ(0u, CloseAndWait(main));
}

}  // namespace
