// What the program's message loop does with each message: the wheel with Ctrl
// goes to the view under the cursor, the keyboard tables come next, then the
// control bar's dialog navigation, and whatever is left is dispatched.
#pragma once

#include <windows.h>

// Loads the two keyboard tables (resources IDR_COMMAND_KEYS and
// IDR_PLAYBACK_KEYS) of AppInstance. The system frees them with the module.
void LoadKeyTables();

// Handles one message taken from the queue:
// - Esc while a save runs stops the save, wherever the focus is;
// - WM_MOUSEWHEEL with Ctrl held over a view is handed to that view, wherever
//   the focus is (the system gives the wheel to the focus window);
// - the command keys are translated into WM_COMMAND for MainWindow wherever
//   the focus is; the playback keys only when the focus is not on the control
//   bar, whose fields then keep their usual editing keys;
// - the control bar gets its dialog navigation;
// - anything else is dispatched.
void DispatchProgramMessage(MSG* message);
