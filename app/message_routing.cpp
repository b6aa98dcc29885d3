// The message loop's routing: see message_routing.h.
#include "app/message_routing.h"

#include "app/globals.h"
#include "app/save_cycle.h"
#include "views/image_view.h"

namespace {

HACCEL commandKeys = nullptr;
HACCEL playbackKeys = nullptr;

bool FocusOnControlBar() {
  HWND focus = GetFocus();
  return focus && ControlBar && (focus == ControlBar || IsChild(ControlBar, focus));
}

// The wheel message's point is in screen coordinates.
void SendZoomWheelToView(MSG* message) {
  if (message->message != WM_MOUSEWHEEL || !(GET_KEYSTATE_WPARAM(message->wParam) & MK_CONTROL)) return;
  const POINT point = {static_cast<short>(LOWORD(message->lParam)), static_cast<short>(HIWORD(message->lParam))};
  HWND under = WindowFromPoint(point);
  if (under && (under == FrcView || under == OriginalView)) message->hwnd = under;
}

bool TranslateKeys(MSG* message) {
  if (!MainWindow) return false;
  if (commandKeys && TranslateAcceleratorW(MainWindow, commandKeys, message)) return true;
  return playbackKeys && !FocusOnControlBar() && TranslateAcceleratorW(MainWindow, playbackKeys, message);
}

}  // namespace

void LoadKeyTables() {
  commandKeys = LoadAcceleratorsW(AppInstance, MAKEINTRESOURCEW(kCommandKeys));
  playbackKeys = LoadAcceleratorsW(AppInstance, MAKEINTRESOURCEW(kPlaybackKeys));
}

void DispatchProgramMessage(MSG* message) {
  if (message->message == WM_KEYDOWN && message->wParam == VK_ESCAPE && SaveRunning()) {
    StopSave();
    return;
  }
  SendZoomWheelToView(message);
  if (TranslateKeys(message)) return;
  if (ControlBar && IsDialogMessageW(ControlBar, message)) return;
  DispatchMessageW(message);
}
