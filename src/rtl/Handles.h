// Owners of kernel handles and global memory blocks, each with its release call built in.
#pragma once

#include <windows.h>

#include <utility>

namespace rtl {

// Owns one handle of a kind and gives it back when it goes. Traits names the handle type, the value
// that means "none" and the call that gives a handle back (returning whether that worked).
template <typename Traits>
class TOwner {
 public:
  using Handle = typename Traits::Handle;

  TOwner() = default;
  explicit TOwner(Handle handle) : handle_(handle) {}
  ~TOwner() { reset(); }
  TOwner(TOwner&& other) noexcept : handle_(other.release()) {}
  TOwner& operator=(TOwner&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  TOwner(const TOwner&) = delete;
  TOwner& operator=(const TOwner&) = delete;

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != Traits::None(); }
  Handle release() { return std::exchange(handle_, Traits::None()); }
  void reset(Handle handle = Traits::None()) {
    close();
    handle_ = handle;
  }
  // Gives the handle back now and says whether that worked (true when there was none), for the
  // callers that must know, such as a file written and closed before it is moved into place.
  bool close() {
    Handle handle = release();
    return handle == Traits::None() || Traits::Close(handle);
  }

 private:
  Handle handle_ = Traits::None();
};

// A file, directory or device from CreateFileW: INVALID_HANDLE_VALUE when none.
struct TFileTraits {
  using Handle = HANDLE;
  static Handle None() { return INVALID_HANDLE_VALUE; }
  static bool Close(Handle handle) { return CloseHandle(handle) != 0; }
};
using TFileHandle = TOwner<TFileTraits>;

// Any other kernel object (process, thread, event, mapping): null when none.
struct TKernelTraits {
  using Handle = HANDLE;
  static Handle None() { return nullptr; }
  static bool Close(Handle handle) { return CloseHandle(handle) != 0; }
};
using TKernelHandle = TOwner<TKernelTraits>;

// A search from FindFirstFileW.
struct TFindTraits {
  using Handle = HANDLE;
  static Handle None() { return INVALID_HANDLE_VALUE; }
  static bool Close(Handle handle) { return FindClose(handle) != 0; }
};
using TFindHandle = TOwner<TFindTraits>;

// A global memory block from GlobalAlloc.
struct TGlobalTraits {
  using Handle = HGLOBAL;
  static Handle None() { return nullptr; }
  static bool Close(Handle handle) { return GlobalFree(handle) == nullptr; }
};
using TGlobalHandle = TOwner<TGlobalTraits>;

// A module loaded with LoadLibraryExW.
struct TModuleTraits {
  using Handle = HMODULE;
  static Handle None() { return nullptr; }
  static bool Close(Handle handle) { return FreeLibrary(handle) != 0; }
};
using TModuleHandle = TOwner<TModuleTraits>;

// An open registry key (RegCloseKey, in advapi32: only units that link it may use this owner).
struct TRegistryKeyTraits {
  using Handle = HKEY;
  static Handle None() { return nullptr; }
  static bool Close(Handle handle) { return RegCloseKey(handle) == ERROR_SUCCESS; }
};
using TRegistryKey = TOwner<TRegistryKeyTraits>;

// Locks a global memory block for its lifetime; get() is null when the lock failed.
class TGlobalLock {
 public:
  explicit TGlobalLock(HGLOBAL block) : block_(block), memory_(block ? GlobalLock(block) : nullptr) {}
  ~TGlobalLock() {
    if (memory_ != nullptr) GlobalUnlock(block_);
  }
  TGlobalLock(const TGlobalLock&) = delete;
  TGlobalLock& operator=(const TGlobalLock&) = delete;
  void* get() const { return memory_; }

 private:
  HGLOBAL block_;
  void* memory_;
};

}  // namespace rtl
