#include "data/UResStream.h"
#include "rtl/Exception.h"
#include "rtl/Handles.h"
#include "rtl/Sjis.h"
#include "support/MessageOf.h"
#include "support/ResFileWriter.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using testing_support::Field;
using testing_support::MessageOf;
using testing_support::ResFileWriter;

std::string NotFoundText(const std::string& name) { return name + rtl::Utf8ToSjis(" ﾘｿｰｽが見つかりません"); }

std::string ReadAll(rtl::TStream& stream) {
  std::string bytes(static_cast<std::size_t>(stream.GetSize()), '\0');
  stream.SetPosition(0);
  stream.ReadBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  return bytes;
}

std::string FileBytes(const std::wstring& path) {
  const std::vector<char> bytes = testing_support::ReadWholeFile(path);
  return std::string(bytes.begin(), bytes.end());
}

// Each test writes its .RES file into a scratch folder of its own.
class ResStreamFile : public ::testing::Test {
 protected:
  void WriteFile(const std::string& bytes) { testing_support::WriteWholeFile(path_, {bytes.begin(), bytes.end()}); }
  void WriteFile(const ResFileWriter& writer) { WriteFile(writer.Bytes()); }

  std::string Load(const std::string& resName, const data::TResType& resType) {
    data::TResStream stream(fileName_, resName, resType);
    EXPECT_EQ(stream.GetPosition(), 0);
    return ReadAll(stream);
  }

  void ExpectNotFound(const std::string& resName, const data::TResType& resType) {
    EXPECT_EQ(MessageOf<rtl::EResNotFound>([&] { data::TResStream stream(fileName_, resName, resType); }),
              NotFoundText(resName));
  }

  testing_support::ScratchFolder folder_;
  std::wstring path_ = folder_.File(L"test.res");
  std::string fileName_ = rtl::WideToSjis(path_);
};

// The type is matched first, then the name: names as text in any letter case and never longer or
// shorter, type names as text in any case and never a number, ordinal fields never by a name; the
// first of two entries of the same key wins.
TEST_F(ResStreamFile, FindsTheFirstEntryOfTheTypeAndNameInAnyLetterCase) {
  WriteFile(ResFileWriter()
                .EmptyEntry()
                .Entry(Field::Ordinal(3), Field::Name(u"LOGO"), "icon")
                .Entry(Field::Name(u"BITMAP"), Field::Name(u"LOGO"), "named type")
                .Entry(Field::Ordinal(2), Field::Name(u"OTHER"), "other bits")
                .Entry(Field::Ordinal(2), Field::Name(u"LOGOX"), "longer")
                .Entry(Field::Ordinal(2), Field::Name(u"LOG"), "shorter")
                .Entry(Field::Ordinal(2), Field::Name(u"LOGO2"), "digit")
                .Entry(Field::Ordinal(2), Field::Name(u"WORDX"), "longer word")
                .Entry(Field::Ordinal(2), Field::Name(u"WOR"), "shorter word")
                .Entry(Field::Ordinal(2), Field::Name(u"Logo"), "first")
                .Entry(Field::Ordinal(2), Field::Name(u"LOGO"), "second")
                .Entry(Field::Name(u"JPEG"), Field::Name(u"PIC"), "jpeg data")
                .Entry(Field::Name(u"2"), Field::Name(u"NUM"), "text two")
                .Entry(Field::Ordinal(2), Field::Ordinal(1), "ordinal name")
                .Entry(Field::Ordinal(0x4A), Field::Name(u"X"), "ordinal type")
                .Entry(Field::Ordinal(10), Field::Ordinal(5), "number five")
                .Entry(Field::Ordinal(10), Field::Name(u"#5"), "named #5")
                .Entry(Field::Ordinal(10), Field::Ordinal(7), "number seven")
                .Entry(Field::Ordinal(10), Field::Name(u"EMPTY"), "")
                .Entry(Field::Ordinal(10), Field::Name(u"FULL"), "some data")
                .Entry(Field::Name(u"画像"), Field::Name(u"ロゴ"), "japanese"));
  const struct {
    std::string name;
    data::TResType type;
    const char* data;  // none: not found
  } cases[] = {
      {"LOGO", 2, "first"},
      {"logo", 2, "first"},
      {"LoGo", 2, "first"},
      {"LOGO", MAKEINTRESOURCEA(2), "first"},  // MAKEINTRESOURCE is the ordinal
      {"LOGO", 3, "icon"},
      {"LOGO", "bitmap", "named type"},
      {"LOGO", 14, nullptr},
      {"LOG", 2, "shorter"},
      {"logox", 2, "longer"},
      {"LO", 2, nullptr},
      {"LOGOXY", 2, nullptr},
      {"WORD", 2, nullptr},
      {"PIC", "JPEG", "jpeg data"},
      {"pic", "jpeg", "jpeg data"},
      {"PIC", std::string("Jpeg"), "jpeg data"},
      {"PIC", "JPG", nullptr},
      {"PIC", "JPEGS", nullptr},
      {"NUM", 2, nullptr},  // a type named "2" is no ordinal
      {"NUM", "2", "text two"},
      {"#1", 2, nullptr},  // names are always compared as text: "#1" is not the ordinal 1
      {"1", 2, nullptr},
      {"X", "#74", nullptr},
      {"X", "J", nullptr},  // 0x4A as the second word of the field is no name
      {"X", 0x4A, "ordinal type"},
      {"#5", 10, "named #5"},
      {"#7", 10, nullptr},
      {"EMPTY", 10, ""},
      {"FULL", 10, "some data"},
      {rtl::Utf8ToSjis("ロゴ"), rtl::Utf8ToSjis("画像"), "japanese"},  // CP932 keys match their UTF-16 form
      {rtl::Utf8ToSjis("ロ"), rtl::Utf8ToSjis("画像"), nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.data != nullptr) {
      EXPECT_EQ(Load(c.name, c.type), c.data);
    } else {
      ExpectNotFound(c.name, c.type);
    }
  }
  EXPECT_THROW(data::TResType(0x10000), rtl::ERangeError);
}

