#include "rtl/SystemDlls.h"

#include <string>

namespace rtl {

namespace {

// The function of that name, typed as the declaration of the Win32 function it stands for.
template <typename Function>
Function* Resolve(const wchar_t* dll, const char* name) {
  return reinterpret_cast<Function*>(reinterpret_cast<void*>(SystemFunction(dll, name)));
}

// What a function that could not be loaded answers: its failure value, with the reason.
template <typename Result>
Result Unavailable(Result failed) {
  SetLastError(ERROR_PROC_NOT_FOUND);
  return failed;
}

KernelLookup& Lookup() {
  static KernelLookup lookup = nullptr;
  return lookup;
}

FARPROC KernelFunction(const char* name) {
  if (Lookup() != nullptr) return Lookup()(name);
  return GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name);
}

// Windows 7 and Vista have the LOAD_LIBRARY_SEARCH_* flags only with the update that brought
// SetDefaultDllDirectories, and refuse them otherwise.
bool HasSearchFlags() { return KernelFunction("SetDefaultDllDirectories") != nullptr; }

}  // namespace

void SetKernelLookup(KernelLookup lookup) { Lookup() = lookup; }

DllSearch RestrictDllSearchToSystemFolder() {
  using SetDirectories = BOOL(WINAPI*)(DWORD);
  auto setDirectories =
      reinterpret_cast<SetDirectories>(reinterpret_cast<void*>(KernelFunction("SetDefaultDllDirectories")));
  if (setDirectories != nullptr && setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) return DllSearch::SystemFolderOnly;
  SetDllDirectoryW(L"");
  return DllSearch::WithoutCurrentFolder;
}

// With a full path, LOAD_WITH_ALTERED_SEARCH_PATH looks for the DLL's own imports in its folder
// first: the system folder.
DWORD SystemDllLoadFlags() { return HasSearchFlags() ? LOAD_LIBRARY_SEARCH_SYSTEM32 : LOAD_WITH_ALTERED_SEARCH_PATH; }

FARPROC SystemFunction(const wchar_t* dll, const char* name) {
  // By its full path: a bare name would also match a DLL of that name that something else has
  // already loaded from elsewhere. The flags keep the program's folder and the current folder out of
  // the search for every DLL it imports in turn.
  wchar_t path[MAX_PATH];
  UINT length = GetSystemDirectoryW(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;  // a bare name would be looked for elsewhere too
  std::wstring full = std::wstring(path, length) + L"\\" + dll;
  // The module stays loaded for the life of the process: its functions are kept once resolved.
  HMODULE module = LoadLibraryExW(full.c_str(), nullptr, SystemDllLoadFlags());
  if (module == nullptr) return nullptr;
  return GetProcAddress(module, name);
}

namespace sys {

DWORD GetFileVersionInfoSizeW(LPCWSTR file, LPDWORD handle) {
  static auto* const call = Resolve<decltype(::GetFileVersionInfoSizeW)>(L"version.dll", "GetFileVersionInfoSizeW");
  return call ? call(file, handle) : Unavailable<DWORD>(0);
}
BOOL GetFileVersionInfoW(LPCWSTR file, DWORD handle, DWORD size, LPVOID data) {
  static auto* const call = Resolve<decltype(::GetFileVersionInfoW)>(L"version.dll", "GetFileVersionInfoW");
  return call ? call(file, handle, size, data) : Unavailable<BOOL>(FALSE);
}
BOOL VerQueryValueW(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, PUINT length) {
  static auto* const call = Resolve<decltype(::VerQueryValueW)>(L"version.dll", "VerQueryValueW");
  return call ? call(block, subBlock, buffer, length) : Unavailable<BOOL>(FALSE);
}
DWORD WNetGetConnectionW(LPCWSTR localName, LPWSTR remoteName, LPDWORD length) {
  static auto* const call = Resolve<decltype(::WNetGetConnectionW)>(L"mpr.dll", "WNetGetConnectionW");
  return call ? call(localName, remoteName, length) : Unavailable<DWORD>(ERROR_PROC_NOT_FOUND);
}
BOOL GetDefaultPrinterW(LPWSTR buffer, LPDWORD size) {
  static auto* const call = Resolve<decltype(::GetDefaultPrinterW)>(L"winspool.drv", "GetDefaultPrinterW");
  return call ? call(buffer, size) : Unavailable<BOOL>(FALSE);
}

}  // namespace sys

}  // namespace rtl
