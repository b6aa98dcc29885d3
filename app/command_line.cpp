// ParseCommandLine: see command_line.h.
#include "app/command_line.h"

#include <cwchar>

namespace {

bool Same(const wchar_t* a, const wchar_t* b) { return std::wcscmp(a, b) == 0; }

bool AsksForHelp(const wchar_t* argument) { return Same(argument, L"--help") || Same(argument, L"/?"); }

CommandLine Problem(UsageProblem problem, const wchar_t* argument) {
  CommandLine line = {CommandMode::kUsageError, nullptr, nullptr, nullptr, nullptr, nullptr, problem, argument};
  return line;
}

}  // namespace

CommandLine ParseCommandLine(int count, const wchar_t* const* arguments) {
  CommandLine line = {CommandMode::kWindow, nullptr, nullptr, nullptr, nullptr, nullptr, UsageProblem::kNone,
                      nullptr};
  bool exporting = false;
  for (int i = 0; i < count; ++i) {
    if (AsksForHelp(arguments[i])) {
      line.mode = CommandMode::kHelp;
      return line;
    }
    exporting = exporting || Same(arguments[i], L"--export");
  }
  if (!exporting) {
    // As ever: the first argument is a picture to open, the others are ignored.
    if (count > 0) line.image = arguments[0];
    return line;
  }

  line.mode = CommandMode::kExport;
  for (int i = 0; i < count; ++i) {
    const wchar_t* argument = arguments[i];
    const wchar_t** value = nullptr;
    if (Same(argument, L"--export")) {
      value = &line.folder;
    } else if (Same(argument, L"--interval")) {
      value = &line.interval;
    } else if (Same(argument, L"--correction")) {
      value = &line.correction;
    } else if (Same(argument, L"--frame-duration")) {
      value = &line.frameDuration;
    } else if (argument[0] == L'-' && argument[1] != L'\0') {
      return Problem(UsageProblem::kUnknownOption, argument);
    } else if (line.image) {
      return Problem(UsageProblem::kExtraArgument, argument);
    } else {
      line.image = argument;
      continue;
    }
    if (i + 1 >= count || (arguments[i + 1][0] == L'-' && arguments[i + 1][1] == L'-'))
      return Problem(UsageProblem::kMissingValue, argument);
    *value = arguments[++i];
  }
  if (!line.image) return Problem(UsageProblem::kNoImage, nullptr);
  return line;
}
