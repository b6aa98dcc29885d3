// The plug-in decoding child: see plugin_child.h.
#include "imaging/plugin_child.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/threads.h"
#include "imaging/plugin_host.h"

namespace {

// A handle passed on the command line as a decimal number; null for anything else.
HANDLE HandleArgument(const wchar_t* text) {
  std::uint64_t value = 0;
  if (*text == L'\0') return nullptr;
  for (const wchar_t* p = text; *p; ++p) {
    if (*p < L'0' || *p > L'9' || value > (UINT64_MAX - 9) / 10) return nullptr;
    value = value * 10 + static_cast<std::uint64_t>(*p - L'0');
  }
  if (value > UINTPTR_MAX) return nullptr;
  return reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(value));
}

// Whatever faults in the child ends it at once: no report, no debugger, no
// dialog that would keep it alive until the parent's time limit.
LONG WINAPI EndOnFault(EXCEPTION_POINTERS* fault) {
  TerminateProcess(GetCurrentProcess(), fault->ExceptionRecord->ExceptionCode);
  return EXCEPTION_EXECUTE_HANDLER;
}

// The child never outlives the parent, even while a plug-in hangs.
unsigned __stdcall WatchParent(void* parent) {
  WaitForSingleObject(static_cast<HANDLE>(parent), INFINITE);
  TerminateProcess(GetCurrentProcess(), 0);
  return 0;
}

// Reads one terminated string starting at *at, not past end.
bool ReadString(const wchar_t** at, const wchar_t* end, std::wstring* text) {
  const wchar_t* start = *at;
  const wchar_t* p = start;
  while (p < end && *p != L'\0') ++p;
  if (p == end) return false;
  text->assign(start, p);
  *at = p + 1;
  return true;
}

// The image path and the plug-in table that follow the control block.
bool ReadRequest(const PluginChildControl* control, std::wstring* path, std::vector<std::wstring>* files) {
  if (control->sectionBytes < sizeof *control || control->pluginCount < 0) return false;
  const wchar_t* at = reinterpret_cast<const wchar_t*>(control + 1);
  const wchar_t* end = at + (control->sectionBytes - sizeof *control) / sizeof(wchar_t);
  if (!ReadString(&at, end, path)) return false;
  files->resize(static_cast<size_t>(control->pluginCount));
  for (std::wstring& file : *files) {
    if (!ReadString(&at, end, &file)) return false;
  }
  return true;
}

// Copies the plug-in's two blocks, header first, into a new section that the
// parent takes from this process. Returns 0, or kPluginBadOutput when the
// blocks cannot be read or copied.
int HandOver(HLOCAL header, HLOCAL pixels, PluginChildControl* control) {
  const std::uint64_t headerBytes = LocalSize(header);
  const std::uint64_t pixelBytes = LocalSize(pixels);
  const std::uint64_t total = headerBytes + pixelBytes;
  const void* headerData = LocalLock(header);
  const void* pixelData = LocalLock(pixels);
  int result = kPluginBadOutput;
  if (headerData && pixelData && headerBytes > 0 && total <= SIZE_MAX) {
    // Left open: the section must live until the parent has its own handle.
    HANDLE section = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, static_cast<DWORD>(total >> 32),
                                        static_cast<DWORD>(total), nullptr);
    ScopedView view(MapView(section, FILE_MAP_WRITE));
    if (view.get()) {
      std::memcpy(view.get(), headerData, static_cast<size_t>(headerBytes));
      std::memcpy(view.get() + headerBytes, pixelData, static_cast<size_t>(pixelBytes));
      control->headerBytes = headerBytes;
      control->pixelBytes = pixelBytes;
      control->resultSection = static_cast<std::uint64_t>(reinterpret_cast<UINT_PTR>(section));
      result = 0;
    }
  }
  if (headerData) LocalUnlock(header);
  if (pixelData) LocalUnlock(pixels);
  LocalFree(header);
  LocalFree(pixels);
  return result;
}

// Probes and decodes the file as the in-process host does, up to the
// plug-in's raw blocks, which are handed over unchecked.
int Decode(const std::wstring& path, PluginChildControl* control) {
  std::unique_ptr<BYTE[]> image;
  DWORD length = 0;
  if (!ReadPluginImage(path.c_str(), &image, &length)) return kPluginNoneAccepted;
  HLOCAL header = nullptr;
  HLOCAL pixels = nullptr;
  const int result = RunPluginGetPicture(image.get(), length, &header, &pixels);
  if (result != 0) return result;
  image.reset();
  return HandOver(header, pixels, control);
}

}  // namespace

bool IsPluginChildCommand(int argumentCount, wchar_t** arguments) {
  return arguments && argumentCount >= 2 && std::wcscmp(arguments[1], kPluginChildSwitch) == 0;
}

int RunPluginChild(int argumentCount, wchar_t** arguments) {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  SetUnhandledExceptionFilter(EndOnFault);
  if (argumentCount != 5) return 2;
  const HANDLE controlSection = HandleArgument(arguments[2]);
  const HANDLE answered = HandleArgument(arguments[3]);
  const HANDLE parent = HandleArgument(arguments[4]);
  if (!controlSection || !answered || !parent) return 2;
  ScopedHandle watcher = StartThread(WatchParent, parent);
  if (!watcher.valid()) return 2;

  ScopedView view(MapView(controlSection, FILE_MAP_WRITE));
  if (!view.get()) return 2;
  PluginChildControl* control = reinterpret_cast<PluginChildControl*>(view.get());
  std::wstring path;
  std::vector<std::wstring> files;
  if (!ReadRequest(control, &path, &files)) return 2;

  InterlockedExchange(&control->stage, kChildLoading);
  LoadPluginFiles(files, &control->loading);
  InterlockedExchange(&control->stage, kChildDecoding);
  control->result = Decode(path, control);
  InterlockedExchange(&control->stage, kChildAnswered);
  SetEvent(answered);

  // The parent takes the result section from this process and then ends it;
  // the plug-ins' own shutdown code is never run.
  WaitForSingleObject(parent, INFINITE);
  TerminateProcess(GetCurrentProcess(), 0);
  return 0;
}
