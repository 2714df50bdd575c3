#include "data/UResStream.h"
#include "rtl/Exception.h"
#include "rtl/Handles.h"
#include "rtl/Sjis.h"
#include "support/MessageOf.h"
#include "support/ResFileWriter.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>


namespace {

using testing_support::EntryOptions;
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
  std::string bytes;
  rtl::TFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return bytes;
  DWORD size = GetFileSize(file.get(), nullptr);
  bytes.resize(size);
  DWORD read = 0;
  if (size != 0) ReadFile(file.get(), bytes.data(), size, &read, nullptr);
  bytes.resize(read);
  return bytes;
}

// Each test writes its .RES file under a fresh temporary name, removed afterwards.
class ResStreamFile : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    wchar_t name[MAX_PATH];
    GetTempFileNameW(folder, L"res", 0, name);
    path_ = name;
    fileName_ = rtl::WideToSjis(path_);
  }
  void TearDown() override { DeleteFileW(path_.c_str()); }

  void WriteFile(const std::string& bytes) {
    rtl::TFileHandle file(CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(file);
    DWORD written = 0;
    if (!bytes.empty()) ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ASSERT_EQ(written, bytes.size());
  }
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

  std::wstring path_;
  std::string fileName_;
};

TEST_F(ResStreamFile, FindsTheBitmapInAnyLetterCase) {
  WriteFile(ResFileWriter()
                .EmptyEntry()
                .Entry(Field::Ordinal(2), Field::Name(u"OTHER"), "other bits")
                .Entry(Field::Ordinal(2), Field::Name(u"LOGO"), "logo bits"));
  for (const char* name : {"LOGO", "logo", "LoGo"}) {
    data::TResStream stream(fileName_, name, 2);
    EXPECT_EQ(stream.GetPosition(), 0);
    EXPECT_EQ(stream.GetSize(), 9);
    EXPECT_EQ(ReadAll(stream), "logo bits") << name;
  }
  // A type given as MAKEINTRESOURCE is the ordinal.
  EXPECT_EQ(Load("LOGO", MAKEINTRESOURCEA(2)), "logo bits");
  EXPECT_THROW(data::TResType(0x10000), rtl::ERangeError);
  // The name in the file may be in any case too.
  WriteFile(ResFileWriter().EmptyEntry().Entry(Field::Ordinal(2), Field::Name(u"lOgO"), "mixed"));
  EXPECT_EQ(Load("LOGO", 2), "mixed");
}

TEST_F(ResStreamFile, NeverMatchesALongerOrShorterName) {
  ResFileWriter writer;
  writer.EmptyEntry()
      .Entry(Field::Ordinal(2), Field::Name(u"LOGOX"), "longer")
      .Entry(Field::Ordinal(2), Field::Name(u"LOG"), "shorter")
      .Entry(Field::Ordinal(2), Field::Name(u"LOGO2"), "digit");
  WriteFile(writer);
  ExpectNotFound("LOGO", 2);
  writer.Entry(Field::Ordinal(2), Field::Name(u"LOGO"), "exact");
  WriteFile(writer);
  EXPECT_EQ(Load("LOGO", 2), "exact");
  EXPECT_EQ(Load("LOG", 2), "shorter");
  EXPECT_EQ(Load("logox", 2), "longer");
  ExpectNotFound("LO", 2);
  ExpectNotFound("LOGOXY", 2);
}

TEST_F(ResStreamFile, ReturnsTheFirstOfTwoEntriesOfTheSameTypeAndName) {
  WriteFile(ResFileWriter()
                .EmptyEntry()
                .Entry(Field::Ordinal(2), Field::Name(u"Logo"), "first")
                .Entry(Field::Ordinal(2), Field::Name(u"LOGO"), "second"));
  EXPECT_EQ(Load("LOGO", 2), "first");
}

