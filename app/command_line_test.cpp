// The command line read into a mode, its values, or the first problem with it.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::wstring Show(const wchar_t* name, const wchar_t* value) {
  return value ? std::wstring(L" ") + name + L"=" + value : L"";
}

// The parse as one line: mode, problem, then the values that are set.
std::wstring Describe(const CommandLine& line) {
  return std::to_wstring(static_cast<int>(line.mode)) + L"/" + std::to_wstring(static_cast<int>(line.problem)) +
         Show(L"argument", line.argument) + Show(L"image", line.image) + Show(L"folder", line.folder) +
         Show(L"interval", line.interval) + Show(L"correction", line.correction) +
         Show(L"vblank", line.vblankSource) + Show(L"log", line.presentationLog);
}

TEST(CommandLineTest, ReadsEveryForm) {
  // Modes: 0 window, 1 help, 2 export, 3 usage error. Problems: 1 unknown
  // option, 2 missing value, 3 no image, 4 a second image, 5 a bad value.
  const struct {
    std::vector<const wchar_t*> arguments;
    const wchar_t* parsed;
  } cases[] = {
      {{}, L"0/0"},
      {{L"a.png", L"b.png"}, L"0/0 image=a.png"},
      {{L"/?"}, L"1/0"},
      {{L"--export", L"out", L"a.png"}, L"2/0 image=a.png folder=out"},
      {{L"a", L"--correction", L"-1", L"--export", L"o", L"--interval", L"16"},
       L"2/0 image=a folder=o interval=16 correction=-1"},
      {{L"--export", L"o"}, L"3/3"},
      {{L"--export", L"o", L"a", L"b"}, L"3/4 argument=b"},
      {{L"--export", L"o", L"-x", L"a"}, L"3/1 argument=-x"},
      {{L"a", L"--export"}, L"3/2 argument=--export"},
      {{L"--export", L"o", L"--interval", L"--correction", L"1", L"a"}, L"3/2 argument=--interval"},
      {{L"--presentation-log", L"p.csv", L"--vblank-source=simulated:60000/1001:drop=7", L"a", L"--x"},
       L"0/0 image=a vblank=simulated:60000/1001:drop=7 log=p.csv"},
      {{L"a", L"--vblank-source=simulated:60"}, L"0/0 image=a"},
      {{L"--vblank-source=simulated:0", L"a"}, L"3/5 argument=--vblank-source=simulated:0"},
      {{L"--presentation-log"}, L"3/2 argument=--presentation-log"},
      {{L"--vblank-source=simulated:60", L"--export", L"o", L"a"}, L"3/1 argument=--vblank-source=simulated:60"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.parsed, Describe(ParseCommandLine(static_cast<int>(c.arguments.size()), c.arguments.data())));
  }
}

}  // namespace
