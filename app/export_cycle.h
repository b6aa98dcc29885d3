// Export of a frame cycle as files: every frame as a 24-bit PNG, the cycle's
// mean and its flicker map as PNGs, in codes and in light, and a short text
// summary. The window's
// save button and the command line's --export both write through here.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "imaging/dib_surface.h"

enum class ExportResult {
  kWritten,             // every file is in the folder under its final name
  kCannotCreateFolder,  // the folder does not exist and cannot be made
  kCannotWrite,         // a file could not be written or put under its name
  kCancelled,           // stopped on request; no file of this export is left
};

// Where and why an export failed: the file or folder, and the Windows error.
struct ExportFailure {
  std::wstring path;
  DWORD error;
};

// How an export running on another thread is followed and stopped. Both may
// be null.
struct ExportControl {
  // Set by any thread to stop the export: it stops before its next file (a
  // file being encoded is finished first), removes what it wrote and returns
  // kCancelled.
  const std::atomic<bool>* cancel;
  // Told, on any of the export's threads, how many of the total pieces of
  // work (one per frame and one for the summary files) are done.
  void (*progress)(void* context, std::uint32_t done, std::uint32_t total);
  void* context;
};

// Writes into folder (created with its parents when missing): frame_000.png ...
// for the frames 0 .. interval-1 of the cycle (three digits), mean.png, flicker.png,
// mean_light.png, flicker_light.png, flicker_visible.png (visible_flicker.h, at
// the current viewing geometry) and cycle.txt, for the cycle made from
// source with interval and correction, each frame shown for
// frameDuration (100 ns units; 0: the clock stands).
// Every file is first written under a temporary name in the folder and all
// are renamed at the end; on any failure the files of this export are removed
// again, so none is left under its final name (a file of that name that was
// there before may be gone). Files of other names are never touched.
// The summary files are computed from source and the levels of interval and
// correction. Each frame is made from source through the current level tables
// (level_tables.h), exactly as frame rendering makes it: the caller builds the
// tables for interval and correction, and they must stay present and unchanged
// until the call returns. When no tables for interval are present
// (PresentTableInterval() differs), nothing is written and the result is
// kCannotWrite with the error ERROR_INVALID_DATA on folder.
// source is a 32-bpp bottom-up surface; it is only read, and must stay as it
// is until the call returns. GDI+ must be started. Any thread; one export at a
// time per folder. The files are made and encoded by one thread per processor
// core (the calling thread among them), each taking the next frame in turn;
// the summary files are one such piece. Each thread holds one frame's buffers
// at a time, so the memory needed does not grow with interval.
// control may be null.
ExportResult ExportCycle(const std::wstring& folder, const DibSurface& source, std::uint32_t interval,
                         std::uint32_t correction, std::uint32_t frameDuration, ExportFailure* failure,
                         const ExportControl* control = nullptr);

// The failure as one line for a person: the path and the system's text for
// the error.
std::wstring DescribeExportFailure(const ExportFailure& failure);
