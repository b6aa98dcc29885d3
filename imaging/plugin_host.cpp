// The image-decoder plug-in host: see plugin_host.h.
#include "imaging/plugin_host.h"

#include <cstring>
#include <new>
#include <string>

#include "app/globals.h"
#include "imaging/dib_size.h"
#include "imaging/plugin_layout.h"

HMODULE* PluginTable = nullptr;
int PluginCount = 0;

namespace {

// Looks up an export by its ANSI name. GetProcAddress on a null module would
// search the program itself, so null entries are never looked into.
template <typename Proc>
Proc FindExport(HMODULE module, const char* name) {
  if (!module) return nullptr;
  // Through a plain function pointer type: converting FARPROC to a different
  // signature directly is a (harmless) warning with GCC.
  return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// A file handle closed when the scope ends.
class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() { Close(); }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  void Close() {
    if (valid()) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_;
};

// A directory search closed when the scope ends.
class FindHandle {
 public:
  FindHandle(const std::wstring& pattern, WIN32_FIND_DATAW* found) : handle_(FindFirstFileW(pattern.c_str(), found)) {}
  ~FindHandle() {
    if (valid()) FindClose(handle_);
  }
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

// The two blocks a plug-in handed over: freed (header first) when the scope ends.
class PluginBlocks {
 public:
  PluginBlocks(HLOCAL header, HLOCAL pixels) : header_(header), pixels_(pixels) {}
  ~PluginBlocks() {
    if (header_) LocalFree(header_);
    if (pixels_) LocalFree(pixels_);
  }
  PluginBlocks(const PluginBlocks&) = delete;
  PluginBlocks& operator=(const PluginBlocks&) = delete;

 private:
  HLOCAL header_;
  HLOCAL pixels_;
};

// A local-memory block locked for the length of the scope, with its size.
class LockedBlock {
 public:
  explicit LockedBlock(HLOCAL block)
      : block_(block), data_(block ? static_cast<const BYTE*>(LocalLock(block)) : nullptr), size_(data_ ? LocalSize(block) : 0) {}
  ~LockedBlock() {
    if (data_) LocalUnlock(block_);
  }
  LockedBlock(const LockedBlock&) = delete;
  LockedBlock& operator=(const LockedBlock&) = delete;
  const BYTE* data() const { return data_; }
  SIZE_T size() const { return size_; }

 private:
  HLOCAL block_;
  const BYTE* data_;
  SIZE_T size_;
};

// Reads exactly `size` bytes from the current position.
bool ReadExactly(HANDLE file, BYTE* buffer, DWORD size) {
  DWORD read = 0;
  return ReadFile(file, buffer, size, &read, nullptr) && read == size;
}

// Copies a successful GetPicture's output into *header and a new *pixels,
// after checking every size against the blocks it really handed over.
int TakePicture(HLOCAL headerBlock, HLOCAL pixelBlock, PluginBitmapInfo* header, std::unique_ptr<BYTE[]>* pixels) {
  LockedBlock headerData(headerBlock);
  LockedBlock pixelData(pixelBlock);
  if (!headerData.data() || !pixelData.data() || headerData.size() < kDibHeaderSize) return kPluginBadOutput;

  BITMAPINFOHEADER given;
  std::memcpy(&given, headerData.data(), sizeof given);
  const PluginHeaderFields fields = {given.biSize,        given.biWidth,     given.biHeight, given.biBitCount,
                                     given.biCompression, given.biSizeImage, given.biClrUsed};
  PluginPictureLayout layout;
  if (!PlanPluginPicture(fields, headerData.size(), pixelData.size(), &layout)) return kPluginBadOutput;

  std::memset(header, 0, sizeof *header);
  header->header = given;
  header->header.biSize = sizeof(BITMAPINFOHEADER);
  header->header.biSizeImage = layout.copyBytes;
  header->header.biClrUsed = layout.colorsUsed;
  header->header.biClrImportant = 0;
  std::memcpy(header->colors, headerData.data() + layout.tableOffset, layout.tableBytes);

  pixels->reset(new (std::nothrow) BYTE[layout.pixelBytes]);
  if (!*pixels) return kPluginNoneAccepted;
  std::memcpy(pixels->get(), pixelData.data(), layout.pixelBytes);
  return 0;
}

}  // namespace

void LoadPlugins() {
  // A table loaded before is released, not lost.
  UnloadPlugins();
  // A std::wstring holds the directory and any name the search returns whole.
  const std::wstring pattern = ModuleDirectory + L"\\*.spi";

  WIN32_FIND_DATAW found;
  int matches = 0;
  {
    FindHandle search(pattern, &found);
    if (!search.valid()) return;
    do {
      ++matches;
    } while (FindNextFileW(search.get(), &found));
  }

  HMODULE* table = new (std::nothrow) HMODULE[matches];
  if (!table) return;
  int filled = 0;
  {
    FindHandle search(pattern, &found);
    if (search.valid()) {
      do {
        const std::wstring path = ModuleDirectory + L"\\" + found.cFileName;
        table[filled++] = LoadLibraryW(path.c_str());
      } while (filled < matches && FindNextFileW(search.get(), &found));
    }
  }
  if (filled == 0) {
    delete[] table;
    return;
  }
  PluginTable = table;
  PluginCount = filled;
}

void UnloadPlugins() {
  for (int i = 0; i < PluginCount; ++i) {
    if (PluginTable[i]) FreeLibrary(PluginTable[i]);
  }
  delete[] PluginTable;
  PluginTable = nullptr;
  PluginCount = 0;
}

int ProbePlugins(const void* probe) {
  for (int i = 0; i < PluginCount; ++i) {
    const IsSupportedProc isSupported = FindExport<IsSupportedProc>(PluginTable[i], "IsSupported");
    if (!isSupported) continue;
    const int answer = isSupported(0, probe);
    if (answer != 0) return answer;
  }
  return 0;
}

int RunPluginDecode(const void* image, DWORD length, PluginBitmapInfo* header, std::unique_ptr<BYTE[]>* pixels) {
  pixels->reset();
  for (int i = 0; i < PluginCount; ++i) {
    const IsSupportedProc isSupported = FindExport<IsSupportedProc>(PluginTable[i], "IsSupported");
    const GetPictureProc getPicture = FindExport<GetPictureProc>(PluginTable[i], "GetPicture");
    if (!isSupported || !getPicture) continue;
    if (isSupported(0, image) == 0) continue;

    HLOCAL headerBlock = nullptr;
    HLOCAL pixelBlock = nullptr;
    const int result = getPicture(image, length, 1, &headerBlock, &pixelBlock, 0, 0);
    // After a failure the handles are not the host's to touch.
    if (result != 0) return result;
    PluginBlocks blocks(headerBlock, pixelBlock);
    const int taken = TakePicture(headerBlock, pixelBlock, header, pixels);
    if (taken != 0) pixels->reset();
    return taken;
  }
  return kPluginNoneAccepted;
}

HBITMAP DecodeWithPlugins(const wchar_t* path) {
  FileHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return nullptr;
  DWORD sizeHigh = 0;
  // A size whose low part is 0xFFFFFFFF is told from a failure by the error code.
  SetLastError(NO_ERROR);
  const DWORD size = GetFileSize(file.get(), &sizeHigh);
  if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return nullptr;
  // The plug-ins take a 32-bit length: a file of 4 GiB or more is not theirs.
  if (sizeHigh != 0) return nullptr;

  {
    std::unique_ptr<BYTE[]> probe(new (std::nothrow) BYTE[kProbeSize]());
    if (!probe) return nullptr;
    if (!ReadExactly(file.get(), probe.get(), size < kProbeSize ? size : kProbeSize)) return nullptr;
    if (ProbePlugins(probe.get()) == 0) return nullptr;
  }

  if (SetFilePointer(file.get(), 0, nullptr, FILE_BEGIN) != 0) return nullptr;
  // Plug-ins may examine kProbeSize bytes of whatever they are given, so a
  // short file image is zero-padded to that length; GetPicture gets the true one.
  const size_t imageBytes = size < kProbeSize ? kProbeSize : size;
  std::unique_ptr<BYTE[]> image(new (std::nothrow) BYTE[imageBytes]);
  if (!image) return nullptr;
  std::memset(image.get() + size, 0, imageBytes - size);
  if (!ReadExactly(file.get(), image.get(), size)) return nullptr;

  PluginBitmapInfo header;
  std::unique_ptr<BYTE[]> pixels;
  if (RunPluginDecode(image.get(), size, &header, &pixels) != 0) return nullptr;
  image.reset();
  file.Close();

  void* bits = nullptr;
  HBITMAP section =
      CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!section) return nullptr;
  // Never write past what the section was made with.
  DIBSECTION made;
  std::uint32_t allocated = 0;
  const DWORD copyBytes = header.header.biSizeImage;
  if (!bits || GetObjectW(section, sizeof made, &made) != sizeof made ||
      !DibImageSize(made.dsBmih.biBitCount, made.dsBmih.biWidth, made.dsBmih.biHeight, &allocated) ||
      allocated < copyBytes) {
    DeleteObject(section);
    return nullptr;
  }
  std::memcpy(bits, pixels.get(), copyBytes);
  return section;
}
