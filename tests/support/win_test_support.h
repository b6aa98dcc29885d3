// Helpers for the Windows test programs: GDI object counting, message boxes
// closed and recorded by the test, temporary directories, generated bitmaps.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Live GDI objects of this process. GetGuiResources where the system has it;
// under Wine, which does not count, the handle table is walked instead.
int GdiObjectCount();

// Live GDI objects of one type (OBJ_REGION, ...) where the handle table can be
// walked (Wine); -1 where it cannot.
int GdiObjectCountOfType(DWORD type);

// Kernel handles open in this process (files, events, ...).
int KernelHandleCount();

// One message box seen by a MessageBoxWatcher.
struct SeenMessageBox {
  std::wstring caption;
  std::wstring text;
  HWND owner;
  bool okOnly;  // the box has an OK button and no other
};

// While alive, every message box that this thread opens is recorded and closed
// with OK as soon as it is activated, so a test never blocks on one.
class MessageBoxWatcher {
 public:
  MessageBoxWatcher();
  ~MessageBoxWatcher();
  MessageBoxWatcher(const MessageBoxWatcher&) = delete;
  MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

  const std::vector<SeenMessageBox>& Seen() const { return seen_; }
  void Clear() { seen_.clear(); }

 private:
  static LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam);
  HHOOK hook_;
  HWND lastBox_ = nullptr;  // a box activated again (another window came between) counts once
  std::vector<SeenMessageBox> seen_;
};

// Checks that a recorded box is one of the program's messages: the given text,
// caption "Quillane", OK only, owned by owner.
void ExpectProgramMessage(const SeenMessageBox& box, const std::wstring& text, HWND owner);

// A uniquely named directory under the temporary folder, removed with all its
// contents when the object goes.
class TempDirectory {
 public:
  TempDirectory();
  ~TempDirectory();
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;

  const std::wstring& Path() const { return path_; }
  std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

// Writes bytes to a file; returns true on success.
bool WriteFileBytes(const std::wstring& path, const void* data, size_t size);

// Reads a whole file; an empty vector when it cannot be read.
std::vector<unsigned char> ReadFileBytes(const std::wstring& path);

// Creates a DIB section of the given format and copies `pixels` (stride-padded
// rows, bottom-up unless height < 0) and `palette` (for 8 bits and below) into
// it; for 16 and 32 bits `masks` may give BI_BITFIELDS masks (red, green, blue).
// Caller owns the bitmap; null on failure.
HBITMAP CreateTestDib(int width, int height, int bitCount, const void* pixels,
                      const RGBQUAD* palette = nullptr, int paletteSize = 0, const DWORD* masks = nullptr);

// An empty 32-bpp top-down DIB section of width x height (row 0 at the top,
// as a screen reads), its pixels in *bits. Caller owns it.
HBITMAP CreateTopDownDib32(int width, int height, void** bits);

// A 32-bpp bottom-up DIB section of width x height filled by fill(x, y, row)
// with BGRA bytes (row counts memory rows, 0 = bottom). Caller owns it.
HBITMAP CreateTestDib32(int width, int height, unsigned (*fill)(int x, int y));

// Registers a window class of this program with the given procedure (once per
// name) and creates a window of it: a hidden top-level WS_OVERLAPPEDWINDOW at
// (0, 0), or a visible child when parent is given. Null on failure.
HWND CreateTestWindow(const wchar_t* className, WNDPROC procedure, const wchar_t* title, int width, int height,
                      HWND parent = nullptr);

// Fills SourceSurface with a generated width x height picture, as image loading
// would (converted, with its memory DC). Returns true on success.
bool LoadTestPicture(int width, int height, unsigned (*fill)(int x, int y));

// Empties the engine state, the level tables and the loaded picture, as at
// start-up, so that a test starts from nothing.
void ResetEngineState();

// Processes still running whose parent is the process `parent` and whose
// program file is named `program` (e.g. L"Quillane.exe"; the system may start
// helper processes of its own from any process); -1 when the system cannot
// list processes.
int ChildProcessCount(DWORD parent, const wchar_t* program);

// The directory of the running test program, without a trailing backslash.
std::wstring TestProgramDirectory();

// True when the test runs under Wine rather than Windows.
bool UnderWine();

// What keeps this machine from making a Direct3D 11 device (hardware or the
// software rasterizer), in words that name the missing facility; empty when
// one can be made. Tests that need Direct3D fail with this text instead of on
// a null pointer.
std::string MissingDirect3D();
