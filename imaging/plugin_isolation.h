// The program's way of running the image-decoder plug-ins: in a child process
// (plugin_child.h), so that a plug-in that faults (access violation, stack
// overflow...), never returns or hands back garbage costs one file, not the
// program. The child loads the plug-in table, probes and decodes exactly as
// the in-process host does and hands back the plug-in's two blocks through a
// shared memory section; they are checked and copied here as the in-process
// host checks them. Any failure of the child counts as "no plug-in accepts".
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The isolated host's state lives in plugin_isolation.cpp and is written only
// by StartIsolatedPlugins, StopIsolatedPlugins and DecodeWithPluginsIsolated,
// all on the thread that loads pictures (the window's thread in the program).

// The program started as the decoding child; empty: the plug-ins, if any
// are loaded (PluginTable), run in this process.
const std::wstring& PluginChildProgram();

// The plug-in table of the isolated host: the full paths of the "*.spi"
// matches in the plug-in folder, in search order, fixed at start-up. An
// entry is emptied (kept, but never loaded again) once its library faulted
// or hung while loading.
const std::vector<std::wstring>& IsolatedPluginFiles();

// How long the child may take for one file before it is ended, in ms.
constexpr DWORD kPluginChildTimeLimit = 10000;

// Fills the isolated plug-in table from folder and makes childProgram (normally this
// program's own path) the decoding child. Nothing is loaded into this process.
void StartIsolatedPlugins(const std::wstring& folder, const std::wstring& childProgram);

// Empties the isolated plug-in table and the child program.
void StopIsolatedPlugins();

// DecodeWithPlugins through a child: starts childProgram as the decoding
// child for the file at path with the isolated plug-in table, waits at most
// kPluginChildTimeLimit for its answer, checks it and makes the DIB section.
// The caller owns the returned bitmap; null when no plug-in decodes the file,
// its output is unusable, or the child faults, hangs or cannot be started. A
// library that faults or hangs while loading is dropped from the table and
// the file is tried again without it. No child outlives the call. Returns
// null at once when the table holds no entry to load.
HBITMAP DecodeWithPluginsIsolated(const wchar_t* childProgram, const wchar_t* path);
