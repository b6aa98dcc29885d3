// The image-decoder plug-in host: see plugin_host.h.
#include "imaging/plugin_host.h"

#include <cstring>
#include <new>

#include "base/scoped_handle.h"
#include "imaging/dib_size.h"
#include "imaging/plugin_layout.h"

std::vector<HMODULE> PluginTable;

namespace {

// Reads exactly `size` bytes from the current position.
bool ReadExactly(HANDLE file, BYTE* buffer, DWORD size) {
  DWORD read = 0;
  return ReadFile(file, buffer, size, &read, nullptr) && read == size;
}

}  // namespace

std::vector<std::wstring> FindPluginFiles(const std::wstring& folder) {
  std::vector<std::wstring> files;
  // A std::wstring holds the directory and any name the search returns whole.
  const std::wstring pattern = folder + L"\\*.spi";
  WIN32_FIND_DATAW found;
  ScopedFind search(FindFirstFileW(pattern.c_str(), &found));
  if (!search.valid()) return files;
  do {
    files.push_back(folder + L"\\" + found.cFileName);
  } while (FindNextFileW(search.get(), &found));
  return files;
}

void LoadPlugins(const std::wstring& folder) { LoadPluginFiles(FindPluginFiles(folder), nullptr); }

void LoadPluginFiles(const std::vector<std::wstring>& files, volatile LONG* loading) {
  // A table loaded before is released, not lost.
  UnloadPlugins();
  std::vector<HMODULE> table;
  table.reserve(files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    if (loading) InterlockedExchange(loading, static_cast<LONG>(i));
    table.push_back(files[i].empty() ? nullptr : LoadLibraryW(files[i].c_str()));
  }
  PluginTable = std::move(table);
}

void UnloadPlugins() {
  for (HMODULE module : PluginTable) {
    if (module) FreeLibrary(module);
  }
  PluginTable.clear();
}

int ProbePlugins(const void* probe) {
  for (HMODULE module : PluginTable) {
    const IsSupportedProc isSupported = LookUpFunction<IsSupportedProc>(module, "IsSupported");
    if (!isSupported) continue;
    const int answer = isSupported(0, static_cast<const BYTE*>(probe));
    if (answer != 0) return answer;
  }
  return 0;
}

int RunPluginGetPicture(const void* image, DWORD length, HLOCAL* header, HLOCAL* pixels) {
  *header = nullptr;
  *pixels = nullptr;
  const BYTE* bytes = static_cast<const BYTE*>(image);
  for (HMODULE module : PluginTable) {
    const IsSupportedProc isSupported = LookUpFunction<IsSupportedProc>(module, "IsSupported");
    const GetPictureProc getPicture = LookUpFunction<GetPictureProc>(module, "GetPicture");
    if (!isSupported || !getPicture) continue;
    if (isSupported(0, bytes) == 0) continue;

    HLOCAL headerBlock = nullptr;
    HLOCAL pixelBlock = nullptr;
    const int result = getPicture(bytes, length, 1, &headerBlock, &pixelBlock, 0, 0);
    // After a failure the handles are not the host's to touch.
    if (result != 0) return result;
    *header = headerBlock;
    *pixels = pixelBlock;
    return 0;
  }
  return kPluginNoneAccepted;
}

int TakePluginPicture(const void* headerData, std::uint64_t headerSize, const void* pixelData,
                      std::uint64_t pixelSize, PluginBitmapInfo* header, std::unique_ptr<BYTE[]>* pixels) {
  pixels->reset();
  if (!headerData || !pixelData || headerSize < kDibHeaderSize) return kPluginBadOutput;

  BITMAPINFOHEADER given;
  std::memcpy(&given, headerData, sizeof given);
  const PluginHeaderFields fields = {given.biSize,        given.biWidth,     given.biHeight, given.biBitCount,
                                     given.biCompression, given.biSizeImage, given.biClrUsed};
  PluginPictureLayout layout;
  if (!PlanPluginPicture(fields, headerSize, pixelSize, &layout)) return kPluginBadOutput;

  std::memset(header, 0, sizeof *header);
  header->header = given;
  header->header.biSize = sizeof(BITMAPINFOHEADER);
  header->header.biSizeImage = layout.copyBytes;
  header->header.biClrUsed = layout.colorsUsed;
  header->header.biClrImportant = 0;
  std::memcpy(header->colors, static_cast<const BYTE*>(headerData) + layout.tableOffset, layout.tableBytes);

  pixels->reset(new (std::nothrow) BYTE[layout.pixelBytes]);
  if (!*pixels) return kPluginNoneAccepted;
  std::memcpy(pixels->get(), pixelData, layout.pixelBytes);
  return 0;
}

