// Path routines over CP932 strings; a character is one whole character of one or two bytes.
#pragma once

#include <string>
#include <string_view>

namespace app {

// True when s is not empty and its last whole character is the single-byte character c.
bool EndsWithChar(std::string_view s, char c);
// s with "\" appended unless it is empty or already ends with "\".
std::string AddBackslash(std::string_view s);
// s without a trailing "\" (only a real one, never the second byte of a double-byte character).
std::string RemoveBackslash(std::string_view s);
// AddBackslash(folder) followed by name.
std::string JoinPath(std::string_view folder, std::string_view name);

}  // namespace app
