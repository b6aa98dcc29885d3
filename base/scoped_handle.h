// The program's one idiom for releasing what a scope acquired: ScopedOwner,
// a handle owner parameterised by a small traits record per kind of handle
// (kernel handle, directory search, loaded module, memory DC, GDI object,
// local block, mapped view, GDI+ object, ...), ScopedSelection for an object selected into a DC,
// and ComPtr for COM interfaces. Copying is deleted; moving or release()
// hands the object on. The long-lived surfaces (DibSurface) keep
// their explicit Reset instead.
#pragma once

#include <windows.h>
#include <gdiplus.h>

#include <cstdint>
#include <cstdlib>

// Owns one T for the length of a scope and closes it through Traits:
//   typedef ... Type;                  the handle type
//   static Type Empty();               the value that owns nothing
//   static bool IsValid(Type);         whether a value needs closing
//   static bool Close(Type);           closes it; false when the close failed
template <typename Traits>
class ScopedOwner {
 public:
  typedef typename Traits::Type Type;

  explicit ScopedOwner(Type value = Traits::Empty()) : value_(value) {}
  ~ScopedOwner() { Close(); }
  ScopedOwner(const ScopedOwner&) = delete;
  ScopedOwner& operator=(const ScopedOwner&) = delete;
  // Moving hands the value on, as release() does.
  ScopedOwner(ScopedOwner&& other) noexcept : value_(other.release()) {}
  ScopedOwner& operator=(ScopedOwner&& other) noexcept {
    if (this != &other) Reset(other.release());
    return *this;
  }

  Type get() const { return value_; }
  bool valid() const { return Traits::IsValid(value_); }

  // Closes what is owned and takes value instead.
  void Reset(Type value) {
    Close();
    value_ = value;
  }
  // Closes what is owned now. Returns 0, or the system's error code when the
  // close failed (for a file, a write the system delayed fails only here).
  DWORD Close() {
    DWORD error = 0;
    if (Traits::IsValid(value_) && !Traits::Close(value_)) error = GetLastError();
    value_ = Traits::Empty();
    return error;
  }
  // Hands the value on; nothing is owned afterwards.
  Type release() {
    const Type value = value_;
    value_ = Traits::Empty();
    return value;
  }
  // Closes what is owned and gives the place a creating function stores into.
  Type* Receive() {
    Close();
    return &value_;
  }

 private:
  Type value_;
};

// A kernel handle (file, event, section, process, thread...). Null and
// INVALID_HANDLE_VALUE both mean "none".
struct KernelHandleTraits {
  typedef HANDLE Type;
  static Type Empty() { return nullptr; }
  static bool IsValid(Type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static bool Close(Type h) { return CloseHandle(h) != FALSE; }
};
typedef ScopedOwner<KernelHandleTraits> ScopedHandle;

// A started process, ended and waited for (a few seconds at most) before its
// handle is closed, whatever it is doing.
struct EndedProcessTraits : KernelHandleTraits {
  static bool Close(Type process) {
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 5000);
    return CloseHandle(process) != FALSE;
  }
};
typedef ScopedOwner<EndedProcessTraits> ScopedProcess;

// A directory search of FindFirstFileW.
struct FindHandleTraits {
  typedef HANDLE Type;
  static Type Empty() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Type h) { return h != INVALID_HANDLE_VALUE; }
  static bool Close(Type h) { return FindClose(h) != FALSE; }
};
typedef ScopedOwner<FindHandleTraits> ScopedFind;

// A module of LoadLibraryW, freed with FreeLibrary.
struct ModuleTraits {
  typedef HMODULE Type;
  static Type Empty() { return nullptr; }
  static bool IsValid(Type h) { return h != nullptr; }
  static bool Close(Type h) { return FreeLibrary(h) != FALSE; }
};
typedef ScopedOwner<ModuleTraits> ScopedModule;