TEST_F(ResStreamFile, MatchesTheTypeBeforeTheName) {
  WriteFile(ResFileWriter()
                .EmptyEntry()
                .Entry(Field::Ordinal(3), Field::Name(u"LOGO"), "icon")
                .Entry(Field::Name(u"BITMAP"), Field::Name(u"LOGO"), "named type")
                .Entry(Field::Ordinal(2), Field::Name(u"LOGO"), "bitmap"));
  EXPECT_EQ(Load("LOGO", 2), "bitmap");
  EXPECT_EQ(Load("LOGO", 3), "icon");
  EXPECT_EQ(Load("LOGO", "bitmap"), "named type");
  ExpectNotFound("LOGO", 14);
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

TEST_F(ResStreamFile, ATypeNameMatchesTextTypesInAnyCaseAndNeverANumber) {
  WriteFile(ResFileWriter()
                .EmptyEntry()
                .Entry(Field::Name(u"JPEG"), Field::Name(u"PIC"), "jpeg data")
                .Entry(Field::Name(u"2"), Field::Name(u"NUM"), "text two"));
  EXPECT_EQ(Load("PIC", "JPEG"), "jpeg data");
  EXPECT_EQ(Load("pic", "jpeg"), "jpeg data");
  EXPECT_EQ(Load("PIC", std::string("Jpeg")), "jpeg data");
  ExpectNotFound("PIC", "JPG");
  ExpectNotFound("PIC", "JPEGS");
  ExpectNotFound("NUM", 2);  // a type named "2" is no ordinal
  EXPECT_EQ(Load("NUM", "2"), "text two");
}

TEST_F(ResStreamFile, OrdinalFieldsNeverMatchNames) {
  WriteFile(ResFileWriter()
                .EmptyEntry()
                .Entry(Field::Ordinal(2), Field::Ordinal(1), "ordinal name")
                .Entry(Field::Ordinal(0x4A), Field::Name(u"X"), "ordinal type"));
  // Names are always compared as text: "#1" is not the ordinal 1.
  ExpectNotFound("#1", 2);
  ExpectNotFound("1", 2);
  ExpectNotFound("X", "#74");
  ExpectNotFound("X", "J");  // 0x4A as the second word of the field is no name
  EXPECT_EQ(Load("X", 0x4A), "ordinal type");
}

TEST_F(ResStreamFile, ANameOfANumberSignAndDigitsIsTheNameNotTheNumber) {
  WriteFile(ResFileWriter()
                .EmptyEntry()
                .Entry(Field::Ordinal(10), Field::Ordinal(5), "number five")
                .Entry(Field::Ordinal(10), Field::Name(u"#5"), "named #5")
                .Entry(Field::Ordinal(10), Field::Ordinal(7), "number seven"));
  EXPECT_EQ(Load("#5", 10), "named #5");
  ExpectNotFound("#7", 10);
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

TEST_F(ResStreamFile, AnEmptyResourceGivesAnEmptyStream) {
  WriteFile(ResFileWriter()
                .EmptyEntry()
                .Entry(Field::Ordinal(10), Field::Name(u"EMPTY"), "")
                .Entry(Field::Ordinal(10), Field::Name(u"FULL"), "some data"));
  data::TResStream stream(fileName_, "EMPTY", 10);
  EXPECT_EQ(stream.GetSize(), 0);
  EXPECT_EQ(stream.GetPosition(), 0);
}

TEST_F(ResStreamFile, NamesInCodePage932MatchTheirUtf16Form) {
  WriteFile(ResFileWriter().EmptyEntry().Entry(Field::Name(u"画像"), Field::Name(u"ロゴ"), "japanese"));
  EXPECT_EQ(Load(rtl::Utf8ToSjis("ロゴ"), rtl::Utf8ToSjis("画像")), "japanese");
  ExpectNotFound(rtl::Utf8ToSjis("ロ"), rtl::Utf8ToSjis("画像"));
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
class ResStreamModule : public ::testing::Test {};

TEST_F(ResStreamModule, AnEmptyOrMissingFileNameReadsTheModule) {
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  const std::string missing = rtl::WideToSjis(folder) + "no-such-file.res";
  const std::string temp = rtl::WideToSjis(folder);  // a folder is no file
  for (const std::string& fileName : {std::string(), missing, temp}) {
    data::TResStream stream(fileName, "modlogo", 10);
    EXPECT_EQ(stream.GetPosition(), 0);
    EXPECT_EQ(ReadAll(stream), "from the module") << fileName;
  }
  data::TResStream picture("", "MODPIC", "jpeg");
  EXPECT_EQ(ReadAll(picture), "module jpeg");
}

TEST_F(ResStreamModule, ANameOfANumberSignAndDigitsIsTheNameNotTheNumber) {
  data::TResStream named("", "#5", 10);
  EXPECT_EQ(ReadAll(named), "named #5");
  EXPECT_EQ(MessageOf<rtl::EResNotFound>([] { data::TResStream stream("", "#7", 10); }), NotFoundText("#7"))
      << "the number 7 was taken for the name #7";
  // A type given as text is a type name too: "#10" is not RCDATA.
  EXPECT_THROW(data::TResStream("", "MODLOGO", "#10"), rtl::EResNotFound);
  EXPECT_EQ(ReadAll(*std::make_unique<data::TResStream>("", "MODLOGO", MAKEINTRESOURCEA(10))), "from the module");
}

TEST_F(ResStreamModule, TheModuleVariantIsReadOnly) {
  data::TResStream stream("", "MODLOGO", 10);
  EXPECT_EQ(MessageOf<rtl::EStreamError>([&] { stream.Write("x", 1); }),
            rtl::Utf8ToSjis("読み込み専用ﾘｿｰｽ ｽﾄﾘｰﾑには書き込めません"));
}

TEST_F(ResStreamModule, AMissingResourceRaisesTheNotFoundError) {
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
