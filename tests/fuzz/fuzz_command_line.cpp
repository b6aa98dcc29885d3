// Fuzz target: the program's command line. The input is UTF-16 text (its
// bytes in pairs) split into arguments at each line feed, each argument in a
// heap block of exactly its length, so AddressSanitizer sees any read past
// one. Every pointer handed back must be an argument, and each mode must carry
// what it promises.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "app/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::vector<wchar_t>> texts(size < 2 ? 0 : 1);
  for (std::size_t i = 0; i + 1 < size && texts.size() <= 64; i += 2) {
    const wchar_t c = static_cast<wchar_t>(data[i] | data[i + 1] << 8);
    if (c == L'\n') texts.emplace_back();
    else if (c != L'\0') texts.back().push_back(c);
  }
  std::vector<const wchar_t*> arguments;
  for (std::vector<wchar_t>& text : texts) {
    text.push_back(L'\0');
    text.shrink_to_fit();
    arguments.push_back(text.data());
  }
  const CommandLine line = ParseCommandLine(static_cast<int>(arguments.size()), arguments.data());
  for (const wchar_t* p : {line.image, line.folder, line.interval, line.correction, line.argument})
    if (p && std::find(arguments.begin(), arguments.end(), p) == arguments.end()) std::abort();
  const bool kept = line.mode == CommandMode::kUsageError
                        ? line.problem != UsageProblem::kNone && (line.problem == UsageProblem::kNoImage) == !line.argument
                        : line.problem == UsageProblem::kNone;
  const bool complete = line.mode != CommandMode::kExport || (line.image && line.folder);
  const bool window = line.mode != CommandMode::kWindow ||
                      (!line.folder && line.image == (arguments.empty() ? nullptr : arguments[0]));
  if (!kept || !complete || !window) std::abort();
  return 0;
}
