#include "data/UZLIB.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "rtl/Sjis.h"
#include "support/MemoryStreams.h"
#include "support/MessageOf.h"
#include "support/Mutations.h"

namespace {

using Bytes = std::vector<unsigned char>;
using rtl::TSeekOrigin;
using testing_support::Contents;
using testing_support::Fill;
using testing_support::RecordingStream;

const char kSignature[] = "ZLIBCompress\x1A";

// Text-like bytes: compresses well but not to nothing.
Bytes SampleData(std::size_t size, uint32_t seed = 1) {
  static const char* const kWords[] = {"update ", "Pelano ", "stream ", "\r\n", "MZ", "\0\0\0\0", "zlib "};
  Bytes data;
  data.reserve(size);
  while (data.size() < size) {
    seed = seed * 1103515245u + 12345u;
    const char* word = kWords[(seed >> 16) % 7];
    std::size_t length = (seed >> 16) % 7 == 5 ? 4 : std::strlen(word);
    for (std::size_t i = 0; i < length && data.size() < size; ++i) data.push_back(static_cast<unsigned char>(word[i]));
    data.push_back(static_cast<unsigned char>(seed >> 24));
  }
  data.resize(size);
  return data;
}

// Bytes deflate cannot shrink, so the compressed body is as long as the data.
Bytes NoiseData(std::size_t size, uint32_t seed = 7) {
  testing_support::Random random(seed);
  Bytes data(size);
  for (auto& byte : data) byte = static_cast<unsigned char>(random.Next());
  return data;
}

Bytes Deflate(const Bytes& data, int level = 9) {
  uLongf length = compressBound(static_cast<uLong>(data.size()));
  Bytes body(length);
  EXPECT_EQ(compress2(body.data(), &length, data.data(), static_cast<uLong>(data.size()), level), Z_OK);
  body.resize(length);
  return body;
}

Bytes SizeField(uint32_t size) {
  return {static_cast<unsigned char>(size), static_cast<unsigned char>(size >> 8),
          static_cast<unsigned char>(size >> 16), static_cast<unsigned char>(size >> 24)};
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

Bytes SignatureBytes() { return Bytes(kSignature, kSignature + 13); }

Bytes Container(const Bytes& body, uint32_t size) { return Concat({SignatureBytes(), SizeField(size), body}); }

// What both callers do: recognise, size the destination once, inflate, rewind.
Bytes Unpack(rtl::TStream& stream) {
  int32_t size = 0;
  EXPECT_TRUE(data::ReadZLIBHeader(stream, size));
  rtl::TMemoryStream dest;
  dest.SetSize(size);
  data::ZLIBDecompress(stream, dest, size);
  EXPECT_EQ(dest.GetPosition(), size);
  return Contents(dest);
}

using testing_support::MessageOf;

// --- Recognising the header

class ZLIBHeaderTest : public ::testing::Test {
 protected:
  // Returns the result; the stream holds only the bytes and starts at `start`.
  bool Read(const Bytes& bytes, int32_t start = 0) {
    stream.Clear();
    Fill(stream, bytes);
    stream.SetPosition(start);
    return data::ReadZLIBHeader(stream, size);
  }
  rtl::TMemoryStream stream;
  int32_t size = -12345;  // untouched unless recognised
};

// The size field is little-endian and signed; the stream is left right after it, even where the
// header's 17 bytes are all there is.
TEST_F(ZLIBHeaderTest, RecognisesSignatureAndLeavesStreamAfterSizeField) {
  const std::pair<Bytes, int32_t> cases[] = {
      {Concat({SignatureBytes(), {0x00, 0xA0, 0x57, 0x00}, {0x78, 0xDA}}), 5742592},
      {Container({}, 1), 1},
      {Container({}, 0x7FFFFFFF), INT32_MAX},
      {Container({}, 0x80000000u), INT32_MIN}};
  for (const auto& [bytes, expected] : cases) {
    EXPECT_TRUE(Read(bytes)) << expected;
    EXPECT_EQ(size, expected);
    EXPECT_EQ(stream.GetPosition(), 17);
  }
}

TEST_F(ZLIBHeaderTest, TwelveLettersWithoutEndMarkAreNotAContainer) {
  EXPECT_FALSE(Read(Bytes(kSignature, kSignature + 12)));
  EXPECT_EQ(size, -12345);
  EXPECT_EQ(stream.GetPosition(), 0);
}

TEST_F(ZLIBHeaderTest, EveryByteOfTheSignatureMustMatch) {
  for (std::size_t i = 0; i < 13; ++i) {
    Bytes bytes = Container(Deflate(SampleData(100)), 100);
    bytes[i] ^= i < 12 ? 0x20 : 0x01;  // a letter's case flipped, or 0x1B for the end mark
    EXPECT_FALSE(Read(bytes)) << "byte " << i;
    EXPECT_EQ(stream.GetPosition(), 0);
  }
  EXPECT_EQ(size, -12345);
}

TEST_F(ZLIBHeaderTest, SignatureWithFewerThanFourSizeBytesIsNotAContainer) {
  for (int have = 0; have < 4; ++have) {
    Bytes bytes = Concat({{'x', 'y'}, SignatureBytes(), Bytes(static_cast<std::size_t>(have), 0x01)});
    EXPECT_FALSE(Read(bytes, 2)) << have << " size bytes";
    EXPECT_EQ(stream.GetPosition(), 2);
  }
  EXPECT_EQ(size, -12345);
}

TEST_F(ZLIBHeaderTest, ContainerInTheMiddleOfAStreamIsFoundThere) {
  Bytes payload = SampleData(5000);
  Bytes prefix = NoiseData(333);
  Fill(stream, Concat({prefix, Container(Deflate(payload), 5000)}));
  stream.SetPosition(333);
  EXPECT_TRUE(data::ReadZLIBHeader(stream, size));
  EXPECT_EQ(stream.GetPosition(), 333 + 17);
  rtl::TMemoryStream dest;
  dest.SetSize(size);
  data::ZLIBDecompress(stream, dest, size);
  EXPECT_EQ(Contents(dest), payload);
}

// Reads normally once, then fails after having moved on.
class FailingStream : public rtl::TMemoryStream {
 public:
  int32_t Read(void* buffer, int32_t count) override {
    if (reads++ == 1) {
      Seek(2, TSeekOrigin::soCurrent);
      throw rtl::EReadError();
    }
    return TMemoryStream::Read(buffer, count);
  }
  int reads = 0;
};

TEST_F(ZLIBHeaderTest, PositionIsRestoredWhenTheStreamFails) {
  FailingStream failing;
  Fill(failing, Concat({{1, 2, 3}, Container({}, 9)}));
  failing.SetPosition(3);
  EXPECT_THROW(data::ReadZLIBHeader(failing, size), rtl::EReadError);
  EXPECT_EQ(failing.GetPosition(), 3);
  EXPECT_EQ(size, -12345);
}

// --- Inflating

class ZLIBDecompressTest : public ::testing::Test {
 protected:
  // A fresh source holding the container, and an empty destination.
  void Load(const Bytes& container) {
    source.Clear();
    dest.Clear();
    Fill(source, container);
  }
  void Inflate(int32_t size) {
    int32_t found = 0;
    ASSERT_TRUE(data::ReadZLIBHeader(source, found));
    data::ZLIBDecompress(source, dest, size);
  }
  rtl::TMemoryStream source;
  rtl::TMemoryStream dest;
};

TEST_F(ZLIBDecompressTest, InflatesExactlyTheStoredData) {
  Bytes payload = SampleData(100000);
  Bytes body = Deflate(payload);
  ASSERT_EQ(body[0], 0x78);
  ASSERT_EQ(body[1], 0xDA);
  Load(Container(body, 100000));
  EXPECT_EQ(Unpack(source), payload);
}

TEST_F(ZLIBDecompressTest, WritesAtTheDestinationsPositionAndLeavesItAfterTheData) {
  Bytes payload = SampleData(300);
  Load(Container(Deflate(payload), 300));
  Fill(dest, Bytes(10, 0xEE));
  dest.SetPosition(4);
  Inflate(300);
  EXPECT_EQ(dest.GetPosition(), 304);
  Bytes expected = Concat({Bytes(4, 0xEE), payload});
  EXPECT_EQ(Contents(dest), expected);
}

TEST_F(ZLIBDecompressTest, EveryCompressionLevelAndOneByte) {
  for (int level : {0, 1, 6, 9}) {
    for (std::size_t length : {std::size_t{1}, std::size_t{70000}}) {
      Bytes payload = SampleData(length, static_cast<uint32_t>(level));
      Load(Container(Deflate(payload, level), static_cast<uint32_t>(length)));
      EXPECT_EQ(Unpack(source), payload) << "level " << level << ", " << length << " bytes";
    }
  }
}

TEST_F(ZLIBDecompressTest, SizeSmallerThanTheDataYieldsExactlySizeBytes) {
  Bytes payload = SampleData(200000);
  for (uint32_t size : {1u, 4096u, 100000u, 199999u}) {
    Load(Container(Deflate(payload), size));
    EXPECT_NO_THROW(Inflate(static_cast<int32_t>(size))) << size;
    EXPECT_EQ(Contents(dest), Bytes(payload.begin(), payload.begin() + size)) << size;
  }
}

TEST_F(ZLIBDecompressTest, SizeSmallerThanStoredDataIgnoresADamagedTrailer) {
  Bytes payload = SampleData(5000);
  Bytes body = Deflate(payload);
  body.back() ^= 0xFF;
  Load(Container(body, 4999));
  EXPECT_NO_THROW(Inflate(4999));
  EXPECT_EQ(dest.GetSize(), 4999);
}

TEST_F(ZLIBDecompressTest, SizeLargerThanTheDataIsAReadError) {
  Bytes payload = SampleData(5000);
  Load(Container(Deflate(payload), 5001));
  std::string message = MessageOf<rtl::EReadError>([&] { Inflate(5001); });
  EXPECT_EQ(message, rtl::Utf8ToSjis("ｽﾄﾘｰﾑからの読み込みｴﾗｰ"));
}

TEST_F(ZLIBDecompressTest, SourceEndingInsideTheBodyIsAReadError) {
  Bytes payload = NoiseData(200000);
  Bytes body = Deflate(payload);
  body.resize(body.size() / 2);
  Load(Container(body, 200000));
  EXPECT_THROW(Inflate(200000), rtl::EReadError);
  EXPECT_EQ(dest.GetSize(), 61440);  // the pieces that were whole
}

TEST_F(ZLIBDecompressTest, SizeZeroIsAnInvalidStreamOperation) {
  Load(Container(Deflate(SampleData(10)), 0));
  std::string message = MessageOf<data::EDecompressionError>([&] { Inflate(0); });
  EXPECT_EQ(message, "Invalid stream operation");
}

TEST_F(ZLIBDecompressTest, NegativeSizeIsARangeError) {
  Load(Container(Deflate(SampleData(10)), 0xFFFFFFFFu));
  EXPECT_THROW(Inflate(-1), rtl::ERangeError);
  EXPECT_EQ(dest.GetSize(), 0);
}

TEST_F(ZLIBDecompressTest, DamagedBodyIsAZlibError) {
  Bytes payload = SampleData(20000);
  Bytes good = Deflate(payload);
  Bytes badHeader = good;
  badHeader[0] = 0x79;  // header check no longer divisible by 31
  Bytes badBlock = good;
  badBlock[2] |= 0x06;  // block type 3 does not exist
  Bytes dictionary = Concat({{0x78, 0xBB}, {0, 0, 0, 1}, Bytes(good.begin() + 2, good.end())});
  for (const Bytes* body : {&badHeader, &badBlock, &dictionary}) {
    Load(Container(*body, 20000));
    std::string message = MessageOf<data::EZlibError>([&] { Inflate(20000); });
    EXPECT_EQ(message, "error");
  }
}

TEST_F(ZLIBDecompressTest, DamagedTrailerIsAZlibErrorWhenTheDataEndsAtSize) {
  for (int level : {0, 9}) {
    for (std::size_t length : {std::size_t{1}, std::size_t{61440}, std::size_t{150000}}) {
      Bytes payload = SampleData(length);
      Bytes body = Deflate(payload, level);
      for (std::size_t at = body.size() - 4; at < body.size(); ++at) {
        Bytes damaged = body;
        damaged[at] ^= 0x10;
        Load(Container(damaged, static_cast<uint32_t>(length)));
        std::string message = MessageOf<data::EZlibError>([&] { Inflate(static_cast<int32_t>(length)); });
        EXPECT_EQ(message, "error") << "level " << level << ", " << length << " bytes, trailer byte " << at;
      }
    }
  }
}

// The last data byte comes out of one 64 KiB refill while the trailer lies (partly) in the next:
// the copy has all it asked for before zlib has seen the trailer.
TEST_F(ZLIBDecompressTest, TrailerAcrossARefillIsStillChecked) {
  int straddling = 0;
  for (std::size_t length = 65500; length < 65560; ++length) {
    Bytes payload = SampleData(length);
    Bytes body = Deflate(payload, 0);
    if (!(body.size() - 4 <= 65536 && body.size() > 65536)) continue;
    ++straddling;
    Load(Container(body, static_cast<uint32_t>(length)));
    EXPECT_NO_THROW(Inflate(static_cast<int32_t>(length)));
    EXPECT_EQ(Contents(dest), payload);
    body.back() ^= 0x01;
    Load(Container(body, static_cast<uint32_t>(length)));
    EXPECT_EQ(MessageOf<data::EZlibError>([&] { Inflate(static_cast<int32_t>(length)); }), "error") << length;
  }
  EXPECT_EQ(straddling, 4);
}

TEST_F(ZLIBDecompressTest, SizeEndingAtARefillWithMoreDataAfterIsNoError) {
  Bytes payload = NoiseData(200000);
  Bytes body = Deflate(payload, 0);
  // A stored block's data starts 7 bytes into the body: 65529 bytes fill the first refill.
  Load(Container(body, 65529));
  EXPECT_NO_THROW(Inflate(65529));
  EXPECT_EQ(Contents(dest), Bytes(payload.begin(), payload.begin() + 65529));
}

// A body that stops where Size bytes have come out is cut short, not damaged: zlib never saw a
// wrong trailer, so nothing is raised, with the trailer partly there or not at all.
TEST_F(ZLIBDecompressTest, ABodyCutShortInItsTrailerIsAccepted) {
  Bytes payload = SampleData(3000);
  Bytes body = Deflate(payload);
  for (std::size_t cut = 1; cut <= 4; ++cut) {
    Load(Container(Bytes(body.begin(), body.end() - static_cast<std::ptrdiff_t>(cut)), 3000));
    EXPECT_NO_THROW(Inflate(3000)) << cut << " trailer bytes missing";
    EXPECT_EQ(Contents(dest), payload) << cut << " trailer bytes missing";
  }
}

// Stored blocks written by hand: each block's bytes come out as they stand, so a body can end
// exactly where the wanted bytes do, in the middle of the zlib stream.
Bytes StoredBlock(const Bytes& data, bool last) {
  const auto length = static_cast<uint16_t>(data.size());
  Bytes block{static_cast<unsigned char>(last ? 1 : 0), static_cast<unsigned char>(length),
              static_cast<unsigned char>(length >> 8), static_cast<unsigned char>(~length),
              static_cast<unsigned char>(~length >> 8)};
  block.insert(block.end(), data.begin(), data.end());
  return block;
}

TEST_F(ZLIBDecompressTest, ABodyEndingWhereSizeBytesCameOutIsAcceptedWithOrWithoutASpareByte) {
  Bytes first = SampleData(1000);
  Bytes stream = Concat({{0x78, 0x01}, StoredBlock(first, false)});
  for (const Bytes& body : {stream, Concat({stream, {0x00}})}) {
    Load(Container(body, 1000));
    EXPECT_NO_THROW(Inflate(1000)) << body.size() - stream.size() << " spare bytes";
    EXPECT_EQ(Contents(dest), first);
  }
}

TEST_F(ZLIBDecompressTest, DamagedDeflateDataAfterSizeIsNotExamined) {
  Bytes first = SampleData(1000);
  // Block type 3 does not exist: zlib would stop at this header if it were asked for more.
  Bytes body = Concat({{0x78, 0x01}, StoredBlock(first, false), {0x07, 0x00, 0x00, 0x00}});
  Load(Container(body, 1000));
  EXPECT_NO_THROW(Inflate(1000));
  EXPECT_EQ(Contents(dest), first);
  // Asked for one byte more, the damaged header is reached and reported.
  Load(Container(body, 1001));
  EXPECT_EQ(MessageOf<data::EZlibError>([&] { Inflate(1001); }), "error");
}

TEST_F(ZLIBDecompressTest, BytesAfterTheZlibStreamAreNotExamined) {
  Bytes payload = SampleData(1000);
  Load(Concat({Container(Deflate(payload), 1000), NoiseData(70000)}));
  EXPECT_EQ(Unpack(source), payload);
}

TEST_F(ZLIBDecompressTest, ReadsTheSourceInBlocksOf64KiBAndWritesPiecesOf61440Bytes) {
  Bytes payload = NoiseData(400000);
  Bytes container = Container(Deflate(payload), 400000);
  RecordingStream recorded;
  Fill(recorded, container);
  int32_t size = 0;
  ASSERT_TRUE(data::ReadZLIBHeader(recorded, size));
  recorded.reads.clear();
  RecordingStream out;
  out.SetSize(size);
  data::ZLIBDecompress(recorded, out, size);
  EXPECT_EQ(Contents(out), payload);

  std::size_t bodyLength = container.size() - 17;
  ASSERT_GT(bodyLength, 6u * 65536u);
  EXPECT_EQ(recorded.reads, std::vector<int32_t>((bodyLength + 65535) / 65536, 65536));
  std::vector<int32_t> pieces(6, 61440);
  pieces.push_back(400000 - 6 * 61440);
  EXPECT_EQ(out.writes, pieces);
  EXPECT_EQ(out.Capacity(), (400000 + 8191) / 8192 * 8192);  // sized once, never grown
}

// --- The decompression stream itself

class DecompressionStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    payload = SampleData(300000, 3);
    Fill(source, Deflate(payload));
  }
  Bytes ReadAll(rtl::TStream& stream, int32_t piece) {
    Bytes all;
    Bytes buffer(static_cast<std::size_t>(piece));
    for (;;) {
      int32_t got = stream.Read(buffer.data(), piece);
      all.insert(all.end(), buffer.begin(), buffer.begin() + got);
      if (got < piece) return all;
    }
  }
  Bytes payload;
  rtl::TMemoryStream source;
};

