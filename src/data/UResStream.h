// Read access to one resource, by type and name, from a compiled 32-bit resource file (.RES) or,
// when no such file is given or found, from the running program's own module.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "rtl/Stream.h"

namespace data {

// A resource type: an ordinal (2 for bitmaps, 3 for icons) or a type name such as "JPEG" (CP932).
// Implicit, so that a call reads TResStream(file, "LOGO", 2) or TResStream(file, "PIC", "JPEG").
class TResType {
 public:
  // Raises ERangeError outside 0..65535.
  TResType(int ordinal);
  // A pointer whose upper 16 bits are zero is an ordinal (MAKEINTRESOURCEA), anything else a name.
  TResType(const char* nameOrOrdinal);
  TResType(std::string name);

  bool IsOrdinal() const { return isOrdinal_; }
  uint16_t Ordinal() const { return ordinal_; }
  const std::string& Name() const { return name_; }

 private:
  bool isOrdinal_;
  uint16_t ordinal_;
  std::string name_;
};

class TResStream : public rtl::TStream {
 public:
  // When fileName names an existing file (used unchanged, relative names against the current
  // folder), the resource's data is copied from that file into a writable memory stream;
  // otherwise the stream reads the resource in place from the program's module (read-only). In
  // both, resName is always a name: "#5" never stands for the number 5.
  // Position 0 afterwards. Raises EResNotFound ("%s ﾘｿｰｽが見つかりません" with resName) when
  // the chosen source lacks the resource (no fallback to the module once the file exists),
  // EFOpenError when the file cannot be opened, EReadError on a truncated entry header,
  // EIntOverflow on sizes that overflow and ERangeError on a name or type key longer than
  // kMaxKeyLength when reading a file.
  TResStream(const std::string& fileName, const std::string& resName, const TResType& resType);

  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  int32_t Seek(int32_t offset, rtl::TSeekOrigin origin) override;
  int32_t GetSize() override;
  void SetSize(int32_t newSize) override;

  static constexpr int32_t kMaxKeyLength = 258;  // UTF-16 units

 private:
  std::unique_ptr<rtl::TStream> inner_;
};

}  // namespace data
