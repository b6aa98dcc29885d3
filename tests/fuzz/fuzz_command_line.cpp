// Fuzz target: the program's command line. The input's bytes in pairs are
// UTF-16 units; a zero unit ends an argument (at most 16). Checks that every
// text the parse returns is one of the arguments, and that each mode comes
// with exactly the values it promises.
#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <vector>

#include "app/command_line.h"

namespace {

bool OneOf(const wchar_t* text, const std::vector<const wchar_t*>& arguments) {
  if (!text) return true;
  for (const wchar_t* argument : arguments)
    if (text == argument) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::vector<wchar_t>> texts(1);
  for (std::size_t i = 0; i + 1 < size && texts.size() <= 16; i += 2) {
    const wchar_t c = static_cast<wchar_t>(data[i] | data[i + 1] << 8);
    if (c == L'\0') {
      texts.emplace_back();
    } else {
      texts.back().push_back(c);
    }
  }
  std::vector<const wchar_t*> arguments;
  for (std::vector<wchar_t>& text : texts) {
    text.push_back(L'\0');
    arguments.push_back(text.data());
  }
  const CommandLine line = ParseCommandLine(static_cast<int>(arguments.size()), arguments.data());
  for (const wchar_t* text : {line.image, line.folder, line.interval, line.correction, line.seconds, line.argument})
    if (!OneOf(text, arguments)) std::abort();
  const bool check = line.mode == CommandMode::kCheckPresentation;
  if (check && (line.image || line.folder || line.interval || line.correction ||
                std::wcscmp(arguments[0], L"--check-presentation") != 0))
    std::abort();
  if (!check && line.seconds) std::abort();
  if (line.mode == CommandMode::kExport && (!line.image || !line.folder)) std::abort();
  if ((line.mode == CommandMode::kUsageError) != (line.problem != UsageProblem::kNone)) std::abort();
  return 0;
}
