// Netpbm decoding: worked files of every format, and malformed or truncated
// files, which must be refused without reading out of bounds (the native build
// runs this under AddressSanitizer).
#include "plugins/netpbm/netpbm_decode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Decoded {
  bool ok = false;
  NetpbmHeader header{};
  std::vector<std::uint32_t> pixels;  // top row first: grey as 0xGG, colour as 0xRRGGBB
};

// Decodes a file held in a buffer of exactly its length.
Decoded Decode(const std::string& text) {
  const std::vector<std::uint8_t> file(text.begin(), text.end());
  Decoded result;
  if (!ReadNetpbmHeader(file.data(), file.size(), &result.header)) return result;
  const NetpbmHeader& h = result.header;
  std::vector<std::uint8_t> rows(h.pixelBytes, 0);
  if (!DecodeNetpbmRaster(file.data(), file.size(), h, rows.data())) return result;
  result.ok = true;
  for (std::uint32_t y = 0; y < h.height; ++y) {
    const std::uint8_t* row = rows.data() + std::size_t{h.height - 1 - y} * h.stride;
    for (std::uint32_t x = 0; x < h.width; ++x) {
      result.pixels.push_back(h.bitCount == 8 ? row[x]
                                              : std::uint32_t{row[x * 3 + 2]} << 16 | row[x * 3 + 1] << 8 | row[x * 3]);
    }
  }
  return result;
}

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

struct Worked {
  const char* what;
  std::string file;
  std::uint32_t width, height;
  std::uint16_t bitCount;
  std::vector<std::uint32_t> pixels;
};

TEST(NetpbmDecodeTest, WorkedFiles) {
  const Worked rows[] = {
      {"P1 with comments, digits run together", "P1\n# a comment\n3 2 # trailing\n101\n0 1 0\n", 3, 2, 8,
       {0, 255, 0, 255, 0, 255}},
      {"P2 maxval 15 is scaled, rounded", "P2 4 1 15\n0 1 8 15", 4, 1, 8, {0, 17, 136, 255}},
      {"P2 maxval 65535", "P2\r\n2 1\r\n65535\r\n65535 32768\r\n", 2, 1, 8, {255, 128}},
      {"P3 colours", "P3 2 1 255 255 0 0  1 2 3", 2, 1, 24, {0xFF0000, 0x010203}},
      {"P3 maxval 1", "P3 1 1 1 1 0 1", 1, 1, 24, {0xFF00FF}},
      {"P4 width 10: padding bits ignored", "P4\n10 2\n" + Bytes({0xA0, 0xFF, 0x00, 0x7F}), 10, 2, 8,
       {0, 255, 0, 255, 255, 255, 255, 255, 0, 0, 255, 255, 255, 255, 255, 255, 255, 255, 255, 0}},
      {"P5 maxval 255", "P5 3 1 255\n" + Bytes({0, 128, 255}), 3, 1, 8, {0, 128, 255}},
      {"P5 maxval 1000, two bytes big-endian", "P5 2 1 1000\n" + Bytes({0x03, 0xE8, 0x01, 0xF4}), 2, 1, 8, {255, 128}},
      {"P5 maxval 255: a sample of 10 (newline) after the one separator", "P5 1 1 255\n\n", 1, 1, 8, {10}},
      {"P6 maxval 255", "P6 2 2 255 " + Bytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}), 2, 2, 24,
       {0x010203, 0x040506, 0x070809, 0x0A0B0C}},
      {"P6 maxval 65535", "P6 1 1 65535\n" + Bytes({0xFF, 0xFF, 0x00, 0x00, 0x80, 0x00}), 1, 1, 24, {0xFF0080}},
      {"trailing data after the picture is ignored", "P5 1 1 255\n" + Bytes({7, 8, 9}), 1, 1, 8, {7}},
  };
  for (const Worked& row : rows) {
    const Decoded d = Decode(row.file);
    ASSERT_TRUE(d.ok) << row.what;
    EXPECT_EQ(row.width, d.header.width) << row.what;
    EXPECT_EQ(row.height, d.header.height) << row.what;
    EXPECT_EQ(row.bitCount, d.header.bitCount) << row.what;
    EXPECT_EQ(row.pixels, d.pixels) << row.what;
  }
}

