#include "rtl/SystemDlls.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// A Windows 7 without the update that brought SetDefaultDllDirectories and its flags.
FARPROC WithoutDllDirectories(const char* name) {
  for (const char* missing : {"SetDefaultDllDirectories", "AddDllDirectory", "RemoveDllDirectory"}) {
    if (std::strcmp(name, missing) == 0) return nullptr;
  }
  return GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name);
}

// Where such a system refuses the LOAD_LIBRARY_SEARCH_* flags, the system DLLs still come from the
// system folder, and the current folder leaves the search.
TEST(SystemDllsTest, WithoutTheSearchFlagsSystemDllsAreStillLoadedFromTheSystemFolder) {
  rtl::SetKernelLookup(WithoutDllDirectories);
  EXPECT_EQ(rtl::RestrictDllSearchToSystemFolder(), rtl::DllSearch::WithoutCurrentFolder);
  EXPECT_EQ(rtl::SystemDllLoadFlags(), static_cast<DWORD>(LOAD_WITH_ALTERED_SEARCH_PATH));
  FARPROC function = rtl::SystemFunction(L"mpr.dll", "WNetGetConnectionW");
  rtl::SetKernelLookup(nullptr);
  ASSERT_NE(function, nullptr);
  HMODULE module = nullptr;
  ASSERT_TRUE(GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                 reinterpret_cast<LPCWSTR>(function), &module));
  wchar_t loaded[MAX_PATH] = L"";
  wchar_t system[MAX_PATH] = L"";
  GetModuleFileNameW(module, loaded, MAX_PATH);
  GetSystemDirectoryW(system, MAX_PATH);
  EXPECT_EQ(CompareStringOrdinal(loaded, -1, (std::wstring(system) + L"\\mpr.dll").c_str(), -1, TRUE), CSTR_EQUAL);
  EXPECT_EQ(rtl::SystemDllLoadFlags(), static_cast<DWORD>(LOAD_LIBRARY_SEARCH_SYSTEM32));
}

}  // namespace
