// Netpbm decoding: see netpbm_decode.h.
#include "plugins/netpbm/netpbm_decode.h"

#include "imaging/dib_size.h"

namespace {

bool IsSpace(std::uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// A bounded reader over the file.
struct Cursor {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at;

  // Skips white space and comments ("#" to the end of the line).
  void SkipSeparators() {
    while (at < size) {
      if (IsSpace(data[at])) {
        ++at;
      } else if (data[at] == '#') {
        while (at < size && data[at] != '\n' && data[at] != '\r') ++at;
      } else {
        break;
      }
    }
  }

  // Reads a decimal number no larger than `limit`; false when there is none or it is larger.
  bool Number(std::uint32_t limit, std::uint32_t* value) {
    SkipSeparators();
    if (at >= size || data[at] < '0' || data[at] > '9') return false;
    std::uint64_t v = 0;
    while (at < size && data[at] >= '0' && data[at] <= '9') {
      v = v * 10 + (data[at] - '0');
      if (v > limit) return false;
      ++at;
    }
    *value = static_cast<std::uint32_t>(v);
    return true;
  }
};

// A sample of 0..maxval scaled to 0..255, rounded to nearest.
std::uint8_t Scale(std::uint32_t sample, std::uint32_t maxval) {
  return static_cast<std::uint8_t>((sample * 255u + maxval / 2) / maxval);
}

int Channels(int format) { return format == 3 || format == 6 ? 3 : 1; }

// Stores one pixel's samples (already 0..255) at column x of a DIB row.
void Store(std::uint8_t* row, std::uint32_t x, int channels, const std::uint8_t* rgb) {
  if (channels == 1) {
    row[x] = rgb[0];
  } else {
    row[x * 3] = rgb[2];
    row[x * 3 + 1] = rgb[1];
    row[x * 3 + 2] = rgb[0];
  }
}

}  // namespace

int LooksLikeNetpbm(const std::uint8_t* data, std::size_t size) {
  return size >= 3 && data[0] == 'P' && data[1] >= '1' && data[1] <= '6' && (IsSpace(data[2]) || data[2] == '#');
}

int ReadNetpbmHeader(const std::uint8_t* data, std::size_t size, NetpbmHeader* header) {
  *header = NetpbmHeader{};
  if (!LooksLikeNetpbm(data, size)) return 0;
  NetpbmHeader h{};
  h.format = data[1] - '0';
  Cursor in{data, size, 2};
  const std::uint32_t kLargest = 0x7FFFFFFF;
  if (!in.Number(kLargest, &h.width) || !in.Number(kLargest, &h.height)) return 0;
  h.maxval = 1;
  if (h.format != 1 && h.format != 4 && !in.Number(65535, &h.maxval)) return 0;
  if (h.width == 0 || h.height == 0 || h.maxval == 0) return 0;
  if (h.format >= 4) {
    // Exactly one white-space character ends the header of a raw file.
    if (in.at >= size || !IsSpace(data[in.at])) return 0;
    ++in.at;
  }
  h.rasterOffset = in.at;

  const int channels = Channels(h.format);
  h.bitCount = static_cast<std::uint16_t>(channels * 8);
  if (!DibStride(h.bitCount, h.width, &h.stride) || !DibImageSize(h.bitCount, h.width, h.height, &h.pixelBytes)) return 0;

  // The file must be long enough for the pixels it promises: raw rows are
  // counted exactly, plain samples take at least one character each. This
  // also keeps a tiny file from asking for a huge picture.
  const std::uint64_t remaining = size - h.rasterOffset;
  const std::uint64_t samples = std::uint64_t{h.width} * h.height * channels;
  std::uint64_t needed = samples;
  if (h.format == 4) needed = (std::uint64_t{h.width} + 7) / 8 * h.height;
  if (h.format == 5 || h.format == 6) needed = samples * (h.maxval > 255 ? 2 : 1);
  if (needed > remaining) return 0;
  *header = h;
  return 1;
}

int DecodeNetpbmRaster(const std::uint8_t* data, std::size_t size, const NetpbmHeader& header, std::uint8_t* rows) {
  const int channels = Channels(header.format);
  Cursor in{data, size, header.rasterOffset};
  const std::size_t rawRow = (std::size_t{header.width} + 7) / 8;
  const int sampleBytes = header.maxval > 255 ? 2 : 1;
  for (std::uint32_t y = 0; y < header.height; ++y) {
    std::uint8_t* row = rows + std::size_t{header.height - 1 - y} * header.stride;
    if (header.format == 4) {
      if (size - in.at < rawRow) return 0;
      for (std::uint32_t x = 0; x < header.width; ++x) {
        const bool black = (data[in.at + x / 8] >> (7 - x % 8)) & 1;
        row[x] = black ? 0 : 255;
      }
      in.at += rawRow;
      continue;
    }
    for (std::uint32_t x = 0; x < header.width; ++x) {
      std::uint8_t rgb[3] = {0, 0, 0};
      for (int c = 0; c < channels; ++c) {
        std::uint32_t sample = 0;
        if (header.format == 1) {
          // Plain PBM digits need no separators between them.
          in.SkipSeparators();
          if (in.at >= size || (data[in.at] != '0' && data[in.at] != '1')) return 0;
          rgb[c] = data[in.at++] == '1' ? 0 : 255;
          continue;
        }
        if (header.format <= 3) {
          if (!in.Number(header.maxval, &sample)) return 0;
        } else {
          if (size - in.at < static_cast<std::size_t>(sampleBytes)) return 0;
          sample = sampleBytes == 2 ? std::uint32_t{data[in.at]} << 8 | data[in.at + 1] : data[in.at];
          in.at += sampleBytes;
          if (sample > header.maxval) return 0;
        }
        rgb[c] = Scale(sample, header.maxval);
      }
      Store(row, x, channels, rgb);
    }
  }
  return 1;
}
