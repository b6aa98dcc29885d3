// SaveCycleFromWindow and the save's thread: see save_cycle.h.
#include "app/save_cycle.h"

#include <shobjidl.h>

#include <atomic>
#include <string>

#include "app/export_cycle.h"
#include "app/globals.h"
#include "app/status_bar.h"
#include "base/threads.h"
#include "frc/engine_state.h"
#include "frc/level_tables.h"
#include "imaging/dib_surface.h"

namespace {

const wchar_t kCannotSaveMessage[] = L"保存できません。";

// The running save. Written on the user-interface thread while no save thread
// runs, except: done and total, written by the save's threads and read here;
// result and failure, written by the save's thread before it posts its end
// and read after the join.
struct RunningSave {
  ScopedHandle thread;  // of the running save; empty when none runs
  std::atomic<bool> cancel;
  std::atomic<std::uint32_t> done;
  std::atomic<std::uint32_t> total;
  HWND owner;
  std::wstring folder;
  LPARAM number;  // counts the saves started; sent back with the end
  std::uint32_t interval, correction, frameDuration;  // of the cycle saved
  ExportResult result;
  ExportFailure failure;
};

RunningSave save;

// The folder the user picks, or an empty text when the picker is cancelled or
// cannot be shown.
std::wstring PickFolder(HWND owner) {
  ComPtr<IFileOpenDialog> dialog;
  if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(dialog.Receive()))))
    return std::wstring();
  std::wstring folder;
  DWORD options = 0;
  ComPtr<IShellItem> item;
  if (SUCCEEDED(dialog->GetOptions(&options)) &&
      SUCCEEDED(dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST)) &&
      SUCCEEDED(dialog->Show(owner)) && SUCCEEDED(dialog->GetResult(item.Receive()))) {
    wchar_t* path = nullptr;
    if (SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
      folder = path;
      CoTaskMemFree(path);
    }
  }
  return folder;
}

// True when the cycle on show is that of the picture in SourceSurface and the
// level tables are built for its interval, so that the export can make its
// frames. After an open whose rebuild was refused (a wrong interval) the cycle
// still belongs to the previous picture, which may well have the same size:
// only the picture's generation tells them apart.
bool FramesMatchPicture() {
  return SourceSurface.bitmap && FrcCount != 0 && FrameSetPicture() == SourceSurface.generation &&
         PresentTableInterval() == FrcCount;
}

// Any of the export's threads.
void OnExportProgress(void*, std::uint32_t done, std::uint32_t total) {
  // Reports of several threads may cross: the count only goes up.
  std::uint32_t shown = save.done;
  while (done > shown && !save.done.compare_exchange_weak(shown, done)) {
  }
  save.total = total;
  PostMessageW(save.owner, WM_USER, kRequestSaveProgress, 0);
}

// The save's thread: reads SourceSurface and the level tables, which stay as
// they are until CancelSave or OnSaveEnded has joined it.
unsigned __stdcall RunSave(void*) {
  const ExportControl control = {&save.cancel, OnExportProgress, nullptr};
  save.result = ExportCycle(save.folder, SourceSurface, save.interval, save.correction, save.frameDuration,
                            &save.failure, &control);
  PostMessageW(save.owner, WM_USER, kRequestSaveEnded, save.number);
  return 0;
}

// A cancelled export stops after the piece it is writing, so the wait is short.
void EndSave() {
  JoinThread(&save.thread, INFINITE);
  save.done = 0;
  save.total = 0;
  SetStatusSaveProgress(0, 0);
}

}  // namespace

void SaveCycleFromWindow(HWND owner) {
  if (SaveRunning() || !FramesMatchPicture()) return;
  std::wstring folder;
  {
    // COM for the folder picker, on this thread for the picker's length.
    ScopedComApartment com(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
    if (!com.valid()) return;
    folder = PickFolder(owner);
  }
  // The picker's modal loop may have run a rebuild or started another save:
  // look again.
  if (folder.empty() || SaveRunning() || !FramesMatchPicture()) return;

  // The picture is a section GDI may still draw into; the export reads its
  // pixels directly.
  GdiFlush();
  save.cancel = false;
  save.done = 0;
  save.total = FrcCount + 1;
  save.owner = owner;
  save.folder = folder;
  save.number += 1;
  save.result = ExportResult::kCannotWrite;
  save.failure = {L"", 0};
  SetStatusSaveProgress(0, save.total);
  save.interval = FrcCount;
  save.correction = FrcOffset;
  save.frameDuration = FrameDuration;
  save.thread = StartThread(RunSave, nullptr);
  if (!save.thread.valid()) {
    SetStatusSaveProgress(0, 0);
    MessageBoxW(owner, kCannotSaveMessage, kAppCaption, MB_OK);
  }
}

bool SaveRunning() { return save.thread.valid(); }

void CancelSave() {
  if (!SaveRunning()) return;
  save.cancel = true;
  EndSave();
}

void StopSave() {
  if (SaveRunning()) save.cancel = true;
}

void OnSaveProgress() {
  if (SaveRunning()) SetStatusSaveProgress(save.done, save.total);
}

void OnSaveEnded(LPARAM number) {
  if (!SaveRunning() || number != save.number) return;
  EndSave();
  if (save.result == ExportResult::kWritten || save.result == ExportResult::kCancelled) return;
  const std::wstring text = std::wstring(kCannotSaveMessage) + L"\n" + DescribeExportFailure(save.failure);
  MessageBoxW(save.owner, text.c_str(), kAppCaption, MB_OK);
}
