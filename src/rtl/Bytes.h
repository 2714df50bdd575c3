// Reading the little-endian fields of file formats (bitmaps, icons, metafiles, resources, gzip
// trailers) from bytes whose bounds the caller has checked.
#pragma once

#include <cstdint>

namespace rtl {

inline uint16_t ReadLE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

inline uint32_t ReadLE32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

inline int32_t ReadLEInt32(const uint8_t* p) { return static_cast<int32_t>(ReadLE32(p)); }

}  // namespace rtl
