// The image-decoder plug-in host: libraries named "*.spi" in the program's
// folder that export IsSupported and GetPicture, loaded into this process and
// asked, in table order, before GDI+. The program itself runs them in a child
// process (plugin_isolation.h) that uses these functions; tests use them
// directly.
//
// Plug-in output is untrusted: every size it hands over is checked against the
// memory it really handed over and against the DIB section made for it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imaging/plugin_api.h"

// The loaded plug-ins: one entry per "*.spi" match, in the order the directory
// search returned them; null for a match that did not load. Empty before
// LoadPlugins and after UnloadPlugins. Owned by the host: written only by
// LoadPluginFiles and UnloadPlugins, on the thread that loads pictures (the
// window's thread in the program, the main thread in the decoding child),
// and read on that thread only.
extern std::vector<HMODULE> PluginTable;

// Bytes of the head that every plug-in is shown, zero-padded when the file is
// shorter.
constexpr DWORD kProbeSize = 2048;

// Results of RunPluginDecode besides 0 (success) and a failing GetPicture's own.
constexpr int kPluginNoneAccepted = -1;  // no plug-in accepts the image (or out of memory)
constexpr int kPluginBadOutput = -2;     // the accepting plug-in's output is unusable

// A decoded picture's header as handed back by RunPluginDecode: the
// BITMAPINFOHEADER with room for a full colour table of 8 bits and below, or
// the three BI_BITFIELDS masks. Its start is a BITMAPINFO for CreateDIBSection.
struct PluginBitmapInfo {
  BITMAPINFOHEADER header;
  RGBQUAD colors[256];
};

// The full paths of the "*.spi" matches in folder (files and directories
// alike), in the order the directory search returns them.
std::vector<std::wstring> FindPluginFiles(const std::wstring& folder);

// Fills PluginTable from "*.spi" in folder (FindPluginFiles), releasing
// whatever it held before.
void LoadPlugins(const std::wstring& folder);

// Fills PluginTable with one entry per path, in order: the loaded library, or
// null when it does not load or the path is empty. When loading is not null
// it receives each entry's index just before that library is loaded, so that
// an observer can tell which library's start-up code never came back.
void LoadPluginFiles(const std::vector<std::wstring>& files, volatile LONG* loading);

// Frees every loaded module and empties PluginTable.
void UnloadPlugins();

// Offers the kProbeSize bytes at probe to each plug-in's IsSupported in table
// order. Returns the first nonzero answer, or 0 when none accepts.
int ProbePlugins(const void* probe);

// Lets the first plug-in whose IsSupported accepts `image` decode it.
// `image` must be readable for max(length, kProbeSize) bytes, zero-padded past
// length. Returns 0 on success: *header holds the picture's header (biSize 40,
// colour table or masks after it, biSizeImage within the pixel block) and
// *pixels the caller's copy of the pixel block, |biHeight| rows of DIB stride.
// Otherwise kPluginNoneAccepted, kPluginBadOutput or the nonzero result of the
// GetPicture that failed; then no later plug-in has been asked and *pixels is
// null. The plug-in's blocks are freed on every path.
int RunPluginDecode(const void* image, DWORD length, PluginBitmapInfo* header, std::unique_ptr<BYTE[]>* pixels);

// The first half of RunPluginDecode: lets the first plug-in whose IsSupported
// accepts `image` run GetPicture. Returns 0 with the plug-in's two blocks in
// *header and *pixels (the caller frees them with LocalFree), or
// kPluginNoneAccepted or the failing GetPicture's result with both null.
int RunPluginGetPicture(const void* image, DWORD length, HLOCAL* header, HLOCAL* pixels);

// The second half: checks a plug-in's header block (headerSize bytes at
// headerData) and pixel block (pixelSize bytes at pixelData) and copies them
// into *header and a new *pixels as RunPluginDecode promises. Returns 0, or
// kPluginBadOutput (unusable output), or kPluginNoneAccepted (out of memory);
// then *pixels is null. Reads nothing outside the two given ranges.
int TakePluginPicture(const void* headerData, std::uint64_t headerSize, const void* pixelData,
                      std::uint64_t pixelSize, PluginBitmapInfo* header, std::unique_ptr<BYTE[]>* pixels);

// Reads the file at path for the plug-ins: its first kProbeSize bytes (zero
// padded) are offered to ProbePlugins, and when one accepts, the whole file is
// read into *image, zero-padded to at least kProbeSize bytes, with its true
// size in *length. Returns 1 then; 0 when the file cannot be read, is 4 GiB or
// larger, or no plug-in accepts its head.
int ReadPluginImage(const wchar_t* path, std::unique_ptr<BYTE[]>* image, DWORD* length);

// A new DIB section made from a checked picture (RunPluginDecode's or
// TakePluginPicture's output): header.biSizeImage bytes of pixels copied in.
// Caller owns it; null on failure.
HBITMAP CreatePluginSection(const PluginBitmapInfo& header, const BYTE* pixels);

// Decodes the file at path through the plug-ins into a new DIB section in the
// plug-in's format (bit depth, size, orientation and colours as it says).
// The caller owns the returned bitmap; null when no plug-in decodes the file,
// when the file cannot be read or is 4 GiB or larger, or when the output is
// unusable. Nothing else outlives the call.
HBITMAP DecodeWithPlugins(const wchar_t* path);
