// A test-only image-decoder plug-in, built several times with different
// exports (TEST_PLUGIN_IS_SUPPORTED, TEST_PLUGIN_GET_PICTURE). It decodes its
// own small format (test_plugin_api.h) and, steered by the test through
// TestConfigure, answers and misbehaves in the ways a foreign plug-in might.
// Never shipped.
#include <windows.h>

#include <cstring>
#include <cwchar>

#include "imaging/plugin_api.h"
#include "tests/plugins/test_plugin_api.h"

namespace {

TestPluginConfig Config = {{'Q', 'T', 'P', '1'}, {0}, 0, 0, kOutputRgb24};
TestPluginRecord Record;

// The misbehaviour chosen through kTestFaultVariable for this library.
enum Fault { kNoFault, kFaultLoad, kFaultStall, kFaultProbe, kFaultDecode, kFaultDivide, kFaultStack, kFaultHang,
             kFaultGarbage };
const wchar_t* const kFaultWords[] = {L"", L"load", L"stall", L"probe", L"decode", L"divide", L"stack", L"hang", L"garbage"};
Fault Chosen = kNoFault;

// Read through volatile so that the compiler cannot see the faults coming.
int* volatile Nowhere = nullptr;
volatile int Zero = 0;

void AccessViolation() { *Nowhere = 1; }

#if TEST_PLUGIN_GET_PICTURE
int DivideByZero() { return 100 / Zero; }

int Recurse(int depth) {
  volatile char frame[4096];
  frame[depth % 4096] = static_cast<char>(depth);
  if (depth < 0) return 0;
  return Recurse(depth + 1) + frame[0];
}

void NeverReturn() {
  for (;;) Sleep(1000);
}
#endif

// The fault kTestFaultVariable names for the library loaded as `module`.
Fault FaultFor(HINSTANCE module) {
  wchar_t setting[512];
  const DWORD length = GetEnvironmentVariableW(kTestFaultVariable, setting, 512);
  if (length == 0 || length >= 512) return kNoFault;
  wchar_t* where = std::wcschr(setting, L'=');
  if (!where) return kNoFault;
  *where++ = L'\0';
  wchar_t path[MAX_PATH * 2];
  const DWORD pathLength = GetModuleFileNameW(module, path, MAX_PATH * 2);
  if (pathLength == 0 || pathLength >= MAX_PATH * 2) return kNoFault;
  const wchar_t* name = std::wcsrchr(path, L'\\');
  name = name ? name + 1 : path;
  if (lstrcmpiW(name, setting) != 0) return kNoFault;
  for (int fault = kFaultLoad; fault <= kFaultGarbage; ++fault) {
    if (std::wcscmp(where, kFaultWords[fault]) == 0) return static_cast<Fault>(fault);
  }
  return kNoFault;
}

#if TEST_PLUGIN_GET_PICTURE
// The picture to hand back, as RGB triples, top row first.
struct Picture {
  int width;
  int height;
  const BYTE* rgb;
};

// A fixed 4 x 3 picture for data in a foreign format the test makes it accept.
BYTE FixedRgb[4 * 3 * 3];

void FillFixed() {
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) {
      BYTE* p = FixedRgb + (y * 4 + x) * 3;
      p[0] = static_cast<BYTE>(x * 60);
      p[1] = static_cast<BYTE>(y * 80);
      p[2] = 200;
    }
  }
}

bool ReadPicture(const BYTE* data, DWORD length, Picture* picture) {
  if (length < kTestFormatHeader || std::memcmp(data, kTestFormatMagic, 4) != 0) {
    FillFixed();
    *picture = {4, 3, FixedRgb};
    return true;
  }
  picture->width = data[4] | data[5] << 8;
  picture->height = data[6] | data[7] << 8;
  picture->rgb = data + kTestFormatHeader;
  return picture->width > 0 && picture->height > 0 &&
         static_cast<DWORD>(picture->width) * picture->height * 3 <= length - kTestFormatHeader;
}

int Stride(int bitCount, int width) { return (bitCount * width + 31) / 32 * 4; }

const BYTE* At(const Picture& p, int x, int top) { return p.rgb + (top * p.width + x) * 3; }

// Writes the rows of the picture in the given format; `top-down` rows put the top row first.
void WriteRows(const Picture& p, int bitCount, bool topDown, BYTE* out) {
  const int stride = Stride(bitCount, p.width);
  for (int row = 0; row < p.height; ++row) {
    const int top = topDown ? row : p.height - 1 - row;
    BYTE* line = out + row * stride;
    for (int x = 0; x < p.width; ++x) {
      const BYTE* c = At(p, x, top);
      switch (bitCount) {
        case 4:
          line[x / 2] |= static_cast<BYTE>((c[0] % 3) << (x % 2 ? 0 : 4));
          break;
        case 8:
          line[x] = c[0];
          break;
        case 16: {
          const unsigned v = (c[0] >> 3) << 11 | (c[1] >> 2) << 5 | c[2] >> 3;
          line[x * 2] = static_cast<BYTE>(v);
          line[x * 2 + 1] = static_cast<BYTE>(v >> 8);
          break;
        }
        case 24:
          line[x * 3] = c[2];
          line[x * 3 + 1] = c[1];
          line[x * 3 + 2] = c[0];
          break;
        case 32:
          line[x * 4] = c[2];
          line[x * 4 + 1] = c[1];
          line[x * 4 + 2] = c[0];
          line[x * 4 + 3] = 0x5A;
          break;
      }
    }
  }
}

