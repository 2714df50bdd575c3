// Folder paths for the file controls: the folder a path names as the system spells it, the parts
// of a path, and a path shortened to fit a width.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "rtl/Exception.h"

namespace framework {

// A folder that cannot be entered: missing, not a folder, unreadable, or on a drive that is not
// ready. SystemError is the system's error code.
class EInOutError : public rtl::Exception {
 public:
  EInOutError(std::string_view path, DWORD errorCode);
};

// path (CP932) shortened until fits accepts it: leading folder names are replaced by "...", one at
// a time ("C:\...\b\c", "C:\...\c"), then the drive goes too ("...\c"). The last form is returned
// when nothing fits.
std::string MinimizeName(const std::string& path, const std::function<bool(const std::string&)>& fits);

namespace paths {

// path with a "\" at its end (none added to an empty path).
std::wstring WithBackslash(std::wstring path);
// Whether a and b are the same folder name, ignoring case.
bool SameFolder(const std::wstring& a, const std::wstring& b);
// The length of the root of a full path: 3 for C:\, up to and including the "\" after the share
// for \\server\share\...; 0 for anything else (device paths included).
std::size_t RootLength(const std::wstring& path);
// The names between the backslashes of path from offset from on (empty ones left out).
std::vector<std::wstring> PathParts(const std::wstring& path, std::size_t from);
// The upper-case drive letter of a path that starts with one, or 0.
char DriveLetter(const std::wstring& path);
// The folder that path names, as the system spells every part of it, once it is known to be a
// folder whose contents can be read; raises EInOutError otherwise.
std::wstring ExpandFolder(const std::wstring& path);
// The process's current folder, expanded when that can be done.
std::wstring CurrentFolder();

}  // namespace paths

}  // namespace framework
