#include "app/Filever.h"

#include <gtest/gtest.h>

#include <array>

#include "Fixtures.h"
#include "rtl/Exception.h"
#include "rtl/Sjis.h"
#include "support/ScratchFolder.h"
#include "support/MessageOf.h"

namespace {

using testing_support::FixturePath;
using testing_support::ScratchFolder;

struct Installed {
  int32_t major;
  int32_t minorRelease;
  bool operator==(const Installed&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Installed& v) {
  return out << v.major << " / " << v.minorRelease;
}

Installed InstalledVersion(const std::string& path) {
  Installed v{-1, -1};
  app::GetInstalledVersion(path, v.major, v.minorRelease);
  return v;
}

std::wstring Wide(const std::string& sjis) { return rtl::SjisToWide(sjis); }

// A scratch folder's path in CP932, with a trailing backslash.
std::string Base(const ScratchFolder& scratch) { return rtl::WideToSjis(scratch.path()) + "\\"; }

bool CopyFixture(const char* fixture, const std::string& to) {
  return CopyFileW(Wide(FixturePath(fixture)).c_str(), Wide(to).c_str(), FALSE) != 0;
}

TEST(InstalledVersionTest, IsTheProductVersionOrZerosWithoutOne) {
  const struct {
    std::string path;
    Installed version;
    const char* why;
  } cases[] = {
      {FixturePath("version_5_1_6_0.dll"), {5, 16}, "the product version, not the file version 5.2.0.0"},
      {FixturePath("standin\\Pelano5.exe"), {5, 16}, "the stand-in application"},
      {FixturePath("version_5_1_5_9.dll"), {5, 15}, "the fourth number never matters"},
      {FixturePath("version_5_1_12_0.dll"), {5, 22}, "a release of ten or more carries, as the update's does"},
      {FixturePath("version_5_2_2_0.dll"), {5, 22}, "the same version written otherwise"},
      {FixturePath("version_max.dll"), {65535, 65535 * 10 + 65535}, "the largest words do not overflow"},
      {FixturePath("record_none.dll"), {0, 0}, "no version information"},
      {FixturePath("version_nofixed.dll"), {0, 0}, "no fixed version information"},
      {FixturePath("no-such-file.exe"), {0, 0}, "no file"},
      {FixturePath("no-such-folder\\Pelano5.exe"), {0, 0}, "no folder"},
      {"", {0, 0}, "no name"},
      {FixturePath("standin"), {0, 0}, "a folder is no executable"},
  };
  for (const auto& each : cases) EXPECT_EQ(InstalledVersion(each.path), each.version) << each.why;
}

TEST(InstalledVersionTest, FileThatIsNoExecutableGivesZeros) {
  ScratchFolder scratch;
  for (std::string content : {std::string(), std::string("MZ"), std::string(4096, 'x')}) {
    std::string path = Base(scratch) + "Pelano5.exe";
    testing_support::WriteWholeFile(Wide(path), std::vector<char>(content.begin(), content.end()));
    ASSERT_EQ(testing_support::ReadWholeFile(Wide(path)).size(), content.size());
    EXPECT_EQ(InstalledVersion(path), (Installed{0, 0})) << content.size() << " bytes";
  }
}

TEST(InstalledVersionTest, JapaneseFolderIsFoundWhateverTheSystemCodePage) {
  ScratchFolder scratch;
  std::string folder = Base(scratch) + rtl::Utf8ToSjis("ぺらの表");
  ASSERT_TRUE(CreateDirectoryW(Wide(folder).c_str(), nullptr));
  std::string path = folder + "\\Pelano5.exe";
  ASSERT_TRUE(CopyFixture("version_5_1_6_0.dll", path));
  EXPECT_EQ(InstalledVersion(path), (Installed{5, 16}));
}

// A path longer than 255 bytes is looked up by its first 255 bytes; one of 255 is read whole.
TEST(InstalledVersionTest, APathIsReadByItsFirst255Bytes) {
  ScratchFolder scratch;
  // One folder name padded so that <scratch><padding>\Pelano5.exe is exactly 255 bytes.
  const std::string name = "\\Pelano5.exe";
  const std::string base = Base(scratch);
  ASSERT_LT(base.size() + name.size(), 254u);
  const std::string folder = base + std::string(255 - base.size() - name.size(), 'p');
  ASSERT_TRUE(CreateDirectoryW(Wide(folder).c_str(), nullptr));
  const std::string at255 = folder + name;
  // The 256-byte file carries 5.1.6.0, but its first 255 bytes name a file not there yet.
  const std::string at256 = at255 + "x";
  ASSERT_TRUE(CopyFixture("version_5_1_6_0.dll", at256));
  EXPECT_EQ(InstalledVersion(at256), (Installed{0, 0}));
  ASSERT_TRUE(CopyFixture("version_5_1_5_9.dll", at255));
  EXPECT_EQ(InstalledVersion(at255), (Installed{5, 15}));
  EXPECT_EQ(InstalledVersion(at256), (Installed{5, 15}));
  EXPECT_EQ(InstalledVersion(at255 + "\\junk\\beyond.exe"), (Installed{5, 15}));
}

TEST(FileVerTest, GetVersionFillsTheFourProductNumbersInOrder) {
  app::TFileVer fileVer(FixturePath("version_5_1_5_9.dll"));
  std::array<uint16_t, 4> v{};
  ASSERT_TRUE(fileVer.GetVersion(v));
  EXPECT_EQ(v, (std::array<uint16_t, 4>{5, 1, 5, 9}));
  const VS_FIXEDFILEINFO* fixed = fileVer.GetFixedInfo();
  ASSERT_NE(fixed, nullptr);
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
}

TEST(FileVerTest, NoVersionLeavesTheArrayUntouched) {
  for (const char* name : {"record_none.dll", "version_nofixed.dll", "no-such-file.dll"}) {
    app::TFileVer fileVer(FixturePath(name));
    std::array<uint16_t, 4> v{7, 7, 7, 7};
    EXPECT_FALSE(fileVer.GetVersion(v)) << name;
    EXPECT_EQ(v, (std::array<uint16_t, 4>{7, 7, 7, 7})) << name;
    EXPECT_EQ(fileVer.GetFixedInfo(), nullptr) << name;
  }
}

TEST(FileVerTest, ShortArrayRaisesRangeErrorAtTheFirstIndexBeyondIt) {
  app::TFileVer fileVer(FixturePath("version_5_1_6_0.dll"));
  std::array<uint16_t, 4> v{9, 9, 9, 9};
  EXPECT_EQ(testing_support::MessageOf<rtl::ERangeError>([&] { fileVer.GetVersion(std::span<uint16_t>(v.data(), 3)); }),
            rtl::Utf8ToSjis("範囲ﾁｪｯｸｴﾗｰ"));
  // The entries before the failing index were written; the one beyond the array was not.
  EXPECT_EQ(v, (std::array<uint16_t, 4>{5, 1, 6, 9}));
  EXPECT_THROW(fileVer.GetVersion(std::span<uint16_t>()), rtl::ERangeError);
}

TEST(FileVerTest, LongerArrayKeepsItsFifthEntry) {
  app::TFileVer fileVer(FixturePath("version_5_1_6_0.dll"));
  std::array<uint16_t, 5> v{9, 9, 9, 9, 9};
  ASSERT_TRUE(fileVer.GetVersion(v));
  EXPECT_EQ(v, (std::array<uint16_t, 5>{5, 1, 6, 0, 9}));
}

TEST(FileVerTest, BlockIsKeptUntilTheNameChanges) {
  ScratchFolder scratch;
  std::string path = Base(scratch) + "Pelano5.exe";
  ASSERT_TRUE(CopyFixture("version_5_1_6_0.dll", path));
  app::TFileVer fileVer(path);
  ASSERT_TRUE(fileVer.LoadInfo());
  // Once loaded, the block answers without the file.
  ASSERT_TRUE(DeleteFileW(Wide(path).c_str()));
  std::array<uint16_t, 4> v{};
  ASSERT_TRUE(fileVer.GetVersion(v));
  EXPECT_EQ(v[1], 1);
  // Naming the file again releases the block; now the file is gone.
  fileVer.SetFileName(path);
  EXPECT_FALSE(fileVer.LoadInfo());
  fileVer.SetFileName(FixturePath("version_5_1_12_0.dll"));
  ASSERT_TRUE(fileVer.GetVersion(v));
  EXPECT_EQ(v, (std::array<uint16_t, 4>{5, 1, 12, 0}));
}

}  // namespace
