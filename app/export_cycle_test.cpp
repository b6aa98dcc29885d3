// Export of a cycle as files, read back through GDI+: the frames are the
// engine's frames byte for byte, the mean is the picture where it lies on the
// panel's grid, the light files and keys are what the sRGB curve in double
// precision gives, and a failed export leaves no file under a final name.
#include "app/export_cycle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "frc/cycle_statistics.h"
#include "frc/engine_state.h"
#include "frc/level_tables.h"
#include "frc/phase_patterns.h"
#include "frc/frame_cache.h"
#include "frc/viewing_geometry.h"
#include "frc/frame_mapping.h"
#include "imaging/gdiplus_decode.h"
#include "tests/support/test_images.h"
#include "tests/support/win_test_support.h"

namespace {

// Channels from 15 up: inside the grids of every case below.
unsigned OnGrid(int x, int y) {
  return (unsigned(x * 7 + y) & 0xFF) | (unsigned(x + y * 5) & 0xFF) << 8 | (unsigned(y * 40) & 0xFF) << 16 | 0x0F0F0Fu;
}

std::vector<std::uint32_t> PngPixels(const std::wstring& path, int* colourType = nullptr) {
  const std::vector<unsigned char> bytes = ReadFileBytes(path);
  if (colourType) *colourType = bytes.size() > 25 && bytes[24] == 8 ? bytes[25] : -1;  // for 8 bits per sample
  HBITMAP decoded = DecodeWithGdiplus(path.c_str());  // null: no pixels
  std::vector<std::uint32_t> pixels = BitmapPixels(decoded);
  DeleteObject(decoded);
  return pixels;
}

std::string Text(const std::wstring& path) {
  const std::vector<unsigned char> bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

class ExportCycleTest : public ::testing::Test {
 protected:
  void TearDown() override { ResetEngineState(); }

  // The rebuild renders the reference frames into FrameSet and leaves the
  // level tables built for interval and correction.
  ExportResult Export(unsigned (*fill)(int, int), int width, int height, std::uint32_t interval, std::uint32_t correction,
                      const std::wstring& folder, const ExportControl* control = nullptr,
                      std::uint32_t duration = 166667) {
    EXPECT_TRUE(LoadTestPicture(width, height, fill));
    EXPECT_EQ(FrameBuild::kBuilt, RebuildFrameSet(SourceSurface, interval, correction));
    EXPECT_TRUE(MakeWholeCycle());
    return ExportCycle(folder, SourceSurface, interval, correction, duration, &failure_, control);
  }

  TempDirectory directory_;
  ExportFailure failure_ = {L"", 0};
};

TEST_F(ExportCycleTest, FramesAreTheEngineFramesAndTheMeanIsThePictureOnTheGrid) {
  const struct {
    int width, height;
    std::uint32_t interval, correction;
  } cases[] = {{7, 5, 1, 0}, {13, 9, 4, 3}, {3, 2, 255, 0}, {1, 1, 16, 15}, {5, 70, 3, 0}, {2, 300, 255, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " N=" << c.interval);
    const std::wstring folder = directory_.File(L"made\\for\\" + std::to_wstring(c.interval));
    ASSERT_EQ(ExportResult::kWritten, Export(OnGrid, c.width, c.height, c.interval, c.correction, folder));
    const std::vector<std::uint32_t> source = SurfacePixels(SourceSurface.bits, c.width, c.height);
    std::vector<unsigned> low(source.size() * 3, 255), high(source.size() * 3, 0);
    for (std::uint32_t k = 0; k < c.interval; ++k) {
      wchar_t name[32];
      swprintf(name, 32, L"\\frame_%03u.png", k);
      const std::vector<std::uint32_t> frame = SurfacePixels(FrameSet[k].bits, c.width, c.height);
      int colourType = 0;
      ASSERT_EQ(frame, PngPixels(folder + name, &colourType)) << k;
      EXPECT_EQ(2, colourType);  // 24-bit colour
      for (std::size_t i = 0; i < low.size(); ++i) {
        const unsigned v = frame[i / 3] >> (i % 3 * 8) & 0xFF;
        low[i] = v < low[i] ? v : low[i];
        high[i] = v > high[i] ? v : high[i];
      }
    }
    EXPECT_EQ(source, PngPixels(folder + L"\\mean.png"));
    std::vector<std::uint32_t> flicker(source.size());
    std::size_t flickering = 0;
    for (std::size_t i = 0; i < low.size(); ++i) flicker[i / 3] = std::max(flicker[i / 3], high[i] - low[i]);
    for (std::uint32_t& grey : flicker) {
      flickering += grey != 0;
      grey *= 0x010101u;
    }
    EXPECT_EQ(flicker, PngPixels(folder + L"\\flicker.png"));
    EXPECT_EQ(0u, Text(folder + L"\\cycle.txt")
                      .find("width=" + std::to_string(c.width) + "\nheight=" + std::to_string(c.height) +
                            "\ninterval=" + std::to_string(c.interval) + "\ncorrection=" + std::to_string(c.correction) +
                            "\nlevels=" + PanelLevelsText(c.interval, c.correction) + "\nflickering_pixels=" +
                            std::to_string(flickering) + "\nmax_mean_error=0.000\nmax_light_mean_error="));
  }
}

TEST_F(ExportCycleTest, ErrorIsExactBelowTheCorrection) {
  const std::wstring folder = directory_.File(L"below");
  ASSERT_EQ(ExportResult::kWritten, Export([](int, int) { return 0x010101u; }, 5, 3, 4, 3, folder));
  // Level 1 is shown as the first grid level 3 in every frame.
  EXPECT_EQ(std::vector<std::uint32_t>(15, 0x030303u), PngPixels(folder + L"\\mean.png"));
  EXPECT_NE(std::string::npos, Text(folder + L"\\cycle.txt").find("\nflickering_pixels=0\nmax_mean_error=2.000\n"));
}

// Every channel off the grid somewhere, from black to white.
unsigned Scattered(int x, int y) {
  return (unsigned(x * 37 + y * 11) & 0xFF) | (unsigned(x * 5 + y * 29) & 0xFF) << 8 | (unsigned(x * 13 + y * 3) & 0xFF) << 16;
}

// The sRGB curve in plain double precision.
double ReferenceLight(double code) {
  return code <= 0.04045 * 255 ? code / 255 / 12.92 : std::pow((code / 255 + 0.055) / 1.055, 2.4);
}
double ReferenceCode(double light) {
  return 255 * (light <= 0.0031308 ? 12.92 * light : 1.055 * std::pow(light, 1 / 2.4) - 0.055);
}

// The figure after `key=` in cycle.txt's text.
double KeyValue(const std::string& text, const std::string& key) {
  const std::size_t at = text.find("\n" + key + "=");
  return at == std::string::npos ? -1 : std::strtod(text.c_str() + at + key.size() + 2, nullptr);
}

TEST_F(ExportCycleTest, LightFilesAndKeysAreTheReferenceCurves) {
  const struct {
    std::uint32_t interval, correction, duration;
    const char* timing;
  } cases[] = {{4, 3, 166667, "frame_duration=0.0166667\nflicker_hz=15.000\n"},
               {16, 5, 41667, "frame_duration=0.0041667\nflicker_hz=15.000\n"},
               {1, 0, 0, "frame_duration=0.0000000\nflicker_hz=0.000\n"}};
  const int width = 23, height = 11;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "N=" << c.interval);
    const std::wstring folder = directory_.File(L"light" + std::to_wstring(c.interval));
    ASSERT_EQ(ExportResult::kWritten, Export(Scattered, width, height, c.interval, c.correction, folder, nullptr, c.duration));
    const std::vector<std::uint32_t> source = SurfacePixels(SourceSurface.bits, width, height);
    std::vector<std::vector<std::uint32_t>> frames;
    for (std::uint32_t k = 0; k < c.interval; ++k) frames.push_back(SurfacePixels(FrameSet[k].bits, width, height));
    int colourType = 0;
    const std::vector<std::uint32_t> means = PngPixels(folder + L"\\mean_light.png", &colourType);
    EXPECT_EQ(2, colourType);
    int greyType = 0;
    PngPixels(folder + L"\\flicker.png", &greyType);
    const std::vector<std::uint32_t> flicker = PngPixels(folder + L"\\flicker_light.png", &colourType);
    EXPECT_EQ(greyType, colourType);  // 8-bit grey as flicker.png
    ASSERT_EQ(source.size(), means.size());
    ASSERT_EQ(source.size(), flicker.size());
    double largestError = 0, largestModulation = 0;
    for (std::size_t i = 0; i < source.size(); ++i) {
      double modulation = 0;
      for (int shift = 0; shift < 24; shift += 8) {
        double sum = 0, low = 1, high = 0;
        for (const auto& frame : frames) {
          const double light = ReferenceLight(frame[i] >> shift & 0xFF);
          sum += light, low = std::min(low, light), high = std::max(high, light);
        }
        const double code = ReferenceCode(sum / c.interval);
        largestError = std::max(largestError, std::fabs(code - (source[i] >> shift & 0xFF)));
        modulation = std::max(modulation, high > 0 ? (high - low) / (high + low) : 0);
        EXPECT_NEAR(code, means[i] >> shift & 0xFF, 0.5 + 1e-6) << i;
      }
      largestModulation = std::max(largestModulation, modulation);
      EXPECT_NEAR(modulation * 255, flicker[i] & 0xFF, 0.5 + 1e-6) << i;
      EXPECT_EQ((flicker[i] & 0xFF) * 0x010101u, flicker[i]);
    }
    EXPECT_GT(largestModulation, c.interval > 1 ? 0.01 : -1);
    const std::string text = Text(folder + L"\\cycle.txt");
    EXPECT_NEAR(largestError, KeyValue(text, "max_light_mean_error"), 0.0005 + 1e-9);
    EXPECT_NEAR(largestModulation * 100, KeyValue(text, "max_light_modulation_percent"), 0.05 + 1e-9);
    // The timing lines, then the pattern's and the visible flicker's.
    EXPECT_NE(std::string::npos, text.find(std::string(c.timing) + "phase_pattern=standard\npixels_per_degree=")) << text;
  }
}

