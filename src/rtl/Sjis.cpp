#include "rtl/Sjis.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace rtl {

namespace {

constexpr UINT kSjis = 932;

std::wstring ToWide(UINT codePage, std::string_view text) {
  if (text.empty()) return {};
  int length = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

std::string FromWide(UINT codePage, std::wstring_view wide) {
  if (wide.empty()) return {};
  int length = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                   nullptr, nullptr);
  std::string text(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), text.data(), length, nullptr,
                      nullptr);
  return text;
}

}  // namespace

AnsiString Utf8ToSjis(std::string_view utf8) { return FromWide(kSjis, ToWide(CP_UTF8, utf8)); }
std::wstring SjisToWide(std::string_view sjis) { return ToWide(kSjis, sjis); }
AnsiString WideToSjis(std::wstring_view wide) { return FromWide(kSjis, wide); }
bool WideToSjisExactly(std::wstring_view wide, AnsiString& sjis) {
  AnsiString converted = WideToSjis(wide);
  if (SjisToWide(converted) != wide) return false;
  sjis = std::move(converted);
  return true;
}
std::string SjisToUtf8(std::string_view sjis) { return FromWide(CP_UTF8, ToWide(kSjis, sjis)); }

std::size_t LastCharStart(std::string_view s) {
  std::size_t start = std::string_view::npos;
  for (std::size_t i = 0; i < s.size();) {
    start = i;
    bool pair = IsSjisLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size();
    i += pair ? 2 : 1;
  }
  return start;
}

AnsiString Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list probe;
  va_copy(probe, args);
  int length = std::vsnprintf(nullptr, 0, format, probe);
  va_end(probe);
  std::string text;
  if (length > 0) {
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    text.assign(buffer.data(), static_cast<std::size_t>(length));
  }
  va_end(args);
  return text;
}

}  // namespace rtl
