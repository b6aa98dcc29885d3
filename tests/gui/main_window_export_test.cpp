// Pictures in and frames out through the clipboard, and Save from the main
// window: which cycle it offers to export.
#include "tests/gui/main_window_fixture.h"

#include <cstdint>
#include <cstring>
#include <cwchar>

#include "tests/support/test_images.h"

namespace {

// Puts a packed DIB of the picture colour(x, y) on the clipboard: 24 bits with
// a plain header, or 32 bits with a version 5 header and masks.
void PutOnClipboard(UINT format, int width, int height, bool topDown, unsigned (*colour)(int, int)) {
  BITMAPV5HEADER header = {};
  const bool v5 = format == CF_DIBV5;
  header.bV5Size = v5 ? sizeof(BITMAPV5HEADER) : sizeof(BITMAPINFOHEADER);
  header.bV5Width = width;
  header.bV5Height = topDown ? -height : height;
  header.bV5BitCount = v5 ? 32 : 24;
  header.bV5Compression = v5 ? BI_BITFIELDS : BI_RGB;
  header.bV5RedMask = 0xFF0000, header.bV5GreenMask = 0xFF00, header.bV5BlueMask = 0xFF;
  const size_t pixelBytes = v5 ? 4 : 3, stride = (width * pixelBytes + 3) & ~size_t(3);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, header.bV5Size + stride * height);
  unsigned char* block = static_cast<unsigned char*>(GlobalLock(memory));
  std::memcpy(block, &header, header.bV5Size);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const unsigned c = colour(x, topDown ? y : height - 1 - y);
      std::memcpy(block + header.bV5Size + y * stride + x * pixelBytes, &c, pixelBytes);
    }
  GlobalUnlock(memory);
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  if (width > 0) SetClipboardData(format, memory); else GlobalFree(memory);
  CloseClipboard();
}

TEST_F(MainWindowTest, PastedImagesAreTheSourceAFileGivesAndCopyGivesTheFrame) {
  OpenPicture(13, 7, Ramp);
  const std::vector<std::uint32_t> fromFile = SurfacePixels(SourceSurface.bits, 13, 7);
  for (UINT format : {UINT(CF_DIB), UINT(CF_DIBV5)}) {  // bottom-up 24 bits, top-down 32 bits
    PutOnClipboard(format, 13, 7, format == CF_DIBV5, Ramp);
    SourceSurface.Reset();
    PressKey('V', true);
    EXPECT_EQ(L"Quillane (クリップボード)", WindowText(MainWindow));
    ASSERT_EQ(13, SourceSurface.header.bmiHeader.biWidth);
    EXPECT_TRUE(fromFile == SurfacePixels(SourceSurface.bits, 13, 7)) << format;
  }
  PutOnClipboard(CF_DIB, 0, 0, false, Ramp);
  HBITMAP before = SourceSurface.bitmap;
  PressKey('V', true);
  ASSERT_EQ(1u, boxes_.Seen().size());
  ExpectProgramMessage(boxes_.Seen()[0], L"クリップボードに画像がありません。", MainWindow);
  EXPECT_EQ(before, SourceSurface.bitmap);

  Settle();
  SetFocus(FrcView);
  PressKey(VK_SPACE);
  PressKey(VK_RIGHT);
  PressKey('C', true);
  ASSERT_TRUE(OpenClipboard(nullptr));
  const BITMAPINFOHEADER* copied = static_cast<const BITMAPINFOHEADER*>(GlobalLock(GetClipboardData(CF_DIB)));
  ASSERT_NE(nullptr, copied);
  EXPECT_TRUE(SurfacePixels(copied + 1, 13, 7) == SurfacePixels(FrameSet[CurrentFrame].bits, 13, 7));
  CloseClipboard();
}

// Folder pickers this thread opens: counted and cancelled, so that a save
// that should not have asked for a folder fails the test instead of hanging it.
int pickersShown = 0;

LRESULT CALLBACK CancelFolderPicker(int code, WPARAM wParam, LPARAM lParam) {
  HWND dialog = reinterpret_cast<HWND>(wParam);
  wchar_t className[32] = {};
  if (code == HCBT_ACTIVATE && GetClassNameW(dialog, className, 32) && std::wcscmp(className, L"#32770") == 0 &&
      dialog != ControlBar && GetDlgItem(dialog, 0xFFFF) == nullptr) {
    ++pickersShown;
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

int PickersShownBySave() {
  pickersShown = 0;
  HHOOK hook = SetWindowsHookExW(WH_CBT, CancelFolderPicker, nullptr, GetCurrentThreadId());
  SendMessageW(MainWindow, WM_COMMAND, MAKEWPARAM(kIdSave, BN_CLICKED), 0);
  PumpPending();
  UnhookWindowsHookEx(hook);
  return pickersShown;
}

// A second picture of the same size whose rebuild is refused leaves the first
// picture's frames in place; Save must not present them as the second's.
TEST_F(MainWindowTest, SaveOffersOnlyTheCycleOfThePictureOnShow) {
  OpenPicture(40, 30, Ramp);
  Type(kIdInterval, L"");
  PumpPending();
  const std::wstring second = WriteImage(L"second.bmp", 40, 30, Grey);
  ASSERT_EQ(1, OpenImage(second));
  PostSettingsChanged();
  Settle();
  ASSERT_EQ(2u, boxes_.Seen().size());  // the range message, once for each picture
  EXPECT_EQ(L"Quillane " + second, WindowText(MainWindow));
  ASSERT_NE(nullptr, FrameSet);
  EXPECT_EQ(0, PickersShownBySave());

  Type(kIdInterval, L"4");
  Settle();
  EXPECT_EQ(1, PickersShownBySave()) << "with the second picture's cycle built, Save asks for a folder";
}

}  // namespace
