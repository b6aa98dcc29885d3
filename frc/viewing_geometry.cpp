// The viewing geometry: see viewing_geometry.h.
#include "frc/viewing_geometry.h"

#include <cmath>

#include "base/number_text.h"

namespace {

ViewingGeometry viewing = kDefaultViewing;

// digits[.digits] within [low, high].
int ReadDecimal(const wchar_t* text, double low, double high, double* value) {
  if (!text) return 0;
  double number = 0, scale = 1;
  int digits = 0;
  bool point = false;
  for (; *text; ++text) {
    const wchar_t c = NumberChar(*text);
    if (c == L'.' && !point) {
      point = true;
    } else if (c >= L'0' && c <= L'9' && digits < 15) {
      ++digits;
      number = number * 10 + (c - L'0');
      if (point) scale *= 10;
    } else {
      return 0;
    }
  }
  if (digits == 0) return 0;
  number /= scale;
  if (!(number >= low && number <= high)) return 0;
  *value = number;
  return 1;
}

}  // namespace

double PixelsPerDegree(const ViewingGeometry& geometry) {
  const double kOneDegree = 3.14159265358979323846 / 180.0;
  return geometry.distanceCm * 10.0 * std::tan(kOneDegree) / geometry.pitchMm;
}

const ViewingGeometry& CurrentViewing() { return viewing; }

void SetViewingGeometry(const ViewingGeometry& geometry) { viewing = geometry; }

int ReadViewingDistance(const wchar_t* text, double* value) {
  return ReadDecimal(text, kNearestViewing, kFarthestViewing, value);
}

int ReadPixelPitch(const wchar_t* text, double* value) { return ReadDecimal(text, kFinestPitch, kCoarsestPitch, value); }
