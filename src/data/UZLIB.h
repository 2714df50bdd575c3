// The payload container: "ZLIBCompress", 0x1A, the uncompressed size (32-bit little-endian) and
// one zlib stream that inflates to exactly that many bytes.
#pragma once

#include <cstdint>

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

// Recognises a container at the stream's position. On success sets size and leaves the stream
// 17 bytes further on; otherwise returns false with size untouched and the position restored.
bool ReadZLIBHeader(rtl::TStream& stream, int32_t& size);

// Inflates exactly size bytes of the zlib stream at source's position into dest.
void ZLIBDecompress(rtl::TStream& source, rtl::TStream& dest, int32_t size);

}  // namespace data
