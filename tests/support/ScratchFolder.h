// A fresh folder under the temporary folder, removed with everything in it at the end of a test.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "rtl/Handles.h"

namespace testing_support {

class ScratchFolder {
 public:
  ScratchFolder() {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    static unsigned counter = 0;
    path_ = std::wstring(base) + L"peupdate-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++counter);
    // Wine gives out the same process ids again in a later session: what a killed run left under
    // this name goes first, so that a test starts from an empty folder.
    RemoveTree(path_);
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~ScratchFolder() { RemoveTree(path_); }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::wstring& path() const { return path_; }
  std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }

  // Names of the entries in the folder, "." and ".." left out.
  std::vector<std::wstring> Entries() const { return EntriesOf(path_); }
  static std::vector<std::wstring> EntriesOf(const std::wstring& folder) {
    std::vector<std::wstring> names;
    for (const WIN32_FIND_DATAW& found : Found(folder)) names.push_back(found.cFileName);
    return names;
  }

 private:
  // What a search of the folder finds, "." and ".." left out.
  static std::vector<WIN32_FIND_DATAW> Found(const std::wstring& folder) {
    std::vector<WIN32_FIND_DATAW> entries;
    WIN32_FIND_DATAW found;
    rtl::TFindHandle search(FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (!search) return entries;
    do {
      std::wstring name = found.cFileName;
      if (name != L"." && name != L"..") entries.push_back(found);
    } while (FindNextFileW(search.get(), &found));
    return entries;
  }

  static void RemoveTree(const std::wstring& folder) {
    for (const WIN32_FIND_DATAW& found : Found(folder)) {
      std::wstring child = folder + L"\\" + found.cFileName;
      SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(child);
      else DeleteFileW(child.c_str());
    }
    RemoveDirectoryW(folder.c_str());
  }

  std::wstring path_;
};

// Whole content of a file, or an empty vector when it cannot be read.
inline std::vector<char> ReadWholeFile(const std::wstring& path) {
  std::vector<char> bytes;
  rtl::TFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
  if (!file) return bytes;
  LARGE_INTEGER size;
  GetFileSizeEx(file.get(), &size);
  bytes.resize(static_cast<std::size_t>(size.QuadPart));
  DWORD read = 0;
  if (!bytes.empty()) ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  bytes.resize(read);
  return bytes;
}

inline void WriteWholeFile(const std::wstring& path, const std::vector<char>& bytes) {
  rtl::TFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  if (file && !bytes.empty()) WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace testing_support
