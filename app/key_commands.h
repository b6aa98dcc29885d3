// The commands of the keyboard tables that have no button: zoom, clipboard,
// pause and step. The main window hands them on from WM_COMMAND.
#pragma once

#include <windows.h>

// Carries out command `id` (kIdZoomIn ... kIdFirstFrame); other ids are
// ignored. User-interface thread.
void OnKeyCommand(int id);

// Makes zoom (one of kZoomLevels; anything else is ignored) the level of both
// views, keeping the picture point at client point `anchor` of `view` in place.
// The one writer of the record's zoom; with a null view (before the views
// exist) only the level is set. User-interface thread.
void ZoomTo(int zoom, HWND view, POINT anchor);
