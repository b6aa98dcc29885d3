// The commands of the keyboard tables that have no button: zoom, clipboard,
// pause and step. The main window hands them on from WM_COMMAND.
#pragma once

// Carries out command `id` (kIdZoomIn ... kIdFirstFrame); other ids are
// ignored. User-interface thread.
void OnKeyCommand(int id);
