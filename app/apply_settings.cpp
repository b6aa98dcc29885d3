// ApplySettings: see apply_settings.h.
#include "app/apply_settings.h"

#include <windows.h>

#include <cstdint>
#include <cwchar>

#include "app/control_bar.h"
#include "app/frame_settings.h"
#include "app/globals.h"
#include "frc/engine_state.h"
#include "frc/frame_cache.h"
#include "imaging/dib_surface.h"
#include "views/image_view.h"

namespace {

constexpr int kFieldLength = 32;  // 31 characters and the terminator

const wchar_t kIntervalRangeMessage[] = L"間隔は1から255の範囲内である必要があります。";

void ShowMessage(const wchar_t* text) { MessageBoxW(MainWindow, text, kAppCaption, MB_OK); }

}  // namespace

void ApplySettings() {
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

  const FrameBuild built = RebuildFrameSet(SourceSurface, settings.interval, settings.correction);
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
