// Support for the tests that drive the real main window: see gui_test_support.h.
#include "tests/gui/gui_test_support.h"

#include <vector>

#include "app/globals.h"
#include "app/message_routing.h"
#include "tests/support/win_test_support.h"

void PumpPending() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) continue;
    DispatchProgramMessage(&message);
  }
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    PumpPending();
    if (done()) return true;
    if (GetTickCount() - start > timeoutMs) return done();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

ULONGLONG ProcessCpu100ns() {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  return (ULONGLONG(kernel.dwHighDateTime) << 32 | kernel.dwLowDateTime) +
         (ULONGLONG(user.dwHighDateTime) << 32 | user.dwLowDateTime);
}

bool WriteBmpFile(const std::wstring& path, int width, int height, unsigned (*colour)(int x, int y)) {
  const int stride = (width * 3 + 3) & ~3;
  BITMAPFILEHEADER file = {};
  BITMAPINFOHEADER info = {};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biSizeImage = static_cast<DWORD>(stride * height);
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + info.biSizeImage;
  std::vector<unsigned char> bytes(file.bfSize, 0);
  memcpy(bytes.data(), &file, sizeof file);
  memcpy(bytes.data() + sizeof file, &info, sizeof info);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const unsigned c = colour(x, height - 1 - y);
      unsigned char* p = bytes.data() + file.bfOffBits + y * stride + x * 3;
      p[0] = static_cast<unsigned char>(c);
      p[1] = static_cast<unsigned char>(c >> 8);
      p[2] = static_cast<unsigned char>(c >> 16);
    }
  return WriteFileBytes(path, bytes.data(), bytes.size());
}

std::wstring WindowText(HWND window) {
  wchar_t text[1024] = {};
  GetWindowTextW(window, text, 1024);
  return text;
}

std::wstring ControlText(int id) {
  wchar_t text[256] = {};
  GetDlgItemTextW(ControlBar, id, text, 256);
  return text;
}
