// The views' paint and scroll arithmetic, on memory DCs and real view windows.
#include "views/image_view.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/win_test_support.h"

namespace {

TEST(ScrollTargetTest, RequestCodes) {
  struct Case { int code, expected; bool moves; } cases[] = {
      {SB_LINEUP, 84, true},       {SB_LINEDOWN, 116, true},    {SB_PAGEUP, 70, true},
      {SB_PAGEDOWN, 130, true},    {SB_THUMBPOSITION, 7, true}, {SB_THUMBTRACK, 7, true},
      {SB_TOP, 100, false},        {SB_BOTTOM, 100, false},     {SB_ENDSCROLL, 100, false},
  };
  for (const Case& c : cases) {
    bool moves = !c.moves;
    EXPECT_EQ(c.expected, ScrollTarget(c.code, 30, 100, 7, &moves)) << "code " << c.code;
    EXPECT_EQ(c.moves, moves) << "code " << c.code;
  }
}

// Draws a surface into a memory DC the size of a small view at a scroll
// position and reads the pixels back.
std::vector<unsigned> Draw(const DibSurface* picture, int width, int height, int scrollX, int scrollY) {
  void* bits = nullptr;
  HBITMAP target = CreateTopDownDib32(width, height, &bits);
  std::fill(static_cast<unsigned*>(bits), static_cast<unsigned*>(bits) + width * height, 0xFFFFFFu);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, target);
  DrawViewPicture(dc, scrollX, scrollY, 1, picture);
  GdiFlush();
  std::vector<unsigned> pixels(static_cast<unsigned*>(bits), static_cast<unsigned*>(bits) + width * height);
  for (unsigned& p : pixels) p &= 0xFFFFFFu;
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(target);
  return pixels;
}

TEST(DrawViewPictureTest, CopiesOneToOneFromTheScrollPositionAndLeavesTheBitmapFree) {
  const int gdiBefore = GdiObjectCount();
  {
    HBITMAP source = CreateTestDib32(20, 10, [](int x, int y) { return unsigned(x) << 8 | unsigned(y); });
    DibSurface picture;
    PrepareDib32Header(&picture.header);
    picture.bitmap = ConvertToDib32(&picture.header, &picture.bits, source);
    DeleteObject(source);
    ASSERT_EQ(1, CreateSurfaceDc(&picture));

    const std::vector<unsigned> shown = Draw(&picture, 8, 6, 15, 7);
    // Picture column 15 + x, picture row 7 + y (memory row 9 - 7 - y) where the
    // picture exists; beyond its edges the view keeps what it had.
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 8; ++x) {
        const bool inside = 15 + x < 20 && 7 + y < 10;
        const unsigned expected = inside ? unsigned(15 + x) << 8 | unsigned(9 - 7 - y) : 0xFFFFFFu;
        EXPECT_EQ(expected, shown[size_t(y) * 8 + x]) << x << "," << y;
      }
    EXPECT_EQ(picture.savedObject, GetCurrentObject(picture.memoryDc, OBJ_BITMAP));
    // Nothing to draw: the view stays as it was.
    for (unsigned p : Draw(nullptr, 4, 4, 0, 0)) EXPECT_EQ(0xFFFFFFu, p);
  }
  EXPECT_EQ(gdiBefore, GdiObjectCount());
}

TEST(ImageViewsTest, NoPictureMeansNoScrollBars) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, instance, nullptr);
  ASSERT_NE(nullptr, parent);
  SourceSurface.Reset();
  CreateImageViews(parent, instance, 0, 0, 0, nullptr);
  ASSERT_NE(nullptr, FrcView);
  ASSERT_NE(nullptr, OriginalView);
  wchar_t name[32] = {};
  GetClassNameW(FrcView, name, 32);
  EXPECT_STREQ(L"FRC View", name);
  GetClassNameW(OriginalView, name, 32);
  EXPECT_STREQ(L"Original View", name);
  EXPECT_TRUE(GetWindowLongW(FrcView, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  MoveWindow(FrcView, 0, 0, 200, 100, TRUE);
  SCROLLBARINFO bar = {};
  bar.cbSize = sizeof bar;
  GetScrollBarInfo(FrcView, OBJID_HSCROLL, &bar);
  EXPECT_TRUE(bar.rgstate[0] & STATE_SYSTEM_INVISIBLE);
  // A left click takes the focus.
  SendMessageW(FrcView, WM_LBUTTONDOWN, 0, 0);
  EXPECT_EQ(FrcView, GetFocus());
  DestroyWindow(parent);
  FrcView = OriginalView = nullptr;
}

TEST(ImageViewsTest, ClientAsWideAsThePictureStillScrollsOnePixel) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  HBITMAP source = CreateTestDib32(640, 50, [](int, int) { return 0u; });
  PrepareDib32Header(&SourceSurface.header);
  SourceSurface.bitmap = ConvertToDib32(&SourceSurface.header, &SourceSurface.bits, source);
  DeleteObject(source);
  HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 900, 600, nullptr, nullptr, instance, nullptr);
  CreateImageViews(parent, instance, 0, 0, 0, nullptr);
  for (int clientWidth : {640, 641}) {
    // Size the window so that its client area is exactly clientWidth wide.
    MoveWindow(FrcView, 0, 0, 700, 400, TRUE);
    RECT client;
    GetClientRect(FrcView, &client);
    MoveWindow(FrcView, 0, 0, 700 + clientWidth - client.right, 400, TRUE);
    GetClientRect(FrcView, &client);
    ASSERT_EQ(clientWidth, client.right);
    SCROLLINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    GetScrollInfo(FrcView, SB_HORZ, &info);
    EXPECT_EQ(640, info.nMax);
    EXPECT_EQ(UINT(client.right), info.nPage);
    SendMessageW(FrcView, WM_HSCROLL, SB_PAGEDOWN, 0);
    GetScrollInfo(FrcView, SB_HORZ, &info);
    EXPECT_EQ(client.right <= 640 ? 640 - client.right + 1 : 0, info.nPos) << "client width " << client.right;
  }
  DestroyWindow(parent);
  FrcView = OriginalView = nullptr;
  SourceSurface.Reset();
}

}  // namespace
