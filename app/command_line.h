// The program's command line, read into what it asks for: the window (with an
// optional picture to open), the usage text, or an export of the frame cycle
// into a folder without any window.
//
//   Quillane.exe [--vblank-source=simulated:RATE[:drop=M]] [--presentation-log FILE] [IMAGE]
//   Quillane.exe --export DIR [--interval N] [--correction C] IMAGE
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
  kBadValue,        // argument is the option whose value cannot be used
};

struct CommandLine {
  CommandMode mode;
  const wchar_t* image;       // the picture; null when none was named
  const wchar_t* folder;      // kExport: DIR
  const wchar_t* interval;    // kExport: text after --interval; null: from settings
  const wchar_t* correction;  // kExport: text after --correction; null: from settings
  UsageProblem problem;
  const wchar_t* argument;    // the argument the problem is about, or null
  const wchar_t* vblankSource;     // kWindow: text after "--vblank-source=", checked; or null
  const wchar_t* presentationLog;  // kWindow: FILE after --presentation-log, or null
};

// Reads the count arguments that follow the program's own name. The returned
// pointers point into arguments. Values are not checked here: the interval is
// validated with the settings, as the window validates its fields. An option's
// value may begin with a single '-' (a negative correction) but not with "--".
// For the window, --vblank-source=... and --presentation-log FILE may come,
// in any order, before the picture; the vblank source's text must read as
// ParseVblankSourceOption reads it.
CommandLine ParseCommandLine(int count, const wchar_t* const* arguments);
