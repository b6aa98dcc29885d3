// Fuzz target: the program's command line. The input is UTF-16 text (its
// bytes in pairs) split into arguments at each line feed; each argument is a
// heap block of exactly its length plus the terminator, so AddressSanitizer
// sees any read past one. Checks that every pointer handed back is one of the
// arguments and that each mode carries what it promises.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "app/command_line.h"

namespace {

void Require(bool promise) {
  if (!promise) std::abort();
}

// Null, or one of the arguments themselves.
bool IsArgumentOrNull(const wchar_t* p, const std::vector<const wchar_t*>& arguments) {
  return !p || std::find(arguments.begin(), arguments.end(), p) != arguments.end();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::vector<wchar_t>> texts(1);
  for (std::size_t i = 0; i + 1 < size && texts.size() <= 64; i += 2) {
    const wchar_t c = static_cast<wchar_t>(data[i] | data[i + 1] << 8);
    if (c == L'\n') texts.emplace_back();
    else if (c != L'\0') texts.back().push_back(c);
  }
  if (size < 2) texts.clear();
  std::vector<const wchar_t*> arguments;
  for (std::vector<wchar_t>& text : texts) {
    text.push_back(L'\0');
    text.shrink_to_fit();
    arguments.push_back(text.data());
  }

  const CommandLine line = ParseCommandLine(static_cast<int>(arguments.size()), arguments.data());
  Require(IsArgumentOrNull(line.image, arguments) && IsArgumentOrNull(line.folder, arguments) &&
          IsArgumentOrNull(line.interval, arguments) && IsArgumentOrNull(line.correction, arguments) &&
          IsArgumentOrNull(line.argument, arguments));
  switch (line.mode) {
    case CommandMode::kWindow:
      Require(line.problem == UsageProblem::kNone && !line.folder);
      Require(arguments.empty() ? !line.image : line.image == arguments[0]);
      break;
    case CommandMode::kHelp: Require(line.problem == UsageProblem::kNone); break;
    case CommandMode::kExport: Require(line.problem == UsageProblem::kNone && line.image && line.folder); break;
    case CommandMode::kUsageError:
      Require(line.problem != UsageProblem::kNone);
      Require((line.problem == UsageProblem::kNoImage) == !line.argument);
      break;
  }
  return 0;
}
