// ApplySettings against the real control bar and GDI: parsing and validation
// of the three fields, the correction written back, the frames it renders, the
// state it leaves after every kind of failure and the messages it shows.
#include "app/apply_settings.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/control_bar.h"
#include "app/globals.h"
#include "views/image_view.h"
#include "frc/engine_state.h"
#include "frc/frame_cache.h"
#include "frc/frame_mapping.h"
#include "frc/level_tables.h"
#include "imaging/dib_surface.h"
#include "tests/support/win_test_support.h"

namespace {

const wchar_t kRangeMessage[] = L"間隔は1から255の範囲内である必要があります。";
const wchar_t kMemoryMessage[] = L"メモリが不足しています。";

unsigned Pattern(int x, int y) {
  return unsigned((x * 37 + y * 11) & 0xFF) | unsigned((x * 5 + 100) & 0xFF) << 8 | unsigned((y * 29) & 0xFF) << 16;
}

// Loads a generated picture into SourceSurface as image loading would.
void LoadPicture(int width, int height) { ASSERT_TRUE(LoadTestPicture(width, height, Pattern)); }

std::wstring FieldText(int id) {
  wchar_t text[64] = {};
  GetDlgItemTextW(ControlBar, id, text, 64);
  return text;
}

class ApplySettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AppInstance = GetModuleHandleW(nullptr);
    MainWindow = CreateTestWindow(L"Quillane apply test", DefWindowProcW, L"Quillane", 400, 300);
    ASSERT_NE(nullptr, MainWindow);
    ASSERT_NE(nullptr, CreateControlBar());
    AttachControlBar(MainWindow);
    ResetEngineState();
  }
  void TearDown() override {
    ResetEngineState();
    if (FrcView) DestroyWindow(FrcView);
    FrcView = nullptr;
    DestroyWindow(MainWindow);  // takes the control bar with it
    MainWindow = nullptr;
    ControlBar = nullptr;
  }
  static void SetFields(const wchar_t* interval, const wchar_t* correction, const wchar_t* duration) {
    SetDlgItemTextW(ControlBar, kIdInterval, interval);
    SetDlgItemTextW(ControlBar, kIdCorrection, correction);
    SetDlgItemTextW(ControlBar, kIdFrameDuration, duration);
  }
  // Every frame, once made, holds the picture as the current tables map it
  // for that frame.
  static void ExpectFramesOfThePicture(std::uint32_t interval) {
    ASSERT_NE(nullptr, FrameSet);
    ASSERT_TRUE(MakeWholeCycle());
    ASSERT_EQ(interval, FrameSetCount(FrameSet));
    const BYTE* source = static_cast<const BYTE*>(SourceSurface.bits);
    for (std::uint32_t k = 0; k < interval; ++k) {
      const DibSurface& frame = FrameSet[k];
      ASSERT_NE(nullptr, frame.memoryDc) << "frame " << k;
      ASSERT_EQ(SourceSurface.byteSize, frame.byteSize) << "frame " << k;
      std::vector<BYTE> expected(source, source + SourceSurface.byteSize);
      MapFramePixels(expected.data(), expected.data(), SourceSurface.header.bmiHeader.biWidth,
                     SourceSurface.header.bmiHeader.biHeight, k);
      EXPECT_EQ(0, std::memcmp(expected.data(), frame.bits, frame.byteSize)) << "frame " << k;
    }
  }
};

TEST_F(ApplySettingsTest, RendersTheCycleAndPublishesTheNewState) {
  LoadPicture(23, 7);
  SetFields(L"4", L"3", L"0.0166667");
  SetCurrentFrame(2);
  MessageBoxWatcher boxes;
  ApplySettings();
  EXPECT_TRUE(boxes.Seen().empty());
  EXPECT_EQ(4u, FrcCount.load());
  EXPECT_EQ(3u, FrcOffset);
  EXPECT_EQ(0u, CurrentFrame.load());
  EXPECT_EQ(166667u, FrameDuration.load());
  EXPECT_EQ(4u, LevelTableInterval());
  ExpectFramesOfThePicture(4);
  EXPECT_EQ(L"3", FieldText(kIdCorrection));
}

