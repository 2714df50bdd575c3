#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

#include "app/FDoUpdate.h"
#include "app/FInpPath.h"
#include "app/UMessage.h"
#include "data/UZLIB.h"
#include "rtl/ResourceStream.h"
#include "rtl/Sjis.h"
#include "support/ScratchFolder.h"
#include "support/MessageOf.h"

namespace {

const LPCWSTR kRcData = RT_RCDATA;

std::string Bytes(rtl::TCustomMemoryStream& stream) {
  return std::string(static_cast<const char*>(stream.Memory()), static_cast<std::size_t>(stream.GetSize()));
}

std::string ResourceBytes(const char* name) {
  rtl::TResourceStream resource(app::ResourceModule(), name, kRcData);
  return Bytes(resource);
}

TEST(ReadPayloadTest, InflatesAContainer) {
  rtl::TMemoryStream dest;
  app::ReadPayload(dest, "GOODDATA", kRcData);
  EXPECT_EQ(Bytes(dest), ResourceBytes("PLAINDATA"));
}

TEST(ReadPayloadTest, CopiesDataWithoutTheSignatureUnchanged) {
  rtl::TMemoryStream dest;
  app::ReadPayload(dest, "PLAINDATA", kRcData);
  EXPECT_EQ(Bytes(dest), ResourceBytes("PLAINDATA"));
}

TEST(ReadPayloadTest, AppendsAtTheDestinationsPosition) {
  rtl::TMemoryStream dest;
  dest.WriteBuffer("head", 4);
  app::ReadPayload(dest, "GOODDATA", kRcData);
  EXPECT_EQ(Bytes(dest), "head" + ResourceBytes("PLAINDATA"));
}

TEST(ReadPayloadTest, AMissingResourceNamesIt) {
  rtl::TMemoryStream dest;
  EXPECT_EQ(testing_support::MessageOf<rtl::EResNotFound>([&] { app::ReadPayload(dest, "UPDATEDATA", kRcData); }),
            rtl::Utf8ToSjis("UPDATEDATA ﾘｿｰｽが見つかりません"));
}

TEST(ReadPayloadTest, ADamagedBodyRaisesTheZlibError) {
  rtl::TMemoryStream dest;
  EXPECT_EQ(testing_support::MessageOf<data::EZlibError>([&] { app::ReadPayload(dest, "DAMAGEDDATA", kRcData); }),
            "error");
}

TEST(ReadPayloadTest, ABodyShorterThanAnnouncedRaisesTheReadError) {
  rtl::TMemoryStream dest;
  EXPECT_EQ(testing_support::MessageOf<rtl::EReadError>([&] { app::ReadPayload(dest, "SHORTDATA", kRcData); }),
            rtl::Utf8ToSjis("ｽﾄﾘｰﾑからの読み込みｴﾗｰ"));
  EXPECT_EQ(dest.GetSize(), 0);
}

class CheckNotReadOnlyTest : public ::testing::Test {
 protected:
  void SetUp() override { app::TargetPath = rtl::WideToSjis(folder.File(L"Pelano5.exe")); }
  testing_support::ScratchFolder folder;
};

TEST_F(CheckNotReadOnlyTest, RefusesAReadOnlyTargetWithItsPath) {
  testing_support::WriteWholeFile(folder.File(L"Pelano5.exe"), {'M', 'Z'});
  SetFileAttributesW(folder.File(L"Pelano5.exe").c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(testing_support::MessageOf<app::EReadOnly>([] { app::CheckNotReadOnly(); }), app::TargetPath);
}

TEST_F(CheckNotReadOnlyTest, PassesAWritableTargetAndAMissingOne) {
  EXPECT_NO_THROW(app::CheckNotReadOnly());
  testing_support::WriteWholeFile(folder.File(L"Pelano5.exe"), {'M', 'Z'});
  SetFileAttributesW(folder.File(L"Pelano5.exe").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_NO_THROW(app::CheckNotReadOnly());
}

}  // namespace

namespace {

TEST(ReadPayloadTest, LeavesAnEmptyMemoryStreamAfterTheDataLikeTheCopy) {
  rtl::TMemoryStream dest;
  app::ReadPayload(dest, "GOODDATA", kRcData);
  EXPECT_EQ(dest.GetPosition(), dest.GetSize());
  dest.WriteBuffer("tail", 4);
  EXPECT_EQ(Bytes(dest), ResourceBytes("PLAINDATA") + "tail");
}

}  // namespace
