// The commands of the keyboard tables: see key_commands.h.
#include "app/key_commands.h"

#include <windows.h>

#include "app/clipboard_image.h"
#include "app/flash_check.h"
#include "app/globals.h"
#include "app/main_window.h"
#include "app/playback.h"
#include "app/save_cycle.h"
#include "app/status_bar.h"
#include "app/window_state.h"
#include "base/thread_checks.h"
#include "frc/engine_state.h"
#include "imaging/load_source.h"
#include "views/image_view.h"
#include "views/zoom.h"

namespace {

constexpr const wchar_t* kNoClipboardImageMessage = L"クリップボードに画像がありません。";
constexpr const wchar_t* kClipboardTitle = L"Quillane (クリップボード)";

void PasteImage() {
  // A new picture: the save and the flash judgement of the previous one stop
  // first; a picture that stays is judged again.
  CancelSave();
  const bool judging = CancelFlashCheck();
  if (!PasteClipboardImage(MainWindow)) {
    if (judging) CheckFlashing();
    MessageBoxW(MainWindow, LastLoadRefusedForSize() ? kPictureTooLargeMessage : kNoClipboardImageMessage, kAppCaption,
                MB_OK);
    return;
  }
  ShowNewSource(kClipboardTitle);
  PostSettingsChanged();
}

// The frame the FRC view shows, or the source while there is none.
void CopyShownPicture() {
  MutexLock guard(FrameSetLock());
  const DibSurface* picture = CurrentFramePicture();
  if (!picture) picture = OriginalPicture();
  if (picture) CopyPictureToClipboard(MainWindow, *picture);
}

// Zooms both views about the centre of the FRC view.
void ZoomAboutCentre(int zoom) {
  RECT client;
  GetClientRect(FrcView, &client);
  ZoomTo(zoom, FrcView, POINT{client.right / 2, client.bottom / 2});
}

}  // namespace

void OnKeyCommand(int id) {
  switch (id) {
    case kIdZoomIn: ZoomAboutCentre(ZoomLevelUp(WindowState().zoom)); break;
    case kIdZoomOut: ZoomAboutCentre(ZoomLevelDown(WindowState().zoom)); break;
    case kIdZoomReset: ZoomAboutCentre(1); break;
    case kIdPaste: PasteImage(); break;
    case kIdCopy: CopyShownPicture(); break;
    case kIdPause: TogglePause(); break;
    case kIdNextFrame: StepFrame(1); break;
    case kIdPreviousFrame: StepFrame(-1); break;
    case kIdFirstFrame: ShowFirstFrame(); break;
    default: break;
  }
}

void ZoomTo(int zoom, HWND view, POINT anchor) {
  if (!IsZoomLevel(zoom)) return;
  const int oldZoom = WindowState().zoom.exchange(zoom);
  ZoomViews(oldZoom, zoom, view, anchor);
  RefreshStatusBar();
}