TEST_F(ApplySettingsTest, BoundaryIntervalsAndBlanksAndSigns) {
  LoadPicture(5, 3);
  MessageBoxWatcher boxes;
  SetFields(L"1", L"0", L"0.5");
  ApplySettings();
  EXPECT_EQ(1u, FrcCount.load());
  ExpectFramesOfThePicture(1);
  SetFields(L"255", L"254", L"1");
  ApplySettings();
  EXPECT_EQ(255u, FrcCount.load());
  EXPECT_EQ(254u, FrcOffset);
  EXPECT_EQ(10000000u, FrameDuration.load());
  ExpectFramesOfThePicture(255);
  SetFields(L"  +8x", L" 7", L".5");
  ApplySettings();
  EXPECT_EQ(8u, FrcCount.load());
  EXPECT_EQ(7u, FrcOffset);
  EXPECT_EQ(5000000u, FrameDuration.load());
  EXPECT_EQ(L" 7", FieldText(kIdCorrection));  // in range: left as typed
  EXPECT_TRUE(boxes.Seen().empty());
}

// Interval texts outside 1..255: the range message, and nothing changes.
TEST_F(ApplySettingsTest, IntervalOutOfRangeChangesNothing) {
  LoadPicture(9, 4);
  SetFields(L"4", L"3", L"0.0166667");
  ApplySettings();
  ASSERT_NE(nullptr, FrameSet);
  DibSurface* const frames = FrameSet;
  SetCurrentFrame(2);

  for (const wchar_t* interval : {L"0", L"256", L"abc", L"", L"-1", L"4294967296", L"  "}) {
    SetFields(interval, L"9", L"0.5");
    MessageBoxWatcher boxes;
    ApplySettings();
    ASSERT_EQ(1u, boxes.Seen().size()) << "interval \"" << interval << "\"";
    ExpectProgramMessage(boxes.Seen()[0], std::wstring(kRangeMessage), MainWindow);
    EXPECT_EQ(frames, FrameSet);
    EXPECT_EQ(4u, FrcCount.load());
    EXPECT_EQ(3u, FrcOffset);
    EXPECT_EQ(2u, CurrentFrame.load());
    EXPECT_EQ(166667u, FrameDuration.load());
    EXPECT_EQ(std::wstring(interval), FieldText(kIdInterval));
    EXPECT_EQ(L"9", FieldText(kIdCorrection));  // not corrected either
    EXPECT_EQ(L"0.5", FieldText(kIdFrameDuration));
  }
  ExpectFramesOfThePicture(4);
}

TEST_F(ApplySettingsTest, CorrectionAtOrAboveTheIntervalIsRewritten) {
  LoadPicture(6, 6);
  struct Case {
    const wchar_t* interval;
    const wchar_t* correction;
    std::uint32_t used;
    const wchar_t* fieldAfter;
  };
  const Case cases[] = {
      {L"4", L"9", 3, L"3"},         {L"4", L"4", 3, L"3"},           {L"4", L"-1", 3, L"3"},
      {L"16", L"99999999999", 15, L"15"}, {L"255", L"300", 254, L"254"}, {L"1", L"1", 0, L"0"},
      {L"4", L"abc", 0, L"abc"},     {L"4", L"", 0, L""},             {L"8", L"3x", 3, L"3x"},
  };
  MessageBoxWatcher boxes;
  for (const Case& c : cases) {
    SetFields(c.interval, c.correction, L"0.0041667");
    ApplySettings();
    EXPECT_EQ(c.used, FrcOffset) << c.interval << " / " << c.correction;
    EXPECT_EQ(std::wstring(c.fieldAfter), FieldText(kIdCorrection)) << c.interval << " / " << c.correction;
  }
  EXPECT_TRUE(boxes.Seen().empty());
  // The last rebuild used the corrected value for its tables.
  SetFields(L"4", L"9", L"0");
  ApplySettings();
  EXPECT_EQ(PanelLevel(4, 3, 5, 0), LevelTable[5]);
  ExpectFramesOfThePicture(4);
}

