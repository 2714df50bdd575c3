#include "app/Filever.h"

#include <algorithm>

#include "rtl/Checked.h"
#include "rtl/Sjis.h"
#include "rtl/SystemDlls.h"

namespace app {

TFileVer::TFileVer(const std::string& fileName) : fileName_(fileName) {}

void TFileVer::SetFileName(const std::string& fileName) {
  fileName_ = fileName;
  info_.reset();
}

bool TFileVer::LoadInfo() {
  if (info_) return true;
  // The name is looked up by its first 255 bytes only. The path is CP932, so the wide calls are
  // made: the ANSI ones would decode it in whatever code page the system happens to use.
  std::wstring name = rtl::SjisToWide(std::string_view(fileName_).substr(0, 255));
  DWORD handle = 0;
  DWORD size = rtl::sys::GetFileVersionInfoSizeW(name.c_str(), &handle);
  if (size == 0) return false;
  auto block = std::make_unique<unsigned char[]>(size);
  if (rtl::sys::GetFileVersionInfoW(name.c_str(), handle, size, block.get())) info_ = std::move(block);
  return info_ != nullptr;
}

const VS_FIXEDFILEINFO* TFileVer::GetFixedInfo() {
  if (!LoadInfo()) return nullptr;
  void* fixed = nullptr;
  UINT length = 0;
  if (!rtl::sys::VerQueryValueW(info_.get(), L"\\", &fixed, &length) || fixed == nullptr) return nullptr;
  // A root entry too short to be the fixed information is no version information at all.
  if (length < sizeof(VS_FIXEDFILEINFO)) return nullptr;
  return static_cast<const VS_FIXEDFILEINFO*>(fixed);
}

bool TFileVer::GetVersion(std::span<uint16_t> v) {
  const VS_FIXEDFILEINFO* fixed = GetFixedInfo();
  if (fixed == nullptr) return false;
  const uint16_t words[4] = {HIWORD(fixed->dwProductVersionMS), LOWORD(fixed->dwProductVersionMS),
                             HIWORD(fixed->dwProductVersionLS), LOWORD(fixed->dwProductVersionLS)};
  const int64_t high = static_cast<int64_t>(v.size()) - 1;
  for (std::size_t i = 0; i < 4; ++i) {
    rtl::RangeCheck(static_cast<int64_t>(i), 0, high);
    v[i] = words[i];
  }
  return true;
}

void GetInstalledVersion(const std::string& path, int32_t& major, int32_t& minorRelease) noexcept {
  major = 0;
  minorRelease = 0;
  try {
    TFileVer fileVer(path);
    uint16_t v[4] = {};
    if (fileVer.GetVersion(v)) {
      major = v[0];
      minorRelease = rtl::CheckedAdd(rtl::CheckedMul(v[1], 10), v[2]);
    }
  } catch (...) {
    // Whatever went wrong, the installed version is unknown: 0 and 0.
  }
}

}  // namespace app
