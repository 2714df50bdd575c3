// A stream over a file opened by its CP932 path.
#pragma once

#include <windows.h>

#include <string>

#include "rtl/Handles.h"
#include "rtl/Stream.h"

namespace rtl {

// Open modes: one access mode, optionally combined with one share mode; fmCreate creates or
// truncates the file for reading and writing.
enum : uint32_t {
  fmOpenRead = 0x0000,
  fmOpenWrite = 0x0001,
  fmOpenReadWrite = 0x0002,
  fmShareExclusive = 0x0010,
  fmShareDenyWrite = 0x0020,
  fmShareDenyRead = 0x0030,
  fmShareDenyNone = 0x0040,
  fmCreate = 0xFFFF,
};

class TFileStream : public TStream {
 public:
  // Raises EFCreateError (fmCreate) or EFOpenError naming the file when it cannot be opened.
  TFileStream(const std::string& fileName, uint32_t mode);

  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  int32_t Seek(int32_t offset, TSeekOrigin origin) override;
  void SetSize(int32_t newSize) override;

  HANDLE Handle() const { return handle_.get(); }
  const std::string& FileName() const { return fileName_; }

 private:
  TFileHandle handle_;
  std::string fileName_;
};

}  // namespace rtl
