#include "app/Paths.h"

#include "rtl/Sjis.h"

namespace app {

bool EndsWithChar(std::string_view s, char c) {
  if (s.empty()) return false;
  std::size_t last = rtl::LastCharStart(s);
  return last == s.size() - 1 && s[last] == c;
}

std::string AddBackslash(std::string_view s) {
  std::string result(s);
  if (!s.empty() && !EndsWithChar(s, '\\')) result += '\\';
  return result;
}

std::string RemoveBackslash(std::string_view s) {
  if (EndsWithChar(s, '\\')) s.remove_suffix(1);
  return std::string(s);
}

std::string JoinPath(std::string_view folder, std::string_view name) { return AddBackslash(folder).append(name); }

}  // namespace app