unsigned Grey12(int, int) { return 0x0C0C0Cu; }

TEST_F(ExportCycleTest, VisibleFlickerFileAndKeys) {
  // Grey 12 at N = 4, correction 3: 15 once, 11 thrice, 313 and 219 in 16-bit
  // light, 17.7 % at 15 Hz; from 10 cm at 2 mm a pixel the disc is the pixel.
  const struct {
    std::uint32_t interval, correction;
    ViewingGeometry viewing;
    std::uint32_t grey;
    const char* lines;
  } cases[] = {
      {1, 0, kDefaultViewing, 0,
       "pixels_per_degree=39.58\nvisible_flicker_max_percent=0.0\nvisible_flicker_hz=0.000\n"
       "visible_flicker_class=no_effect\ngeneral_flash=within\n"},
      {4, 3, {10, 2}, 45,
       "pixels_per_degree=0.87\nvisible_flicker_max_percent=17.7\nvisible_flicker_hz=15.000\n"
       "visible_flicker_class=above\ngeneral_flash=within\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "N=" << c.interval);
    SetViewingGeometry(c.viewing);
    const std::wstring folder = directory_.File(L"visible" + std::to_wstring(c.interval));
    const ExportResult result = Export(Grey12, 7, 5, c.interval, c.correction, folder);
    SetViewingGeometry(kDefaultViewing);
    ASSERT_EQ(ExportResult::kWritten, result);
    const std::string text = Text(folder + L"\\cycle.txt");
    EXPECT_EQ(text.size() - std::strlen(c.lines), text.find(c.lines)) << text;
    const std::vector<std::uint32_t> grey = PngPixels(folder + L"\\flicker_visible.png");
    ASSERT_EQ(35u, grey.size());
    for (std::uint32_t pixel : grey) EXPECT_EQ(c.grey * 0x010101u, pixel & 0xFFFFFF);
  }
}

// Every pixel passes through all N rows of the table once per cycle whatever
// the pattern: the summary files of each pixel are the same bytes for every
// pattern, and so are the lines of cycle.txt before the pattern's own; the
// frames do differ.
TEST_F(ExportCycleTest, SummaryFilesAreTheSameForEveryPattern) {
  std::vector<std::vector<unsigned char>> reference;
  std::string referenceText, referenceFrame;
  for (PhasePatternKind kind : {PhasePatternKind::kStandard, PhasePatternKind::kNone, PhasePatternKind::kBayer4,
                                PhasePatternKind::kBlueNoise}) {
    SCOPED_TRACE(PhasePatternName(kind));
    SetPhasePattern(BuiltInPhasePattern(kind));
    const std::wstring folder = directory_.File(L"pattern-" + std::to_wstring(static_cast<int>(kind)));
    ASSERT_EQ(ExportResult::kWritten, Export(Scattered, 37, 11, 7, 2, folder));
    std::vector<std::vector<unsigned char>> files;
    for (const wchar_t* name : {L"mean.png", L"flicker.png", L"mean_light.png", L"flicker_light.png"})
      files.push_back(ReadFileBytes(folder + L"\\" + name));
    // Every line before the pattern's; the visible flicker's after it do depend on it.
    std::string text = Text(folder + L"\\cycle.txt");
    const std::string line = std::string("phase_pattern=") + PhasePatternName(kind) + "\n";
    ASSERT_NE(std::string::npos, text.find(line));
    text.erase(text.find(line));
    const std::string frame = Text(folder + L"\\frame_001.png");
    if (reference.empty()) {
      reference = files;
      referenceText = text;
      referenceFrame = frame;
      continue;
    }
    EXPECT_TRUE(reference == files);
    EXPECT_EQ(referenceText, text);
    EXPECT_NE(referenceFrame, frame);
  }
  SetPhasePattern(PhasePattern());
}

TEST_F(ExportCycleTest, FailureLeavesNoFileUnderAFinalName) {
  const std::wstring folder = directory_.File(L"blocked");
  // A folder where the last file goes: everything before it was written.
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((folder + L"\\cycle.txt").c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(folder + L"\\mean.png", "older", 5));
  ASSERT_TRUE(WriteFileBytes(folder + L"\\notes.txt", "mine", 4));
  EXPECT_EQ(ExportResult::kCannotWrite, Export(OnGrid, 9, 4, 4, 3, folder));
  EXPECT_EQ(0u, DescribeExportFailure(failure_).find(folder + L"\\cycle.txt ("));
  for (const wchar_t* name : {L"frame_000.png", L"frame_003.png", L"mean.png", L"flicker.png", L"mean_light.png",
                              L"flicker_light.png", L"~cycle.txt.tmp"})
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((folder + L"\\" + name).c_str()));
  EXPECT_EQ("mine", Text(folder + L"\\notes.txt"));
  // A folder that cannot be made: its parent is a file.
  EXPECT_EQ(ExportResult::kCannotCreateFolder, Export(OnGrid, 9, 4, 4, 3, folder + L"\\notes.txt\\sub"));
}

