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

}  // namespace
