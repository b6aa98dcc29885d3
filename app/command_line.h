// The program's command line, read into what it asks for: the window (with an
// optional picture to open), the usage text, an export of the frame cycle
// into a folder without any window, or the check of what reaches the screen.
//
//   Quillane.exe [--vblank-source=simulated:RATE[:drop=M|:stall=M]] [--presentation-log FILE]
//                [--viewing-distance CM] [--pixel-pitch MM] [--phase-pattern NAME] [IMAGE | --pattern NAME[:WxH]]
//   Quillane.exe --export DIR [--interval N] [--correction C] [--frame-duration SECONDS]
//                [--viewing-distance CM] [--pixel-pitch MM] [--phase-pattern NAME] (IMAGE | --pattern NAME[:WxH])
//   Quillane.exe --check-presentation [SECONDS]
//   Quillane.exe --help        (or /?)
//
// Windows-free: built and tested natively as well as in the program.
#pragma once

#include <cstdint>

#include "imaging/test_patterns.h"
#include "present/presentation_lock.h"

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
  kBadPattern,      // argument is the value of --pattern: no such name or a wrong size
  kBadValue,        // argument is the option whose value cannot be used
};

// The size of a pattern named without one.
constexpr std::int32_t kDefaultPatternWidth = 1920;
constexpr std::int32_t kDefaultPatternHeight = 1080;
// The largest width and height a pattern may be given.
constexpr std::int32_t kMaxPatternSide = 16384;

struct CommandLine {
  CommandMode mode;
  const wchar_t* image;       // the picture; null when none was named
  bool generated;             // --pattern takes the place of image (then null)
  TestPattern pattern;        // generated: the pattern
  std::int32_t patternWidth;  // generated: its size, 1 .. kMaxPatternSide
  std::int32_t patternHeight;
  const wchar_t* folder;      // kExport: DIR
  const wchar_t* interval;    // kExport: text after --interval; null: from settings
  const wchar_t* correction;  // kExport: text after --correction; null: from settings
  const wchar_t* frameDuration;  // kExport: text after --frame-duration; null: from settings
  const wchar_t* seconds;     // kCheckPresentation: text after the option; null: the default
  UsageProblem problem;
  const wchar_t* argument;    // the argument the problem is about, or null
  const wchar_t* vblankSource;     // kWindow: text after "--vblank-source=", checked; or null
  const wchar_t* presentationLog;  // kWindow: FILE after --presentation-log, or null
  const wchar_t* phasePattern;     // kWindow, kExport: NAME after --phase-pattern (checked), or null
  const wchar_t* viewingDistance;  // kWindow, kExport: CM after --viewing-distance, checked; or null
  const wchar_t* pixelPitch;       // kWindow, kExport: MM after --pixel-pitch, checked; or null
};

// Reads the count arguments that follow the program's own name. The returned
// pointers point into arguments. Values are not checked here: the interval is
// validated with the settings, as the window validates its fields. An option's
// value may begin with a single '-' (a negative correction) but not with "--".
// --check-presentation takes no other argument than its optional SECONDS.
// The value of --pattern is a name of test_patterns.h, optionally followed by
// ":" and a size such as "1280x720" (decimal, "x" or "X", each side 1 ..
// kMaxPatternSide); without --export the option may stand anywhere and then
// the other arguments are ignored.
// For the window, --vblank-source=..., --presentation-log FILE and
// --phase-pattern NAME may come, in any order, before the picture; NAME is a
// name of phase_patterns.h; the vblank source's text must read as
// ParseVblankSourceOption reads it.
// --viewing-distance CM and --pixel-pitch MM may come with the window's options
// or anywhere beside --export; their values must read as ReadViewingDistance
// and ReadPixelPitch read them (else kBadValue about the option).
CommandLine ParseCommandLine(int count, const wchar_t* const* arguments);

// Reads the simulated vblank source: "simulated:RATE", "simulated:RATE:drop=M"
// (every M-th vblank wakes nobody, M at least 2) or "simulated:RATE:stall=M"
// (the wait after vblank M never returns, M at least 1: a display that sleeps
// or is removed). 1 and *option on success, 0 otherwise.
int ParseVblankSourceOption(const wchar_t* text, SimulatedSourceOption* option);
