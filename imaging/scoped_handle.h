// Small scope guards for kernel objects used by the image-loading code: a
// handle closed, a mapped view unmapped when the scope ends. Copying is
// deleted; release() hands the object on.
#pragma once

#include <windows.h>

// A kernel handle (file, event, section, process...) closed when the scope
// ends. Null and INVALID_HANDLE_VALUE both mean "none".
class ScopedHandle {
 public:
  explicit ScopedHandle(HANDLE handle = nullptr) : handle_(handle) {}
  ~ScopedHandle() { Close(); }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  void Reset(HANDLE handle) {
    Close();
    handle_ = handle;
  }
  void Close() {
    if (valid()) CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  HANDLE handle_;
};

// A view of a file-mapping section, unmapped when the scope ends.
class MappedView {
 public:
  explicit MappedView(void* view) : view_(view) {}
  ~MappedView() {
    if (view_) UnmapViewOfFile(view_);
  }
  MappedView(const MappedView&) = delete;
  MappedView& operator=(const MappedView&) = delete;
  BYTE* get() const { return static_cast<BYTE*>(view_); }

 private:
  void* view_;
};