TEST_F(ResStreamFile, StepsOverEntriesWhoseSizesAreNotMultiplesOfFour) {
  ResFileWriter writer;
  writer.EmptyEntry();
  // Data of 1, 2, 3, 5 bytes, and headers left unpadded (names of odd and even length).
  writer.Entry(Field::Ordinal(2), Field::Name(u"A"), "1", {.alignedHeader = false});
  writer.Entry(Field::Ordinal(2), Field::Name(u"AB"), "22", {.alignedHeader = false});
  writer.Entry(Field::Ordinal(2), Field::Name(u"ABC"), "333");
  writer.Entry(Field::Name(u"JPG"), Field::Name(u"ABCD"), "55555", {.alignedHeader = false});
  writer.Entry(Field::Ordinal(2), Field::Name(u"ABCDE"), "target", {.alignedHeader = false});
  WriteFile(writer);
  EXPECT_EQ(Load("ABCDE", 2), "target");
  EXPECT_EQ(Load("A", 2), "1");
  EXPECT_EQ(Load("AB", 2), "22");
  EXPECT_EQ(Load("ABC", 2), "333");
  EXPECT_EQ(Load("ABCD", "jpg"), "55555");
}

TEST_F(ResStreamFile, TheEmptyOpeningEntryIsSkippedAndAFileOfItAloneHoldsNothing) {
  ResFileWriter writer;
  writer.EmptyEntry();
  ASSERT_EQ(writer.Bytes().size(), 32u);
  WriteFile(writer);
  ExpectNotFound("LOGO", 2);
  // Even a key that is the empty entry's own type finds no name there.
  ExpectNotFound("", 0);
}

TEST_F(ResStreamFile, KeysAreLimitedTo258Characters) {
  const std::string longest(258, 'N');
  const std::u16string longestName(258, u'n');
  WriteFile(ResFileWriter().EmptyEntry().Entry(Field::Ordinal(2), Field::Name(longestName), "long"));
  EXPECT_EQ(Load(longest, 2), "long");
  EXPECT_THROW(data::TResStream(fileName_, longest + "N", 2), rtl::ERangeError);
  EXPECT_THROW(data::TResStream(fileName_, "LOGO", std::string(259, 'T')), rtl::ERangeError);
}

TEST_F(ResStreamFile, AnEntryOfNoSizeEndsTheScan) {
  WriteFile(ResFileWriter()
                .EmptyEntry()
                .Entry(Field::Ordinal(5), Field::Name(u"STOP"), "", {.dataSizeField = 0, .headerSizeField = 0})
                .Entry(Field::Ordinal(2), Field::Name(u"LOGO"), "unreachable"));
  ExpectNotFound("LOGO", 2);
  // A header of 5 bytes is rounded up to 8 and the scan moves on.
  WriteFile(ResFileWriter()
                .EmptyEntry()
                .U32(0)
                .U32(5)
                .Entry(Field::Ordinal(2), Field::Name(u"LOGO"), "reached"));
  EXPECT_EQ(Load("LOGO", 2), "reached");
}

