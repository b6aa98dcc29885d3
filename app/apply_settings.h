// ApplySettings: turns the control bar's three value fields into a running
// simulation, a rebuilt frame cycle and a new frame duration.
#pragma once

// Reads the interval, correction and update-interval fields of ControlBar,
// validates them (an interval outside 1..255 is refused with a message; a
// correction at or above the interval is rewritten to interval - 1 in its
// field), rebuilds the frame cycle from SourceSurface (RebuildFrameSet) and
// publishes FrameDuration. Does nothing at all while no picture is loaded.
// On lack of memory the frame set is left absent and a message says so. After
// a successful rebuild FrcView, when it exists, is invalidated once so the
// new frames show even if the clock never changes the frame.
//
// While the frames are rendered (on every core) the thread dispatches no
// message: input waits until the rebuild ends. A rebuild longer than about
// 0.3 s shows the wait cursor and the bar's progress indicator meanwhile.
//
// User-interface thread only, with the frame clock stopped.
void ApplySettings();

// ApplySettings with another delay, in milliseconds, before the wait cursor
// and the progress indicator show.
void ApplySettingsWithFeedbackAfter(unsigned feedbackDelayMs);
