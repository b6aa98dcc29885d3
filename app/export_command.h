// The command line's own runs, without any window: the usage text, the
// messages for a wrong command line, and the export of a picture's frame
// cycle into a folder. Messages go to the console the program was started
// from, English and Japanese on one line each.
#pragma once

#include "app/command_line.h"
#include "base/exit_codes.h"

// Runs a command line whose mode is kHelp, kExport or kUsageError and returns
// the exit code.
// The plug-ins must be loaded and GDI+ started, as for the window.
// settings.ini is read for the interval, the correction and the frame
// duration, never written.
int RunCommandLine(const CommandLine& command);
