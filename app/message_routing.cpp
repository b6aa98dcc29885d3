// The message loop's routing: see message_routing.h.
#include "app/message_routing.h"

#include "app/globals.h"
#include "app/save_cycle.h"
#include "views/image_view.h"

namespace {

// The key tables, loaded once by LoadKeyTables; user-interface thread.
struct KeyTables {
  HACCEL command = nullptr;
  HACCEL playback = nullptr;
};
KeyTables keys;

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
  if (keys.command && TranslateAcceleratorW(MainWindow, keys.command, message)) return true;
  return keys.playback && !FocusOnControlBar() && TranslateAcceleratorW(MainWindow, keys.playback, message);
}

}  // namespace

void LoadKeyTables() {
  keys.command = LoadAcceleratorsW(AppInstance, MAKEINTRESOURCEW(kCommandKeys));
  keys.playback = LoadAcceleratorsW(AppInstance, MAKEINTRESOURCEW(kPlaybackKeys));
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
