// Generated test pictures: ramps, near-black steps and patches one level
// apart, made at any size without a file. Windows-free.
//
// Every pattern fills a 32-bpp bottom-up buffer of width x height: memory row
// 0 is the bottom row of the picture, each pixel is blue, green, red and a
// fourth byte of 0. Below, x counts columns from the left (0 .. W-1) and y
// rows from the top (0 .. H-1), as the picture is seen; round(a / b) is the
// nearest integer with halves rounded up.
//
// Ramps: every row is the same. level(x) = round(top * x / (W-1)), and 0 for
// every x when W = 1, so the left column is 0 and the right column is top.
//   gray     top 255; blue = green = red = level(x)
//   red      top 255; red = level(x), the others 0
//   green    top 255; green = level(x), the others 0
//   blue     top 255; blue = level(x), the others 0
//   cyan     top 255; green = blue = level(x), red 0
//   magenta  top 255; red = blue = level(x), green 0
//   yellow   top 255; red = green = level(x), blue 0
//   dark     top round(0.15 * 255) = 38; blue = green = red = level(x)
//
// squares: a grid of 8 columns by 4 rows of cells over the whole picture;
// cell column c covers x in [c*W/8, (c+1)*W/8) and cell row r covers y in
// [r*H/4, (r+1)*H/4) (integer division). With the cell's width w and height
// h, its square covers the cell but for floor(w/4) columns on the left and on
// the right and floor(h/4) rows at the top and at the bottom, and is grey at
// level 1 + 8*r + c (1 top left, 8 top right, 32 bottom right). Everything
// else is black (0).
//
// pairs: 16 columns, column c covering x in [c*W/16, (c+1)*W/16), each a
// pair of grey patches one level apart: v(c) = round(254 * c / 15) (0, 17,
// 34, ... 237, 254) in the top half (y < H/2, integer division) and v(c) + 1
// below it.
#pragma once

#include <cstddef>
#include <cstdint>

enum class TestPattern { kGray, kRed, kGreen, kBlue, kCyan, kMagenta, kYellow, kDark, kSquares, kPairs };

constexpr int kTestPatternCount = 10;

// The pattern's name on the command line ("gray" ... "pairs"), in the order
// of the enumeration.
const char* TestPatternName(TestPattern pattern);

// The pattern called name (wide characters, exact lower-case match, length
// characters); false when there is none.
bool FindTestPattern(const wchar_t* name, std::size_t length, TestPattern* pattern);

// Fills pixels (width * height * 4 bytes, rows width * 4 bytes apart, bottom
// row first) with the pattern. width and height are at least 1.
void FillTestPattern(TestPattern pattern, std::uint8_t* pixels, std::int32_t width, std::int32_t height);
