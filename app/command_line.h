// The program's command line, read into what it asks for: the window (with an
// optional picture to open), the usage text, or an export of the frame cycle
// into a folder without any window.
//
//   Quillane.exe [IMAGE]
//   Quillane.exe --export DIR [--interval N] [--correction C] [--frame-duration SECONDS] IMAGE
//   Quillane.exe --help        (or /?)
//
// Windows-free: built and tested natively as well as in the program.
#pragma once

enum class CommandMode {
  kWindow,      // no --export, --help or /?: the window, opening image if given
  kHelp,        // print the usage
  kExport,      // write the cycle's files into folder
  kUsageError,  // problem says what is wrong
};

enum class UsageProblem {
  kNone,
  kUnknownOption,   // argument is the option
  kMissingValue,    // argument is the option without its value
  kNoImage,         // argument is null
  kExtraArgument,   // argument is the second picture named
};

struct CommandLine {
  CommandMode mode;
  const wchar_t* image;       // the picture; null when none was named
  const wchar_t* folder;      // kExport: DIR
  const wchar_t* interval;    // kExport: text after --interval; null: from settings
  const wchar_t* correction;  // kExport: text after --correction; null: from settings
  const wchar_t* frameDuration;  // kExport: text after --frame-duration; null: from settings
  UsageProblem problem;
  const wchar_t* argument;    // the argument the problem is about, or null
};

// Reads the count arguments that follow the program's own name. The returned
// pointers point into arguments. Values are not checked here: the interval is
// validated with the settings, as the window validates its fields. An option's
// value may begin with a single '-' (a negative correction) but not with "--".
CommandLine ParseCommandLine(int count, const wchar_t* const* arguments);
