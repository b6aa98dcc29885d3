// The presentation check's frames as GDI draws them read back as their own
// numbers, at the place the check reads them from.
#include "present/check_presentation.h"

#include <gtest/gtest.h>

#include "present/screen_readback.h"

namespace {

TEST(CheckPresentationTest, EveryDrawnFrameReadsBackAsItsNumber) {
  constexpr int kSize = 128;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = kSize;
  info.bmiHeader.biHeight = -kSize;  // top row first, as the desktop image
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP target = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(nullptr, target);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, target);
  const std::size_t stride = kSize * 4;
  const std::uint8_t* marker = static_cast<const std::uint8_t*>(bits) + kCheckMarkerTop * stride + kCheckMarkerLeft * 4;
  for (int frame = 0; frame < kMarkerFrames; ++frame) {
    DrawCheckFrame(dc, kSize, kSize, frame);
    GdiFlush();
    EXPECT_EQ(frame, ReadFrameMarker(marker, stride));
    // One pixel to the right is a different picture: it must not read as a frame.
    EXPECT_EQ(-1, ReadFrameMarker(marker + 4 * (kMarkerBlockSize / 2), stride)) << frame;
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(target);
}

}  // namespace
