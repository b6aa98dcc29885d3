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
         Show(L"interval", line.interval) + Show(L"correction", line.correction) + Show(L"seconds", line.seconds) +
         Show(L"duration", line.frameDuration) +
         Show(L"vblank", line.vblankSource) + Show(L"log", line.presentationLog) +
         Show(L"phase", line.phasePattern) +
         Show(L"distance", line.viewingDistance) + Show(L"pitch", line.pixelPitch) +
         (line.generated ? L" pattern=" + std::to_wstring(static_cast<int>(line.pattern)) + L":" +
                               std::to_wstring(line.patternWidth) + L"x" + std::to_wstring(line.patternHeight)
                         : L"");
}

TEST(CommandLineTest, ReadsEveryForm) {
  // Modes: 0 window, 1 help, 2 export, 3 usage error, 4 presentation check. Problems: 1 unknown
  // option, 2 missing value, 3 no image, 4 an extra argument, 5 a wrong pattern, 6 a bad value.
  // Patterns: 0 gray ... 7 dark, 8 squares, 9 pairs.
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
      {{L"--frame-duration", L"0.5", L"--export", L"o", L"a"}, L"2/0 image=a folder=o duration=0.5"},
      {{L"--export", L"o", L"a", L"--frame-duration"}, L"3/2 argument=--frame-duration"},
      {{L"--export", L"o"}, L"3/3"},
      {{L"--export", L"o", L"a", L"b"}, L"3/4 argument=b"},
      {{L"--export", L"o", L"-x", L"a"}, L"3/1 argument=-x"},
      {{L"a", L"--export"}, L"3/2 argument=--export"},
      {{L"--export", L"o", L"--interval", L"--correction", L"1", L"a"}, L"3/2 argument=--interval"},
      {{L"--check-presentation"}, L"4/0"},
      {{L"--check-presentation", L"-1"}, L"4/0 seconds=-1"},
      {{L"--check-presentation", L"5", L"a.png"}, L"3/4 argument=a.png"},
      {{L"a.png", L"--check-presentation", L"5"}, L"3/4 argument=a.png"},
      {{L"--check-presentation", L"--interval", L"3"}, L"3/1 argument=--interval"},
      {{L"--check-presentation", L"-"}, L"4/0 seconds=-"},
      {{L"--check-presentation", L"5", L"/?"}, L"1/0"},
      {{L"--export", L"o", L"--check-presentation", L"a"}, L"3/1 argument=--check-presentation"},
      {{L"--pattern", L"gray"}, L"0/0 pattern=0:1920x1080"},
      {{L"x.png", L"--pattern", L"pairs:1x16384"}, L"0/0 pattern=9:1x16384"},
      {{L"--pattern"}, L"3/2 argument=--pattern"},
      {{L"--export", L"o", L"--pattern", L"dark:640X480", L"--interval", L"4"},
       L"2/0 folder=o interval=4 pattern=7:640x480"},
      {{L"--export", L"o", L"--pattern", L"red", L"a.png"}, L"3/4 argument=a.png"},
      {{L"--export", L"o", L"a.png", L"--pattern", L"red"}, L"3/4 argument=--pattern"},
      {{L"--export", L"o", L"--pattern", L"--interval", L"4"}, L"3/2 argument=--pattern"},
      {{L"--presentation-log", L"p.csv", L"--vblank-source=simulated:60000/1001:drop=7", L"a", L"--x"},
       L"0/0 image=a vblank=simulated:60000/1001:drop=7 log=p.csv"},
      {{L"a", L"--vblank-source=simulated:60"}, L"0/0 image=a"},
      {{L"--vblank-source=simulated:0", L"a"}, L"3/6 argument=--vblank-source=simulated:0"},
      {{L"--presentation-log"}, L"3/2 argument=--presentation-log"},
      {{L"--vblank-source=simulated:60", L"--export", L"o", L"a"}, L"3/1 argument=--vblank-source=simulated:60"},
      // "-" alone is a name wherever a picture may stand, never an option.
      {{L"--export", L"o", L"-"}, L"2/0 image=- folder=o"},
      {{L"-", L"--export", L"-", L"--interval", L"4"}, L"2/0 image=- folder=- interval=4"},
      {{L"--export", L"o", L"a", L"-"}, L"3/4 argument=-"},
      {{L"--export", L"o", L"--pattern", L"red", L"-"}, L"3/4 argument=-"},
      {{L"-", L"b"}, L"0/0 image=-"},
      {{L"--phase-pattern", L"bayer4", L"a"}, L"0/0 image=a phase=bayer4"},
      {{L"--phase-pattern", L"Bayer4", L"a"}, L"3/6 argument=--phase-pattern"},
      {{L"--phase-pattern"}, L"3/2 argument=--phase-pattern"},
      {{L"--export", L"o", L"--phase-pattern", L"custom", L"a"}, L"2/0 image=a folder=o phase=custom"},
      {{L"--export", L"o", L"--phase-pattern", L"noise", L"a"}, L"3/6 argument=--phase-pattern"},
      {{L"--viewing-distance", L"80", L"--pixel-pitch", L"0.2652", L"a.png"},
       L"0/0 image=a.png distance=80 pitch=0.2652"},
      {{L"--export", L"o", L"--pixel-pitch", L"2", L"a", L"--viewing-distance", L"10"},
       L"2/0 image=a folder=o distance=10 pitch=2"},
      {{L"--pixel-pitch"}, L"3/2 argument=--pixel-pitch"},
      {{L"--export", L"o", L"a", L"--viewing-distance", L"--interval", L"4"}, L"3/2 argument=--viewing-distance"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.parsed, Describe(ParseCommandLine(static_cast<int>(c.arguments.size()), c.arguments.data())));
  }
}

