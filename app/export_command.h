// The command line's own runs, without any window: the usage text, the
// messages for a wrong command line, and the export of a picture's frame
// cycle into a folder. Messages go to the console the program was started
// from, English and Japanese on one line each.
#pragma once

#include "app/command_line.h"

// Exit codes of the command-line runs.
constexpr int kExitWritten = 0;        // every file written (or the usage printed)
constexpr int kExitUsage = 1;          // unknown option, missing value, interval outside 1..255, no image
constexpr int kExitCannotOpen = 2;     // the image cannot be opened or decoded
constexpr int kExitCannotWrite = 3;    // the folder or a file cannot be made; out of memory
// The presentation check (app/check_presentation.h); 0 and 1 as above.
constexpr int kExitPresentationFaults = 4;  // frames doubled or missed, or refreshes unreadable
constexpr int kExitCannotCheck = 5;         // no desktop duplication or flip-model chain here

// Runs a command line whose mode is kHelp, kExport or kUsageError and returns
// the exit code.
// The plug-ins must be loaded and GDI+ started, as for the window.
// settings.ini is read for the interval, the correction and the frame
// duration, never written.
int RunCommandLine(const CommandLine& command);
