// Helpers for the Windows test programs: see win_test_support.h.
#include "tests/support/win_test_support.h"

#include <d3d11.h>
#include <tlhelp32.h>

#include "base/scoped_handle.h"
#include "frc/engine_state.h"
#include "frc/level_tables.h"
#include "imaging/dib_surface.h"
#include "imaging/load_source.h"

#include <cstdio>
#include <cstring>
#include <cwchar>

#include <gtest/gtest.h>

namespace {

MessageBoxWatcher* activeWatcher = nullptr;

void RemoveTree(const std::wstring& path) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = path + L"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(child.c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(path.c_str());
}

// Wine's GDI handles carry the table index in the low word and accept a high
// word of 0, so every live object shows up in this walk. type 0: any.
int WalkGdiTable(DWORD type) {
  int live = 0;
  for (UINT_PTR index = 1; index <= 0xFFFF; ++index) {
    const DWORD found = GetObjectType(reinterpret_cast<HGDIOBJ>(index));
    live += found != 0 && (type == 0 || found == type);
  }
  return live;
}

}  // namespace

int GdiObjectCount() {
  const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  return counted != 0 ? static_cast<int>(counted) : WalkGdiTable(0);  // Wine answers 0
}

int GdiObjectCountOfType(DWORD type) {
  return GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS) != 0 ? -1 : WalkGdiTable(type);
}

int KernelHandleCount() {
  DWORD count = 0;
  if (!GetProcessHandleCount(GetCurrentProcess(), &count)) return -1;
  return static_cast<int>(count);
}

MessageBoxWatcher::MessageBoxWatcher()
    : hook_(SetWindowsHookExW(WH_CBT, HookProc, nullptr, GetCurrentThreadId())) {
  activeWatcher = this;
}

MessageBoxWatcher::~MessageBoxWatcher() {
  if (hook_) UnhookWindowsHookEx(hook_);
  if (activeWatcher == this) activeWatcher = nullptr;
}

LRESULT CALLBACK MessageBoxWatcher::HookProc(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && activeWatcher) {
    HWND box = reinterpret_cast<HWND>(wParam);
    wchar_t className[32] = {};
    GetClassNameW(box, className, 32);
    // A message box is a dialog with its text in control 0xFFFF; other dialogs
    // (the control bar is one) are left alone. So are boxes of other test
    // programs running beside this one on the same desktop: this thread may be
    // asked to activate one when its own window goes.
    if (std::wcscmp(className, L"#32770") == 0 && GetDlgItem(box, 0xFFFF) != nullptr &&
        GetWindowThreadProcessId(box, nullptr) == GetCurrentThreadId() && box != activeWatcher->lastBox_) {
      activeWatcher->lastBox_ = box;
      SeenMessageBox seen;
      wchar_t text[1024] = {};
      GetDlgItemTextW(box, 0xFFFF, text, 1024);
      seen.text = text;
      wchar_t caption[256] = {};
      GetWindowTextW(box, caption, 256);
      seen.caption = caption;
      seen.owner = GetWindow(box, GW_OWNER);
      seen.okOnly = GetDlgItem(box, IDOK) != nullptr && GetDlgItem(box, IDCANCEL) == nullptr &&
                    GetDlgItem(box, IDYES) == nullptr && GetDlgItem(box, IDNO) == nullptr;
      activeWatcher->seen_.push_back(seen);
      PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

void ExpectProgramMessage(const SeenMessageBox& box, const std::wstring& text, HWND owner) {
  EXPECT_EQ(text, box.text);
  EXPECT_EQ(L"Quillane", box.caption);
  EXPECT_EQ(owner, box.owner);
  EXPECT_TRUE(box.okOnly);
}

TempDirectory::TempDirectory() {
  wchar_t base[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, base);
  static LONG serial = 0;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    wchar_t name[MAX_PATH + 64];
    wsprintfW(name, L"%squillane-test-%lu-%lu-%ld", base, GetCurrentProcessId(), GetTickCount(),
              InterlockedIncrement(&serial));
    if (CreateDirectoryW(name, nullptr)) {
      path_ = name;
      return;
    }
  }
}

TempDirectory::~TempDirectory() {
  if (!path_.empty()) RemoveTree(path_);
}

bool WriteFileBytes(const std::wstring& path, const void* data, size_t size) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = size == 0 || WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr);
  CloseHandle(file);
  return ok && written == size;
}

std::vector<unsigned char> ReadFileBytes(const std::wstring& path) {
  std::vector<unsigned char> bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  const DWORD size = GetFileSize(file, nullptr);
  bytes.resize(size);
  DWORD read = 0;
  if (size && (!ReadFile(file, bytes.data(), size, &read, nullptr) || read != size)) bytes.clear();
  CloseHandle(file);
  return bytes;
}

