// ApplySettings: see apply_settings.h.
#include "frc/apply_settings.h"

#include <windows.h>

#include <cstdint>
#include <cwchar>

#include "app/globals.h"
#include "app/number_text.h"
#include "frc/engine_state.h"
#include "frc/level_tables.h"
#include "frc/render_frame.h"
#include "imaging/dib_surface.h"

namespace {

constexpr int kFieldLength = 32;  // 31 characters and the terminator
constexpr std::uint32_t kLargestInterval = 255;

const wchar_t kIntervalRangeMessage[] = L"間隔は1から255の範囲内である必要があります。";
const wchar_t kOutOfMemoryMessage[] = L"メモリが不足しています。";

std::uint32_t ReadUnsignedField(int id) {
  wchar_t text[kFieldLength] = {};
  GetDlgItemTextW(ControlBar, id, text, kFieldLength);
  return ParseUnsignedText(text, nullptr);
}

std::uint32_t ReadDurationField(int id) {
  wchar_t text[kFieldLength] = {};
  GetDlgItemTextW(ControlBar, id, text, kFieldLength);
  return ParseDurationText(text);
}

void ShowMessage(const wchar_t* text) { MessageBoxW(MainWindow, text, kAppCaption, MB_OK); }

void DiscardFrameSet() {
  ReleaseFrameSet(FrameSet);
  FrameSet = nullptr;
}

}  // namespace

void ApplySettings() {
  if (!SourceSurface.bitmap) return;

  const std::uint32_t count = ReadUnsignedField(kIdInterval);
  std::uint32_t offset = ReadUnsignedField(kIdCorrection);
  const std::uint32_t duration = ReadDurationField(kIdDuration);

  if (count - 1 > kLargestInterval - 1) {
    ShowMessage(kIntervalRangeMessage);
    return;
  }
  if (offset >= count) {
    offset = count - 1;
    wchar_t text[kFieldLength];
    std::swprintf(text, kFieldLength, L"%u", static_cast<unsigned>(offset));
    SetDlgItemTextW(ControlBar, kIdCorrection, text);
  }

  DiscardFrameSet();
  if (!BuildLevelTables(count, offset)) {
    ShowMessage(kOutOfMemoryMessage);
    return;
  }
  FrameSet = AllocateFrameSet(count);
  if (!FrameSet) {
    ShowMessage(kOutOfMemoryMessage);
    return;
  }
  FrcOffset = offset;
  FrcCount = count;
  CurrentFrame = 0;

  bool rendered = true;
  for (std::uint32_t k = 0; k < count; ++k) {
    if (!RenderFrame(&FrameSet[k], SourceSurface.bitmap, k)) {
      rendered = false;
      break;
    }
  }
  if (!rendered) DiscardFrameSet();
  // Published before the message below: the box's modal loop may dispatch a
  // newer settings request, whose duration must not be overwritten by ours.
  FrameDuration = duration;

  if (!rendered) {
    ShowMessage(kOutOfMemoryMessage);
    return;
  }
  if (FrcView) InvalidateRect(FrcView, nullptr, FALSE);
}
