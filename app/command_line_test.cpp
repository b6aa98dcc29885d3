// The command line read into a mode, its values, or the first problem with it.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Case {
  std::vector<const wchar_t*> arguments;
  CommandMode mode;
  UsageProblem problem;
  const wchar_t* argument;  // the problem's argument
  const wchar_t* image;
  const wchar_t* folder;
  const wchar_t* interval;
  const wchar_t* correction;
};

std::wstring Text(const wchar_t* text) { return text ? text : L"<null>"; }

TEST(CommandLineTest, ReadsEveryForm) {
  const CommandMode W = CommandMode::kWindow, H = CommandMode::kHelp, E = CommandMode::kExport,
                    U = CommandMode::kUsageError;
  const UsageProblem none = UsageProblem::kNone;
  const Case cases[] = {
      {{}, W, none, nullptr, nullptr, nullptr, nullptr, nullptr},
      {{L"a.png", L"b.png"}, W, none, nullptr, L"a.png", nullptr, nullptr, nullptr},
      {{L"--interval", L"4"}, W, none, nullptr, L"--interval", nullptr, nullptr, nullptr},
      {{L"/?"}, H, none, nullptr, nullptr, nullptr, nullptr, nullptr},
      {{L"--export", L"out", L"--help"}, H, none, nullptr, nullptr, nullptr, nullptr, nullptr},
      {{L"--export", L"out", L"a.png"}, E, none, nullptr, L"a.png", L"out", nullptr, nullptr},
      {{L"a.png", L"--correction", L"-1", L"--export", L"o", L"--interval", L"16"}, E, none, nullptr, L"a.png",
       L"o", L"16", L"-1"},
      {{L"--export", L"o", L"--interval", L"2", L"--interval", L"8", L"a"}, E, none, nullptr, L"a", L"o", L"8",
       nullptr},
      {{L"--export", L"o"}, U, UsageProblem::kNoImage, nullptr, nullptr, nullptr, nullptr, nullptr},
      {{L"--export", L"o", L"a", L"b"}, U, UsageProblem::kExtraArgument, L"b", nullptr, nullptr, nullptr, nullptr},
      {{L"--export", L"o", L"-x", L"a"}, U, UsageProblem::kUnknownOption, L"-x", nullptr, nullptr, nullptr, nullptr},
      {{L"a", L"--export"}, U, UsageProblem::kMissingValue, L"--export", nullptr, nullptr, nullptr, nullptr},
      {{L"--export", L"o", L"--interval", L"--correction", L"1", L"a"}, U, UsageProblem::kMissingValue,
       L"--interval", nullptr, nullptr, nullptr, nullptr},
      {{L"--export", L"o", L"-", L"a"}, U, UsageProblem::kExtraArgument, L"a", nullptr, nullptr, nullptr, nullptr},
  };
  for (const Case& c : cases) {
    const CommandLine line = ParseCommandLine(static_cast<int>(c.arguments.size()), c.arguments.data());
    std::wstring all;
    for (const wchar_t* a : c.arguments) all += std::wstring(a) + L" ";
    SCOPED_TRACE(std::string(all.begin(), all.end()));
    EXPECT_EQ(c.mode, line.mode);
    EXPECT_EQ(c.problem, line.problem);
    EXPECT_EQ(Text(c.argument), Text(line.argument));
    if (c.mode == U) continue;
    EXPECT_EQ(Text(c.image), Text(line.image));
    EXPECT_EQ(Text(c.folder), Text(line.folder));
    EXPECT_EQ(Text(c.interval), Text(line.interval));
    EXPECT_EQ(Text(c.correction), Text(line.correction));
  }
}

}  // namespace
