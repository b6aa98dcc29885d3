// Spatial phase patterns: see phase_patterns.h.
#include "frc/phase_patterns.h"

#include <cmath>
#include <cstdlib>

namespace {

struct Named {
  const char* name;
  const wchar_t* label;
};
const Named kNames[kPhasePatternKinds] = {
    {"standard", L"標準"},    {"none", L"なし"},          {"bayer2", L"2×2"},      {"bayer4", L"4×4"},
    {"diagonal", L"斜め"},    {"bluenoise", L"ブルーノイズ"}, {"custom", L"カスタム"},
};

PhasePattern Matrix(PhasePatternKind kind, std::uint32_t width, std::uint32_t height,
                    std::vector<std::uint16_t> entries) {
  PhasePattern pattern;
  pattern.kind = kind;
  pattern.width = width;
  pattern.height = height;
  pattern.entries = std::move(entries);
  return pattern;
}

// Void-and-cluster. The energy of a cell is the sum, over the cells set, of
// a Gaussian of their distance on the torus, in integers so that every build
// makes the same matrix.
std::vector<std::uint16_t> MakeBlueNoise() {
  constexpr int kSide = 64;
  constexpr int kCells = kSide * kSide;
  std::vector<std::int64_t> weight(kCells);
  for (int dy = 0; dy < kSide; ++dy)
    for (int dx = 0; dx < kSide; ++dx) {
      const int wx = dx < kSide - dx ? dx : kSide - dx;
      const int wy = dy < kSide - dy ? dy : kSide - dy;
      weight[dy * kSide + dx] = std::llround(std::exp(-(wx * wx + wy * wy) / (2 * 1.5 * 1.5)) * (1 << 24));
    }
  std::vector<std::int64_t> energy(kCells, 0);
  std::vector<char> set(kCells, 0);
  const auto toggle = [&](int cell, bool on) {
    set[cell] = on;
    const int cx = cell % kSide, cy = cell / kSide;
    for (int y = 0; y < kSide; ++y)
      for (int x = 0; x < kSide; ++x) {
        const std::int64_t w = weight[((y - cy + kSide) % kSide) * kSide + (x - cx + kSide) % kSide];
        energy[y * kSide + x] += on ? w : -w;
      }
  };
  // The set cell of most energy (tightest cluster), the empty one of least
  // (largest void); the first in row order on a tie.
  const auto tightest = [&] {
    int best = -1;
    for (int c = 0; c < kCells; ++c)
      if (set[c] && (best < 0 || energy[c] > energy[best])) best = c;
    return best;
  };
  const auto largestVoid = [&] {
    int best = -1;
    for (int c = 0; c < kCells; ++c)
      if (!set[c] && (best < 0 || energy[c] < energy[best])) best = c;
    return best;
  };
  // The initial pattern: a tenth of the cells, each in the largest void,
  // then relaxed until moving the tightest cluster lands it where it was.
  const int initial = kCells / 10;
  for (int i = 0; i < initial; ++i) toggle(largestVoid(), true);
  for (int round = 0; round < kCells; ++round) {
    const int cluster = tightest();
    toggle(cluster, false);
    const int hole = largestVoid();
    toggle(hole, true);
    if (hole == cluster) break;
  }
  const std::vector<char> start = set;
  const std::vector<std::int64_t> startEnergy = energy;
  std::vector<std::uint16_t> rank(kCells, 0);
  for (int r = initial - 1; r >= 0; --r) {
    const int cluster = tightest();
    toggle(cluster, false);
    rank[cluster] = static_cast<std::uint16_t>(r);
  }
  set = start;
  energy = startEnergy;
  for (int r = initial; r < kCells; ++r) {
    const int hole = largestVoid();
    toggle(hole, true);
    rank[hole] = static_cast<std::uint16_t>(r);
  }
  return rank;
}

PhasePattern& Current() {
  static PhasePattern pattern;
  return pattern;
}

}  // namespace

const char* PhasePatternName(PhasePatternKind kind) { return kNames[static_cast<int>(kind)].name; }
const wchar_t* PhasePatternLabel(PhasePatternKind kind) { return kNames[static_cast<int>(kind)].label; }

bool PhasePatternFromName(const std::string& name, PhasePatternKind* kind) {
  for (int i = 0; i < kPhasePatternKinds; ++i)
    if (name == kNames[i].name) {
      *kind = static_cast<PhasePatternKind>(i);
      return true;
    }
  return false;
}

bool StepsByColumn(PhasePatternKind kind) {
  return kind == PhasePatternKind::kStandard || kind == PhasePatternKind::kDiagonal;
}

PhasePattern BuiltInPhasePattern(PhasePatternKind kind) {
  switch (kind) {
    case PhasePatternKind::kNone: return Matrix(kind, 1, 1, {0});
    case PhasePatternKind::kBayer2: return Matrix(kind, 2, 2, {0, 2, 3, 1});
    case PhasePatternKind::kBayer4:
      return Matrix(kind, 4, 4, {0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5});
    case PhasePatternKind::kBlueNoise: {
      static const std::vector<std::uint16_t> blueNoise = MakeBlueNoise();
      return Matrix(kind, 64, 64, blueNoise);
    }
    case PhasePatternKind::kStandard:
    case PhasePatternKind::kDiagonal:
    case PhasePatternKind::kCustom: break;
  }
  PhasePattern pattern;
  pattern.kind = kind == PhasePatternKind::kCustom ? PhasePatternKind::kStandard : kind;
  return pattern;
}

bool ParsePhaseMatrix(const std::string& text, PhasePattern* pattern, std::wstring* fault) {
  std::vector<std::vector<std::uint32_t>> rows(1);
  std::size_t i = 0;
  while (i <= text.size()) {
    const char c = i < text.size() ? text[i] : '/';
    if (c == '/') {
      if (rows.back().empty()) {
        *fault = L"空の行があります。";
        return false;
      }
      if (i < text.size()) rows.emplace_back();
      ++i;
    } else if (c == ' ' || c == '\t') {
      ++i;
    } else if (c >= '0' && c <= '9') {
      std::uint32_t value = 0;
      while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        value = value > 100000 ? value : value * 10 + static_cast<std::uint32_t>(text[i] - '0');
        ++i;
      }
      rows.back().push_back(value);
    } else {
      *fault = L"数字、空白、「/」以外の文字があります。";
      return false;
    }
  }
  const std::size_t width = rows[0].size(), height = rows.size();
  for (const auto& row : rows)
    if (row.size() != width) {
      *fault = L"行の長さがそろっていません。";
      return false;
    }
  if (width > kLargestPatternSide || height > kLargestPatternSide) {
    *fault = L"行または列が64を超えています。";
    return false;
  }
  const std::size_t cells = width * height;
  std::vector<char> seen(cells, 0);
  std::vector<std::uint16_t> entries;
  for (const auto& row : rows)
    for (std::uint32_t value : row) {
      if (value >= cells) {
        *fault = L"値が0から" + std::to_wstring(cells - 1) + L"の範囲にありません: " + std::to_wstring(value);
        return false;
      }
      if (seen[value]) {
        *fault = L"同じ値が2回あります: " + std::to_wstring(value);
        return false;
      }
      seen[value] = 1;
      entries.push_back(static_cast<std::uint16_t>(value));
    }
  *pattern = Matrix(PhasePatternKind::kCustom, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
                    std::move(entries));
  return true;
}

const PhasePattern& CurrentPhasePattern() { return Current(); }

void SetPhasePattern(const PhasePattern& pattern) { Current() = pattern; }
