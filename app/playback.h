// Pausing and stepping the FRC cycle. While paused the frame clock is not
// running, so CurrentFrame changes only by the steps below; resuming starts
// the clock again, which takes the frame due at that moment (no catch-up).
// In locked playback (present/presentation.h) the presentation thread is held
// instead, and a resume starts its schedule from the frame on screen.
//
// User-interface thread only.
#pragma once

// True while the cycle is paused.
bool PlaybackPaused();

// True while the cycle is paused or held on frame 0 until it is judged for
// flashing (flash_check.h): the frames do not change.
bool PlaybackHeld();

// Pauses (stops the frame clock) or resumes (starts it, unless the cycle is
// held for its judgement).
void TogglePause();

// Starts the frame clock for the main window unless the cycle is held: what
// the main window does after every rebuild and open instead of starting it
// outright, so a paused cycle stays on its frame 0. In locked playback the
// schedule starts again from CurrentFrame instead.
void ResumeFrameClockUnlessPaused();

// While paused and a frame set exists: shows the frame `step` places on from
// CurrentFrame (1 the next, -1 the previous), wrapping at both ends. Otherwise
// nothing happens.
void StepFrame(int step);

// While paused and a frame set exists: shows frame 0.
void ShowFirstFrame();
