// The proposed install folder as the registry and the environment give it, read as the system
// stores them and brought into code page 932 whatever the system's own code page.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/FInpPath.h"
#include "rtl/Sjis.h"
#include "support/Registry.h"

namespace {

using rtl::Utf8ToSjis;

// HKEY_CLASSES_ROOT and HKEY_LOCAL_MACHINE redirected to keys of this process, and %ProgramFiles%
// set by each test.
class InstallFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(registry_.redirected());
    GetEnvironmentVariableW(L"ProgramFiles", savedProgramFiles_, MAX_PATH);
    SetEnvironmentVariableW(L"ProgramFiles", nullptr);
  }
  void TearDown() override { SetEnvironmentVariableW(L"ProgramFiles", savedProgramFiles_); }

  // The registered folder, stored with exactly these bytes (a terminating zero only if given).
  void Register(const std::wstring& data, DWORD type = REG_SZ) {
    rtl::TRegistryKey key = testing_support::CreateKey(registry_.classes(), L"Pelano5.Application\\dstDir");
    ASSERT_TRUE(key);
    ASSERT_EQ(RegSetValueExW(key.get(), nullptr, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size() * sizeof(wchar_t))),
              ERROR_SUCCESS);
  }
  void SetProgramFilesDir(const std::wstring& data) {
    rtl::TRegistryKey key =
        testing_support::CreateKey(registry_.machine(), L"Software\\Microsoft\\Windows\\CurrentVersion");
    ASSERT_TRUE(key);
    RegSetValueExW(key.get(), L"ProgramFilesDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  }
  std::string Proposed() {
    refused = true;
    return app::ProposedInstallFolder(refused);
  }

  bool refused = false;

 private:
  testing_support::RedirectedRegistry registry_;
  wchar_t savedProgramFiles_[MAX_PATH] = L"";
};

const wchar_t kJapaneseFolder[] = L"C:\\\u30d7\u30ed\u30b0\u30e9\u30e0\\\u307a\u3089\u306e\u8868\u793a";  // プログラム\ぺらの表示

TEST_F(InstallFolderTest, AJapaneseRegisteredFolderArrivesInCodePage932WhateverTheSystemsCodePage) {
  Register(std::wstring(kJapaneseFolder) + L'\0');
  EXPECT_EQ(Proposed(), Utf8ToSjis("C:\\プログラム\\ぺらの表示"));
  EXPECT_FALSE(refused);
}

TEST_F(InstallFolderTest, TheValueEndsAtItsFirstZeroWhateverItsStoredLength) {
  Register(L"D:\\Apps\\X");  // stored without a terminating zero
  EXPECT_EQ(Proposed(), "D:\\Apps\\X");
  Register(std::wstring(L"D:\\Apps\\Y\0garbage after the zero", 31));
  EXPECT_EQ(Proposed(), "D:\\Apps\\Y");
  Register(L"D:\\Apps\\Z", REG_EXPAND_SZ);
  EXPECT_EQ(Proposed(), "D:\\Apps\\Z");
}

TEST_F(InstallFolderTest, AKeyWithoutValueProposesAnEmptyFolderAndNoKeyTheDefault) {
  SetEnvironmentVariableW(L"ProgramFiles", L"C:\\Program Files");
  EXPECT_EQ(Proposed(), "C:\\Program Files\\PELANO5W");
  EXPECT_FALSE(refused);
  ASSERT_TRUE(testing_support::CreateKey(HKEY_CLASSES_ROOT, L"Pelano5.Application\\dstDir"));
  EXPECT_EQ(Proposed(), "");
  Register(L"");
  EXPECT_EQ(Proposed(), "");
}

TEST_F(InstallFolderTest, ARegisteredFolderBeyondTheBufferIsPassedOver) {
  SetEnvironmentVariableW(L"ProgramFiles", L"C:\\PF");
  std::wstring fits = L"C:\\" + std::wstring(126, L'\u3042');  // 3 + 252 bytes: 255 and the zero
  Register(fits);
  EXPECT_EQ(Proposed().size(), 255u);
  Register(fits + L"x");
  EXPECT_EQ(Proposed(), "C:\\PF\\PELANO5W");
  EXPECT_FALSE(refused);
}

TEST_F(InstallFolderTest, AFolderCodePage932CannotRepresentIsRefusedNotGuessed) {
  SetEnvironmentVariableW(L"ProgramFiles", L"C:\\Program Files");
  Register(L"C:\\\ud55c\uae00");  // Hangul, which code page 932 lacks
  EXPECT_EQ(Proposed(), "C:\\Program Files\\PELANO5W");
  EXPECT_TRUE(refused);
  Register(L"C:\\caf\u00e9");  // a Latin letter with an accent: no "best fit" to a plain e either
  EXPECT_EQ(Proposed(), "C:\\Program Files\\PELANO5W");
  EXPECT_TRUE(refused);
}

TEST_F(InstallFolderTest, TheProgramFilesFolderComesFromTheEnvironmentElseTheRegistry) {
  SetEnvironmentVariableW(L"ProgramFiles", L"C:\\\u30d7\u30ed\u30b0\u30e9\u30e0");
  SetProgramFilesDir(L"D:\\Registry Programs");
  EXPECT_EQ(app::ProgramFilesFolder(), Utf8ToSjis("C:\\プログラム"));
  SetEnvironmentVariableW(L"ProgramFiles", L"");  // set, but empty
  EXPECT_EQ(app::ProgramFilesFolder(), "D:\\Registry Programs");
  EXPECT_EQ(Proposed(), "D:\\Registry Programs\\PELANO5W");
  SetEnvironmentVariableW(L"ProgramFiles", nullptr);
  EXPECT_EQ(app::ProgramFilesFolder(), "D:\\Registry Programs");
  SetProgramFilesDir(L"D:\\\ud55c");
  EXPECT_EQ(app::ProgramFilesFolder(), "");
  EXPECT_EQ(Proposed(), "\\PELANO5W");
  EXPECT_TRUE(refused);
}

TEST_F(InstallFolderTest, WithoutAnyProgramFilesFolderTheProposalIsTheFolderNameAlone) {
  EXPECT_EQ(app::ProgramFilesFolder(), "");
  EXPECT_EQ(Proposed(), "\\PELANO5W");
  EXPECT_FALSE(refused);
}

}  // namespace