int RunPluginDecode(const void* image, DWORD length, PluginBitmapInfo* header, std::unique_ptr<BYTE[]>* pixels) {
  pixels->reset();
  HLOCAL headerBlock = nullptr;
  HLOCAL pixelBlock = nullptr;
  const int result = RunPluginGetPicture(image, length, &headerBlock, &pixelBlock);
  if (result != 0) return result;
  // Freed header first, each unlocked before it is freed.
  ScopedLocal pixelOwner(pixelBlock);
  ScopedLocal headerOwner(headerBlock);
  const BYTE* headerData = headerBlock ? static_cast<const BYTE*>(LocalLock(headerBlock)) : nullptr;
  ScopedLocalLock headerLock(headerData ? headerBlock : nullptr);
  const BYTE* pixelData = pixelBlock ? static_cast<const BYTE*>(LocalLock(pixelBlock)) : nullptr;
  ScopedLocalLock pixelLock(pixelData ? pixelBlock : nullptr);
  return TakePluginPicture(headerData, headerData ? LocalSize(headerBlock) : 0, pixelData,
                           pixelData ? LocalSize(pixelBlock) : 0, header, pixels);
}

int ReadPluginImage(const wchar_t* path, std::unique_ptr<BYTE[]>* image, DWORD* length) {
  image->reset();
  *length = 0;
  ScopedHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return 0;
  DWORD sizeHigh = 0;
  // A size whose low part is 0xFFFFFFFF is told from a failure by the error code.
  SetLastError(NO_ERROR);
  const DWORD size = GetFileSize(file.get(), &sizeHigh);
  if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return 0;
  // The plug-ins take a 32-bit length: a file of 4 GiB or more is not theirs.
  if (sizeHigh != 0) return 0;

  {
    std::unique_ptr<BYTE[]> probe(new (std::nothrow) BYTE[kProbeSize]());
    if (!probe) return 0;
    if (!ReadExactly(file.get(), probe.get(), size < kProbeSize ? size : kProbeSize)) return 0;
    if (ProbePlugins(probe.get()) == 0) return 0;
  }

  if (SetFilePointer(file.get(), 0, nullptr, FILE_BEGIN) != 0) return 0;
  // Plug-ins may examine kProbeSize bytes of whatever they are given, so a
  // short file image is zero-padded to that length; GetPicture gets the true one.
  const size_t imageBytes = size < kProbeSize ? kProbeSize : size;
  std::unique_ptr<BYTE[]> whole(new (std::nothrow) BYTE[imageBytes]);
  if (!whole) return 0;
  std::memset(whole.get() + size, 0, imageBytes - size);
  if (!ReadExactly(file.get(), whole.get(), size)) return 0;
  *image = std::move(whole);
  *length = size;
  return 1;
}

HBITMAP CreatePluginSection(const PluginBitmapInfo& header, const BYTE* pixels) {
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
  std::memcpy(bits, pixels, copyBytes);
  return section;
}

HBITMAP DecodeWithPlugins(const wchar_t* path) {
  std::unique_ptr<BYTE[]> image;
  DWORD length = 0;
  if (!ReadPluginImage(path, &image, &length)) return nullptr;
  PluginBitmapInfo header;
  std::unique_ptr<BYTE[]> pixels;
  if (RunPluginDecode(image.get(), length, &header, &pixels) != 0) return nullptr;
  image.reset();
  return CreatePluginSection(header, pixels.get());
}
