// Reads the product version that an executable carries in its version-information resource.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace app {

class TFileVer {
 public:
  explicit TFileVer(const std::string& fileName);  // CP932 path
  TFileVer(const TFileVer&) = delete;
  TFileVer& operator=(const TFileVer&) = delete;

  const std::string& FileName() const { return fileName_; }
  // Stores a new name and releases the block read for the old one.
  void SetFileName(const std::string& fileName);

  // Reads the file's version-information block unless it is loaded; true when a block is loaded.
  bool LoadInfo();
  // The fixed version information inside the block, or nullptr; valid while the block is loaded.
  const VS_FIXEDFILEINFO* GetFixedInfo();
  // Fills v[0..3] with the four product-version numbers; false, v untouched, when the file has no
  // readable version information. Raises ERangeError at the first index beyond v's end.
  bool GetVersion(std::span<uint16_t> v);

 private:
  std::unique_ptr<unsigned char[]> info_;
  std::string fileName_;
};

// The installed product version on the update version's scale: major, and minor * 10 + release.
// Both are 0 when the file is missing or carries no readable version; never raises.
void GetInstalledVersion(const std::string& path, int32_t& major, int32_t& minorRelease) noexcept;

}  // namespace app