TEST_F(ExportCycleTest, WithoutTablesOfItsIntervalNothingIsWritten) {
  const std::wstring folder = directory_.File(L"refused");
  for (bool tablesPresent : {true, false}) {
    SCOPED_TRACE(tablesPresent);
    ASSERT_TRUE(LoadTestPicture(9, 4, OnGrid));
    ASSERT_EQ(FrameBuild::kBuilt, RebuildFrameSet(SourceSurface, 4, 3));
    ASSERT_TRUE(MakeWholeCycle());  // the maker has nothing left to read the tables for
    if (!tablesPresent) ReleaseLevelTables();
    EXPECT_EQ(ExportResult::kCannotWrite, ExportCycle(folder, SourceSurface, tablesPresent ? 5 : 4, 3, 0, &failure_));
    EXPECT_EQ(DWORD(ERROR_INVALID_DATA), failure_.error);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(folder.c_str()));
  }
}

// Cancels once `after` pieces are done; remembers the most reported.
struct Canceller {
  std::atomic<bool> cancel;
  std::uint32_t after, total;
  std::atomic<std::uint32_t> most;
};

void CancelAfter(void* context, std::uint32_t done, std::uint32_t total) {
  Canceller* canceller = static_cast<Canceller*>(context);
  canceller->total = total;
  if (done > canceller->most) canceller->most = done;
  if (done >= canceller->after) canceller->cancel = true;
}

