#include "rtl/Sjis.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>

namespace {

TEST(SjisTest, ConvertsJapaneseToCodePage932WhateverTheSystemCodePage) {
  // "ｽﾄﾘｰﾑ" is half-width katakana: one byte each in code page 932.
  EXPECT_EQ(rtl::Utf8ToSjis("ｽﾄﾘｰﾑ"), "\xBD\xC4\xD8\xB0\xD1");
  // "ぺ" is a double-byte character.
  EXPECT_EQ(rtl::Utf8ToSjis("ぺ"), "\x82\xD8");
  EXPECT_EQ(rtl::SjisToUtf8("\x82\xD8\xBD"), "ぺｽ");
  EXPECT_EQ(rtl::SjisToWide("\x95\x5C"), L"\u8868");  // 表: second byte is 0x5C
}

TEST(SjisTest, RunsUnderTheExpectedAnsiCodePage) {
  const char* expected = std::getenv("PEUPDATE_EXPECT_ACP");
  if (expected != nullptr) {
    EXPECT_EQ(GetACP(), static_cast<UINT>(std::atoi(expected)));
  }
}

TEST(SjisTest, LastCharStartTreatsDoubleByteCharactersWhole) {
  EXPECT_EQ(rtl::LastCharStart(""), std::string::npos);
  EXPECT_EQ(rtl::LastCharStart("a"), 0u);
  EXPECT_EQ(rtl::LastCharStart("a\x95\x5C"), 1u);
  EXPECT_EQ(rtl::LastCharStart("\x95\x5C\\"), 2u);
  // A lead byte at the very end stands alone.
  EXPECT_EQ(rtl::LastCharStart("ab\x95"), 2u);
}

TEST(SjisTest, FormatFillsNumbersAndText) {
  EXPECT_EQ(rtl::Format("%d.%d%d", 5, 1, 6), "5.16");
  EXPECT_EQ(rtl::Format("[%s]", "\x82\xD8"), "[\x82\xD8]");
  EXPECT_EQ(rtl::Format("%s", ""), "");
}

}  // namespace