TEST_F(ApplySettingsTest, DurationsThatStopTheClockStillRenderFrames) {
  LoadPicture(4, 4);
  MessageBoxWatcher boxes;
  for (const wchar_t* duration : {L"0", L"", L"0.00000001", L"abc", L"0.0000000"}) {
    SetFrameDuration(123);
    SetFields(L"2", L"1", duration);
    ApplySettings();
    EXPECT_EQ(0u, FrameDuration.load()) << "duration \"" << duration << "\"";
    EXPECT_EQ(2u, FrcCount.load());
    ExpectFramesOfThePicture(2);
  }
  SetFields(L"2", L"1", L"1000");  // beyond 429.4967295 s: the longest, not a wrapped short one
  ApplySettings();
  EXPECT_EQ(4294967295u, FrameDuration.load());
  EXPECT_TRUE(boxes.Seen().empty());
}

TEST_F(ApplySettingsTest, NoPictureDoesNothingAtAll) {
  SetFields(L"0", L"-1", L"abc");
  PublishCycle(7, 5);
  SetCurrentFrame(6);
  SetFrameDuration(41667);
  MessageBoxWatcher boxes;
  ApplySettings();
  SetFields(L"4", L"9", L"0.5");
  ApplySettings();
  EXPECT_TRUE(boxes.Seen().empty());
  EXPECT_EQ(nullptr, FrameSet);
  EXPECT_EQ(7u, FrcCount.load());
  EXPECT_EQ(5u, FrcOffset);
  EXPECT_EQ(6u, CurrentFrame.load());
  EXPECT_EQ(41667u, FrameDuration.load());
  EXPECT_EQ(L"9", FieldText(kIdCorrection));
  EXPECT_EQ(nullptr, LevelTable);
}

TEST_F(ApplySettingsTest, RebuildReplacesTheFramesOfTheNewPicture) {
  LoadPicture(8, 8);
  SetFields(L"16", L"15", L"0.0083333");
  ApplySettings();
  ExpectFramesOfThePicture(16);
  LoadPicture(13, 2);
  SetFields(L"2", L"0", L"0.0333333");
  ApplySettings();
  EXPECT_EQ(2u, FrcCount.load());
  EXPECT_EQ(333333u, FrameDuration.load());
  ExpectFramesOfThePicture(2);
  EXPECT_EQ(13, FrameSet[1].header.bmiHeader.biWidth);
}

// Each rebuild releases the previous frames' bitmaps and memory DCs, after
// success and after every kind of failure alike.
TEST_F(ApplySettingsTest, RebuildsLeaveNoGdiObjectsBehind) {
  LoadPicture(8, 8);
  MessageBoxWatcher boxes;
  // The first pass also lets the system create what it keeps after its first
  // message boxes; repeating it must not add a single object.
  int afterPass[2] = {};
  for (int pass = 0; pass < 2; ++pass) {
    for (const wchar_t* interval : {L"16", L"4", L"0", L"255", L"1", L"abc", L"16"}) {
      SetFields(interval, L"0", L"0.1");
      ApplySettings();
    }
    ASSERT_TRUE(MakeWholeCycle());
    ASSERT_EQ(16u, FrameSetCount(FrameSet));
    afterPass[pass] = GdiObjectCount();
  }
  EXPECT_EQ(4u, boxes.Seen().size());
  EXPECT_EQ(afterPass[0], afterPass[1]);
  ReleaseEngineState();
  EXPECT_EQ(afterPass[1] - 32, GdiObjectCount()) << "16 bitmaps and 16 memory DCs released";
}

TEST_F(ApplySettingsTest, SuccessfulRebuildInvalidatesTheFrcViewOnce) {
  LoadPicture(8, 8);
  FrcView = CreateWindowExW(0, L"Static", L"", WS_CHILD | WS_VISIBLE, 0, 30, 100, 100, MainWindow, nullptr, AppInstance, nullptr);
  ASSERT_NE(nullptr, FrcView);
  ShowWindow(MainWindow, SW_SHOWNOACTIVATE);
  UpdateWindow(MainWindow);
  ValidateRect(FrcView, nullptr);
  SetFields(L"0", L"0", L"0");
  MessageBoxWatcher boxes;
  ApplySettings();
  EXPECT_FALSE(GetUpdateRect(FrcView, nullptr, FALSE)) << "a refused interval repaints nothing";
  SetFields(L"4", L"0", L"0");
  ApplySettings();
  RECT update;
  EXPECT_TRUE(GetUpdateRect(FrcView, &update, FALSE));
  EXPECT_EQ(100, update.right - update.left);
  EXPECT_EQ(100, update.bottom - update.top);
}


}  // namespace
