// The isolated plug-in host: see plugin_isolation.h.
#include "imaging/plugin_isolation.h"

#include <cstring>
#include <memory>

#include "base/scoped_handle.h"
#include "imaging/plugin_child.h"
#include "imaging/plugin_host.h"

namespace {

std::wstring ChildProgram;
std::vector<std::wstring> PluginFiles;

// What one run of the child came to.
enum ChildOutcome {
  kChildGaveAnswer,   // *bitmap holds the decoded picture, or null when there is none
  kChildLoadFault,    // a library faulted or hung while loading: *faulted is its index
  kChildFailed,       // anything else: no picture
};

std::wstring HandleText(HANDLE handle) {
  return std::to_wstring(static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(handle)));
}

// The control section: the control block, then the image path and the
// plug-in table. Null on failure.
HANDLE MakeControlSection(const wchar_t* path, SECURITY_ATTRIBUTES* inheritable) {
  std::uint64_t chars = std::wcslen(path) + 1;
  for (const std::wstring& file : PluginFiles) chars += file.size() + 1;
  const std::uint64_t bytes = sizeof(PluginChildControl) + chars * sizeof(wchar_t);
  if (bytes > 0x7FFFFFFF) return nullptr;
  HANDLE section = CreateFileMappingW(INVALID_HANDLE_VALUE, inheritable, PAGE_READWRITE, 0, static_cast<DWORD>(bytes), nullptr);
  if (!section) return nullptr;
  ScopedView view(MapView(section, FILE_MAP_WRITE));
  if (!view.get()) {
    CloseHandle(section);
    return nullptr;
  }
  PluginChildControl* control = reinterpret_cast<PluginChildControl*>(view.get());
  std::memset(control, 0, sizeof *control);
  control->sectionBytes = static_cast<std::uint32_t>(bytes);
  control->pluginCount = static_cast<std::int32_t>(PluginFiles.size());
  control->loading = -1;
  wchar_t* at = reinterpret_cast<wchar_t*>(control + 1);
  const size_t pathChars = std::wcslen(path) + 1;
  std::memcpy(at, path, pathChars * sizeof(wchar_t));
  at += pathChars;
  for (const std::wstring& file : PluginFiles) {
    std::memcpy(at, file.c_str(), (file.size() + 1) * sizeof(wchar_t));
    at += file.size() + 1;
  }
  return section;
}

// Takes the child's result section into this process once the child is
// ended, and checks and copies the two blocks in it. Null when anything about
// it is wrong.
HBITMAP TakeAnswer(ScopedProcess* child, std::uint64_t sectionValue, std::uint64_t headerBytes, std::uint64_t pixelBytes) {
  HANDLE taken = nullptr;
  if (sectionValue > UINTPTR_MAX ||
      !DuplicateHandle(child->get(), reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(sectionValue)), GetCurrentProcess(),
                       &taken, FILE_MAP_READ, FALSE, 0)) {
    return nullptr;
  }
  ScopedHandle section(taken);
  // Nothing changes the blocks while they are checked and copied.
  child->Close();
  ScopedView view(MapView(section.get(), FILE_MAP_READ));
  if (!view.get()) return nullptr;
  MEMORY_BASIC_INFORMATION mapped;
  if (VirtualQuery(view.get(), &mapped, sizeof mapped) != sizeof mapped) return nullptr;
  const std::uint64_t viewBytes = mapped.RegionSize;
  if (headerBytes > viewBytes || pixelBytes > viewBytes - headerBytes) return nullptr;

  PluginBitmapInfo header;
  std::unique_ptr<BYTE[]> pixels;
  if (TakePluginPicture(view.get(), headerBytes, view.get() + headerBytes, pixelBytes, &header, &pixels) != 0) {
    return nullptr;
  }
  return CreatePluginSection(header, pixels.get());
}

// Runs the child once for the file at path with the current PluginFiles.
ChildOutcome RunChild(const wchar_t* childProgram, const wchar_t* path, HBITMAP* bitmap, int* faulted) {
  *bitmap = nullptr;
  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  ScopedHandle controlSection(MakeControlSection(path, &inheritable));
  ScopedHandle answered(CreateEventW(&inheritable, TRUE, FALSE, nullptr));
  HANDLE self = nullptr;
  DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self, SYNCHRONIZE, TRUE, 0);
  ScopedHandle parent(self);
  if (!controlSection.valid() || !answered.valid() || !parent.valid()) return kChildFailed;
  ScopedView view(MapView(controlSection.get(), FILE_MAP_READ));
  if (!view.get()) return kChildFailed;
  const PluginChildControl* control = reinterpret_cast<const PluginChildControl*>(view.get());

  std::wstring commandLine = L"\"" + std::wstring(childProgram) + L"\" " + kPluginChildSwitch + L" " +
                             HandleText(controlSection.get()) + L" " + HandleText(answered.get()) + L" " +
                             HandleText(parent.get());
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_FORCEOFFFEEDBACK;
  PROCESS_INFORMATION started = {};
  if (!CreateProcessW(childProgram, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started)) {
    return kChildFailed;
  }
  CloseHandle(started.hThread);
  // Ended and waited for when the scope ends, whatever it is doing.
  ScopedProcess child(started.hProcess);
  // The child's copies are all it needs; the parent's go now so that nothing
  // else started later inherits them.
  parent.Close();

  const HANDLE waitFor[2] = {answered.get(), child.get()};
  const DWORD woke = WaitForMultipleObjects(2, waitFor, FALSE, kPluginChildTimeLimit);
  // Read once: the child may still be writing when it is found out.
  const LONG stage = control->stage;
  const LONG loading = control->loading;
  if (woke == WAIT_OBJECT_0 && stage == kChildAnswered) {
    const std::int32_t result = control->result;
    const std::uint64_t sectionValue = control->resultSection;
    const std::uint64_t headerBytes = control->headerBytes;
    const std::uint64_t pixelBytes = control->pixelBytes;
    if (result == 0) *bitmap = TakeAnswer(&child, sectionValue, headerBytes, pixelBytes);
    return kChildGaveAnswer;
  }
  child.Close();
  if (stage == kChildLoading && loading >= 0 && static_cast<size_t>(loading) < PluginFiles.size() &&
      !PluginFiles[static_cast<size_t>(loading)].empty()) {
    *faulted = static_cast<int>(loading);
    return kChildLoadFault;
  }
  return kChildFailed;
}

bool AnyPluginToLoad() {
  for (const std::wstring& file : PluginFiles) {
    if (!file.empty()) return true;
  }
  return false;
}

}  // namespace

void StartIsolatedPlugins(const std::wstring& folder, const std::wstring& childProgram) {
  PluginFiles = FindPluginFiles(folder);
  ChildProgram = childProgram;
}

void StopIsolatedPlugins() {
  PluginFiles.clear();
  ChildProgram.clear();
}

const std::wstring& PluginChildProgram() { return ChildProgram; }

const std::vector<std::wstring>& IsolatedPluginFiles() { return PluginFiles; }

HBITMAP DecodeWithPluginsIsolated(const wchar_t* childProgram, const wchar_t* path) {
  // Each run either answers or drops one more library, so this ends.
  while (AnyPluginToLoad()) {
    HBITMAP bitmap = nullptr;
    int faulted = -1;
    const ChildOutcome outcome = RunChild(childProgram, path, &bitmap, &faulted);
    if (outcome != kChildLoadFault) return bitmap;
    PluginFiles[static_cast<size_t>(faulted)].clear();
  }
  return nullptr;
}