TEST_F(DecompressionStreamTest, ReadsWhatWasAskedToTheEndAndReportsBytesProducedAsPosition) {
  data::TDecompressionStream stream(source);
  unsigned char buffer[1000];
  EXPECT_EQ(stream.Read(buffer, 0), 0);
  EXPECT_EQ(stream.Read(buffer, 10), 10);
  EXPECT_EQ(stream.Read(buffer, 1000), 1000);
  EXPECT_EQ(stream.GetPosition(), 1010);
  EXPECT_EQ(0, std::memcmp(buffer, payload.data() + 10, 1000));
  // A short read at the end, then nothing.
  EXPECT_EQ(ReadAll(stream, 7000), Bytes(payload.begin() + 1010, payload.end()));
  EXPECT_EQ(stream.Read(buffer, 1), 0);
  EXPECT_EQ(stream.GetPosition(), 300000);
}

TEST_F(DecompressionStreamTest, SourceMovedBetweenReadsDoesNotMatter) {
  data::TDecompressionStream stream(source);
  Bytes all;
  Bytes buffer(20000);
  int32_t wander = 0;
  for (;;) {
    source.SetPosition(wander);
    wander = (wander + 12345) % 90000;
    int32_t got = stream.Read(buffer.data(), 20000);
    all.insert(all.end(), buffer.begin(), buffer.begin() + got);
    if (got < 20000) break;
  }
  EXPECT_EQ(all, payload);
}

