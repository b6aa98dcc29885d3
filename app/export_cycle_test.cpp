// Export of a cycle as files, read back through GDI+: the frames are the
// engine's frames byte for byte, the mean is the picture where it lies on the
// panel's grid, and a failed export leaves no file under a final name.
#include "app/export_cycle.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "frc/engine_state.h"
#include "frc/rebuild_frames.h"
#include "imaging/dib_surface.h"
#include "imaging/gdiplus_decode.h"
#include "tests/support/test_images.h"
#include "tests/support/win_test_support.h"

namespace {

// Every level from 0 up in blue, a slower ramp in green, red from the row.
unsigned Levels(int x, int y) {
  return unsigned((x * 7 + y) & 0xFF) | unsigned((x + y * 5) & 0xFF) << 8 | unsigned(y * 40 & 0xFF) << 16;
}
// Every channel at least 15: inside the grids of the corrections used here.
unsigned OnGrid(int x, int y) { return Levels(x, y) | 0x0F0F0Fu; }
unsigned One(int, int) { return 0x010101u; }

std::vector<std::uint32_t> PngPixels(const std::wstring& path) {
  HBITMAP decoded = DecodeWithGdiplus(path.c_str());
  if (!decoded) return {};
  std::vector<std::uint32_t> pixels = BitmapPixels(decoded);
  DeleteObject(decoded);
  return pixels;
}

// Colour type and bit depth from the PNG header: 2 and 8 for 24-bit colour.
std::pair<int, int> PngKind(const std::wstring& path) {
  const std::vector<unsigned char> bytes = ReadFileBytes(path);
  if (bytes.size() < 26) return {-1, -1};
  return {bytes[25], bytes[24]};
}

std::string Text(const std::wstring& path) {
  const std::vector<unsigned char> bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

std::wstring FrameName(std::uint32_t k) {
  wchar_t name[32];
  swprintf(name, 32, L"frame_%03u.png", static_cast<unsigned>(k));
  return name;
}

std::vector<std::wstring> FilesIn(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

class ExportCycleTest : public ::testing::Test {
 protected:
  void TearDown() override { ResetEngineState(); }

  ExportResult Export(unsigned (*fill)(int, int), int width, int height, std::uint32_t count, std::uint32_t offset,
                      const std::wstring& folder) {
    EXPECT_TRUE(LoadTestPicture(width, height, fill));
    EXPECT_EQ(FrameBuild::kBuilt, RebuildFrameSet(SourceSurface, count, offset));
    return ExportCycle(folder, SourceSurface, FrameSet, count, offset, &failure_);
  }

  TempDirectory directory_;
  ExportFailure failure_ = {L"", 0};
};

TEST_F(ExportCycleTest, FramesAreTheEngineFramesAndTheMeanIsThePictureOnTheGrid) {
  const struct {
    int width, height;
    std::uint32_t count, offset;
    unsigned (*fill)(int, int);
  } cases[] = {{7, 5, 1, 0, Levels}, {13, 9, 4, 3, OnGrid}, {3, 2, 255, 0, Levels}, {1, 1, 16, 15, OnGrid}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " N=" << c.count);
    const std::wstring folder = directory_.File(L"made\\for\\n" + std::to_wstring(c.count));
    ASSERT_EQ(ExportResult::kWritten, Export(c.fill, c.width, c.height, c.count, c.offset, folder));
    for (std::uint32_t k = 0; k < c.count; ++k) {
      const std::wstring path = folder + L"\\" + FrameName(k);
      ASSERT_EQ(std::make_pair(2, 8), PngKind(path)) << k;
    }
    EXPECT_EQ(c.count + 3, FilesIn(folder).size());
    const std::vector<std::uint32_t> source = SurfacePixels(SourceSurface.bits, c.width, c.height);
    EXPECT_EQ(source, PngPixels(folder + L"\\mean.png"));
    EXPECT_EQ(8, PngKind(folder + L"\\flicker.png").second);
    // Flicker: the widest swing of a channel over the frames, as grey.
    std::vector<std::vector<std::uint32_t>> frames;
    for (std::uint32_t k = 0; k < c.count; ++k) {
      frames.push_back(SurfacePixels(FrameSet[k].bits, c.width, c.height));
      ASSERT_EQ(frames[k], PngPixels(folder + L"\\" + FrameName(k))) << k;
    }
    std::vector<std::uint32_t> flicker(source.size());
    for (std::size_t i = 0; i < source.size(); ++i) {
      unsigned widest = 0;
      for (int shift : {0, 8, 16}) {
        unsigned low = 255, high = 0;
        for (std::uint32_t k = 0; k < c.count; ++k) {
          const unsigned v = frames[k][i] >> shift & 0xFF;
          low = v < low ? v : low;
          high = v > high ? v : high;
        }
        widest = high - low > widest ? high - low : widest;
      }
      flicker[i] = widest * 0x010101u;
    }
    EXPECT_EQ(flicker, PngPixels(folder + L"\\flicker.png"));
    const std::string report = Text(folder + L"\\cycle.txt");
    EXPECT_NE(std::string::npos, report.find("width=" + std::to_string(c.width) + "\nheight=" +
                                             std::to_string(c.height) + "\ninterval=" + std::to_string(c.count) +
                                             "\ncorrection=" + std::to_string(c.offset) + "\n"));
    EXPECT_NE(std::string::npos, report.find("\nmax_mean_error=0.000\n")) << report;
  }
}

TEST_F(ExportCycleTest, ErrorIsExactBelowTheCorrection) {
  const std::wstring folder = directory_.File(L"below");
  ASSERT_EQ(ExportResult::kWritten, Export(One, 5, 3, 4, 3, folder));
  // Level 1 is shown as the first grid level 3 in every frame.
  EXPECT_EQ(std::vector<std::uint32_t>(15, 0x030303u), PngPixels(folder + L"\\mean.png"));
  EXPECT_EQ(std::vector<std::uint32_t>(15, 0), PngPixels(folder + L"\\flicker.png"));
  EXPECT_EQ("width=5\nheight=3\ninterval=4\ncorrection=3\nlevels=3,7,11,15,19,23,27,31,35,39,43,47,51,55,59,63,"
            "67,71,75,79,83,87,91,95,99,103,107,111,115,119,123,127,131,135,139,143,147,151,155,159,163,167,171,"
            "175,179,183,187,191,195,199,203,207,211,215,219,223,227,231,235,239,243,247,251,255\n"
            "flickering_pixels=0\nmax_mean_error=2.000\n",
            Text(folder + L"\\cycle.txt"));
}

TEST_F(ExportCycleTest, FailureLeavesNoFileUnderAFinalName) {
  const std::wstring folder = directory_.File(L"blocked");
  // A folder where the last file goes: everything before it was written.
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((folder + L"\\cycle.txt").c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(folder + L"\\mean.png", "older", 5));
  ASSERT_TRUE(WriteFileBytes(folder + L"\\notes.txt", "mine", 4));
  EXPECT_EQ(ExportResult::kCannotWrite, Export(Levels, 9, 4, 4, 3, folder));
  EXPECT_EQ(folder + L"\\cycle.txt", failure_.path);
  EXPECT_NE(0u, failure_.error);
  EXPECT_EQ(std::vector<std::wstring>{L"notes.txt"}, FilesIn(folder));
  EXPECT_NE(std::wstring::npos, DescribeExportFailure(failure_).find(folder + L"\\cycle.txt ("));

  // A folder that cannot be made: its parent is a file.
  EXPECT_EQ(ExportResult::kCannotCreateFolder, Export(Levels, 9, 4, 4, 3, folder + L"\\notes.txt\\sub"));
  EXPECT_NE(0u, failure_.error);
}

}  // namespace
