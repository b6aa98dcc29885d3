// The vblank sources where the system shows no vblank (Wine, Xvfb): the chain
// ends on the timer and says why; the simulated source keeps its rate and
// swallows what it is told to.
#include "present/vblank_source.h"

#include <gtest/gtest.h>

namespace {

TEST(VblankSourceTest, ChainWithoutVblankEndsOnTheTimerWithReasons) {
  HWND window = GetDesktopWindow();
  VblankSource source;
  std::wstring report;
  if (OpenVblankSource(&source, window, MonitorRefreshRate(window), nullptr, &report)) {
    CloseVblankSource(&source);
    GTEST_SKIP() << "this display has a vblank source";
  }
  EXPECT_EQ(VblankKind::kNone, source.kind);
  for (const wchar_t* name : {L"DXGI WaitForVBlank: 不可（", L"D3DKMTWaitForVerticalBlankEvent: 不可（", L"DWM: 不可（"})
    EXPECT_NE(std::wstring::npos, report.find(name)) << name;
  EXPECT_NE(std::wstring::npos, report.find(L"選択: タイマー"));
}

TEST(VblankSourceTest, SimulatedSourcePacesAndSwallows) {
  for (std::uint32_t drop : {0u, 3u}) {
    SimulatedSourceOption option = {{240, 1}, drop};
    VblankSource source;
    std::wstring report;
    ASSERT_EQ(1, OpenVblankSource(&source, nullptr, RefreshRate{0, 1}, &option, &report));
    std::uint64_t first = 0, vblank = 0, swallowedSeen = 0;
    std::int64_t start = 0, counter = 0;
    ASSERT_EQ(1, WaitForNextVblank(&source, &first, &start));
    for (int i = 0; i < 120; ++i) {
      std::uint64_t previous = vblank == 0 ? first : vblank;
      ASSERT_EQ(1, WaitForNextVblank(&source, &vblank, &counter));
      ASSERT_GT(vblank, previous);
      // A wake lands on a swallowed vblank only when it came late.
      if (drop != 0 && vblank % drop == 0 && vblank - previous == 1) ++swallowedSeen;
    }
    const double seconds = static_cast<double>(counter - start) / static_cast<double>(source.frequency);
    EXPECT_NEAR(static_cast<double>(vblank - first) / 240.0, seconds, 1.5 / 240) << drop;
    EXPECT_EQ(0u, swallowedSeen);
    CloseVblankSource(&source);
    EXPECT_EQ(VblankKind::kNone, source.kind);
  }
}

}  // namespace
