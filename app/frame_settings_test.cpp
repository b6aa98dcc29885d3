// ReadFrameSettings: which texts give a rebuild, and with what values.
#include "app/frame_settings.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Row {
  const wchar_t* intervalText;
  const wchar_t* correctionText;
  const wchar_t* frameDurationText;
  int accepted;
  std::uint32_t interval, correction, duration100ns;
  bool lowered;
};

const Row kRows[] = {
    {L"4", L"3", L"0.0166667", 1, 4, 3, 166667, false},
    {L"1", L"0", L"0", 1, 1, 0, 0, false},
    {L"255", L"254", L"1", 1, 255, 254, 10000000, false},
    {L" +16", L"15x", L".5", 1, 16, 15, 5000000, false},
    {L"4", L"9", L"", 1, 4, 3, 0, true},         // lowered to N - 1
    {L"4", L"4", L"0.1x5", 1, 4, 3, 1050000, true},
    {L"4", L"-1", L"2.25x", 1, 4, 3, 22500000, true},  // wraps to a huge value
    {L"1", L"7", L"0.00000001", 1, 1, 0, 0, true},
    {L"0", L"0", L"1", 0, 0, 0, 0, false},
    {L"256", L"0", L"1", 0, 0, 0, 0, false},
    {L"", L"0", L"1", 0, 0, 0, 0, false},
    {L"abc", L"0", L"1", 0, 0, 0, 0, false},
    {L"-4", L"0", L"1", 0, 0, 0, 0, false},
    {L"99999999999", L"0", L"1", 0, 0, 0, 0, false},
};

TEST(FrameSettingsTest, TextsGiveTheValuesOfARebuild) {
  for (const Row& row : kRows) {
    FrameSettings settings = {77, 77, 77, false};
    ASSERT_EQ(row.accepted, ReadFrameSettings(row.intervalText, row.correctionText, row.frameDurationText, &settings))
        << "interval " << testing::PrintToString(std::wstring(row.intervalText));
    if (!row.accepted) {
      EXPECT_EQ(77u, settings.interval);  // a refused text leaves everything as it was
      continue;
    }
    EXPECT_EQ(row.interval, settings.interval);
    EXPECT_EQ(row.correction, settings.correction);
    EXPECT_EQ(row.duration100ns, settings.frameDuration);
    EXPECT_EQ(row.lowered, settings.correctionLowered);
  }
}

}  // namespace
