// ApplySettings: see apply_settings.h.
#include "app/apply_settings.h"

#include <windows.h>

#include <cwchar>

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

}  // namespace

void ApplySettings() {
  if (!SourceSurface.bitmap) return;

  wchar_t interval[kFieldLength] = {};
  wchar_t correction[kFieldLength] = {};
  wchar_t duration[kFieldLength] = {};
  GetDlgItemTextW(ControlBar, kIdInterval, interval, kFieldLength);
  GetDlgItemTextW(ControlBar, kIdCorrection, correction, kFieldLength);
  GetDlgItemTextW(ControlBar, kIdDuration, duration, kFieldLength);

  FrameSettings settings;
  if (!ReadFrameSettings(interval, correction, duration, &settings)) {
    ShowMessage(kIntervalRangeMessage);
    return;
  }
  if (settings.offsetLowered) {
    wchar_t text[kFieldLength];
    std::swprintf(text, kFieldLength, L"%u", static_cast<unsigned>(settings.offset));
    SetDlgItemTextW(ControlBar, kIdCorrection, text);
  }

  const FrameBuild built = RebuildFrameSet(SourceSurface, settings.count, settings.offset);
  if (built == FrameBuild::kTablesFailed) {
    ShowMessage(kOutOfMemoryMessage);
    return;
  }
  // Published before the message below: the box's modal loop may dispatch a
  // newer settings request, whose duration must not be overwritten by ours.
  FrameDuration = settings.duration;
  if (built == FrameBuild::kFramesFailed) {
    ShowMessage(kOutOfMemoryMessage);
    return;
  }
  if (FrcView) InvalidateRect(FrcView, nullptr, FALSE);
}
