#include "framework/FolderPaths.h"

#include <cwctype>

#include "framework/ErrorModeGuard.h"
#include "rtl/Handles.h"
#include "rtl/Sjis.h"

namespace framework {

namespace paths {

std::wstring WithBackslash(std::wstring path) {
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  return path;
}

bool SameFolder(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

std::size_t RootLength(const std::wstring& path) {
  if (path.size() >= 3 && iswalpha(path[0]) && path[1] == L':' && path[2] == L'\\') return 3;
  if (path.size() < 5 || path[0] != L'\\' || path[1] != L'\\' || path[2] == L'?' || path[2] == L'.') return 0;
  std::size_t server = path.find(L'\\', 2);
  if (server == std::wstring::npos || server == 2 || server + 1 >= path.size() || path[server + 1] == L'\\') return 0;
  std::size_t share = path.find(L'\\', server + 1);
  return share == std::wstring::npos ? path.size() : share + 1;
}

std::vector<std::wstring> PathParts(const std::wstring& path, std::size_t from) {
  std::vector<std::wstring> parts;
  std::size_t at = from;
  while (at < path.size()) {
    std::size_t end = path.find(L'\\', at);
    if (end == std::wstring::npos) end = path.size();
    if (end > at) parts.push_back(path.substr(at, end - at));
    at = end + 1;
  }
  return parts;
}

char DriveLetter(const std::wstring& path) {
  if (path.size() < 2 || path[1] != L':' || path[0] > 0x7F) return 0;
  return static_cast<char>(towupper(path[0]));
}

std::wstring ExpandFolder(const std::wstring& path) {
  auto fail = [&path](DWORD code) { return EInOutError(rtl::WideToSjis(path), code); };
  // Wildcards would make the look-ups below match other names.
  if (path.find_first_of(L"*?\"<>|") != std::wstring::npos) throw fail(ERROR_INVALID_NAME);
  TErrorModeGuard quiet;
  DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) throw fail(GetLastError());
  std::wstring full(needed, L'\0');
  DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) throw fail(GetLastError());
  full.resize(length);

  std::size_t rootLength = RootLength(full);
  if (rootLength == 0) throw fail(ERROR_BAD_PATHNAME);
  std::wstring result = WithBackslash(full.substr(0, rootLength));
  if (result[1] == L':') result[0] = towupper(result[0]);
  for (const std::wstring& part : PathParts(full, rootLength)) {
    WIN32_FIND_DATAW data{};
    rtl::TFindHandle found(FindFirstFileW((WithBackslash(result) + part).c_str(), &data));
    if (!found) throw fail(GetLastError());
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) throw fail(ERROR_DIRECTORY);
    result = WithBackslash(result) + data.cFileName;
  }
  WIN32_FIND_DATAW data{};
  rtl::TFindHandle contents(FindFirstFileW((WithBackslash(result) + L"*").c_str(), &data));
  if (!contents) {
    DWORD code = GetLastError();
    // An empty root has no entries at all, not even "." and "..".
    if (code != ERROR_FILE_NOT_FOUND && code != ERROR_NO_MORE_FILES) throw fail(code);
  }
  return result;
}

std::wstring CurrentFolder() {
  DWORD needed = GetCurrentDirectoryW(0, nullptr);
  std::wstring folder(needed, L'\0');
  DWORD length = GetCurrentDirectoryW(needed, folder.data());
  folder.resize(length < needed ? length : 0);
  try {
    return ExpandFolder(folder);
  } catch (const EInOutError&) {
    return folder;
  }
}

}  // namespace paths

EInOutError::EInOutError(std::string_view path, DWORD errorCode)
    : Exception(rtl::Format(rtl::Utf8ToSjis("ﾌｫﾙﾀﾞ %s に移動できません").c_str(), std::string(path).c_str()),
                errorCode) {}

std::string MinimizeName(const std::string& path, const std::function<bool(const std::string&)>& fits) {
  if (fits(path)) return path;
  std::wstring wide = rtl::SjisToWide(path);
  std::size_t rootLength = paths::RootLength(wide);
  // The drive (C:) or share (\\server\share) stays in front of "\..." as long as it can.
  std::wstring drive;
  std::wstring rest = wide;
  if (rootLength > 0) {
    drive = wide.substr(0, rootLength - (wide[rootLength - 1] == L'\\' ? 1 : 0));
    rest = wide.substr(drive.size());
  }
  std::vector<std::wstring> parts = paths::PathParts(rest, 0);
  if (parts.empty()) return path;
  const std::wstring& name = parts.back();
  std::vector<std::wstring> candidates;
  for (std::size_t cut = 1; cut < parts.size(); ++cut) {
    std::wstring candidate = drive + L"\\...";
    for (std::size_t i = cut; i < parts.size(); ++i) candidate += L"\\" + parts[i];
    candidates.push_back(candidate);
  }
  candidates.push_back(L"...\\" + name);
  for (const std::wstring& candidate : candidates) {
    std::string text = rtl::WideToSjis(candidate);
    if (fits(text)) return text;
  }
  return rtl::WideToSjis(candidates.back());
}

}  // namespace framework
