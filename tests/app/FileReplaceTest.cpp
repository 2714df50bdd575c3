#include "app/FileReplace.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <thread>

#include "rtl/Exception.h"
#include "rtl/Sjis.h"
#include "support/ScratchFolder.h"

namespace {

using testing_support::ReadWholeFile;
using testing_support::ScratchFolder;
using testing_support::WriteWholeFile;

std::vector<char> Pattern(std::size_t size, char seed) {
  std::vector<char> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(seed + i * 7 + (i >> 9));
  return bytes;
}

class FileReplaceTest : public ::testing::Test {
 protected:
  std::string Target() const { return rtl::WideToSjis(folder.File(L"Pelano5.exe")); }
  std::wstring TargetWide() const { return folder.File(L"Pelano5.exe"); }
  void Replace(const std::vector<char>& bytes) {
    app::ReplaceFileContents(Target(), bytes.data(), static_cast<int32_t>(bytes.size()));
  }
  std::string ExpectedCreateError() const {
    return rtl::Format(rtl::Utf8ToSjis("ﾌｧｲﾙ %s を作成できません").c_str(), Target().c_str());
  }

  ScratchFolder folder;
  std::vector<char> oldContent = Pattern(5000, 'o');
  std::vector<char> newContent = Pattern(300000, 'n');
};

TEST_F(FileReplaceTest, ReplacesAnExistingFileAndLeavesNothingElseBehind) {
  WriteWholeFile(TargetWide(), oldContent);
  Replace(newContent);
  EXPECT_EQ(ReadWholeFile(TargetWide()), newContent);
  EXPECT_EQ(folder.Entries(), std::vector<std::wstring>{L"Pelano5.exe"});
}

TEST_F(FileReplaceTest, CreatesATargetThatNoLongerExists) {
  Replace(newContent);
  EXPECT_EQ(ReadWholeFile(TargetWide()), newContent);
  EXPECT_EQ(folder.Entries(), std::vector<std::wstring>{L"Pelano5.exe"});
}

TEST_F(FileReplaceTest, ShrinksALargerFileToTheNewContent) {
  WriteWholeFile(TargetWide(), newContent);
  Replace(oldContent);
  EXPECT_EQ(ReadWholeFile(TargetWide()), oldContent);
}

TEST_F(FileReplaceTest, WritesAnEmptyContent) {
  WriteWholeFile(TargetWide(), oldContent);
  Replace({});
  EXPECT_TRUE(ReadWholeFile(TargetWide()).empty());
  EXPECT_EQ(folder.Entries().size(), 1u);
}

TEST_F(FileReplaceTest, ATargetHeldOpenWithoutSharingIsReportedAndKeptWhole) {
  WriteWholeFile(TargetWide(), oldContent);
  HANDLE held = CreateFileW(TargetWide().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  try {
    Replace(newContent);
    ADD_FAILURE() << "a file in use was replaced";
  } catch (const rtl::EFCreateError& error) {
    EXPECT_EQ(error.Message, ExpectedCreateError());
  }
  CloseHandle(held);
  EXPECT_EQ(ReadWholeFile(TargetWide()), oldContent);
  EXPECT_EQ(folder.Entries(), std::vector<std::wstring>{L"Pelano5.exe"});
}

TEST_F(FileReplaceTest, ATargetReleasedWithinTheRetryTimeIsReplaced) {
  WriteWholeFile(TargetWide(), oldContent);
  HANDLE held = CreateFileW(TargetWide().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  std::thread releaser([held] {
    Sleep(500);
    CloseHandle(held);
  });
  Replace(newContent);
  releaser.join();
  EXPECT_EQ(ReadWholeFile(TargetWide()), newContent);
  EXPECT_EQ(folder.Entries(), std::vector<std::wstring>{L"Pelano5.exe"});
}

TEST_F(FileReplaceTest, AMissingFolderIsReportedWithTheTargetPath) {
  std::string target = rtl::WideToSjis(folder.File(L"gone\\Pelano5.exe"));
  try {
    app::ReplaceFileContents(target, newContent.data(), static_cast<int32_t>(newContent.size()));
    ADD_FAILURE() << "wrote into a folder that does not exist";
  } catch (const rtl::EFCreateError& error) {
    EXPECT_EQ(error.Message, rtl::Format(rtl::Utf8ToSjis("ﾌｧｲﾙ %s を作成できません").c_str(), target.c_str()));
  }
  EXPECT_TRUE(folder.Entries().empty());
}

TEST_F(FileReplaceTest, KeepsAJapaneseFileName) {
  std::wstring name = folder.File(L"表示\\Pelano5.exe");
  CreateDirectoryW(folder.File(L"表示").c_str(), nullptr);
  app::ReplaceFileContents(rtl::WideToSjis(name), newContent.data(), static_cast<int32_t>(newContent.size()));
  EXPECT_EQ(ReadWholeFile(name), newContent);
}

// Runs only under a file-size limit (the app_disk_full test): the new content cannot be written
// out whole, and the old file must survive untouched.
TEST_F(FileReplaceTest, DiskFullLeavesTheOldFileWhole) {
  const char* limit = std::getenv("PEUPDATE_FILE_SIZE_LIMIT");
  if (limit == nullptr) GTEST_SKIP() << "needs the file-size limit of the app_disk_full test";
  std::vector<char> tooLarge = Pattern(static_cast<std::size_t>(std::atoi(limit)) * 4, 'x');
  WriteWholeFile(TargetWide(), oldContent);
  try {
    Replace(tooLarge);
    ADD_FAILURE() << "a write beyond the limit succeeded";
  } catch (const rtl::EWriteError& error) {
    EXPECT_EQ(error.Message, rtl::Utf8ToSjis("ｽﾄﾘｰﾑへの書き込みｴﾗｰ"));
  }
  EXPECT_EQ(ReadWholeFile(TargetWide()), oldContent);
  EXPECT_EQ(folder.Entries(), std::vector<std::wstring>{L"Pelano5.exe"});
}

}  // namespace
