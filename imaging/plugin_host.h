// The image-decoder plug-in host: libraries named "*.spi" in ModuleDirectory
// that export IsSupported and GetPicture. They are loaded once at start-up and
// freed at shutdown; every image open asks them, in table order, before GDI+.
//
// Plug-in output is untrusted: every size it hands over is checked against the
// memory it really handed over and against the DIB section made for it.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

// The plug-in operations, called with the platform's standard calling
// convention. Every argument is one 32-bit word in the 32-bit program; the
// pointer-sized ones widen in a 64-bit build.
//
// IsSupported(0, data): nonzero when the plug-in can decode the data. The data
// is at least 2,048 bytes long (a shorter file is followed by zero bytes).
typedef int(WINAPI* IsSupportedProc)(INT_PTR reserved, const void* data);
// GetPicture(image, length, 1, &header, &pixels, 0, 0): 0 on success, having
// stored two LocalAlloc blocks whose ownership passes to the host: a
// BITMAPINFOHEADER (with its colour table or bit-field masks after it) and the
// DIB rows it describes. Any other result: failure; the host then touches
// neither handle.
typedef int(WINAPI* GetPictureProc)(const void* image, DWORD length, DWORD flag, HLOCAL* header, HLOCAL* pixels,
                                    INT_PTR reserved1, DWORD reserved2);

#if defined(_M_IX86) || defined(__i386__)
// On x86 a plug-in removes its own arguments from the stack: a call through
// any other convention would leave the stack unbalanced after every call.
static_assert(std::is_same<IsSupportedProc, int(__stdcall*)(INT_PTR, const void*)>::value,
              "IsSupported must be called as __stdcall");
static_assert(std::is_same<GetPictureProc, int(__stdcall*)(const void*, DWORD, DWORD, HLOCAL*, HLOCAL*, INT_PTR,
                                                           DWORD)>::value,
              "GetPicture must be called as __stdcall");
#endif

// The loaded plug-ins: one entry per "*.spi" match, in the order the directory
// search returned them; null for a match that did not load. Empty (null, 0)
// before LoadPlugins and after UnloadPlugins. Owned by the host.
extern HMODULE* PluginTable;
extern int PluginCount;

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

// Fills PluginTable from "*.spi" in ModuleDirectory (files and directories
// alike take an entry), releasing whatever it held before.
void LoadPlugins();

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

// Decodes the file at path through the plug-ins into a new DIB section in the
// plug-in's format (bit depth, size, orientation and colours as it says).
// The caller owns the returned bitmap; null when no plug-in decodes the file,
// when the file cannot be read or is 4 GiB or larger, or when the output is
// unusable. Nothing else outlives the call.
HBITMAP DecodeWithPlugins(const wchar_t* path);
