#include "rtl/Stream.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "rtl/Exception.h"
#include "rtl/FileStream.h"
#include "rtl/ResourceStream.h"
#include "rtl/Sjis.h"
#include "support/MemoryStreams.h"
#include "support/MessageOf.h"
#include "support/ScratchFolder.h"

namespace {

using Bytes = std::vector<unsigned char>;
using rtl::TSeekOrigin;
using testing_support::Contents;
using testing_support::Fill;
using testing_support::MessageOf;
using testing_support::RecordingStream;

Bytes Counting(std::size_t size) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(i * 7 + i / 251);
  return bytes;
}

// --- Exact reads and writes, and copying

class StreamCopyTest : public ::testing::Test {
 protected:
  RecordingStream source;
  RecordingStream dest;
};

TEST_F(StreamCopyTest, ReadBufferAndWriteBufferAreExactOrAnError) {
  Fill(source, Counting(10));
  unsigned char buffer[11] = {};
  source.ReadBuffer(buffer, 10);
  EXPECT_EQ(0, std::memcmp(buffer, Counting(10).data(), 10));
  source.ReadBuffer(buffer, 0);  // nothing asked, nothing missing
  source.SetPosition(1);
  EXPECT_EQ(MessageOf<rtl::EReadError>([&] { source.ReadBuffer(buffer, 10); }),
            rtl::Utf8ToSjis("ｽﾄﾘｰﾑからの読み込みｴﾗｰ"));
  dest.writeLimit = 5;
  dest.WriteBuffer(buffer, 5);
  EXPECT_EQ(MessageOf<rtl::EWriteError>([&] { dest.WriteBuffer(buffer, 1); }),
            rtl::Utf8ToSjis("ｽﾄﾘｰﾑへの書き込みｴﾗｰ"));
}

TEST_F(StreamCopyTest, CopiesCountBytesFromTheCurrentPositionInPiecesOf61440) {
  Bytes data = Counting(200000);
  Fill(source, data);
  source.SetPosition(1000);
  source.reads.clear();
  EXPECT_EQ(dest.CopyFrom(source, 150000), 150000);
  EXPECT_EQ(source.reads, (std::vector<int32_t>{61440, 61440, 27120}));
  EXPECT_EQ(dest.writes, (std::vector<int32_t>{61440, 61440, 27120}));
  EXPECT_EQ(Contents(dest), Bytes(data.begin() + 1000, data.begin() + 151000));
  EXPECT_EQ(source.GetPosition(), 151000);
}

TEST_F(StreamCopyTest, CountOfOneWholePieceAndOneByteMore) {
  Fill(source, Counting(61441));
  source.reads.clear();
  dest.CopyFrom(source, 61440);
  dest.CopyFrom(source, 1);
  EXPECT_EQ(source.reads, (std::vector<int32_t>{61440, 1}));
  EXPECT_EQ(Contents(dest), Counting(61441));
}

TEST_F(StreamCopyTest, CountZeroCopiesTheWholeSourceFromItsBeginning) {
  EXPECT_EQ(dest.CopyFrom(source, 0), 0) << "an empty source";
  EXPECT_EQ(dest.GetSize(), 0);
  Bytes data = Counting(70000);
  Fill(source, data);
  source.SetPosition(12345);
  EXPECT_EQ(dest.CopyFrom(source, 0), 70000);
  EXPECT_EQ(Contents(dest), data);
}

TEST_F(StreamCopyTest, NegativeCountIsARangeError) {
  Fill(source, Counting(10));
  EXPECT_THROW(dest.CopyFrom(source, -1), rtl::ERangeError);
  EXPECT_EQ(source.GetPosition(), 0);
  EXPECT_EQ(dest.GetSize(), 0);
}

TEST_F(StreamCopyTest, ShortSourceIsAReadErrorAfterTheWholePieces) {
  Fill(source, Counting(100000));
  std::string message = MessageOf<rtl::EReadError>([&] { dest.CopyFrom(source, 100001); });
  EXPECT_EQ(message, rtl::Utf8ToSjis("ｽﾄﾘｰﾑからの読み込みｴﾗｰ"));
  EXPECT_EQ(dest.GetSize(), 61440);
}

