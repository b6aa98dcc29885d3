// ParseCommandLine: see command_line.h.
#include "app/command_line.h"

#include <string>

#include "frc/phase_patterns.h"

#include <cwchar>

#include "base/number_text.h"
#include "frc/viewing_geometry.h"

namespace {

bool Same(const wchar_t* a, const wchar_t* b) { return std::wcscmp(a, b) == 0; }

bool AsksForHelp(const wchar_t* argument) { return Same(argument, L"--help") || Same(argument, L"/?"); }

CommandLine Problem(UsageProblem problem, const wchar_t* argument) {
  CommandLine line = {};
  line.mode = CommandMode::kUsageError;
  line.problem = problem;
  line.argument = argument;
  return line;
}

bool ReadPattern(const wchar_t* value, CommandLine* line);

// True when value names a phase pattern.
bool IsPhasePatternName(const wchar_t* value) {
  std::string name;
  for (; *value; ++value) name += *value < 128 ? static_cast<char>(*value) : '?';
  PhasePatternKind kind;
  return PhasePatternFromName(name, &kind);
}

// The viewing options, whose values are checked here: the field the option
// fills, or null for another argument.
const wchar_t** ViewingValue(const wchar_t* argument, CommandLine* line) {
  if (Same(argument, L"--viewing-distance")) return &line->viewingDistance;
  if (Same(argument, L"--pixel-pitch")) return &line->pixelPitch;
  return nullptr;
}

bool UsableViewingValue(const wchar_t* const* field, const CommandLine& line, const wchar_t* value) {
  double number;
  return field == &line.viewingDistance ? ReadViewingDistance(value, &number) != 0 : ReadPixelPitch(value, &number) != 0;
}

constexpr wchar_t kVblankSourceOption[] = L"--vblank-source=";
constexpr std::size_t kVblankSourceLength = sizeof kVblankSourceOption / sizeof kVblankSourceOption[0] - 1;

// The window's options in front of the picture; the first other argument is
// the picture and the rest is ignored, as ever. A --pattern anywhere takes the
// picture's place.
CommandLine WindowLine(int count, const wchar_t* const* arguments) {
  CommandLine line = {};
  line.mode = CommandMode::kWindow;
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
    } else if (Same(argument, L"--phase-pattern")) {
      if (i + 1 >= count) return Problem(UsageProblem::kMissingValue, argument);
      if (!IsPhasePatternName(arguments[i + 1])) return Problem(UsageProblem::kBadValue, argument);
      line.phasePattern = arguments[++i];
    } else if (const wchar_t** field = ViewingValue(argument, &line)) {
      if (i + 1 >= count) return Problem(UsageProblem::kMissingValue, argument);
      if (!UsableViewingValue(field, line, arguments[i + 1])) return Problem(UsageProblem::kBadValue, argument);
      *field = arguments[++i];
    } else {
      line.image = argument;
      break;
    }
  }
  for (int i = 0; i < count; ++i) {
    if (!Same(arguments[i], L"--pattern")) continue;
    if (i + 1 >= count) return Problem(UsageProblem::kMissingValue, arguments[i]);
    if (!ReadPattern(arguments[i + 1], &line)) return Problem(UsageProblem::kBadPattern, arguments[i + 1]);
    line.image = nullptr;
    break;
  }
  return line;
}

bool IsValue(const wchar_t* argument) { return !(argument[0] == L'-' && argument[1] == L'-'); }

// An argument where none belongs: an option ("-" alone is a name), or a name.
CommandLine Unexpected(const wchar_t* argument) {
  const bool option = argument[0] == L'-' && argument[1] != L'\0';
  return Problem(option ? UsageProblem::kUnknownOption : UsageProblem::kExtraArgument, argument);
}

// The presentation check: the option first, then at most its seconds.
CommandLine CheckCommand(int count, const wchar_t* const* arguments) {
  CommandLine line = {};
  line.mode = CommandMode::kCheckPresentation;
  if (!Same(arguments[0], L"--check-presentation")) return Unexpected(arguments[0]);
  int next = 1;
  if (next < count && IsValue(arguments[next])) line.seconds = arguments[next++];
  if (next < count) return Unexpected(arguments[next]);
  return line;
}

// Reads the digits of a pattern's side from text, up to the end or stop.
bool ReadSide(const wchar_t** text, wchar_t stop, std::int32_t* side) {
  std::int32_t value = 0;
  const wchar_t* p = *text;
  if (*p == stop) return false;
  for (; *p != stop; ++p) {
    if (*p < L'0' || *p > L'9') return false;
    value = value * 10 + (*p - L'0');
    if (value > kMaxPatternSide) return false;
  }
  if (value < 1) return false;
  *side = value;
  *text = p;
  return true;
}