HBITMAP CreateTestDib(int width, int height, int bitCount, const void* pixels, const RGBQUAD* palette,
                      int paletteSize, const DWORD* masks) {
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
  } info = {};
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biWidth = width;
  info.header.biHeight = height;
  info.header.biPlanes = 1;
  info.header.biBitCount = static_cast<WORD>(bitCount);
  info.header.biCompression = masks ? BI_BITFIELDS : BI_RGB;
  if (masks) {
    std::memcpy(info.colours, masks, 3 * sizeof(DWORD));
  } else if (palette && paletteSize > 0) {
    info.header.biClrUsed = static_cast<DWORD>(paletteSize);
    std::memcpy(info.colours, palette, static_cast<size_t>(paletteSize) * sizeof(RGBQUAD));
  }
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) return nullptr;
  const size_t stride = ((static_cast<size_t>(bitCount) * static_cast<size_t>(width) + 31) / 32) * 4;
  const size_t rows = static_cast<size_t>(height < 0 ? -height : height);
  if (pixels) std::memcpy(bits, pixels, stride * rows);
  GdiFlush();
  return bitmap;
}

HBITMAP CreateTopDownDib32(int width, int height, void** bits) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  *bits = nullptr;
  return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

HBITMAP CreateTestDib32(int width, int height, unsigned (*fill)(int x, int y)) {
  std::vector<unsigned> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] = fill(x, y);
  return CreateTestDib(width, height, 32, pixels.data());
}

std::wstring TestProgramDirectory() {
  std::wstring path(32768, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
  path.resize(length);
  const size_t slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? path : path.substr(0, slash);
}

HWND CreateTestWindow(const wchar_t* className, WNDPROC procedure, const wchar_t* title, int width, int height,
                      HWND parent) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = className;
  RegisterClassExW(&windowClass);  // fails harmlessly when already registered
  const DWORD style = parent ? WS_CHILD | WS_VISIBLE : WS_OVERLAPPEDWINDOW;
  return CreateWindowExW(0, className, title, style, 0, 0, width, height, parent, nullptr, instance, nullptr);
}

void ResetEngineState() {
  ReleaseEngineState();
  ReleaseLevelTables();
  SourceSurface.Reset();
}

bool LoadTestPicture(int width, int height, unsigned (*fill)(int x, int y)) {
  ScopedBitmap picture(CreateTestDib32(width, height, fill));
  return picture.valid() && LoadSourceFromBitmap(picture.get()) == 1;
}

int ChildProcessCount(DWORD parent, const wchar_t* program) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  int children = 0;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    const wchar_t* name = std::wcsrchr(entry.szExeFile, L'\\');
    name = name ? name + 1 : entry.szExeFile;
    if (entry.th32ParentProcessID == parent && entry.th32ProcessID != parent && lstrcmpiW(name, program) == 0) ++children;
  }
  CloseHandle(snapshot);
  return children;
}

bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

std::string MissingDirect3D() {
  HMODULE d3d11 = LoadLibraryW(L"d3d11.dll");
  if (!d3d11) return "d3d11.dll cannot be loaded";
  const auto create = reinterpret_cast<PFN_D3D11_CREATE_DEVICE>(
      reinterpret_cast<void (*)()>(GetProcAddress(d3d11, "D3D11CreateDevice")));
  std::string missing;
  if (!create) {
    missing = "d3d11.dll exports no D3D11CreateDevice";
  } else {
    HRESULT result = E_FAIL;
    for (D3D_DRIVER_TYPE type : {D3D_DRIVER_TYPE_HARDWARE, D3D_DRIVER_TYPE_WARP}) {
      ID3D11Device* device = nullptr;
      result = create(nullptr, type, nullptr, 0, nullptr, 0, D3D11_SDK_VERSION, &device, nullptr, nullptr);
      if (device) device->Release();
      if (SUCCEEDED(result)) break;
    }
    if (FAILED(result)) {
      char text[240];
      std::snprintf(text, sizeof text, "no Direct3D 11 device can be made (0x%08lX)%s",
                    static_cast<unsigned long>(result),
                    UnderWine() && sizeof(void*) == 4
                        ? ": 32-bit Wine draws Direct3D through the 32-bit Mesa GL drivers "
                          "(libgl1-mesa-dri:i386, libglx-mesa0:i386, libgl1:i386)"
                        : "");
      missing = text;
    }
  }
  FreeLibrary(d3d11);
  return missing;
}