// --- The growable memory stream

class MemoryStreamTest : public ::testing::Test {
 protected:
  rtl::TMemoryStream stream;
};

TEST_F(MemoryStreamTest, CapacityGrowsInStepsOf8192) {
  Bytes data = Counting(20000);
  stream.WriteBuffer(data.data(), 1);
  EXPECT_EQ(stream.Capacity(), 8192);
  stream.WriteBuffer(data.data() + 1, 8191);
  EXPECT_EQ(stream.Capacity(), 8192);
  stream.WriteBuffer(data.data() + 8192, 1);
  EXPECT_EQ(stream.Capacity(), 16384);
  stream.WriteBuffer(data.data() + 8193, 20000 - 8193);
  EXPECT_EQ(stream.Capacity(), 24576);
  EXPECT_EQ(stream.GetSize(), 20000);
  EXPECT_EQ(stream.GetPosition(), 20000);
  EXPECT_EQ(Contents(stream), data);
}

TEST_F(MemoryStreamTest, SetSizeAllocatesOnceRoundedAndKeepsContents) {
  Fill(stream, Counting(100));
  stream.SetSize(8193);
  EXPECT_EQ(stream.Capacity(), 16384);
  EXPECT_EQ(stream.GetSize(), 8193);
  EXPECT_EQ(stream.GetPosition(), 0);
  Bytes grown = Contents(stream);
  EXPECT_EQ(Bytes(grown.begin(), grown.begin() + 100), Counting(100));
  // Writing within the size moves nothing.
  void* memory = stream.Memory();
  Bytes data = Counting(8193);
  stream.WriteBuffer(data.data(), 8193);
  EXPECT_EQ(stream.Memory(), memory);
  EXPECT_EQ(stream.Capacity(), 16384);
}

TEST_F(MemoryStreamTest, ShrinkingPullsThePositionBackToTheEnd) {
  Fill(stream, Counting(100));
  stream.SetPosition(50);
  stream.SetSize(60);
  EXPECT_EQ(stream.GetPosition(), 50);
  stream.SetSize(10);
  EXPECT_EQ(stream.GetPosition(), 10);
  EXPECT_EQ(Contents(stream), Counting(10));
}

// A negative size is a range error; one byte more than the largest size that rounds up to 8,192
// would overflow: both fail and keep the data.
TEST_F(MemoryStreamTest, SizesOutOfRangeFailAndKeepTheData) {
  Fill(stream, Counting(10));
  EXPECT_THROW(stream.SetSize(-1), rtl::ERangeError);
  EXPECT_EQ(MessageOf<rtl::EOutOfMemory>([&] { stream.SetSize(INT32_MAX - 8190); }),
            rtl::Utf8ToSjis("ﾒﾓﾘｽﾄﾘｰﾑの拡大中にﾒﾓﾘが足りなくなりました"));
  EXPECT_EQ(Contents(stream), Counting(10));
  EXPECT_EQ(stream.Capacity(), 8192);
}

// A memory stream whose storage cannot grow beyond a limit, as when the system has no more memory
// to give: its reallocation step fails the way the platform's does, whatever the address space.
class BoundedMemoryStream : public rtl::TMemoryStream {
 public:
  explicit BoundedMemoryStream(int32_t limit) : limit_(limit) {}
  ~BoundedMemoryStream() override { Clear(); }

 protected:
  void* Realloc(int32_t& newCapacity) override {
    if (newCapacity > limit_) throw rtl::EStreamError(rtl::Utf8ToSjis("ﾒﾓﾘｽﾄﾘｰﾑの拡大中にﾒﾓﾘが足りなくなりました"));
    return rtl::TMemoryStream::Realloc(newCapacity);
  }

 private:
  int32_t limit_;
};

