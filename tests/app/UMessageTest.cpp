#include "app/UMessage.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "Fixtures.h"
#include "rtl/Exception.h"
#include "rtl/Sjis.h"
#include "support/MessageOf.h"

namespace {

using rtl::Utf8ToSjis;

TEST(CatalogueTest, EveryEntryHasItsExactText) {
  struct Entry {
    const char* name;
    std::string (*load)();
    const char* utf8;
  };
  const Entry entries[] = {
      {"msgTitleFormat", app::msgTitleFormat, "ぺらの%d.%d%dアップデーター"},
      {"resUpdateVersion", app::resUpdateVersion, "UPDATEVERSION"},
      {"regInstallDirKey", app::regInstallDirKey, "Pelano5.Application\\dstDir"},
      {"exeFileName", app::exeFileName, "Pelano5.exe"},
      {"defaultFolderName", app::defaultFolderName, "\\PELANO5W"},
      {"msgNoUpdateNeeded", app::msgNoUpdateNeeded, "お使いのぺらのちゃんは、アップデートの必要がありません"},
      {"msgCannotUpdate", app::msgCannotUpdate, "このぺらのちゃんを、アップデートすることはできません"},
      {"resUpdateData", app::resUpdateData, "UPDATEDATA"},
      {"msgReadOnly", app::msgReadOnly, "ファイルが読み取り専用になっているためアップデートできません\r\n%s"},
      {"msgUnexpectedError", app::msgUnexpectedError, "予期しないエラーが発生しました\r\n%s"},
      {"msgUpdateDone", app::msgUpdateDone, "アップデートは正常に終了しました"},
      {"msgUpdateFailed", app::msgUpdateFailed, "アップデート処理に失敗しました"},
  };
  for (const Entry& entry : entries) {
    EXPECT_EQ(entry.load(), Utf8ToSjis(entry.utf8)) << entry.name;
  }
}

TEST(CatalogueTest, MessagesWithAReasonBreakTheLineBeforeIt) {
  for (const std::string& text : {app::msgReadOnly(), app::msgUnexpectedError()}) {
    ASSERT_GE(text.size(), 4u);
    EXPECT_EQ(text.substr(text.size() - 4), "\r\n%s");
  }
}

TEST(CatalogueTest, IsLoadedFromTheCurrentResourceModuleAtEachUse) {
  // A module without the catalogue has none of the texts; switching back brings them again.
  testing_support::DataModule bare("version_5_1_6_0.dll");
  ASSERT_NE(bare.get(), nullptr);
  app::SetResourceModule(bare.get());
  std::string missing = app::msgUpdateDone();
  app::SetResourceModule(nullptr);
  EXPECT_EQ(missing, "");
  EXPECT_EQ(app::msgUpdateDone(), Utf8ToSjis("アップデートは正常に終了しました"));
}

// Reads the record of a fixture module through the real resource path.
class UpdateVersionTest : public testing::Test {
 protected:
  void SetUp() override {
    app::UpdateMajor = -1;
    app::UpdateMinorRelease = -1;
  }
  void TearDown() override { app::SetResourceModule(nullptr); }

  // Loads the module and checks that its record has the size the fixture claims (-1: none).
  void Use(const char* name, int expectedRecordSize) {
    module_ = std::make_unique<testing_support::DataModule>(name);
    ASSERT_NE(module_->get(), nullptr) << name;
    HRSRC record = FindResourceW(module_->get(), L"UPDATEVERSION", RT_RCDATA);
    if (expectedRecordSize < 0) {
      ASSERT_EQ(record, nullptr) << name;
    } else {
      ASSERT_NE(record, nullptr) << name;
      ASSERT_EQ(SizeofResource(module_->get(), record), static_cast<DWORD>(expectedRecordSize)) << name;
    }
    app::SetResourceModule(module_->get());
  }

  template <typename E>
  std::string FailureOfRead() {
    return testing_support::MessageOf<E>([] { app::ReadUpdateVersion(); });
  }

