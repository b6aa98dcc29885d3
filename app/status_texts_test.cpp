// The presentation part's text: the rate, k and the audit's counts, and the
// notes for a duration below one refresh and one the display cannot keep.
#include "app/status_texts.h"

#include <gtest/gtest.h>

namespace {

TEST(StatusTextsTest, LockedPlaybackSaysWhatTheDisplayKeeps) {
  EXPECT_EQ(L"同期（模擬） 60 Hz ×1 欠落 0 重複 0 1 リフレッシュ未満 実際 0.0166667 s",
            LockedStatusText({60, 1}, ComputeLockTiming(41667, {60, 1}), PresentationFigures{}, true));
  EXPECT_EQ(L"同期 59.94 Hz ×2 欠落 3 重複 12",
            LockedStatusText({60000, 1001}, ComputeLockTiming(333333, {60000, 1001}), PresentationFigures{9, 12, 3, 1, 0},
                             false));
  EXPECT_EQ(L"同期 60 Hz ×1 欠落 0 重複 0 未準備 5",
            LockedStatusText({60, 1}, ComputeLockTiming(166667, {60, 1}), PresentationFigures{9, 0, 0, 0, 5}, false));
}

}  // namespace
