#include "app/Paths.h"

#include <gtest/gtest.h>

#include "rtl/Sjis.h"

namespace {

using app::AddBackslash;
using app::EndsWithChar;
using app::JoinPath;
using app::RemoveBackslash;

// "表" is 95 5C in code page 932: its second byte is the backslash's.
const std::string kHyo = "\x95\x5C";

TEST(PathsTest, FixtureCharacterEndsInTheBackslashByte) { ASSERT_EQ(rtl::Utf8ToSjis("表"), kHyo); }

TEST(PathsTest, EndsWithCharComparesWholeCharacters) {
  EXPECT_FALSE(EndsWithChar("", '\\'));
  EXPECT_TRUE(EndsWithChar("\\", '\\'));
  EXPECT_TRUE(EndsWithChar("C:\\", '\\'));
  EXPECT_FALSE(EndsWithChar("C:", '\\'));
  EXPECT_FALSE(EndsWithChar("C:\\" + kHyo, '\\'));
  EXPECT_FALSE(EndsWithChar(kHyo, '\\'));
  EXPECT_TRUE(EndsWithChar("C:\\" + kHyo + "\\", '\\'));
  // Two double-byte characters in a row: the pairing starts from the front.
  EXPECT_FALSE(EndsWithChar(kHyo + kHyo, '\\'));
  EXPECT_TRUE(EndsWithChar("a", 'a'));
  EXPECT_FALSE(EndsWithChar("ab", 'a'));
}

TEST(PathsTest, EndsWithCharAfterAHalfWidthKanaSeesTheBackslash) {
  // 0xB1 (half-width katakana) is one byte: the backslash after it is a character of its own.
  EXPECT_TRUE(EndsWithChar("\xB1\\", '\\'));
}

TEST(PathsTest, AddBackslash) {
  EXPECT_EQ(AddBackslash(""), "");
  EXPECT_EQ(AddBackslash("C:"), "C:\\");
  EXPECT_EQ(AddBackslash("C:\\"), "C:\\");
  EXPECT_EQ(AddBackslash("C:\\Program Files"), "C:\\Program Files\\");
  EXPECT_EQ(AddBackslash("C:\\" + kHyo), "C:\\" + kHyo + "\\");
  EXPECT_EQ(AddBackslash("C:\\" + kHyo + "\\"), "C:\\" + kHyo + "\\");
}

TEST(PathsTest, RemoveBackslash) {
  EXPECT_EQ(RemoveBackslash(""), "");
  EXPECT_EQ(RemoveBackslash("\\"), "");
  EXPECT_EQ(RemoveBackslash("C:\\"), "C:");
  EXPECT_EQ(RemoveBackslash("C:\\dir"), "C:\\dir");
  // Only one backslash goes.
  EXPECT_EQ(RemoveBackslash("C:\\dir\\\\"), "C:\\dir\\");
  EXPECT_EQ(RemoveBackslash("C:\\" + kHyo), "C:\\" + kHyo);
  EXPECT_EQ(RemoveBackslash("C:\\" + kHyo + "\\"), "C:\\" + kHyo);
}

TEST(PathsTest, JoinPath) {
  EXPECT_EQ(JoinPath("C:\\PELANO5W", "Pelano5.exe"), "C:\\PELANO5W\\Pelano5.exe");
  EXPECT_EQ(JoinPath("C:\\PELANO5W\\", "Pelano5.exe"), "C:\\PELANO5W\\Pelano5.exe");
  EXPECT_EQ(JoinPath("C:\\", "Pelano5.exe"), "C:\\Pelano5.exe");  // a drive root: no doubled backslash
  EXPECT_EQ(JoinPath("C:\\" + kHyo, "Pelano5.exe"), "C:\\" + kHyo + "\\Pelano5.exe");
  // An empty folder gives the bare name.
  EXPECT_EQ(JoinPath("", "Pelano5.exe"), "Pelano5.exe");
  EXPECT_EQ(JoinPath("C:", ""), "C:\\");
}

}  // namespace
