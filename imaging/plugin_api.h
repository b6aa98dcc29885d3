// The interface between the program and an image-decoder plug-in: the two
// functions a "*.spi" library exports, written once for both sides. The host
// (plugin_host.h) calls them through the pointer types below; a plug-in
// includes this header and defines the functions, so that a definition that
// differs from the contract does not compile.
//
// Both are exported undecorated ("IsSupported", not "IsSupported@8") with the
// platform's standard calling convention. Every argument is one 32-bit word in
// the 32-bit program; the pointer-sized ones widen in a 64-bit build. Nothing
// here needs more than <windows.h>, so a plug-in links none of the program.
#pragma once

#include <windows.h>

#include <type_traits>

extern "C" {

// IsSupported(0, data): nonzero when the plug-in can decode the data. The data
// is at least 2,048 bytes long (a shorter file is followed by zero bytes).
typedef int WINAPI IsSupportedFunction(INT_PTR reserved, const BYTE* data);

// GetPicture(image, length, 1, &header, &pixels, 0, 0): 0 on success, having
// stored two LocalAlloc blocks whose ownership passes to the caller: a
// BITMAPINFOHEADER (with its colour table or bit-field masks after it) and the
// DIB rows it describes. Any other result: failure; the caller then touches
// neither handle.
typedef int WINAPI GetPictureFunction(const BYTE* image, DWORD length, DWORD flag, HLOCAL* header, HLOCAL* pixels,
                                      INT_PTR reserved1, DWORD reserved2);

// What a plug-in defines (and lists undecorated in its exports).
IsSupportedFunction IsSupported;
GetPictureFunction GetPicture;

}  // extern "C"

typedef IsSupportedFunction* IsSupportedProc;
typedef GetPictureFunction* GetPictureProc;

#if defined(_M_IX86) || defined(__i386__)
// On x86 a plug-in removes its own arguments from the stack: a call through
// any other convention would leave the stack unbalanced after every call.
static_assert(std::is_same<IsSupportedProc, int(__stdcall*)(INT_PTR, const BYTE*)>::value,
              "IsSupported must be called as __stdcall");
static_assert(std::is_same<GetPictureProc, int(__stdcall*)(const BYTE*, DWORD, DWORD, HLOCAL*, HLOCAL*, INT_PTR,
                                                           DWORD)>::value,
              "GetPicture must be called as __stdcall");
#endif
