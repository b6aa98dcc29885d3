// The control bar: the row of controls across the top of the main window (the
// open button, the interval, correction and update-interval combo boxes, the
// original-image check box). It keeps no state of its own: the values are the
// controls' texts and check state, and its commands go to the main window.
#pragma once

#include "frc/phase_patterns.h"

#include <windows.h>

#include <cstdint>

// Creates the bar from dialog template 101 as a hidden, ownerless pop-up,
// stores it in ControlBar and fills the combo boxes with their presets.
// The bar is destroyed with the window it is later attached to. Returns the
// handle, or null when the template cannot be created (ControlBar null).
HWND CreateControlBar();

// The phase pattern list: the kind selected (standard when none is), and
// selecting one without a notification.
PhasePatternKind PhasePatternInBar();
void SelectPhasePatternInBar(PhasePatternKind kind);

// Turns the bar into a plain child window of parent (its style becomes exactly
// WS_CHILD), re-parents it and shows it. The caller places it.
void AttachControlBar(HWND parent);
