// The program's command line, read into what it asks for: the window (with an
// optional picture to open), the usage text, an export of the frame cycle
// into a folder without any window, or the check of what reaches the screen.
//
//   Quillane.exe [IMAGE]
//   Quillane.exe --export DIR [--interval N] [--correction C] IMAGE
//   Quillane.exe --check-presentation [SECONDS]
//   Quillane.exe --help        (or /?)
//
// Windows-free: built and tested natively as well as in the program.
#pragma once

enum class CommandMode {
  kWindow,      // none of the options below: the window, opening image if given
  kHelp,        // print the usage
  kExport,      // write the cycle's files into folder
  kUsageError,  // problem says what is wrong
  kCheckPresentation,  // play a marked cycle and read back what the screen shows
};

enum class UsageProblem {
  kNone,
  kUnknownOption,   // argument is the option
  kMissingValue,    // argument is the option without its value
  kNoImage,         // argument is null
  kExtraArgument,   // argument is the second picture named, or any after the check's SECONDS
};

struct CommandLine {
  CommandMode mode;
  const wchar_t* image;       // the picture; null when none was named
  const wchar_t* folder;      // kExport: DIR
  const wchar_t* interval;    // kExport: text after --interval; null: from settings
  const wchar_t* correction;  // kExport: text after --correction; null: from settings
  const wchar_t* seconds;     // kCheckPresentation: text after the option; null: the default
  UsageProblem problem;
  const wchar_t* argument;    // the argument the problem is about, or null
};

// Reads the count arguments that follow the program's own name. The returned
// pointers point into arguments. Values are not checked here: the interval is
// validated with the settings, as the window validates its fields. An option's
// value may begin with a single '-' (a negative correction) but not with "--".
// --check-presentation takes no other argument than its optional SECONDS.
CommandLine ParseCommandLine(int count, const wchar_t* const* arguments);
