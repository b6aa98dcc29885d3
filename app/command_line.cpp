// ParseCommandLine: see command_line.h.
#include "app/command_line.h"

#include <cwchar>

#include "frc/presentation_lock.h"

namespace {

bool Same(const wchar_t* a, const wchar_t* b) { return std::wcscmp(a, b) == 0; }

bool AsksForHelp(const wchar_t* argument) { return Same(argument, L"--help") || Same(argument, L"/?"); }

CommandLine Problem(UsageProblem problem, const wchar_t* argument) {
  CommandLine line = {CommandMode::kUsageError, nullptr, nullptr, nullptr, nullptr, problem, argument, nullptr, nullptr};
  return line;
}

constexpr wchar_t kVblankSourceOption[] = L"--vblank-source=";
constexpr std::size_t kVblankSourceLength = sizeof kVblankSourceOption / sizeof kVblankSourceOption[0] - 1;

// The window's options in front of the picture; the first other argument is
// the picture and the rest is ignored, as ever.
CommandLine WindowLine(int count, const wchar_t* const* arguments) {
  CommandLine line = {CommandMode::kWindow, nullptr, nullptr, nullptr, nullptr, UsageProblem::kNone, nullptr,
                      nullptr, nullptr};
  for (int i = 0; i < count; ++i) {
    const wchar_t* argument = arguments[i];
    if (std::wcsncmp(argument, kVblankSourceOption, kVblankSourceLength) == 0) {
      SimulatedSourceOption option;
      if (!ParseVblankSourceOption(argument + kVblankSourceLength, &option))
        return Problem(UsageProblem::kBadValue, argument);
      line.vblankSource = argument + kVblankSourceLength;
    } else if (Same(argument, L"--presentation-log")) {
      if (i + 1 >= count) return Problem(UsageProblem::kMissingValue, argument);
      line.presentationLog = arguments[++i];
    } else {
      line.image = argument;
      break;
    }
  }
  return line;
}

}  // namespace

CommandLine ParseCommandLine(int count, const wchar_t* const* arguments) {
  CommandLine line = {CommandMode::kWindow, nullptr, nullptr, nullptr, nullptr, UsageProblem::kNone, nullptr,
                      nullptr, nullptr};
  bool exporting = false;
  for (int i = 0; i < count; ++i) {
    if (AsksForHelp(arguments[i])) {
      line.mode = CommandMode::kHelp;
      return line;
    }
    exporting = exporting || Same(arguments[i], L"--export");
  }
  if (!exporting) return WindowLine(count, arguments);

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