// The function `name` of module, of type Function, looked up at run time so
// that the program still starts where a system lacks it; null when the module
// is null or has no such export.
template <typename Function>
Function LookUpFunction(HMODULE module, const char* name) {
  if (!module) return nullptr;
  // Through a plain function pointer: a direct cast from FARPROC warns.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// A memory DC of CreateCompatibleDC.
struct MemoryDcTraits {
  typedef HDC Type;
  static Type Empty() { return nullptr; }
  static bool IsValid(Type h) { return h != nullptr; }
  static bool Close(Type h) { return DeleteDC(h) != FALSE; }
};
typedef ScopedOwner<MemoryDcTraits> ScopedMemoryDc;

// A GDI object (bitmap, brush, pen...) deleted with DeleteObject.
template <typename Handle>
struct GdiObjectTraits {
  typedef Handle Type;
  static Type Empty() { return nullptr; }
  static bool IsValid(Type h) { return h != nullptr; }
  static bool Close(Type h) { return DeleteObject(h) != FALSE; }
};
typedef ScopedOwner<GdiObjectTraits<HBITMAP>> ScopedBitmap;

// A local-memory block of LocalAlloc.
struct LocalBlockTraits {
  typedef HLOCAL Type;
  static Type Empty() { return nullptr; }
  static bool IsValid(Type h) { return h != nullptr; }
  static bool Close(Type h) { return LocalFree(h) == nullptr; }
};
typedef ScopedOwner<LocalBlockTraits> ScopedLocal;

// A LocalLock on a block, undone with LocalUnlock (the block stays).
struct LocalLockTraits {
  typedef HLOCAL Type;
  static Type Empty() { return nullptr; }
  static bool IsValid(Type h) { return h != nullptr; }
  static bool Close(Type h) {
    LocalUnlock(h);
    return true;
  }
};
typedef ScopedOwner<LocalLockTraits> ScopedLocalLock;

// A view of a file-mapping section, unmapped with UnmapViewOfFile.
struct MappedViewTraits {
  typedef BYTE* Type;
  static Type Empty() { return nullptr; }
  static bool IsValid(Type p) { return p != nullptr; }
  static bool Close(Type p) { return UnmapViewOfFile(p) != FALSE; }
};
typedef ScopedOwner<MappedViewTraits> ScopedView;

// Maps a view (MapViewOfFile's arguments) into a ScopedView's value.
inline BYTE* MapView(HANDLE section, DWORD access) {
  return section ? static_cast<BYTE*>(MapViewOfFile(section, access, 0, 0, 0)) : nullptr;
}

// Memory of std::malloc.
struct HeapMemoryTraits {
  typedef std::uint8_t* Type;
  static Type Empty() { return nullptr; }
  static bool IsValid(Type p) { return p != nullptr; }
  static bool Close(Type p) {
    std::free(p);
    return true;
  }
};
typedef ScopedOwner<HeapMemoryTraits> ScopedHeapMemory;

// The clipboard, opened by this thread: the value is OpenClipboard's answer.
struct OpenClipboardTraits {
  typedef bool Type;
  static Type Empty() { return false; }
  static bool IsValid(Type open) { return open; }
  static bool Close(Type) { return CloseClipboard() != FALSE; }
};
typedef ScopedOwner<OpenClipboardTraits> ScopedClipboard;

// COM on this thread: the value is CoInitializeEx's result; only a successful
// start is undone.
struct ComApartmentTraits {
  typedef HRESULT Type;
  static Type Empty() { return E_FAIL; }
  static bool IsValid(Type result) { return SUCCEEDED(result); }
  static bool Close(Type) {
    CoUninitialize();
    return true;
  }
};
typedef ScopedOwner<ComApartmentTraits> ScopedComApartment;

// A GDI+ image or bitmap of the flat API, disposed of.
template <typename Image>
struct GdipImageTraits {
  typedef Image* Type;
  static Type Empty() { return nullptr; }
  static bool IsValid(Type p) { return p != nullptr; }
  static bool Close(Type p) { return Gdiplus::DllExports::GdipDisposeImage(p) == Gdiplus::Ok; }
};
typedef ScopedOwner<GdipImageTraits<Gdiplus::GpBitmap>> ScopedGdipBitmap;

// A GDI+ drawing context of the flat API, deleted.
struct GdipGraphicsTraits {
  typedef Gdiplus::GpGraphics* Type;
  static Type Empty() { return nullptr; }
  static bool IsValid(Type p) { return p != nullptr; }
  static bool Close(Type p) { return Gdiplus::DllExports::GdipDeleteGraphics(p) == Gdiplus::Ok; }
};
typedef ScopedOwner<GdipGraphicsTraits> ScopedGdipGraphics;

// An object selected into a DC, with the object it replaced put back when the
// scope ends. Selection is not ownership: the DC and the object belong to
// whoever made them.
class ScopedSelection {
 public:
  ScopedSelection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~ScopedSelection() {
    if (previous_) SelectObject(dc_, previous_);
  }
  ScopedSelection(const ScopedSelection&) = delete;
  ScopedSelection& operator=(const ScopedSelection&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// One reference to a COM interface, released when the scope ends.
template <typename Interface>
class ComPtr {
 public:
  ComPtr() : pointer_(nullptr) {}
  ~ComPtr() { Reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;

  Interface* get() const { return pointer_; }
  Interface* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }

  // Releases the reference held, if any.
  void Reset() {
    if (pointer_) pointer_->Release();
    pointer_ = nullptr;
  }
  // Releases the reference held and gives the place a creating function
  // stores the new one into (IID_PPV_ARGS(ptr.Receive()) included).
  Interface** Receive() {
    Reset();
    return &pointer_;
  }
  // The same place, for functions that take it as void** with an IID.
  void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }
  // Hands the reference on; nothing is held afterwards.
  Interface* Detach() {
    Interface* pointer = pointer_;
    pointer_ = nullptr;
    return pointer;
  }

 private:
  Interface* pointer_;
};
