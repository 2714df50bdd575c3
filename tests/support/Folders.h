// The process's current folder, the test program's folder, folder names compared as the file
// system compares them, and a drive that is not there.
#pragma once

#include <windows.h>

#include <string>

#include "rtl/Sjis.h"

namespace testing_support {

inline std::wstring CurrentFolder() {
  wchar_t buffer[MAX_PATH];
  const DWORD length = GetCurrentDirectoryW(MAX_PATH, buffer);
  return std::wstring(buffer, length);
}

// The folder of the test program, with its trailing separator (CP932).
inline std::string ProgramFolder() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring program(path, length);
  return rtl::WideToSjis(program.substr(0, program.find_last_of(L"\\/") + 1));
}

// Whether two paths differ at most in case, which the file system ignores.
inline bool SamePath(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// The same for paths in CP932.
inline bool SamePath(const std::string& a, const std::string& b) {
  return SamePath(rtl::SjisToWide(a), rtl::SjisToWide(b));
}

// A drive letter with no drive behind it, from Y down to D; 0 when every one is taken.
inline char AbsentDrive() {
  const DWORD drives = GetLogicalDrives();
  for (char letter = 'Y'; letter >= 'D'; --letter) {
    if (!(drives & (1u << (letter - 'A')))) return letter;
  }
  return 0;
}

}  // namespace testing_support
