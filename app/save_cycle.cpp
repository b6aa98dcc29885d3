// SaveCycleFromWindow: see save_cycle.h.
#include "app/save_cycle.h"

#include <shobjidl.h>

#include <string>

#include "app/export_cycle.h"
#include "app/globals.h"
#include "frc/engine_state.h"
#include "imaging/dib_surface.h"

namespace {

const wchar_t kCannotSaveMessage[] = L"保存できません。";

// COM for the folder picker, on this thread for the scope's length.
class ComScope {
 public:
  ComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
  ~ComScope() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  bool ok() const { return SUCCEEDED(result_); }

 private:
  HRESULT result_;
};

// The folder the user picks, or an empty text when the picker is cancelled or
// cannot be shown.
std::wstring PickFolder(HWND owner) {
  IFileOpenDialog* dialog = nullptr;
  if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog))))
    return std::wstring();
  std::wstring folder;
  DWORD options = 0;
  IShellItem* item = nullptr;
  if (SUCCEEDED(dialog->GetOptions(&options)) &&
      SUCCEEDED(dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST)) &&
      SUCCEEDED(dialog->Show(owner)) && SUCCEEDED(dialog->GetResult(&item))) {
    wchar_t* path = nullptr;
    if (SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
      folder = path;
      CoTaskMemFree(path);
    }
    item->Release();
  }
  dialog->Release();
  return folder;
}

// True when FrameSet is the cycle of the picture in SourceSurface. After an
// open whose rebuild was refused (a wrong interval) the frames still belong to
// the previous picture, which may well have the same size: only the picture's
// generation tells them apart.
bool FramesMatchPicture() {
  return SourceSurface.bitmap && FrameSet && FrcCount != 0 && FrameSet[0].bits &&
         FrameSetPicture() == SourceSurface.generation;
}

}  // namespace

void SaveCycleFromWindow(HWND owner) {
  if (!FramesMatchPicture()) return;
  ComScope com;
  if (!com.ok()) return;
  const std::wstring folder = PickFolder(owner);
  // The picker's modal loop may have run a rebuild: look at the frames again.
  if (folder.empty() || !FramesMatchPicture()) return;

  HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  ExportFailure failure = {L"", 0};
  const ExportResult result = ExportCycle(folder, SourceSurface, FrameSet, FrcCount, FrcOffset, &failure);
  SetCursor(previous);
  if (result != ExportResult::kWritten) {
    const std::wstring text = std::wstring(kCannotSaveMessage) + L"\n" + DescribeExportFailure(failure);
    MessageBoxW(owner, text.c_str(), kAppCaption, MB_OK);
  }
}