TEST_F(ResStreamFile, ATruncatedEntryHeaderRaisesTheReadError) {
  const std::string readError = rtl::Utf8ToSjis("ｽﾄﾘｰﾑからの読み込みｴﾗｰ");
  ResFileWriter writer;
  writer.EmptyEntry();
  for (std::size_t extra : {1u, 4u, 7u}) {
    WriteFile(writer.Bytes() + std::string(extra, '\0'));
    EXPECT_EQ(MessageOf<rtl::EReadError>([&] { data::TResStream stream(fileName_, "LOGO", 2); }), readError) << extra;
  }
  // Sizes present but the numeric type field cut short.
  WriteFile(writer.Bytes() + std::string("\x10\0\0\0\x20\0\0\0\xFF\xFF", 10));
  EXPECT_THROW(data::TResStream(fileName_, "LOGO", 2), rtl::EReadError);
  // A text key reading past the end simply does not match.
  ExpectNotFound("LOGO", "JPEG");
}

TEST_F(ResStreamFile, AMatchingEntryClaimingMoreDataThanTheFileHoldsRaisesTheReadError) {
  ResFileWriter writer;
  writer.EmptyEntry().Entry(Field::Ordinal(2), Field::Name(u"LOGO"), "12345678", {.dataSizeField = 9});
  WriteFile(writer);
  EXPECT_THROW(data::TResStream(fileName_, "LOGO", 2), rtl::EReadError);
  // One byte less than the file holds is fine.
  WriteFile(ResFileWriter().EmptyEntry().Entry(Field::Ordinal(2), Field::Name(u"LOGO"), "12345678",
                                               {.dataSizeField = 7}));
  EXPECT_EQ(Load("LOGO", 2), "1234567");
  WriteFile(ResFileWriter().EmptyEntry().Entry(Field::Ordinal(2), Field::Name(u"LOGO"), "1",
                                               {.dataSizeField = 100000000}));
  EXPECT_THROW(data::TResStream(fileName_, "LOGO", 2), rtl::EReadError);
}

TEST_F(ResStreamFile, ANonMatchingEntryClaimingMoreThanTheFileEndsTheScan) {
  WriteFile(ResFileWriter()
                .EmptyEntry()
                .Entry(Field::Ordinal(2), Field::Name(u"BIG"), "x", {.dataSizeField = 100000000})
                .Entry(Field::Ordinal(2), Field::Name(u"LOGO"), "behind"));
  ExpectNotFound("LOGO", 2);
}

TEST_F(ResStreamFile, SizesThatCannotBeRoundedOrPassTheLargestOffsetOverflow) {
  const std::string typeField("\xFF\xFF\x02\0", 4);
  // At entry 0 with no header, the largest roundable data size ends exactly below 2^31.
  WriteFile(ResFileWriter().U32(0x7FFFFFFC).U32(0).Raw(typeField + "...."));
  ExpectNotFound("LOGO", 2);
  WriteFile(ResFileWriter().U32(0x7FFFFFFD).U32(0).Raw(typeField + "...."));
  EXPECT_THROW(data::TResStream(fileName_, "LOGO", 2), rtl::EIntOverflow);
  WriteFile(ResFileWriter().U32(0).U32(0xFFFFFFFF).Raw(typeField + "...."));
  EXPECT_THROW(data::TResStream(fileName_, "LOGO", 2), rtl::EIntOverflow);
  // Further in, the next entry's position would pass 2^31 - 1.
  WriteFile(ResFileWriter().EmptyEntry().U32(0x7FFFFFFC).U32(0x20).Raw(typeField + "...."));
  EXPECT_THROW(data::TResStream(fileName_, "LOGO", 2), rtl::EIntOverflow);
}

TEST_F(ResStreamFile, WritesChangeOnlyTheMemoryCopy) {
  WriteFile(ResFileWriter().EmptyEntry().Entry(Field::Ordinal(2), Field::Name(u"LOGO"), "abcd"));
  const std::string before = FileBytes(path_);
  data::TResStream stream(fileName_, "LOGO", 2);
  stream.SetPosition(4);
  stream.WriteBuffer("ef", 2);
  EXPECT_EQ(ReadAll(stream), "abcdef");
  EXPECT_EQ(FileBytes(path_), before);
}

TEST_F(ResStreamFile, TheFileIsOpenOnlyWhileCreating) {
  WriteFile(ResFileWriter().EmptyEntry().Entry(Field::Ordinal(2), Field::Name(u"LOGO"), "kept"));
  data::TResStream stream(fileName_, "LOGO", 2);
  ASSERT_TRUE(DeleteFileW(path_.c_str()));
  EXPECT_EQ(ReadAll(stream), "kept");
}

