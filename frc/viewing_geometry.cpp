// The viewing geometry: see viewing_geometry.h.
#include "frc/viewing_geometry.h"

#include <cmath>

namespace {

ViewingGeometry viewing = kDefaultViewing;

}  // namespace

double PixelsPerDegree(const ViewingGeometry& geometry) {
  const double kOneDegree = 3.14159265358979323846 / 180.0;
  return geometry.distanceCm * 10.0 * std::tan(kOneDegree) / geometry.pitchMm;
}

const ViewingGeometry& CurrentViewing() { return viewing; }

void SetViewingGeometry(const ViewingGeometry& geometry) { viewing = geometry; }
