// The flip-model chain against the system's Direct3D 11 and DXGI: made, drawn
// with GDI, presented, resized and freed, or refused cleanly; and the answer
// that sends the caller back to GDI where there are no present statistics.
#include "present/flip_chain.h"

#include <gtest/gtest.h>

#include "tests/support/win_test_support.h"

namespace {

LRESULT CALLBACK PlainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

TEST(FlipChainTest, DrawsAndPresentsOrIsRefusedAndFallsBackWithoutStatistics) {
  HWND window = CreateTestWindow(L"FlipChainTest", PlainProc, L"flip", 96, 64);
  ASSERT_NE(nullptr, window);
  EXPECT_EQ(nullptr, CreateFlipChain(nullptr, 96, 64));
  EXPECT_EQ(nullptr, CreateFlipChain(window, 0, 64));
  const int handlesBefore = KernelHandleCount();

  FlipChain* chain = CreateFlipChain(window, 96, 64);
  // Direct3D 11 works under Wine, so the chain must be made there; elsewhere
  // only Windows 8 and later make one.
  if (UnderWine()) {
    ASSERT_EQ("", MissingDirect3D());
    ASSERT_NE(nullptr, chain);
  }
  if (!chain) {
    DestroyWindow(window);
    GTEST_SKIP() << "no flip-model chain on this system";
  }
  HDC dc = TakeFlipChainDc(chain);
  ASSERT_NE(nullptr, dc);
  EXPECT_EQ(nullptr, TakeFlipChainDc(chain));  // one DC at a time
  const RECT all = {0, 0, 96, 64};
  EXPECT_NE(0, FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH))));
  EXPECT_EQ(0, PresentFlipChain(chain));       // not while the DC is out
  EXPECT_EQ(0, ResizeFlipChain(chain, 50, 40));
  ReleaseFlipChainDc(chain);
  EXPECT_EQ(1, PresentFlipChain(chain));
  EXPECT_EQ(1, ResizeFlipChain(chain, 50, 40));
  ASSERT_NE(nullptr, TakeFlipChainDc(chain));
  ReleaseFlipChainDc(chain);
  EXPECT_EQ(1, PresentFlipChain(chain));

  PresentStatistics statistics = {1, 2, 3, 4, 5};
  const StatisticsRead read = ReadFlipChainStatistics(chain, &statistics);
  if (UnderWine()) {
    // GetFrameStatistics is not implemented there: the caller must present with GDI.
    EXPECT_EQ(StatisticsRead::kUnavailable, read);
  }
  if (read == StatisticsRead::kRead) {
    EXPECT_GE(statistics.lastPresentCount, statistics.presentCount);
  } else {
    EXPECT_EQ(1u, statistics.presentCount);  // left alone
  }

  // A DC still taken is given back by the destruction.
  ASSERT_NE(nullptr, TakeFlipChainDc(chain));
  DestroyFlipChain(chain);
  DestroyWindow(window);
  EXPECT_LE(KernelHandleCount(), handlesBefore + 2);  // the loaded module's own may stay
}

}  // namespace
