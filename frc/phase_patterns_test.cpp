// Phase patterns as the tables and the mapping use them: every pattern spreads
// the offsets evenly over a tile, every vector path gives the table path's
// bytes under every pattern, `none` shows table row k everywhere, and a custom
// matrix is refused with the fault named.
#include "frc/phase_patterns.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "frc/frame_mapping.h"
#include "frc/level_tables.h"

namespace {

std::vector<PhasePattern> EveryPattern() {
  std::vector<PhasePattern> patterns;
  for (int i = 0; i < kPhasePatternKinds; ++i)
    if (static_cast<PhasePatternKind>(i) != PhasePatternKind::kCustom)
      patterns.push_back(BuiltInPhasePattern(static_cast<PhasePatternKind>(i)));
  PhasePattern custom;
  std::wstring fault;
  EXPECT_TRUE(ParsePhaseMatrix("4 0 2 / 1 5 3", &custom, &fault));
  patterns.push_back(custom);
  return patterns;
}

class PhasePatternsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    SetPhasePattern(PhasePattern());
    LimitVectorPath(VectorPath::kAvx2);
    ReleaseLevelTables();
  }
};

TEST_F(PhasePatternsTest, EveryTileHoldsEachOffsetEvenlyOften) {
  for (const PhasePattern& pattern : EveryPattern()) {
    if (pattern.kind == PhasePatternKind::kNone) continue;
    SetPhasePattern(pattern);
    for (std::uint32_t interval : {1u, 2u, 3u, 5u, 16u, 64u, 255u}) {
      ASSERT_EQ(1, BuildLevelTables(interval, 0));
      const bool byColumn = StepsByColumn(pattern.kind);
      const std::uint32_t width = byColumn ? interval : pattern.width, height = byColumn ? interval : pattern.height;
      std::vector<std::uint32_t> count(interval, 0);
      for (std::uint32_t y = 0; y < height; ++y)
        for (std::uint32_t x = 0; x < width; ++x) ++count[PixelPhase(x + 3 * width, y + 5 * height, 0)];
      const std::uint32_t cells = width * height;
      for (std::uint32_t p = 0; p < interval; ++p)
        ASSERT_TRUE(count[p] == cells / interval || count[p] == (cells + interval - 1) / interval)
            << PhasePatternName(pattern.kind) << " N=" << interval << " offset " << p << ": " << count[p];
    }
  }
}

TEST_F(PhasePatternsTest, VectorPathsGiveTheTablePathsBytesAndNoneIsTableRowK) {
  const std::int32_t width = 77, height = 9;  // a tail on every path
  std::vector<std::uint8_t> picture(std::size_t(width) * height * 4);
  for (std::size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<std::uint8_t>(i * 37 + i / 5);
  for (const PhasePattern& pattern : EveryPattern()) {
    SetPhasePattern(pattern);
    for (std::uint32_t interval : {2u, 7u, 64u, 255u}) {
      ASSERT_EQ(1, BuildLevelTables(interval, interval / 3));
      for (std::uint32_t k : {0u, 1u, interval - 1}) {
        std::vector<std::uint8_t> expected(picture.size()), mapped(picture.size());
        MapFramePixelsByTable(picture.data(), expected.data(), width, height, k);
        for (VectorPath path : {VectorPath::kSse2, VectorPath::kAvx2}) {
          LimitVectorPath(path);
          MapFramePixels(picture.data(), mapped.data(), width, height, k);
          ASSERT_EQ(expected, mapped) << PhasePatternName(pattern.kind) << " N=" << interval << " k=" << k;
          for (std::int32_t y = 0; y < height; y += 4) MapFrameRows(picture.data(), mapped.data(), width, y, y + 1, k);
          ASSERT_EQ(expected, mapped) << "rows alone, " << PhasePatternName(pattern.kind);
        }
        if (pattern.kind != PhasePatternKind::kNone) continue;
        for (std::size_t i = 0; i < picture.size(); ++i)
          ASSERT_EQ(i % 4 == 3 ? picture[i] : LevelTable[k * 256 + picture[i]], expected[i]) << "none, byte " << i;
      }
    }
  }
}

TEST(PhaseMatrixTest, MalformedMatricesAreRefusedWithTheirFault) {
  const struct {
    const char* text;
    const wchar_t* fault;  // empty: accepted
  } cases[] = {
      {"0 2/3 1", L""},
      {" 0  1 2 3 ", L""},
      {"0 1 / 2", L"行の長さがそろっていません。"},
      {"0 1 / 2 4", L"値が0から3の範囲にありません: 4"},
      {"0 1 / 1 2", L"同じ値が2回あります: 1"},
      {"0 1 // 2 3", L"空の行があります。"},
      {"", L"空の行があります。"},
      {"0, 1", L"数字、空白、「/」以外の文字があります。"},
      {"0 -1", L"数字、空白、「/」以外の文字があります。"},
  };
  for (const auto& c : cases) {
    PhasePattern pattern;
    std::wstring fault;
    EXPECT_EQ(c.fault[0] == 0, ParsePhaseMatrix(c.text, &pattern, &fault)) << c.text;
    EXPECT_EQ(c.fault, fault) << c.text;
  }
  std::string wide;
  for (int i = 0; i < 65; ++i) wide += std::to_string(i) + " ";
  PhasePattern pattern;
  std::wstring fault;
  EXPECT_FALSE(ParsePhaseMatrix(wide, &pattern, &fault));
  EXPECT_EQ(L"行または列が64を超えています。", fault);
}

}  // namespace
