// Code page 932 (Shift-JIS) strings: conversion at the Win32 boundary and double-byte awareness.
#pragma once

#include <string>
#include <string_view>

namespace rtl {

// Narrow strings throughout the program are CP932 bytes.
using AnsiString = std::string;

// UTF-8 source text to CP932, for literals the user sees.
AnsiString Utf8ToSjis(std::string_view utf8);
std::wstring SjisToWide(std::string_view sjis);
AnsiString WideToSjis(std::wstring_view wide);
// The CP932 form of wide text that CP932 represents exactly (it converts back to the same text);
// false for text with a character CP932 lacks, which a plain conversion would replace.
bool WideToSjisExactly(std::wstring_view wide, AnsiString& sjis);
std::string SjisToUtf8(std::string_view sjis);

// True for a byte that starts a two-byte CP932 character (0x81-0x9F, 0xE0-0xFC).
constexpr bool IsSjisLeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Byte offset of the first byte of the last whole character of s; npos when s is empty.
std::size_t LastCharStart(std::string_view s);

// printf-style formatting of CP932 text (%s copies bytes, %d formats integers).
AnsiString Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace rtl