TEST_F(DecompressionStreamTest, StartsAtTheSourcePositionAtCreation) {
  Bytes body = Deflate(payload);
  source.Clear();
  Fill(source, Concat({Bytes(500, 0x55), body}));
  source.SetPosition(500);
  data::TDecompressionStream stream(source);
  source.SetPosition(0);
  EXPECT_EQ(ReadAll(stream, 65536), payload);
}

TEST_F(DecompressionStreamTest, SeekForwardDiscardsFromCurrentOrBeginningUpToTheEnd) {
  data::TDecompressionStream stream(source);
  unsigned char buffer[16];
  stream.ReadBuffer(buffer, 16);
  EXPECT_EQ(stream.GetPosition(), 16);
  EXPECT_EQ(stream.Seek(10000, TSeekOrigin::soCurrent), 10016);
  stream.ReadBuffer(buffer, 16);
  EXPECT_EQ(0, std::memcmp(buffer, payload.data() + 10016, 16));
  EXPECT_EQ(stream.Seek(10033, TSeekOrigin::soBeginning), 10033);  // one beyond what was produced
  stream.ReadBuffer(buffer, 16);
  EXPECT_EQ(0, std::memcmp(buffer, payload.data() + 10033, 16));
  // Past the end: a read error.
  EXPECT_EQ(stream.Seek(300000 - 10049, TSeekOrigin::soCurrent), 300000);
  EXPECT_THROW(stream.Seek(1, TSeekOrigin::soCurrent), rtl::EReadError);
}