TEST(BoundedMemoryStreamTest, AFailedGrowthKeepsSizeCapacityPositionAndData) {
  BoundedMemoryStream bounded(16384);
  Fill(bounded, Counting(10000));
  bounded.SetPosition(1234);
  void* memory = bounded.Memory();
  EXPECT_THROW(bounded.SetSize(16385), rtl::EStreamError);
  EXPECT_EQ(bounded.GetPosition(), 1234);
  const unsigned char more[4] = {1, 2, 3, 4};
  bounded.SetPosition(16384);
  EXPECT_THROW(bounded.WriteBuffer(more, 4), rtl::EStreamError) << "a write past the limit grows the stream";
  EXPECT_EQ(bounded.GetSize(), 10000);
  EXPECT_EQ(bounded.Capacity(), 16384);
  EXPECT_EQ(bounded.Memory(), memory);
  EXPECT_EQ(Contents(bounded), Counting(10000));
  // Within the limit it still grows, keeping what it had.
  bounded.SetSize(16384);
  EXPECT_EQ(bounded.GetSize(), 16384);
  const Bytes kept = Counting(10000);
  EXPECT_TRUE(std::equal(kept.begin(), kept.end(), static_cast<unsigned char*>(bounded.Memory())));
}

TEST_F(MemoryStreamTest, ClearReleasesEverything) {
  Fill(stream, Counting(10000));
  stream.SetPosition(5);
  stream.Clear();
  EXPECT_EQ(stream.GetSize(), 0);
  EXPECT_EQ(stream.GetPosition(), 0);
  EXPECT_EQ(stream.Capacity(), 0);
  EXPECT_EQ(stream.Memory(), nullptr);
  unsigned char byte;
  EXPECT_EQ(stream.Read(&byte, 1), 0);
}

TEST_F(MemoryStreamTest, WritingBeyondTheEndGrowsTheStream) {
  Fill(stream, Counting(10));
  stream.SetPosition(20);
  unsigned char byte = 0xAB;
  stream.WriteBuffer(&byte, 1);
  EXPECT_EQ(stream.GetSize(), 21);
  EXPECT_EQ(static_cast<const unsigned char*>(stream.Memory())[20], 0xAB);
}

TEST_F(MemoryStreamTest, ReadsStopAtTheEndAndOutside) {
  Fill(stream, Counting(10));
  unsigned char buffer[20];
  stream.SetPosition(7);
  EXPECT_EQ(stream.Read(buffer, 20), 3);
  EXPECT_EQ(stream.Read(buffer, 1), 0);
  stream.SetPosition(-1);
  EXPECT_EQ(stream.Read(buffer, 1), 0);
  stream.SetPosition(0);
  EXPECT_EQ(stream.Read(buffer, -1), 0);
  EXPECT_EQ(stream.GetPosition(), 0);
}

TEST_F(MemoryStreamTest, SeeksAreCheckedForOverflow) {
  Fill(stream, Counting(10));
  EXPECT_EQ(stream.Seek(-3, TSeekOrigin::soEnd), 7);
  EXPECT_EQ(stream.Seek(INT32_MAX - 7, TSeekOrigin::soCurrent), INT32_MAX);
  EXPECT_THROW(stream.Seek(1, TSeekOrigin::soCurrent), rtl::EIntOverflow);
  EXPECT_THROW(stream.Seek(INT32_MAX - 9, TSeekOrigin::soEnd), rtl::EIntOverflow);
  stream.SetPosition(INT32_MAX);
  unsigned char byte = 0;
  EXPECT_THROW(stream.Write(&byte, 1), rtl::EIntOverflow);
  EXPECT_EQ(stream.GetSize(), 10);
}

TEST_F(MemoryStreamTest, LoadFromStreamTakesTheWholeSourceAndSaveToStreamGivesItBack) {
  rtl::TMemoryStream source;
  Fill(source, Counting(30000));
  source.SetPosition(100);
  Fill(stream, Counting(5));
  stream.LoadFromStream(source);
  EXPECT_EQ(Contents(stream), Counting(30000));
  rtl::TMemoryStream copy;
  stream.SaveToStream(copy);
  EXPECT_EQ(Contents(copy), Counting(30000));
}

// --- Files

