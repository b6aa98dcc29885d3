// The exit codes of the program's runs without a window: the export and the
// presentation check.
#pragma once

constexpr int kExitWritten = 0;        // every file written (or the usage printed)
constexpr int kExitUsage = 1;          // unknown option, missing value, interval outside 1..255, no image
constexpr int kExitCannotOpen = 2;     // the image cannot be opened or decoded
constexpr int kExitCannotWrite = 3;    // the folder or a file cannot be made; out of memory
// The presentation check's own; 0 and 1 as above.
constexpr int kExitPresentationFaults = 4;  // frames doubled or missed, or refreshes unreadable
constexpr int kExitCannotCheck = 5;         // no desktop duplication or flip-model chain here