TEST(CommandLineTest, RefusesWrongPatterns) {
  for (const wchar_t* value : {L"grey", L"Gray", L"", L"gray:", L"gray:0x10", L"gray:10x0", L"gray:16385x1",
                               L"gray:1x16385", L"gray:10", L"gray:x10", L"gray:10x", L"gray:10x10x10",
                               L"gray:-1x10", L"gray:10*10", L"gray:99999999999x1"}) {
    const wchar_t* window[] = {L"--pattern", value};
    const wchar_t* exporting[] = {L"--export", L"o", L"--pattern", value};
    EXPECT_EQ(L"3/5 argument=" + std::wstring(value), Describe(ParseCommandLine(2, window)));
    EXPECT_EQ(L"3/5 argument=" + std::wstring(value), Describe(ParseCommandLine(4, exporting)));
  }
}

TEST(CommandLineTest, RefusesUnusableViewingValues) {
  const struct {
    const wchar_t* option;
    const wchar_t* value;
  } cases[] = {
      {L"--viewing-distance", L"9.99"}, {L"--viewing-distance", L"300.01"}, {L"--viewing-distance", L"0"},
      {L"--viewing-distance", L"-60"},  {L"--viewing-distance", L"60cm"},   {L"--viewing-distance", L""},
      {L"--viewing-distance", L"."},    {L"--viewing-distance", L"6.0.0"},  {L"--viewing-distance", L"6e1"},
      {L"--pixel-pitch", L"0.049"},     {L"--pixel-pitch", L"2.001"},       {L"--pixel-pitch", L" 0.25"},
  };
  for (const auto& c : cases) {
    const wchar_t* window[] = {c.option, c.value, L"a.png"};
    const wchar_t* exporting[] = {L"--export", L"o", L"a.png", c.option, c.value};
    EXPECT_EQ(L"3/6 argument=" + std::wstring(c.option), Describe(ParseCommandLine(3, window))) << c.value;
    EXPECT_EQ(L"3/6 argument=" + std::wstring(c.option), Describe(ParseCommandLine(5, exporting))) << c.value;
  }
}

TEST(CommandLineTest, ReadsSimulatedSources) {
  const struct {
    const wchar_t* text;
    std::uint32_t numerator, denominator, drop, stall;  // 0 numerator: refused
  } cases[] = {
      {L"simulated:240", 240, 1, 0, 0}, {L"simulated:60000/1001:drop=7", 60000, 1001, 7, 0},
      {L"simulated:59.94:drop=2", 2997, 50, 2, 0}, {L"simulated:60:drop=1", 0, 0, 0, 0},
      {L"simulated:60:drop=", 0, 0, 0, 0}, {L"simulated:60:", 0, 0, 0, 0}, {L"simulated:", 0, 0, 0, 0},
      {L"dxgi", 0, 0, 0, 0}, {L"simulated:60:drop=3x", 0, 0, 0, 0}, {L"simulated:60:stall=1", 60, 1, 0, 1},
      {L"simulated:60:stall=0", 0, 0, 0, 0}, {L"simulated:60:stall=4294967295", 60, 1, 0, 4294967295u},
      {L"simulated:60:stall=4294967296", 0, 0, 0, 0}, {L"simulated:60:halt=3", 0, 0, 0, 0},
      {L"simulated:100000000000000/100000000000000:drop=2", 1, 1, 2, 0},
      {L"simulated:0000000000000000000000000000000000000060", 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SimulatedSourceOption option = {};
    EXPECT_EQ(c.numerator != 0, ParseVblankSourceOption(c.text, &option) == 1) << c.text;
    EXPECT_EQ(c.numerator, option.rate.numerator) << c.text;
    EXPECT_EQ(c.drop, option.dropEvery) << c.text;
    EXPECT_EQ(c.stall, option.stallAfter) << c.text;
  }
}

}  // namespace
