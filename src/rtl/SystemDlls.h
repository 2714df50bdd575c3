// The functions the program needs from DLLs that are not KnownDLLs (version, mpr, winspool). Windows
// looks for a statically imported DLL of that kind in the program's own folder first, where a copy
// planted beside a downloaded updater would run inside it, elevated. So none of them is imported:
// each is loaded at its first use from the system folder alone, and stays loaded.
#pragma once

#include <windows.h>
#include <winnetwk.h>
#include <winspool.h>

namespace rtl {

// How the process's DLL search was restricted: to the system folder alone, or, on a Windows 7
// without the update that brought SetDefaultDllDirectories, by taking the current folder out of it
// (the program's own folder stays in it then, so nothing but a KnownDLL may be imported statically,
// and every other DLL is loaded by its full path in the system folder).
enum class DllSearch { SystemFolderOnly, WithoutCurrentFolder };

// Restricts the DLL search of the whole process; the first thing the process does, before anything
// can load a DLL.
DllSearch RestrictDllSearchToSystemFolder();

// The flags that load a DLL of the system folder, by its full path, with the DLLs it imports taken
// from the system folder too.
DWORD SystemDllLoadFlags();

// The kernel's functions that not every supported Windows has are looked up when they are needed.
// A test may answer in the kernel's place, to take the road of a system without them; nullptr
// gives the kernel back.
using KernelLookup = FARPROC (*)(const char* name);
void SetKernelLookup(KernelLookup lookup);

// The address of a function of a DLL in the system folder, loaded on the first request; nullptr
// (with the last error set) when the DLL or the function is not there.
FARPROC SystemFunction(const wchar_t* dll, const char* name);

// Each stands for the Win32 function of the same name and answers as that function fails, with
// ERROR_PROC_NOT_FOUND, when it cannot be loaded.
namespace sys {
DWORD GetFileVersionInfoSizeW(LPCWSTR file, LPDWORD handle);
BOOL GetFileVersionInfoW(LPCWSTR file, DWORD handle, DWORD size, LPVOID data);
BOOL VerQueryValueW(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, PUINT length);
DWORD WNetGetConnectionW(LPCWSTR localName, LPWSTR remoteName, LPDWORD length);
BOOL GetDefaultPrinterW(LPWSTR buffer, LPDWORD size);
}  // namespace sys

}  // namespace rtl
