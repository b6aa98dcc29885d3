// ApplySettings: see apply_settings.h.
#include "app/apply_settings.h"

#include <windows.h>

#include <cstdint>
#include <cwchar>

#include "app/control_bar.h"
#include "app/frame_settings.h"
#include "app/globals.h"
#include "frc/engine_state.h"
#include "frc/rebuild_frames.h"
#include "imaging/dib_surface.h"
#include "views/image_view.h"

namespace {

constexpr int kFieldLength = 32;  // 31 characters and the terminator

const wchar_t kIntervalRangeMessage[] = L"間隔は1から255の範囲内である必要があります。";
const wchar_t kOutOfMemoryMessage[] = L"メモリが不足しています。";

void ShowMessage(const wchar_t* text) { MessageBoxW(MainWindow, text, kAppCaption, MB_OK); }

// A rebuild that runs longer than this shows the wait cursor and the bar's
// progress indicator until it ends.
constexpr unsigned kFeedbackDelayMs = 300;

struct RebuildFeedback {
  ULONGLONG start;
  ULONGLONG delay;
  bool shown;
  HCURSOR previousCursor;
};

// Called on this thread while the workers render: nothing here dispatches a
// message, so no input is handled before the rebuild ends.
void OnRebuildProgress(void* context, std::uint32_t done, std::uint32_t interval) {
  RebuildFeedback* feedback = static_cast<RebuildFeedback*>(context);
  if (!feedback->shown) {
    if (GetTickCount64() - feedback->start < feedback->delay) return;
    feedback->shown = true;
    feedback->previousCursor = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    ShowRebuildProgress(interval);
  }
  SetRebuildProgress(done);
}

FrameBuild RebuildWithFeedback(std::uint32_t interval, std::uint32_t correction, unsigned feedbackDelayMs) {
  RebuildFeedback feedback = {GetTickCount64(), feedbackDelayMs, false, nullptr};
  const FrameBuild built = RebuildFrameSet(SourceSurface, interval, correction, OnRebuildProgress, &feedback);
  if (feedback.shown) {
    HideRebuildProgress();
    SetCursor(feedback.previousCursor);
  }
  return built;
}

}  // namespace

void ApplySettings() { ApplySettingsWithFeedbackAfter(kFeedbackDelayMs); }

void ApplySettingsWithFeedbackAfter(unsigned feedbackDelayMs) {
  if (!SourceSurface.bitmap) return;

  wchar_t interval[kFieldLength] = {};
  wchar_t correction[kFieldLength] = {};
  wchar_t frameDuration[kFieldLength] = {};
  GetDlgItemTextW(ControlBar, kIdInterval, interval, kFieldLength);
  GetDlgItemTextW(ControlBar, kIdCorrection, correction, kFieldLength);
  GetDlgItemTextW(ControlBar, kIdFrameDuration, frameDuration, kFieldLength);

  FrameSettings settings;
  if (!ReadFrameSettings(interval, correction, frameDuration, &settings)) {
    ShowMessage(kIntervalRangeMessage);
    return;
  }
  if (settings.correctionLowered) {
    wchar_t text[kFieldLength];
    std::swprintf(text, kFieldLength, L"%u", static_cast<unsigned>(settings.correction));
    SetDlgItemTextW(ControlBar, kIdCorrection, text);
  }

  const FrameBuild built = RebuildWithFeedback(settings.interval, settings.correction, feedbackDelayMs);
  if (built == FrameBuild::kTablesFailed) {
    ShowMessage(kOutOfMemoryMessage);
    return;
  }
  // Published before the message below: the box's modal loop may dispatch a
  // newer settings request, whose duration must not be overwritten by ours.
  SetFrameDuration(settings.frameDuration);
  if (built == FrameBuild::kFramesFailed) {
    ShowMessage(kOutOfMemoryMessage);
    return;
  }
  if (FrcView) InvalidateRect(FrcView, nullptr, FALSE);
}
