// The views' zoom arithmetic, checked against what a pixel grid must do.
#include "views/zoom.h"

#include <gtest/gtest.h>

namespace {

TEST(ZoomTest, LevelsStepAndStopAtTheEnds) {
  struct Case { int zoom, up, down; } cases[] = {
      {1, 2, 1}, {2, 3, 1}, {4, 6, 3}, {6, 8, 4}, {12, 16, 8}, {16, 16, 12}, {5, 2, 1}, {0, 2, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.up, ZoomLevelUp(c.zoom)) << c.zoom;
    EXPECT_EQ(c.down, ZoomLevelDown(c.zoom)) << c.zoom;
  }
}

TEST(ZoomTest, SettingsTextNamesALevelOrReadsAsOne) {
  struct Case { const wchar_t* text; int zoom; } cases[] = {
      {L"1", 1}, {L"3", 3}, {L"12", 12}, {L"16", 16}, {L"5", 1}, {L"32", 1}, {L"0", 1}, {L"", 1},
      {L" 2", 1}, {L"2 ", 1}, {L"+2", 1}, {L"-2", 1}, {L"2x", 1}, {L"0002", 1}, {L"4294967298", 1},
  };
  for (const Case& c : cases) EXPECT_EQ(c.zoom, ZoomLevelFromText(c.text)) << testing::PrintToString(c.text);
}

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

TEST(ZoomTest, PixelUnderAClientPoint) {
  struct Case { int client, position, zoom, pixel; } cases[] = {
      {0, 0, 1, 0}, {9, 0, 1, 9}, {10, 0, 1, -1}, {5, 3, 2, 4}, {0, 5, 3, 1}, {2, 0, 3, 0},
      {29, 0, 3, 9}, {30, 0, 3, -1}, {0, 31, 3, -1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.pixel, PicturePixelUnder(c.client, c.position, c.zoom, 10)) << c.client << " " << c.position;
}

}  // namespace
