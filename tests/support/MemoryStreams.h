// Memory streams in tests: filled from bytes, read back whole, and one that records what is asked
// of it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "rtl/Stream.h"

namespace testing_support {

// Writes bytes into the stream and rewinds it, ready to be read.
inline void Fill(rtl::TMemoryStream& stream, const std::vector<uint8_t>& bytes) {
  stream.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  stream.SetPosition(0);
}

// Everything the stream holds, whatever its position.
inline std::vector<uint8_t> Contents(rtl::TCustomMemoryStream& stream) {
  const auto* memory = static_cast<const uint8_t*>(stream.Memory());
  return std::vector<uint8_t>(memory, memory + stream.GetSize());
}

// A memory stream that notes the size of every read and write asked of it, and can be made to
// refuse writing beyond writeLimit bytes, as a full disk does.
class RecordingStream : public rtl::TMemoryStream {
 public:
  int32_t Read(void* buffer, int32_t count) override {
    reads.push_back(count);
    return TMemoryStream::Read(buffer, count);
  }
  int32_t Write(const void* buffer, int32_t count) override {
    writes.push_back(count);
    if (writeLimit >= 0 && count > writeLimit - GetPosition()) count = std::max(0, writeLimit - GetPosition());
    return TMemoryStream::Write(buffer, count);
  }
  std::vector<int32_t> reads, writes;
  int32_t writeLimit = -1;  // none
};

}  // namespace testing_support
