// The flash guard in the main window: a cycle that flashes harmfully stays on
// frame 0 with a message and the status bar's warning until Space plays it.
#include "tests/gui/main_window_fixture.h"

#include "app/status_bar.h"
#include "frc/frame_mapping.h"
#include "frc/level_tables.h"

namespace {

constexpr int kSize = 200;  // above the window of 4.43 degrees at 60 cm and 96 dpi

// With N = 128 and correction 127, code 191 shows 255 in the odd phases and
// 127 in the even ones, and black shows 127 throughout. Code 191 only where
// frame 0 shows an even phase turns all those pixels bright in the same frames.
unsigned InStep(int x, int y) {
  return PixelPhase(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(kSize - 1 - y), 0) % 2 == 0 ? 0xBFBFBFu
                                                                                                          : 0u;
}

TEST_F(MainWindowTest, AFlashingCycleWaitsOnFrameZeroWithTheWarningUntilSpacePlaysIt) {
  OpenPicture(kSize, kSize, Grey);
  Type(kIdInterval, L"128");
  Type(kIdCorrection, L"127");
  Settle();
  ASSERT_EQ(128u, PresentTableInterval());
  EXPECT_TRUE(boxes_.Seen().empty());  // an even field does not flash
  ASSERT_EQ(1, OpenImage(WriteImage(L"in_step.bmp", kSize, kSize, InStep)));
  PostSettingsChanged();
  ASSERT_TRUE(PumpUntil([this] { return !boxes_.Seen().empty(); }, 10000));
  const SeenMessageBox& box = boxes_.Seen()[0];
  EXPECT_EQ(L"Quillane", box.caption);
  EXPECT_NE(std::wstring::npos, box.text.find(L"点滅"));
  EXPECT_NE(std::wstring::npos, box.text.find(L"フレームの表示時間を短く"));
  EXPECT_EQ(0u, CurrentFrame);
  EXPECT_TRUE(PlaybackPaused());
  EXPECT_EQ(0u, FrameClockTimer());
  EXPECT_NE(std::wstring::npos, StatusText(0).find(L"点滅注意"));
  SetFocus(FrcView);
  PressKey(VK_SPACE);
  EXPECT_FALSE(PlaybackPaused());
  EXPECT_TRUE(FrameClockTimer() != 0 || PresentationLocked());
  EXPECT_NE(std::wstring::npos, StatusText(0).find(L"点滅注意"));  // it still flashes
}

}  // namespace
