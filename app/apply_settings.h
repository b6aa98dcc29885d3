// ApplySettings: turns the control bar's three value fields into a running
// simulation, a rebuilt frame cycle and a new frame duration.
#pragma once

#include <string>

#include "frc/phase_patterns.h"

// Reads the interval, correction and update-interval fields and the phase
// pattern list of ControlBar (a malformed custom matrix is refused with a
// message naming the fault, and standard is selected and used),
// validates them (an interval outside 1..255 is refused with a message; a
// correction at or above the interval is rewritten to interval - 1 in its
// field), rebuilds the frame cycle from SourceSurface (RebuildFrameSet) and
// publishes FrameDuration. Does nothing at all while no picture is loaded.
// On lack of memory the frame set is left absent and a message says so. After
// a successful rebuild FrcView, when it exists, is invalidated once so the
// new frames show even if the clock never changes the frame.
//
// Only the new cycle's first frame is made here (on every core), so the
// rebuild is short; the maker makes the others as they are needed.
//
// User-interface thread only, with the frame clock stopped.
void ApplySettings();

// Makes the phase pattern of kind the one the next rebuild uses: a built-in
// one, or the custom matrix of settingsPath's "PhasePatternMatrix". False
// (standard used instead, *fault saying why) when that matrix is malformed.
bool UsePhasePattern(PhasePatternKind kind, const std::wstring& settingsPath, std::wstring* fault);

