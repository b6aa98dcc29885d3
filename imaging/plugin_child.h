// The plug-in decoding child: this same program started with an internal
// switch, loading the plug-ins and running the probe and GetPicture for one
// file, so that a plug-in that faults or never returns takes only the child
// down. The parent (plugin_isolation.h) starts it and checks what it hands
// back; this header is the contract between the two.
#pragma once

#include <windows.h>

#include <cstdint>

// The switch that makes the program the decoding child:
//   Quillane.exe --plugin-child CONTROL DONE PARENT
// with the decimal values of three inherited handles: the control section,
// the event the child sets when its answer is ready, and the parent process
// (the child ends itself when the parent ends).
constexpr const wchar_t* kPluginChildSwitch = L"--plugin-child";

// Where the child is.
enum PluginChildStage : LONG {
  kChildStarting = 0,
  kChildLoading = 1,   // loading plug-in `loading` of the table
  kChildDecoding = 2,  // probing and decoding
  kChildAnswered = 3,  // result (and the result section) are final
};

// The start of the control section. The parent fills the request; the child
// writes the answer. Everything the child writes is untrusted by the parent.
struct PluginChildControl {
  // Request (parent).
  std::uint32_t sectionBytes;  // size of the whole control section
  std::int32_t pluginCount;    // entries of the plug-in table
  // Answer (child).
  volatile LONG stage;    // a PluginChildStage
  volatile LONG loading;  // index of the plug-in being loaded while stage is kChildLoading
  std::int32_t result;    // 0: decoded; otherwise kPluginNoneAccepted or GetPicture's failure
  std::uint32_t reserved;
  std::uint64_t headerBytes;    // the plug-in's header block, first in the result section
  std::uint64_t pixelBytes;     // its pixel block, right after the header block
  std::uint64_t resultSection;  // the child's handle of the result section
  // Followed by the request's strings, each with its terminator: the image
  // path, then pluginCount plug-in paths (an empty one: leave the entry null).
};

// True when the command line asks for the decoding child.
bool IsPluginChildCommand(int argumentCount, wchar_t** arguments);

// Runs the decoding child for that command line and returns the process's
// exit code. Normally it never returns: once the answer is ready it waits to
// be ended by the parent (or ends itself when the parent has gone).
int RunPluginChild(int argumentCount, wchar_t** arguments);