TEST_F(DecompressionStreamTest, EveryOtherSeekAndWritingAreInvalid) {
  data::TDecompressionStream stream(source);
  unsigned char buffer[100];
  stream.ReadBuffer(buffer, 100);
  auto invalid = [&](int32_t offset, TSeekOrigin origin) {
    std::string message = MessageOf<data::EDecompressionError>([&] { stream.Seek(offset, origin); });
    EXPECT_EQ(message, "Invalid stream operation") << offset;
  };
  invalid(-1, TSeekOrigin::soCurrent);
  invalid(100, TSeekOrigin::soBeginning);  // not beyond what was produced
  invalid(99, TSeekOrigin::soBeginning);
  invalid(-5, TSeekOrigin::soBeginning);
  invalid(0, TSeekOrigin::soEnd);
  invalid(-1, TSeekOrigin::soEnd);
  invalid(1, TSeekOrigin::soEnd);
  EXPECT_EQ(MessageOf<data::EDecompressionError>([&] { stream.GetSize(); }), "Invalid stream operation");
  EXPECT_EQ(MessageOf<data::EDecompressionError>([&] { stream.Write(buffer, 1); }), "Invalid stream operation");
  EXPECT_THROW(stream.WriteBuffer(buffer, 1), data::EDecompressionError);
  EXPECT_EQ(stream.GetPosition(), 100);
}

