// The views' zoom arithmetic, checked against what a pixel grid must do.
#include "views/zoom.h"

#include <gtest/gtest.h>

namespace {

// Whatever the levels, position and anchor, the image pixel under the anchor
// is the same before and after.
TEST(ZoomTest, ChangingTheLevelKeepsThePixelUnderTheAnchor) {
  for (int oldZoom : kZoomLevels)
    for (int newZoom : kZoomLevels)
      for (int position = 0; position < 70; position += 3)
        for (int anchor = 0; anchor < 50; anchor += 7) {
          const int moved = ZoomedScrollPosition(position, anchor, oldZoom, newZoom);
          EXPECT_EQ((position + anchor) / oldZoom, (moved + anchor) / newZoom)
              << position << " " << anchor << " " << oldZoom << "->" << newZoom;
        }
}

// The span holds exactly the image pixels whose blocks meet the clip range.
TEST(ZoomTest, VisibleSpanIsEveryPixelTheClipTouches) {
  const int imageSize = 7;
  for (int zoom : {1, 2, 3, 16})
    for (int start = -5; start < 40; ++start)
      for (int end = start; end < start + 20; ++end) {
        const PictureSpan span = VisiblePictureSpan(start, end, zoom, imageSize);
        for (int pixel = 0; pixel < imageSize; ++pixel) {
          const bool touched = pixel * zoom < end && (pixel + 1) * zoom > start;
          const bool inSpan = pixel >= span.first && pixel < span.first + span.count;
          ASSERT_EQ(touched, inSpan) << "zoom " << zoom << " clip " << start << ".." << end << " pixel " << pixel;
        }
      }
}

// The steps stop at the ends of the range, and the last pixel of the picture
// is found right up to its far edge and not one screen pixel beyond.
TEST(ZoomTest, StepsAndPixelLookupAtTheEnds) {
  const struct {
    int zoom, up, down;
  } steps[] = {{16, 16, 12}, {1, 2, 1}, {12, 16, 8}, {2, 3, 1}, {5, 2, 1}};
  for (const auto& s : steps) {
    EXPECT_EQ(s.up, ZoomLevelUp(s.zoom)) << "up from " << s.zoom;
    EXPECT_EQ(s.down, ZoomLevelDown(s.zoom)) << "down from " << s.zoom;
  }
  const struct {
    int client, position, zoom, imageSize, pixel;
  } points[] = {{29, 0, 3, 10, 9},  {30, 0, 3, 10, -1}, {24, 5, 3, 10, 9}, {25, 5, 3, 10, -1},
                {15, 0, 16, 1, 0},  {16, 0, 16, 1, -1}, {0, 0, 1, 1, 0},   {1, 0, 1, 1, -1},
                {-1, 0, 2, 4, -1},  {-1, 1, 2, 4, 0}};
  for (const auto& p : points)
    EXPECT_EQ(p.pixel, PicturePixelUnder(p.client, p.position, p.zoom, p.imageSize))
        << p.client << "+" << p.position << " at " << p.zoom << "x of " << p.imageSize;
}

// A settings text names a level only as plain decimal digits of one of the
// levels, leading zeros allowed; all else is 1:1.
TEST(ZoomTest, LevelTextNamesOnlyALevel) {
  const struct {
    const wchar_t* text;
    int zoom;
  } cases[] = {{L"1", 1},   {L"2", 2},    {L"6", 6},     {L"12", 12},  {L"16", 16},  {L"016", 16},
               {L"0016", 16}, {L"0", 1},  {L"5", 1},     {L"32", 1},   {L"160", 1},  {L"", 1},
               {L"-2", 1},  {L"+2", 1},   {L" 2", 1},    {L"2 ", 1},   {L"8x", 1},   {L"2.0", 1},
               {L"4294967312", 1}, {L"99999999999999999999", 1}};
  for (const auto& c : cases) EXPECT_EQ(c.zoom, ZoomLevelFromText(c.text)) << '"' << c.text << '"';
}

}  // namespace
