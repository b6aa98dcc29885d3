// The test-only control interface of the test plug-ins (tests/plugins), shared
// by the plug-in source and the tests that drive it. The tests reach these
// functions through GetProcAddress on the module the host has loaded.
#pragma once

#include <cstdint>

// The test plug-ins' own picture format: "QTP1", width and height as 16-bit
// little-endian numbers, then width * height RGB triples, top row first.
constexpr char kTestFormatMagic[4] = {'Q', 'T', 'P', '1'};
constexpr int kTestFormatHeader = 8;

// The kind of picture GetPicture hands back.
enum TestOutput : std::int32_t {
  kOutputRgb24 = 0,             // 24-bit bottom-up; a header block of exactly 40 bytes
  kOutputShortHeader,           // a header block of 24 bytes
  kOutputOversizedSizeImage,    // biSizeImage 4 bytes larger than the rows
  kOutputTopDown,               // 24-bit, negative biHeight, rows top row first
  kOutputPaletted8,             // 8-bit, a 256-entry palette, biClrUsed 0
  kOutputBitfields16,           // 16-bit BI_BITFIELDS 5-6-5
  kOutputSizeImageZeroRgb,      // 24-bit BI_RGB with biSizeImage 0
  kOutputSizeImageZeroRle,      // 8-bit BI_RLE8 with biSizeImage 0
  kOutputShortPixelBlock,       // a pixel block half as long as its rows
  kOutputOverflow,              // width and height near 2^31
  kOutputPaletted4Used3,        // 4-bit, biClrUsed 3, a 3-entry palette
  kOutputRgb32,                 // 32-bit BI_RGB bottom-up, fourth byte 0x5A
  kOutputTopDown32,             // 32-bit BI_RGB, negative biHeight
};

// Palette entry i of the paletted outputs, as 0x00RRGGBB.
inline std::uint32_t TestPaletteColor(std::uint32_t i) {
  return ((i & 0xFF) << 16) | ((255 - (i & 0xFF)) << 8) | ((i * 7) & 0xFF);
}

struct TestPluginConfig {
  char magic[4];             // IsSupported accepts data that starts with these bytes
  std::int32_t answers[8];   // when answerCount > 0: the answers of the first calls, in order
  std::int32_t answerCount;
  std::int32_t getPictureResult;  // nonzero: GetPicture fails with this result
  std::int32_t output;            // a TestOutput
};

// What the plug-in has seen since it was loaded or last configured.
struct TestPluginRecord {
  std::int32_t isSupportedCalls;
  std::int32_t getPictureCalls;
  std::uint32_t lastLength;       // the length the last GetPicture was given
  std::uint8_t seen[4][2048];     // the first 2,048 bytes shown to the first four IsSupported calls
};

// Misbehaviour for plug-ins loaded where the test cannot reach them (the
// decoding child): the environment variable kTestFaultVariable set to
// "NAME=WHERE" makes the plug-in whose file name is NAME accept every file and
// then fault or hang at WHERE, one of: "load" (access violation in DllMain),
// "stall" (DllMain never returns),
// "probe" (access violation in IsSupported), "decode" (access violation in
// GetPicture), "divide" (integer division by zero in GetPicture), "stack"
// (stack overflow in GetPicture), "hang" (GetPicture never returns),
// "garbage" (GetPicture succeeds with a pixel block shorter than its rows).
constexpr const wchar_t* kTestFaultVariable = L"QUILLANE_TEST_PLUGIN_FAULT";

typedef void (*TestConfigureProc)(const TestPluginConfig* config);  // also clears the record
typedef const TestPluginRecord* (*TestRecordProc)();