TEST_F(DecompressionStreamTest, RewindStartsAgainFromTheSourcesAbsoluteBeginning) {
  data::TDecompressionStream stream(source);
  unsigned char buffer[100];
  stream.ReadBuffer(buffer, 100);
  ReadAll(stream, 65536);
  EXPECT_EQ(stream.Seek(0, TSeekOrigin::soBeginning), 0);
  EXPECT_EQ(source.GetPosition(), 0);
  EXPECT_EQ(ReadAll(stream, 4096), payload);
}

TEST_F(DecompressionStreamTest, RewindIgnoresWhereTheStreamWasCreated) {
  Bytes container = Container(Deflate(payload), 300000);
  source.Clear();
  Fill(source, container);
  source.SetPosition(17);
  data::TDecompressionStream stream(source);
  unsigned char buffer[100];
  stream.ReadBuffer(buffer, 100);
  stream.SetPosition(0);
  // Position 0 holds the signature, not a zlib header.
  EXPECT_EQ(MessageOf<data::EZlibError>([&] { stream.Read(buffer, 100); }), "error");
}

TEST_F(DecompressionStreamTest, ADamagedStreamStaysDamaged) {
  Bytes body = Deflate(payload);
  body[2] |= 0x06;
  source.Clear();
  Fill(source, body);
  data::TDecompressionStream stream(source);
  unsigned char buffer[10];
  EXPECT_THROW(stream.Read(buffer, 10), data::EZlibError);
  EXPECT_THROW(stream.Read(buffer, 10), data::EZlibError);
}

}  // namespace
