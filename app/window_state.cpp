// The main window's record: see window_state.h.
#include "app/window_state.h"

namespace {

MainWindowState state = {nullptr, {}, 96, 0, 0, 0, nullptr, {-1, -1}, false, false, false, nullptr, {1}};

}  // namespace

MainWindowState& WindowState() { return state; }

void ResetWindowState() {
  state.statusBar = nullptr;
  for (std::wstring& text : state.statusTexts) text.clear();
  state.statusDotsPerInch = 96;
  state.statusRefreshedAt = 0;
  state.saveDone = 0;
  state.saveTotal = 0;
  state.pointerView = nullptr;
  state.pointerClient = POINT{-1, -1};
  state.paused = false;
  state.flashPending = false;
  state.flashWarning = false;
  state.focusBeforeDeactivation = nullptr;
  state.zoom = 1;
}
