// ApplySettings: see apply_settings.h.
#include "app/apply_settings.h"

#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <string>

#include "app/control_bar.h"
#include "app/frame_settings.h"
#include "app/globals.h"
#include "app/settings_file.h"
#include "frc/phase_patterns.h"
#include "frc/engine_state.h"
#include "frc/frame_cache.h"
#include "imaging/dib_surface.h"
#include "views/image_view.h"

namespace {

constexpr int kFieldLength = 32;  // 31 characters and the terminator

const wchar_t kIntervalRangeMessage[] = L"間隔は1から255の範囲内である必要があります。";

void ShowMessage(const wchar_t* text) { MessageBoxW(MainWindow, text, kAppCaption, MB_OK); }

const wchar_t kBadPhaseMatrixMessage[] = L"位相パターンの行列 (PhasePatternMatrix) が正しくないため、標準を使います。\n";

}  // namespace

bool UsePhasePattern(PhasePatternKind kind, const std::wstring& settingsPath, std::wstring* fault) {
  PhasePattern pattern = BuiltInPhasePattern(kind);
  bool usable = true;
  if (kind == PhasePatternKind::kCustom) {
    usable = ParsePhaseMatrix(LoadPhaseMatrixSetting(settingsPath), &pattern, fault);
    if (!usable) pattern = BuiltInPhasePattern(PhasePatternKind::kStandard);
  }
  SetPhasePattern(pattern);
  return usable;
}

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

  std::wstring fault;
  if (!UsePhasePattern(PhasePatternInBar(), SettingsFilePath(), &fault)) {
    SelectPhasePatternInBar(PhasePatternKind::kStandard);
    ShowMessage((std::wstring(kBadPhaseMatrixMessage) + fault).c_str());
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
