// The control bar: see control_bar.h.
#include "app/control_bar.h"

#include <commctrl.h>

#include "app/globals.h"

namespace {

const wchar_t* const kIntervalPresets[] = {L"1", L"2", L"4", L"8", L"16"};
const wchar_t* const kCorrectionPresets[] = {L"0", L"1", L"3", L"7", L"15"};
const wchar_t* const kDurationPresets[] = {L"0.0041667", L"0.0083333", L"0.0166667", L"0.0333333"};

template <size_t Count>
void AddPresets(int id, const wchar_t* const (&entries)[Count]) {
  for (const wchar_t* entry : entries)
    SendDlgItemMessageW(ControlBar, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
}

// Commands go to the main window unchanged; while it is still being created
// (MainWindow not yet stored) they go nowhere.
INT_PTR OnCommand(WPARAM wParam, LPARAM lParam) {
  if (MainWindow) SendMessageW(MainWindow, WM_COMMAND, wParam, lParam);
  return FALSE;
}

INT_PTR CALLBACK ControlBarProc(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: return TRUE;
    case WM_COMMAND: return OnCommand(wParam, lParam);
    default: return FALSE;
  }
}

}  // namespace

HWND CreateControlBar() {
  ControlBar = CreateDialogParamW(AppInstance, MAKEINTRESOURCEW(kBarTemplate), nullptr, ControlBarProc, 0);
  if (!ControlBar) return nullptr;
  AddPresets(kIdInterval, kIntervalPresets);
  AddPresets(kIdCorrection, kCorrectionPresets);
  AddPresets(kIdFrameDuration, kDurationPresets);
  for (int i = 0; i < kPhasePatternKinds; ++i)
    SendDlgItemMessageW(ControlBar, kIdPhasePattern, CB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(PhasePatternLabel(static_cast<PhasePatternKind>(i))));
  SelectPhasePatternInBar(PhasePatternKind::kStandard);
  return ControlBar;
}

PhasePatternKind PhasePatternInBar() {
  const LRESULT selected = SendDlgItemMessageW(ControlBar, kIdPhasePattern, CB_GETCURSEL, 0, 0);
  return selected >= 0 && selected < kPhasePatternKinds ? static_cast<PhasePatternKind>(selected)
                                                        : PhasePatternKind::kStandard;
}

void SelectPhasePatternInBar(PhasePatternKind kind) {
  SendDlgItemMessageW(ControlBar, kIdPhasePattern, CB_SETCURSEL, static_cast<WPARAM>(kind), 0);
}

void AttachControlBar(HWND parent) {
  SetWindowLongW(ControlBar, GWL_STYLE, WS_CHILD);
  SetParent(ControlBar, parent);
  ShowWindow(ControlBar, SW_SHOW);
}
