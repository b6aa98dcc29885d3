// Where the viewer sits: the distance to the screen and the size of one pixel,
// and from them how many pixels one degree of the visual field spans.
//
// Windows-free: built and tested natively as well as in the program.
#pragma once

struct ViewingGeometry {
  double distanceCm;  // eye to screen
  double pitchMm;     // centre to centre of two neighbouring pixels
};

// 60 cm from a screen of 96 pixels per inch.
constexpr ViewingGeometry kDefaultViewing = {60.0, 25.4 / 96.0};

// Pixels per degree at the centre of the view: distance × tan 1° / pitch.
double PixelsPerDegree(const ViewingGeometry& viewing);

// The ranges the viewing distance (cm) and the pixel pitch (mm) may take.
constexpr double kNearestViewing = 10, kFarthestViewing = 300;
constexpr double kFinestPitch = 0.05, kCoarsestPitch = 2;

// Reads a viewing distance in centimetres or a pixel pitch in millimetres:
// decimal digits with an optional '.' and fraction ("60", "0.2652"; the
// full-width forms NumberChar reads too), nothing else, within the range
// above. 1 and *value, or 0.
int ReadViewingDistance(const wchar_t* text, double* value);
int ReadPixelPitch(const wchar_t* text, double* value);

// The geometry in use: kDefaultViewing until set. Written by
// SetViewingGeometry on the user-interface thread (settings, command line);
// read on that thread and by threads it starts after setting it.
const ViewingGeometry& CurrentViewing();
void SetViewingGeometry(const ViewingGeometry& viewing);
