// Registry keys for tests, held by their owner so that a failed assertion closes them too.
#pragma once

#include <windows.h>

#include "rtl/Handles.h"

namespace testing_support {

// The key at path below root, created when missing, with all access; empty when it cannot be had.
inline rtl::TRegistryKey CreateKey(HKEY root, const wchar_t* path) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) return {};
  return rtl::TRegistryKey(key);
}

// The existing key at path below root with the given access; empty when it cannot be opened.
inline rtl::TRegistryKey OpenKey(HKEY root, const wchar_t* path, REGSAM access) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path, 0, access, &key) != ERROR_SUCCESS) return {};
  return rtl::TRegistryKey(key);
}

}  // namespace testing_support