class FileStreamTest : public ::testing::Test {
 protected:
  std::string File(const std::string& name) { return folder + "\\" + name; }
  static Bytes Read(rtl::TStream& stream, int32_t count) {
    Bytes bytes(static_cast<std::size_t>(count));
    bytes.resize(static_cast<std::size_t>(stream.Read(bytes.data(), count)));
    return bytes;
  }
  testing_support::ScratchFolder scratch;
  std::string folder = rtl::WideToSjis(scratch.path());
};

TEST_F(FileStreamTest, CreatesWritesSeeksAndReads) {
  std::string path = File("data.bin");
  Bytes data = Counting(100000);
  {
    rtl::TFileStream file(path, rtl::fmCreate);
    file.WriteBuffer(data.data(), 100000);
    EXPECT_EQ(file.GetSize(), 100000);
    EXPECT_EQ(file.GetPosition(), 100000);
    file.SetPosition(99990);
    EXPECT_EQ(Read(file, 20), Bytes(data.end() - 10, data.end()));
    EXPECT_EQ(Read(file, 1), Bytes{});
  }
  rtl::TFileStream file(path, rtl::fmOpenRead | rtl::fmShareDenyWrite);
  EXPECT_EQ(file.GetSize(), 100000);
  EXPECT_EQ(file.Seek(-5, TSeekOrigin::soEnd), 99995);
  EXPECT_EQ(Read(file, 5), Bytes(data.end() - 5, data.end()));
  rtl::TMemoryStream whole;
  whole.LoadFromStream(file);
  EXPECT_EQ(Contents(whole), data);
}

TEST_F(FileStreamTest, SetSizeTruncatesAndExtendsAndANegativeSizeLeavesTheFileAlone) {
  rtl::TFileStream file(File("size.bin"), rtl::fmCreate);
  Bytes data = Counting(100);
  file.WriteBuffer(data.data(), 100);
  file.SetPosition(10);
  EXPECT_THROW(file.SetSize(-1), rtl::ERangeError);
  EXPECT_EQ(file.GetSize(), 100);
  file.SetSize(40);
  EXPECT_EQ(file.GetSize(), 40);
  file.SetSize(50);
  EXPECT_EQ(file.GetSize(), 50);
  file.SetPosition(0);
  EXPECT_EQ(Bytes(Read(file, 40)), Bytes(data.begin(), data.begin() + 40));
}

TEST_F(FileStreamTest, ReadOnlyFileRefusesWrites) {
  std::string path = File("readonly.bin");
  { rtl::TFileStream(path, rtl::fmCreate).WriteBuffer("abc", 3); }
  rtl::TFileStream file(path, rtl::fmOpenRead);
  EXPECT_THROW(file.WriteBuffer("x", 1), rtl::EWriteError);
  EXPECT_EQ(file.GetSize(), 3);
}

TEST_F(FileStreamTest, CreateAndOpenFailuresNameTheFile) {
  const std::string path = File("no such folder\\new.bin");
  EXPECT_EQ(MessageOf<rtl::EFCreateError>([&] { rtl::TFileStream(path, rtl::fmCreate); }),
            rtl::Utf8ToSjis("ﾌｧｲﾙ ") + path + rtl::Utf8ToSjis(" を作成できません"));
  const std::string missing = File("missing.bin");
  EXPECT_EQ(MessageOf<rtl::EFOpenError>([&] { rtl::TFileStream(missing, rtl::fmOpenRead); }),
            rtl::Utf8ToSjis("ﾌｧｲﾙ ") + missing + rtl::Utf8ToSjis(" は開けません"));
}

TEST_F(FileStreamTest, FileHeldExclusivelyCannotBeOpenedAgain) {
  std::string path = File("held.bin");
  rtl::TFileStream held(path, rtl::fmCreate);
  EXPECT_THROW(rtl::TFileStream(path, rtl::fmOpenRead | rtl::fmShareDenyNone), rtl::EFOpenError);
  EXPECT_THROW(rtl::TFileStream(path, rtl::fmCreate), rtl::EFCreateError);
}

