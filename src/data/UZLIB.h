// The payload container: "ZLIBCompress", 0x1A, the uncompressed size (32-bit little-endian) and
// one zlib stream that inflates to exactly that many bytes.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <memory>

#include "rtl/Exception.h"
#include "rtl/Stream.h"

namespace data {

// Raised when zlib reports an error; the message is "error".
class EZlibError : public rtl::Exception {
 public:
  using rtl::Exception::Exception;
};

// Raised by every operation the decompression stream does not offer ("Invalid stream operation").
class EDecompressionError : public EZlibError {
 public:
  using EZlibError::EZlibError;
};

// A read-only, forward-only stream that inflates the zlib stream found at the source's position.
// The source is read ahead 64 KiB at a time and may be moved by others between reads.
class TDecompressionStream : public rtl::TStream {
 public:
  explicit TDecompressionStream(rtl::TStream& source);
  ~TDecompressionStream() override;

  // Returns fewer bytes than asked only when the source runs dry or the zlib stream has ended.
  int32_t Read(void* buffer, int32_t count) override;
  // Always raises EDecompressionError.
  int32_t Write(const void* buffer, int32_t count) override;
  // Rewind (0 from the beginning) or skip forward; anything else raises EDecompressionError.
  int32_t Seek(int32_t offset, rtl::TSeekOrigin origin) override;

  // Called once the wanted bytes have been read: if the deflate data ends right here, makes zlib
  // read and verify the Adler-32 trailer. Raises EZlibError only when zlib reached the trailer and
  // found it wrong; returns quietly when more data follows, when the body ends here (cut short
  // after the wanted bytes) or when what follows is damaged, as none of that is examined.
  void CheckEnd();

  static constexpr int32_t kBufferSize = 65536;
  static constexpr int32_t kSkipPiece = 4096;

 private:
  bool Refill();
  bool TrailerWrong() const;
  void Skip(int32_t count);

  rtl::TStream& source_;  // not owned
  int32_t sourcePosition_;
  int32_t produced_ = 0;
  bool ended_ = false;
  bool failed_ = false;  // zlib failed just after producing the last bytes asked for
  z_stream zstream_{};
  std::unique_ptr<unsigned char[]> input_;
};

// Recognises a container at the stream's position. On success sets size and leaves the stream
// 17 bytes further on; otherwise returns false with size untouched and the position restored.
bool ReadZLIBHeader(rtl::TStream& stream, int32_t& size);

// Inflates exactly size bytes of the zlib stream at source's position into dest.
void ZLIBDecompress(rtl::TStream& source, rtl::TStream& dest, int32_t size);

// Inflates exactly size bytes of the zlib stream at source's position into dest, which is sized for
// them in one allocation beforehand and left at position 0.
void ZLIBDecompressToMemory(rtl::TStream& source, rtl::TMemoryStream& dest, int32_t size);

}  // namespace data
