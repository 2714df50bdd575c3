// A read-only memory stream whose last byte lies right before an inaccessible page, so that any
// read beyond the data faults at once.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "rtl/Stream.h"

namespace testing_support {

class TGuardedStream : public rtl::TCustomMemoryStream {
 public:
  explicit TGuardedStream(const std::vector<uint8_t>& data) {
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    const std::size_t page = info.dwPageSize;
    const std::size_t dataPages = (data.size() + page - 1) / page;
    size_ = (dataPages + 1) * page;
    base_ = static_cast<uint8_t*>(VirtualAlloc(nullptr, size_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    EXPECT_NE(base_, nullptr);
    DWORD old = 0;
    EXPECT_TRUE(VirtualProtect(base_ + dataPages * page, page, PAGE_NOACCESS, &old)) << "the guard page";
    uint8_t* start = base_ + dataPages * page - data.size();
    if (!data.empty()) std::memcpy(start, data.data(), data.size());
    SetPointer(start, static_cast<int32_t>(data.size()));
  }
  ~TGuardedStream() override { VirtualFree(base_, 0, MEM_RELEASE); }
  int32_t Write(const void*, int32_t) override { return 0; }

 private:
  uint8_t* base_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace testing_support
