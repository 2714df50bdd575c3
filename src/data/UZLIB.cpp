#include "data/UZLIB.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "rtl/Bytes.h"
#include "rtl/Checked.h"

namespace data {

namespace {

constexpr unsigned char kSignature[13] = {'Z', 'L', 'I', 'B', 'C', 'o', 'm', 'p', 'r', 'e', 's', 's', 0x1A};
constexpr int32_t kHeaderSize = 17;

[[noreturn]] void RaiseZlibError() { throw EZlibError("error"); }

// zlib's allocations come to us so that an overflowing count x size is refused (zlib then
// reports Z_MEM_ERROR) rather than wrapped. Nothing here may throw: zlib is C code.
voidpf Allocate(voidpf, uInt items, uInt size) {
  std::size_t bytes;
  if (__builtin_mul_overflow(static_cast<std::size_t>(items), static_cast<std::size_t>(size), &bytes)) {
    return Z_NULL;
  }
  return std::malloc(bytes);
}

void Release(voidpf, voidpf address) { std::free(address); }

}  // namespace

// --- TDecompressionStream

TDecompressionStream::TDecompressionStream(rtl::TStream& source)
    : source_(source),
      sourcePosition_(source.GetPosition()),
      input_(std::make_unique_for_overwrite<unsigned char[]>(kBufferSize)) {
  zstream_.zalloc = Allocate;
  zstream_.zfree = Release;
  zstream_.opaque = Z_NULL;
  zstream_.next_in = input_.get();
  zstream_.avail_in = 0;
  if (inflateInit2(&zstream_, MAX_WBITS) != Z_OK) RaiseZlibError();
}

TDecompressionStream::~TDecompressionStream() { inflateEnd(&zstream_); }

bool TDecompressionStream::Refill() {
  // Others may have moved the source since our last read.
  source_.SetPosition(sourcePosition_);
  int32_t got = source_.Read(input_.get(), kBufferSize);
  if (got <= 0) return false;
  sourcePosition_ = source_.GetPosition();
  zstream_.next_in = input_.get();
  zstream_.avail_in = static_cast<uInt>(got);
  return true;
}

int32_t TDecompressionStream::Read(void* buffer, int32_t count) {
  // After the end of the zlib stream, inflate would only repeat Z_STREAM_END: the short count
  // tells the caller instead.
  if (count <= 0 || ended_) return 0;
  zstream_.next_out = static_cast<Bytef*>(buffer);
  zstream_.avail_out = static_cast<uInt>(count);
  while (zstream_.avail_out > 0) {
    if (zstream_.avail_in == 0 && !Refill()) break;
    int code = inflate(&zstream_, Z_NO_FLUSH);
    if (code == Z_STREAM_END) {
      ended_ = true;
      break;
    }
    if (code != Z_OK) {
      // Having filled the buffer, zlib goes on into what follows (a block header, the trailer);
      // a fault there lies beyond the bytes asked for and is CheckEnd's to judge.
      if (zstream_.avail_out > 0) RaiseZlibError();
      failed_ = true;
      break;
    }
  }
  int32_t done = count - static_cast<int32_t>(zstream_.avail_out);
  produced_ = rtl::CheckedAdd(produced_, done);
  return done;
}

int32_t TDecompressionStream::Write(const void*, int32_t) {
  throw EDecompressionError(rtl::texts::InvalidStreamOperation());
}

int32_t TDecompressionStream::Seek(int32_t offset, rtl::TSeekOrigin origin) {
  if (origin == rtl::TSeekOrigin::soBeginning && offset == 0) {
    if (inflateReset(&zstream_) != Z_OK) RaiseZlibError();
    zstream_.next_in = input_.get();
    zstream_.avail_in = 0;
    // A rewind starts from the source's very beginning, not from where this stream was created.
    sourcePosition_ = 0;
    source_.SetPosition(0);
    produced_ = 0;
    ended_ = false;
    failed_ = false;
    return 0;
  }
  if (origin == rtl::TSeekOrigin::soCurrent && offset >= 0) {
    Skip(offset);
  } else if (origin == rtl::TSeekOrigin::soBeginning && offset > produced_) {
    Skip(offset - produced_);
  } else {
    throw EDecompressionError(rtl::texts::InvalidStreamOperation());
  }
  return produced_;
}

void TDecompressionStream::Skip(int32_t count) {
  unsigned char discard[kSkipPiece];
  while (count > 0) {
    int32_t piece = std::min(count, kSkipPiece);
    ReadBuffer(discard, piece);
    count -= piece;
  }
}

void TDecompressionStream::CheckEnd() {
  if (ended_) return;
  if (failed_) {
    if (TrailerWrong()) RaiseZlibError();
    return;
  }
  // With no room for output, inflate goes on only through what produces nothing: the end of the
  // last block and the Adler-32 trailer. It stops with input left over when more data follows.
  unsigned char room;
  for (;;) {
    // A body that ends here was cut short after the wanted bytes: nothing wrong has been seen.
    if (zstream_.avail_in == 0 && !Refill()) return;
    zstream_.next_out = &room;
    zstream_.avail_out = 0;
    int code = inflate(&zstream_, Z_NO_FLUSH);
    if (code == Z_STREAM_END) {
      ended_ = true;
      return;
    }
    // Only a trailer that zlib has read and found wrong condemns the data; a fault in deflate data
    // beyond the wanted bytes lies in what is not examined.
    if (code == Z_DATA_ERROR && TrailerWrong()) RaiseZlibError();
    if (code != Z_OK && code != Z_BUF_ERROR) return;
    if (zstream_.avail_in > 0) return;
  }
}

bool TDecompressionStream::TrailerWrong() const {
  // zlib names the failed Adler-32 comparison by this message; its other data errors lie in the
  // deflate data itself.
  return zstream_.msg != nullptr && std::strcmp(zstream_.msg, "incorrect data check") == 0;
}

// --- The container

namespace {

bool ReadHeader(rtl::TStream& stream, int32_t& size) {
  unsigned char header[kHeaderSize];
  if (stream.Read(header, sizeof kSignature) != static_cast<int32_t>(sizeof kSignature)) return false;
  if (std::memcmp(header, kSignature, sizeof kSignature) != 0) return false;
  // A stream that ends inside the size field holds no usable size: not a container.
  constexpr int32_t kSizeField = kHeaderSize - static_cast<int32_t>(sizeof kSignature);
  if (stream.Read(header + sizeof kSignature, kSizeField) != kSizeField) return false;
  const unsigned char* field = header + sizeof kSignature;
  size = rtl::ReadLEInt32(field);
  return true;
}

}  // namespace

bool ReadZLIBHeader(rtl::TStream& stream, int32_t& size) {
  rtl::TPositionGuard guard(stream);
  // Found, the stream stays after the header; else it goes back where it was.
  if (!ReadHeader(stream, size)) {
    guard.Restore();
    return false;
  }
  guard.Dismiss();
  return true;
}

void ZLIBDecompress(rtl::TStream& source, rtl::TStream& dest, int32_t size) {
  // A size field of 2 GiB or more arrives negative; no copy could honour it.
  if (size < 0) throw rtl::ERangeError();
  TDecompressionStream stream(source);
  dest.CopyFrom(stream, size);
  stream.CheckEnd();
}

void ZLIBDecompressToMemory(rtl::TStream& source, rtl::TMemoryStream& dest, int32_t size) {
  dest.SetSize(size);
  dest.SetPosition(0);
  ZLIBDecompress(source, dest, size);
  dest.SetPosition(0);
}

}  // namespace data