TEST_F(ExportCycleTest, CancelledExportLeavesNoFileOfItsOwnAndProgressReachesTheTotal) {
  // Pieces of N = 16: sixteen frames and the summary; 18 is never reached.
  for (std::uint32_t after : {0u, 1u, 9u, 16u, 18u}) {
    SCOPED_TRACE(after);
    const std::wstring folder = directory_.File(L"cancel" + std::to_wstring(after));
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(folder + L"\\notes.txt", "mine", 4));
    Canceller canceller;
    canceller.cancel = after == 0;
    canceller.after = after;
    canceller.most = canceller.total = 0;
    const ExportControl control = {&canceller.cancel, CancelAfter, &canceller};
    const bool written = after > 17;
    EXPECT_EQ(written ? ExportResult::kWritten : ExportResult::kCancelled,
              Export(OnGrid, 64, 48, 16, 5, folder, &control));
    for (const wchar_t* name : {L"frame_000.png", L"frame_015.png", L"cycle.txt", L"~mean.png.tmp"}) {
      const bool there = GetFileAttributesW((folder + L"\\" + name).c_str()) != INVALID_FILE_ATTRIBUTES;
      EXPECT_EQ(written && name[0] != L'~', there) << name;
    }
    EXPECT_EQ("mine", Text(folder + L"\\notes.txt"));
    if (written) {
      EXPECT_EQ(17u, canceller.most);
      EXPECT_EQ(17u, canceller.total);
    }
  }
}

// N = 128, correction 127: code 191 shows 255 in the odd phases and 127 in
// the even ones, black 127 throughout. Taken only where frame 0 shows an even
// phase, the whole picture turns bright and back with every frame.
constexpr int kFlashSize = 200;
unsigned InStep(int x, int y) {
  const std::uint32_t memoryRow = static_cast<std::uint32_t>(kFlashSize - 1 - y);
  return PixelPhase(static_cast<std::uint32_t>(x), memoryRow, 0) % 2 == 0 ? 0xBFBFBFu : 0u;
}

TEST_F(ExportCycleTest, AFlashingCycleEndsTheSummaryWithItsVerdict) {
  ASSERT_EQ(1, BuildLevelTables(128, 127));
  const std::wstring folder = directory_.File(L"flash");
  ASSERT_EQ(ExportResult::kWritten, Export(InStep, kFlashSize, kFlashSize, 128, 127, folder));
  const std::string text = Text(folder + L"\\cycle.txt"), last = "\ngeneral_flash=exceeded\n";
  EXPECT_EQ(text.size() - last.size(), text.find(last));
}

}  // namespace
