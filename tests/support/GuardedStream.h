// Bytes that end right before a page that may not be read, so that any read beyond them faults at
// once: a read-only memory stream over such bytes, and growable memory streams that keep theirs so
// (the data that a loader inflates or copies into a memory stream of its own, for instance).
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "rtl/Stream.h"

namespace testing_support {

// count bytes whose end touches an inaccessible page, or nullptr when there is no room for them;
// FreeGuarded gives them back.
inline uint8_t* AllocateGuarded(std::size_t count) {
  SYSTEM_INFO info{};
  GetSystemInfo(&info);
  const std::size_t page = info.dwPageSize;
  const std::size_t dataPages = (count + page - 1) / page;
  auto* base = static_cast<uint8_t*>(VirtualAlloc(nullptr, (dataPages + 1) * page, MEM_RESERVE | MEM_COMMIT,
                                                  PAGE_READWRITE));
  if (base == nullptr) return nullptr;  // as a memory stream's storage: the stream's memory error
  DWORD old = 0;
  EXPECT_TRUE(VirtualProtect(base + dataPages * page, page, PAGE_NOACCESS, &old)) << "the guard page";
  return base + dataPages * page - count;
}

inline void FreeGuarded(const void* bytes) {
  MEMORY_BASIC_INFORMATION region{};
  if (bytes != nullptr && VirtualQuery(bytes, &region, sizeof region) != 0) {
    VirtualFree(region.AllocationBase, 0, MEM_RELEASE);
  }
}

// True when the byte at address may not be read.
inline bool Unreadable(const void* address) {
  MEMORY_BASIC_INFORMATION region{};
  return VirtualQuery(address, &region, sizeof region) != 0 && region.Protect == PAGE_NOACCESS;
}

class TGuardedStream : public rtl::TCustomMemoryStream {
 public:
  explicit TGuardedStream(const std::vector<uint8_t>& data) : start_(AllocateGuarded(data.size())) {
    EXPECT_NE(start_, nullptr) << "no memory for the guarded data";
    if (!data.empty() && start_ != nullptr) std::memcpy(start_, data.data(), data.size());
    SetPointer(start_, static_cast<int32_t>(data.size()));
  }
  ~TGuardedStream() override { FreeGuarded(start_); }
  int32_t Write(const void*, int32_t) override { return 0; }

 private:
  uint8_t* start_;
};

// While it lives, every growable memory stream keeps exactly its capacity in bytes that end at an
// inaccessible page. Make it before the streams and let it go after them.
class TGuardedMemoryStreams {
 public:
  TGuardedMemoryStreams() : saved_(rtl::MemoryStreamStorage()) { rtl::MemoryStreamStorage() = &Storage; }
  ~TGuardedMemoryStreams() { rtl::MemoryStreamStorage() = saved_; }
  TGuardedMemoryStreams(const TGuardedMemoryStreams&) = delete;
  TGuardedMemoryStreams& operator=(const TGuardedMemoryStreams&) = delete;

 private:
  static void* Storage(void* memory, int32_t capacity, int32_t newCapacity) {
    uint8_t* fresh = newCapacity > 0 ? AllocateGuarded(static_cast<std::size_t>(newCapacity)) : nullptr;
    if (fresh != nullptr && memory != nullptr) {
      std::memcpy(fresh, memory, static_cast<std::size_t>(std::min(capacity, newCapacity)));
    }
    FreeGuarded(memory);
    return fresh;
  }
  rtl::TMemoryStorage saved_;
};

// Whether read, given bytes that end right before an inaccessible page, refuses them with an E.
// Any other exception escapes to fail the test.
template <typename E>
bool RefusedFromGuarded(const std::vector<uint8_t>& bytes,
                        const std::function<void(const uint8_t* data, std::size_t size)>& read) {
  TGuardedStream guarded(bytes);
  try {
    read(static_cast<const uint8_t*>(guarded.Memory()), bytes.size());
  } catch (const E&) {
    return true;
  }
  return false;
}

}  // namespace testing_support