TEST_F(FileStreamTest, JapaneseNamesWorkAndAppearIntactInMessages) {
  // "表" has 0x5C as its second byte: a path routine that sees a backslash there breaks it.
  std::string path = File(rtl::Utf8ToSjis("表ストリーム.bin"));
  { rtl::TFileStream(path, rtl::fmCreate).WriteBuffer("ok", 2); }
  rtl::TFileStream file(path, rtl::fmOpenRead);
  EXPECT_EQ(Read(file, 10), (Bytes{'o', 'k'}));
  std::string missing = File(rtl::Utf8ToSjis("表なし.bin"));
  std::string message = MessageOf<rtl::EFOpenError>([&] { rtl::TFileStream(missing, rtl::fmOpenRead); });
  EXPECT_EQ(message, rtl::Utf8ToSjis("ﾌｧｲﾙ ") + missing + rtl::Utf8ToSjis(" は開けません"));
}

TEST_F(FileStreamTest, MemoryStreamSavesToAndLoadsFromFiles) {
  std::string path = File("saved.bin");
  rtl::TMemoryStream stream;
  Fill(stream, Counting(70000));
  stream.SaveToFile(path.c_str());
  rtl::TMemoryStream loaded;
  loaded.LoadFromFile(path.c_str());
  EXPECT_EQ(Contents(loaded), Counting(70000));
}

// --- Module resources

class ResourceStreamTest : public ::testing::Test {
 protected:
  HMODULE module = GetModuleHandleW(nullptr);
};

// By name in any letter case, Japanese names included, by number, and of a custom type.
TEST_F(ResourceStreamTest, ReadsResourcesByNameOrNumber) {
  rtl::TResourceStream stream(module, "TESTDATA", RT_RCDATA);
  EXPECT_EQ(stream.GetSize(), 10);
  char buffer[16] = {};
  EXPECT_EQ(stream.Read(buffer, 16), 10);
  EXPECT_STREQ(buffer, "0123456789");
  stream.SetPosition(8);
  rtl::TMemoryStream copy;
  copy.CopyFrom(stream, 0);
  EXPECT_EQ(copy.GetSize(), 10);
  EXPECT_EQ(rtl::TResourceStream(module, "testdata", RT_RCDATA).GetSize(), 10);
  rtl::TResourceStream japanese(module, rtl::Utf8ToSjis("テスト"), RT_RCDATA);
  EXPECT_EQ(std::string(static_cast<const char*>(japanese.Memory()), japanese.GetSize()), "jp");
  rtl::TResourceStream numbered(module, 101, RT_RCDATA);
  EXPECT_EQ(std::string(static_cast<const char*>(numbered.Memory()), numbered.GetSize()), "abc");
  rtl::TResourceStream custom(module, "STREAMDATA", L"TESTTYPE");
  EXPECT_EQ(std::string(static_cast<const char*>(custom.Memory()), custom.GetSize()), "xyz");
}

TEST_F(ResourceStreamTest, MissingResourceNamesIt) {
  const std::string suffix = rtl::Utf8ToSjis(" ﾘｿｰｽが見つかりません");
  EXPECT_EQ(MessageOf<rtl::EResNotFound>([&] { rtl::TResourceStream(module, "NOSUCH", RT_RCDATA); }),
            "NOSUCH" + suffix);
  // Right name, wrong type.
  EXPECT_EQ(MessageOf<rtl::EResNotFound>([&] { rtl::TResourceStream(module, "STREAMDATA", RT_RCDATA); }),
            "STREAMDATA" + suffix);
  std::string japanese = rtl::Utf8ToSjis("ロゴ");
  EXPECT_EQ(MessageOf<rtl::EResNotFound>([&] { rtl::TResourceStream(module, japanese, RT_RCDATA); }),
            japanese + suffix);
}

TEST_F(ResourceStreamTest, IsReadOnly) {
  rtl::TResourceStream stream(module, "TESTDATA", RT_RCDATA);
  std::string message = MessageOf<rtl::EStreamError>([&] { stream.WriteBuffer("X", 1); });
  EXPECT_EQ(message, rtl::Utf8ToSjis("読み込み専用ﾘｿｰｽ ｽﾄﾘｰﾑには書き込めません"));
  EXPECT_EQ(0, std::memcmp(stream.Memory(), "0123456789", 10));
  EXPECT_EQ(stream.GetPosition(), 0);
}

}  // namespace