// NAME or NAME:WxH into line; false when either part is wrong.
bool ReadPattern(const wchar_t* value, CommandLine* line) {
  const wchar_t* colon = std::wcschr(value, L':');
  const std::size_t nameLength = colon ? static_cast<std::size_t>(colon - value) : std::wcslen(value);
  if (!FindTestPattern(value, nameLength, &line->pattern)) return false;
  line->generated = true;
  line->patternWidth = kDefaultPatternWidth;
  line->patternHeight = kDefaultPatternHeight;
  if (!colon) return true;
  const wchar_t* size = colon + 1;
  const wchar_t* x = size;
  while (*x && *x != L'x' && *x != L'X') ++x;
  if (!*x) return false;
  const wchar_t stop = *x;
  if (!ReadSide(&size, stop, &line->patternWidth)) return false;
  ++size;  // past the 'x'
  return ReadSide(&size, L'\0', &line->patternHeight);
}

}  // namespace

CommandLine ParseCommandLine(int count, const wchar_t* const* arguments) {
  CommandLine line = {};
  line.mode = CommandMode::kWindow;
  bool exporting = false;
  bool checking = false;
  for (int i = 0; i < count; ++i) {
    if (AsksForHelp(arguments[i])) {
      line.mode = CommandMode::kHelp;
      return line;
    }
    exporting = exporting || Same(arguments[i], L"--export");
    checking = checking || Same(arguments[i], L"--check-presentation");
  }
  if (checking && !exporting) return CheckCommand(count, arguments);
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
    } else if (Same(argument, L"--frame-duration")) {
      value = &line.frameDuration;
    } else if (Same(argument, L"--phase-pattern")) {
      if (i + 1 < count && IsValue(arguments[i + 1]) && !IsPhasePatternName(arguments[i + 1]))
        return Problem(UsageProblem::kBadValue, argument);
      value = &line.phasePattern;
    } else if ((value = ViewingValue(argument, &line)) != nullptr) {
      if (i + 1 < count && IsValue(arguments[i + 1]) && !UsableViewingValue(value, line, arguments[i + 1]))
        return Problem(UsageProblem::kBadValue, argument);
    } else if (Same(argument, L"--pattern")) {
      if (line.image || line.generated) return Problem(UsageProblem::kExtraArgument, argument);
      if (i + 1 >= count || !IsValue(arguments[i + 1]))
        return Problem(UsageProblem::kMissingValue, argument);
      if (!ReadPattern(arguments[i + 1], &line)) return Problem(UsageProblem::kBadPattern, arguments[i + 1]);
      ++i;
      continue;
    } else if (argument[0] == L'-' && argument[1] != L'\0') {
      return Problem(UsageProblem::kUnknownOption, argument);
    } else if (line.image || line.generated) {
      return Problem(UsageProblem::kExtraArgument, argument);
    } else {
      line.image = argument;
      continue;
    }
    if (i + 1 >= count || !IsValue(arguments[i + 1]))
      return Problem(UsageProblem::kMissingValue, argument);
    *value = arguments[++i];
  }
  if (!line.image && !line.generated) return Problem(UsageProblem::kNoImage, nullptr);
  return line;
}

int ParseVblankSourceOption(const wchar_t* text, SimulatedSourceOption* option) {
  static const wchar_t kPrefix[] = L"simulated:";
  const std::size_t prefixLength = sizeof kPrefix / sizeof kPrefix[0] - 1;
  if (!text || std::wcsncmp(text, kPrefix, prefixLength) != 0) return 0;
  text += prefixLength;
  const wchar_t* colon = std::wcschr(text, L':');
  const std::size_t rateLength = colon ? static_cast<std::size_t>(colon - text) : std::wcslen(text);
  wchar_t rateText[40];
  if (rateLength == 0 || rateLength >= 40) return 0;
  std::wmemcpy(rateText, text, rateLength);
  rateText[rateLength] = L'\0';
  SimulatedSourceOption parsed = {};
  if (!ParseRefreshRate(rateText, &parsed.rate)) return 0;
  if (colon) {
    const wchar_t* count = colon + 1;
    const bool drop = std::wcsncmp(count, L"drop=", 5) == 0;
    if (!drop && std::wcsncmp(count, L"stall=", 6) != 0) return 0;
    count += drop ? 5 : 6;
    std::uint64_t every = 0;
    int digits = 0;
    if (!ReadDecimalDigits(&count, &every, &digits) || *count != L'\0' || every < (drop ? 2u : 1u) ||
        every > 0xFFFFFFFFu)
      return 0;
    (drop ? parsed.dropEvery : parsed.stallAfter) = static_cast<std::uint32_t>(every);
  }
  *option = parsed;
  return 1;
}