TEST_F(ResStreamFile, AFileHeldOpenElsewhereRaisesTheOpenError) {
  WriteFile(ResFileWriter().EmptyEntry().Entry(Field::Ordinal(2), Field::Name(u"LOGO"), "x"));
  // Even a reader that lets everyone else read and write keeps the scan out: it wants the file alone.
  rtl::TFileHandle held(CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);
  EXPECT_EQ(MessageOf<rtl::EFOpenError>([&] { data::TResStream stream(fileName_, "LOGO", 2); }),
            rtl::Utf8ToSjis("ﾌｧｲﾙ ") + fileName_ + rtl::Utf8ToSjis(" は開けません"));
}

TEST_F(ResStreamFile, AFileWithoutTheResourceDoesNotFallBackToTheModule) {
  WriteFile(ResFileWriter().EmptyEntry().Entry(Field::Ordinal(10), Field::Name(u"OTHER"), "x"));
  ExpectNotFound("MODLOGO", 10);
}

// Without a resource file, the test program's own resources (DataTest.rc) are read.

TEST(ResStreamModule, AnEmptyOrMissingFileNameReadsTheModule) {
  testing_support::ScratchFolder folder;
  const std::string missing = rtl::WideToSjis(folder.File(L"no-such-file.res"));
  const std::string temp = rtl::WideToSjis(folder.path());  // a folder is no file
  for (const std::string& fileName : {std::string(), missing, temp}) {
    data::TResStream stream(fileName, "modlogo", 10);
    EXPECT_EQ(stream.GetPosition(), 0);
    EXPECT_EQ(ReadAll(stream), "from the module") << fileName;
  }
  data::TResStream picture("", "MODPIC", "jpeg");
  EXPECT_EQ(ReadAll(picture), "module jpeg");
}

TEST(ResStreamModule, ANameOfANumberSignAndDigitsIsTheNameNotTheNumber) {
  data::TResStream named("", "#5", 10);
  EXPECT_EQ(ReadAll(named), "named #5");
  EXPECT_EQ(MessageOf<rtl::EResNotFound>([] { data::TResStream stream("", "#7", 10); }), NotFoundText("#7"))
      << "the number 7 was taken for the name #7";
  // A type given as text is a type name too: "#10" is not RCDATA.
  EXPECT_THROW(data::TResStream("", "MODLOGO", "#10"), rtl::EResNotFound);
  EXPECT_EQ(ReadAll(*std::make_unique<data::TResStream>("", "MODLOGO", MAKEINTRESOURCEA(10))), "from the module");
}

TEST(ResStreamModule, TheModuleVariantIsReadOnly) {
  data::TResStream stream("", "MODLOGO", 10);
  EXPECT_EQ(MessageOf<rtl::EStreamError>([&] { stream.Write("x", 1); }),
            rtl::Utf8ToSjis("読み込み専用ﾘｿｰｽ ｽﾄﾘｰﾑには書き込めません"));
}

TEST(ResStreamModule, AMissingResourceRaisesTheNotFoundError) {
  EXPECT_EQ(MessageOf<rtl::EResNotFound>([] { data::TResStream stream("", "NOSUCH", 10); }), NotFoundText("NOSUCH"));
  EXPECT_THROW(data::TResStream("", "MODLOGO", 2), rtl::EResNotFound);
}

// A .RES file made by the resource compiler at build time (sample.rc).
class ResStreamCompiled : public ::testing::Test {
 protected:
  static std::wstring TestData(const std::wstring& name) {
    const char* folder = std::getenv("PEUPDATE_TEST_DATA");
    std::wstring path = folder ? rtl::SjisToWide(folder) : std::wstring(L"testdata");
    if (!path.empty() && path[0] == L'/') path = L"Z:" + path;  // a Unix path under Wine
    for (wchar_t& c : path) {
      if (c == L'/') c = L'\\';
    }
    return path + L"\\" + name;
  }
  std::string resFile_ = rtl::WideToSjis(TestData(L"sample.res"));
};

TEST_F(ResStreamCompiled, ReadsTheBitmapWithoutItsFileHeader) {
  const std::string bmp = FileBytes(TestData(L"sample.bmp"));
  ASSERT_GT(bmp.size(), 14u);
  data::TResStream stream(resFile_, "logo", 2);
  EXPECT_EQ(ReadAll(stream), bmp.substr(14));
}

TEST_F(ResStreamCompiled, ReadsDataOfOddLengthAndTheEntriesBehindIt) {
  EXPECT_EQ(ReadAll(*std::make_unique<data::TResStream>(resFile_, "ODD", 10)), "abcde");
  EXPECT_EQ(ReadAll(*std::make_unique<data::TResStream>(resFile_, "picture", "JPEG")), "\xFF\xD8\xFF\xE0");
  // The numbered resource is never found by a name.
  EXPECT_THROW(data::TResStream(resFile_, "7", 10), rtl::EResNotFound);
}

}  // namespace