int MakeOutput(const Picture& picture, HLOCAL* headerOut, HLOCAL* pixelsOut) {
  int bitCount = 24;
  int tableEntries = 0;
  DWORD compression = BI_RGB;
  bool topDown = false;
  switch (Config.output) {
    case kOutputTopDown: topDown = true; break;
    case kOutputPaletted8: bitCount = 8; tableEntries = 256; break;
    case kOutputSizeImageZeroRle: bitCount = 8; tableEntries = 256; compression = BI_RLE8; break;
    case kOutputBitfields16: bitCount = 16; tableEntries = 3; compression = BI_BITFIELDS; break;
    case kOutputPaletted4Used3: bitCount = 4; tableEntries = 3; break;
    case kOutputRgb32: bitCount = 32; break;
    case kOutputTopDown32: bitCount = 32; topDown = true; break;
    default: break;
  }
  const int stride = Stride(bitCount, picture.width);
  DWORD pixelBytes = static_cast<DWORD>(stride) * picture.height;
  const DWORD headerBytes = Config.output == kOutputShortHeader ? 24 : 40 + tableEntries * 4;

  BITMAPINFOHEADER h = {};
  h.biSize = sizeof h;
  h.biWidth = picture.width;
  h.biHeight = topDown ? -picture.height : picture.height;
  h.biPlanes = 1;
  h.biBitCount = static_cast<WORD>(bitCount);
  h.biCompression = compression;
  h.biSizeImage = pixelBytes;
  if (Config.output == kOutputOversizedSizeImage) h.biSizeImage = pixelBytes + 4;
  if (Config.output == kOutputSizeImageZeroRgb || Config.output == kOutputSizeImageZeroRle) h.biSizeImage = 0;
  if (Config.output == kOutputPaletted4Used3) h.biClrUsed = 3;
  if (Config.output == kOutputShortPixelBlock) pixelBytes /= 2;
  if (Config.output == kOutputOverflow) {
    h.biWidth = 0x7FFFFFF0;
    h.biHeight = 0x7FFFFFF0;
    h.biSizeImage = 0;
  }

  HLOCAL header = LocalAlloc(LMEM_FIXED | LMEM_ZEROINIT, headerBytes);
  HLOCAL pixels = LocalAlloc(LMEM_FIXED | LMEM_ZEROINIT, pixelBytes);
  if (!header || !pixels) {
    if (header) LocalFree(header);
    if (pixels) LocalFree(pixels);
    return 2;
  }
  BYTE* headerData = static_cast<BYTE*>(LocalLock(header));
  std::memcpy(headerData, &h, headerBytes < sizeof h ? headerBytes : sizeof h);
  if (compression == BI_BITFIELDS) {
    const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
    std::memcpy(headerData + 40, masks, sizeof masks);
  } else {
    for (int i = 0; i < tableEntries; ++i) {
      const std::uint32_t c = TestPaletteColor(static_cast<std::uint32_t>(i));
      std::memcpy(headerData + 40 + i * 4, &c, 4);
    }
  }
  LocalUnlock(header);
  if (Config.output != kOutputShortPixelBlock && Config.output != kOutputOverflow) {
    WriteRows(picture, bitCount, topDown, static_cast<BYTE*>(LocalLock(pixels)));
    LocalUnlock(pixels);
  }
  *headerOut = header;
  *pixelsOut = pixels;
  return 0;
}
#endif

}  // namespace

extern "C" {

#if TEST_PLUGIN_IS_SUPPORTED
int WINAPI IsSupported(INT_PTR reserved, const BYTE* data) {
  (void)reserved;
  if (Chosen == kFaultProbe) AccessViolation();
  if (Chosen != kNoFault) return 1;
  const int call = Record.isSupportedCalls++;
  if (call < 4) std::memcpy(Record.seen[call], data, 2048);
  if (call < Config.answerCount && call < 8) return Config.answers[call];
  return std::memcmp(data, Config.magic, 4) == 0 ? 1 : 0;
}
#endif

#if TEST_PLUGIN_GET_PICTURE
int WINAPI GetPicture(const BYTE* image, DWORD length, DWORD flag, HLOCAL* header, HLOCAL* pixels, INT_PTR reserved1,
                      DWORD reserved2) {
  (void)flag;
  (void)reserved1;
  (void)reserved2;
  ++Record.getPictureCalls;
  Record.lastLength = length;
  switch (Chosen) {
    case kFaultDecode: AccessViolation(); break;
    case kFaultDivide: return DivideByZero();
    case kFaultStack: return Recurse(0);
    case kFaultHang: NeverReturn(); break;
    case kFaultGarbage: Config.output = kOutputShortPixelBlock; break;
    default: break;
  }
  if (Config.getPictureResult != 0) return Config.getPictureResult;
  Picture picture;
  if (!ReadPicture(image, length, &picture)) return 1;
  return MakeOutput(picture, header, pixels);
}
#endif

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, void* reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    Chosen = FaultFor(module);
    if (Chosen == kFaultLoad) AccessViolation();
    while (Chosen == kFaultStall) Sleep(1000);
  }
  return TRUE;
}

void TestConfigure(const TestPluginConfig* config) {
  Config = *config;
  std::memset(&Record, 0, sizeof Record);
}

const TestPluginRecord* TestRecord() { return &Record; }

}  // extern "C"