  std::unique_ptr<testing_support::DataModule> module_;
};

TEST_F(UpdateVersionTest, ShippedRecordGivesFiveSixteen) {
  Use("record_shipped.dll", 8);
  app::ReadUpdateVersion();
  EXPECT_EQ(app::UpdateMajor, 5);
  EXPECT_EQ(app::UpdateMinorRelease, 16);
  EXPECT_EQ(app::FormatAppTitle(), Utf8ToSjis("ぺらの5.16アップデーター"));
}

TEST_F(UpdateVersionTest, ReservedWordIsNotRead) {
  Use("record_reserved.dll", 8);
  app::ReadUpdateVersion();
  EXPECT_EQ(app::UpdateMajor, 5);
  EXPECT_EQ(app::UpdateMinorRelease, 16);
  EXPECT_EQ(app::FormatAppTitle(), Utf8ToSjis("ぺらの5.16アップデーター"));
}

TEST_F(UpdateVersionTest, MinorAndReleaseZeroShowAsTwoZeroDigits) {
  Use("record_zero.dll", 8);
  app::ReadUpdateVersion();
  EXPECT_EQ(app::UpdateMajor, 5);
  EXPECT_EQ(app::UpdateMinorRelease, 0);
  EXPECT_EQ(app::FormatAppTitle(), Utf8ToSjis("ぺらの5.00アップデーター"));
}

TEST_F(UpdateVersionTest, ReleaseOfTenOrMoreCarriesIntoTheMinorDigit) {
  Use("record_carry.dll", 8);
  app::ReadUpdateVersion();
  EXPECT_EQ(app::UpdateMajor, 5);
  EXPECT_EQ(app::UpdateMinorRelease, 22);
  EXPECT_EQ(app::FormatAppTitle(), Utf8ToSjis("ぺらの5.22アップデーター"));
}

TEST_F(UpdateVersionTest, WordsAreUnsigned) {
  Use("record_max.dll", 8);
  app::ReadUpdateVersion();
  EXPECT_EQ(app::UpdateMajor, 65535);
  EXPECT_EQ(app::UpdateMinorRelease, 65535 * 10 + 65535);
  EXPECT_EQ(app::FormatAppTitle(), Utf8ToSjis("ぺらの65535.720885アップデーター"));
}

TEST_F(UpdateVersionTest, LongerRecordIsReadByItsFirstEightBytes) {
  Use("record_long.dll", 10);
  app::ReadUpdateVersion();
  EXPECT_EQ(app::UpdateMajor, 5);
  EXPECT_EQ(app::UpdateMinorRelease, 16);
}

TEST_F(UpdateVersionTest, RecordOneByteShortIsAReadError) {
  Use("record_short7.dll", 7);
  EXPECT_EQ(FailureOfRead<rtl::EReadError>(), Utf8ToSjis("ｽﾄﾘｰﾑからの読み込みｴﾗｰ"));
  EXPECT_EQ(app::UpdateMajor, -1);
  EXPECT_EQ(app::UpdateMinorRelease, -1);
}

TEST_F(UpdateVersionTest, SixByteRecordIsAReadError) {
  Use("record_short6.dll", 6);
  EXPECT_EQ(FailureOfRead<rtl::EReadError>(), Utf8ToSjis("ｽﾄﾘｰﾑからの読み込みｴﾗｰ"));
  EXPECT_EQ(app::UpdateMajor, -1);
  EXPECT_EQ(app::UpdateMinorRelease, -1);
}

TEST_F(UpdateVersionTest, MissingRecordIsAResourceError) {
  Use("record_none.dll", -1);
  EXPECT_EQ(FailureOfRead<rtl::EResNotFound>(), Utf8ToSjis("UPDATEVERSION ﾘｿｰｽが見つかりません"));
  EXPECT_EQ(app::UpdateMajor, -1);
}

TEST_F(UpdateVersionTest, WithoutAnotherModuleTheProgramsOwnIsRead) {
  // The test program carries the catalogue but no record.
  EXPECT_EQ(FailureOfRead<rtl::EResNotFound>(), Utf8ToSjis("UPDATEVERSION ﾘｿｰｽが見つかりません"));
}

}  // namespace