TEST(NetpbmDecodeTest, DibRowsArePaddedAndBottomUp) {
  const Decoded d = Decode("P6 3 2 255\n" + std::string(18, '\x11'));
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(12u, d.header.stride);
  EXPECT_EQ(24u, d.header.pixelBytes);
  const Decoded grey = Decode("P5 5 3 255\n" + std::string(15, '\x22'));
  ASSERT_TRUE(grey.ok);
  EXPECT_EQ(8u, grey.header.stride);
  EXPECT_EQ(24u, grey.header.pixelBytes);
}

TEST(NetpbmDecodeTest, MalformedFilesAreRefused) {
  const std::string refused[] = {
      "",
      "P",
      "P7 1 1 255\n\n",
      "P0 1 1\n0",
      "p1 1 1\n0",
      "P61 1 255\n\n",
      "P1",
      "P1 ",
      "P1 2",
      "P1 -2 1 0 0",
      "P1 0 1\n",
      "P1 1 0\n",
      "P2 1 1 0 0",
      "P2 1 1 65536 0",
      "P2 1 1 99999999999999999999 0",
      "P2 99999999999 1 255 0",
      "P2 1 1 15 16",
      "P2 1 1 15 x",
      "P1 2 1 0 2",
      "P3 1 1 255 1 2",
      "P5 1 1 255",
      "P5 1 1 255x\n",
      "P5 2 1 255\n" + Bytes({1}),
      "P5 1 1 1000\n" + Bytes({0x03}),
      "P5 1 1 1000\n" + Bytes({0x03, 0xE9}),
      "P6 1 1 255\n" + Bytes({1, 2}),
      "P4 9 2\n" + Bytes({0, 0, 0}),
      // Sizes a DIB cannot hold, or that a short file cannot back.
      "P5 2147483647 2147483647 255\n\n",
      "P6 100000 100000 255\n" + std::string(100, 'x'),
      "P4 65536 65536\n" + std::string(64, '\0'),
  };
  for (const std::string& file : refused) {
    EXPECT_FALSE(Decode(file).ok) << '"' << file << '"';
  }
}

// Every prefix of a raw file is refused; every prefix of any file (and every
// mutation of its bytes) is decoded or refused without touching memory past
// the end of the buffer.
TEST(NetpbmDecodeTest, TruncatedAndMutatedFilesNeverOverrun) {
  const std::string raw[] = {"P4 10 3\n" + Bytes({1, 2, 3, 4, 5, 6}), "P5 3 2 65535\n" + std::string(12, '\x7F'),
                             "P6 2 2 255\n" + std::string(12, '\x40')};
  for (const std::string& file : raw) {
    ASSERT_TRUE(Decode(file).ok);
    for (size_t n = 0; n < file.size(); ++n) EXPECT_FALSE(Decode(file.substr(0, n)).ok) << n;
  }
  const std::string plain[] = {"P1 # x\n4 2 1010 0101", "P2 3 1 300 0 150 300\n", "P3 2 1 15 1 2 3 4 5 6"};
  std::uint32_t seed = 12345;
  for (const std::string& file : plain) {
    ASSERT_TRUE(Decode(file).ok);
    for (size_t n = 0; n < file.size(); ++n) Decode(file.substr(0, n));
  }
  for (const std::string& base : {raw[0], raw[1], raw[2], plain[0], plain[1], plain[2]}) {
    for (int round = 0; round < 300; ++round) {
      std::string file = base;
      for (int k = 0; k < 3; ++k) {
        seed = seed * 1103515245u + 12345u;
        file[(seed >> 8) % file.size()] = static_cast<char>(seed >> 24);
      }
      const Decoded d = Decode(file);
      if (d.ok) {
        EXPECT_EQ(std::size_t{d.header.width} * d.header.height, d.pixels.size());
      }
    }
  }
}

TEST(NetpbmDecodeTest, LooksLikeNetpbmNeedsMagicAndSeparator) {
  const std::uint8_t good[] = {'P', '6', '\n'};
  const std::uint8_t comment[] = {'P', '3', '#'};
  const std::uint8_t bad[] = {'P', '6', 'x'};
  const std::uint8_t png[] = {0x89, 'P', 'N'};
  EXPECT_EQ(1, LooksLikeNetpbm(good, 3));
  EXPECT_EQ(1, LooksLikeNetpbm(comment, 3));
  EXPECT_EQ(0, LooksLikeNetpbm(good, 2));
  EXPECT_EQ(0, LooksLikeNetpbm(bad, 3));
  EXPECT_EQ(0, LooksLikeNetpbm(png, 3));
}

}  // namespace
