// Inflating a payload container the updater's way against zlib's own one-call uncompress.
// (a)/(b) is the headline ratio. The updater must write into a new block of the final size, so its
// figure includes the first touch of fresh pages; the lines after it split the difference into that
// and the cost of inflating in pieces through the streams.
#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "data/UZLIB.h"
#include "rtl/Stream.h"

namespace {

using Bytes = std::vector<unsigned char>;

class Random {
 public:
  explicit Random(uint32_t seed) : state_(seed) {}
  uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }
  uint32_t Below(uint32_t bound) { return Next() % bound; }

 private:
  uint32_t state_;
};

void Put32(Bytes& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

// Something like a 32-bit executable: code made of a few recurring instruction shapes with varying
// operands, zero padding, pointer and relocation tables, strings, and already-compressed resources.
Bytes MakeExecutableLike(std::size_t size) {
  Random random(20240607);
  Bytes out;
  out.reserve(size + 65536);
  const char* const kStrings[] = {"GetProcAddress", "LoadLibraryA", "TForm", "TButton", "OnClick",
                                  "Caption", "Software\\Pelano", "ReadFile", "CreateWindowExW",
                                  "Invalid stream operation", "MS PGothic", "Dialog"};
  uint32_t address = 0x00401000;
  while (out.size() < size) {
    uint32_t kind = random.Below(100);
    if (kind < 60) {  // code: often a routine seen before with a few operands changed
      std::size_t length = 64 + random.Below(1024);
      if (out.size() > 65536 && random.Below(3) != 0) {
        std::size_t from = out.size() - 65536 + random.Below(65536 - 2048);
        for (std::size_t i = 0; i < length; ++i) {
          unsigned char byte = out[from + i];
          out.push_back(random.Below(24) == 0 ? static_cast<unsigned char>(random.Next() >> 24) : byte);
        }
        continue;
      }
      std::size_t end = out.size() + length;
      while (out.size() < end) {
        switch (random.Below(9)) {
          case 0: out.insert(out.end(), {0x55, 0x8B, 0xEC, 0x83, 0xEC}); out.push_back(static_cast<unsigned char>(4 * random.Below(16))); break;
          case 1: out.push_back(0xE8); Put32(out, static_cast<uint32_t>(-static_cast<int32_t>(random.Below(200000)))); break;
          case 2: out.insert(out.end(), {0x8B, 0x45}); out.push_back(static_cast<unsigned char>(4 * random.Below(8) + 8)); break;
          case 3: out.insert(out.end(), {0x89, 0x45}); out.push_back(static_cast<unsigned char>(0xFC - 4 * random.Below(8))); break;
          case 4: out.insert(out.end(), {0x8B, 0xE5, 0x5D, 0xC3}); break;
          case 5: out.push_back(0x68); Put32(out, address + 4 * random.Below(4096)); break;
          case 6: out.insert(out.end(), {0x85, 0xC0, 0x74}); out.push_back(static_cast<unsigned char>(random.Below(64))); break;
          case 7: out.insert(out.end(), {0xFF, 0x15}); Put32(out, 0x00480000 + 4 * random.Below(64)); break;
          default: out.insert(out.end(), {0x33, 0xC0, 0x50, 0x53}); break;
        }
      }
    } else if (kind < 72) {  // padding
      out.insert(out.end(), 16 + random.Below(2048), 0);
    } else if (kind < 82) {  // pointer and relocation tables
      uint32_t entries = 16 + random.Below(256);
      uint32_t value = address + random.Below(65536);
      for (uint32_t i = 0; i < entries; ++i) {
        value += 4 + 4 * random.Below(4);
        Put32(out, value);
      }
    } else if (kind < 97) {  // strings, some of them UTF-16
      uint32_t count = 4 + random.Below(40);
      bool wide = random.Below(2) == 0;
      for (uint32_t i = 0; i < count; ++i) {
        const char* text = kStrings[random.Below(12)];
        for (const char* c = text; *c; ++c) {
          out.push_back(static_cast<unsigned char>(*c));
          if (wide) out.push_back(0);
        }
        out.push_back(0);
        if (wide) out.push_back(0);
      }
    } else {  // compressed resources: nothing to gain
      uint32_t length = 256 + random.Below(2048);
      for (uint32_t i = 0; i < length; ++i) out.push_back(static_cast<unsigned char>(random.Next() >> 24));
    }
    address += 0x100;
  }
  out.resize(size);
  out[0] = 'M';
  out[1] = 'Z';
  return out;
}

double Seconds() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

// A block from the same allocator as the memory stream's, allocated but never touched.
class FreshBlock {
 public:
  explicit FreshBlock(std::size_t size)
      : handle_(GlobalAlloc(GMEM_MOVEABLE, size)), memory_(handle_ ? GlobalLock(handle_) : nullptr) {}
  ~FreshBlock() {
    if (handle_) {
      GlobalUnlock(handle_);
      GlobalFree(handle_);
    }
  }
  FreshBlock(const FreshBlock&) = delete;
  FreshBlock& operator=(const FreshBlock&) = delete;
  Bytef* get() const { return static_cast<Bytef*>(memory_); }

 private:
  HGLOBAL handle_;
  void* memory_;
};

int main() {
  constexpr std::size_t kSize = 6 * 1024 * 1024;
  constexpr int kRepetitions = 15;
  Bytes original = MakeExecutableLike(kSize);

  uLongf bodyLength = compressBound(kSize);
  Bytes body(bodyLength);
  if (compress2(body.data(), &bodyLength, original.data(), kSize, 9) != Z_OK) return 1;
  body.resize(bodyLength);

  rtl::TMemoryStream container;
  container.WriteBuffer("ZLIBCompress\x1A", 13);
  unsigned char sizeField[4] = {static_cast<unsigned char>(kSize), static_cast<unsigned char>(kSize >> 8),
                                static_cast<unsigned char>(kSize >> 16), static_cast<unsigned char>(kSize >> 24)};
  container.WriteBuffer(sizeField, 4);
  container.WriteBuffer(body.data(), static_cast<int32_t>(body.size()));

  // The updater's way: recognise, size a new destination once, inflate through the streams.
  auto updater = [&](rtl::TMemoryStream& dest) {
    container.SetPosition(0);
    int32_t size = 0;
    if (!data::ReadZLIBHeader(container, size)) throw rtl::Exception("container not recognised");
    dest.SetSize(size);
    dest.SetPosition(0);
    data::ZLIBDecompress(container, dest, size);
    dest.SetPosition(0);
  };
  auto zlib = [&](Bytef* out) {
    uLongf length = kSize;
    if (uncompress(out, &length, body.data(), static_cast<uLong>(body.size())) != Z_OK || length != kSize) {
      throw rtl::Exception("uncompress failed");
    }
  };
  // Checked outside the timed part.
  auto verify = [&](const void* memory, int32_t size) {
    if (size != static_cast<int32_t>(kSize) || std::memcmp(memory, original.data(), kSize) != 0) {
      throw rtl::Exception("inflation gave wrong data");
    }
  };

  Bytes warm(kSize);
  rtl::TMemoryStream reused;
  double best[5] = {1e9, 1e9, 1e9, 1e9, 1e9};
  try {
    for (int round = 0; round < kRepetitions; ++round) {
      double start = Seconds();
      {
        rtl::TMemoryStream dest;
        updater(dest);
        best[0] = std::min(best[0], Seconds() - start);
        verify(dest.Memory(), dest.GetSize());
      }

      start = Seconds();
      zlib(warm.data());
      best[1] = std::min(best[1], Seconds() - start);
      verify(warm.data(), static_cast<int32_t>(kSize));

      {
        FreshBlock fresh(kSize);
        if (!fresh.get()) throw rtl::Exception("out of memory");
        start = Seconds();
        zlib(fresh.get());
        best[2] = std::min(best[2], Seconds() - start);
        verify(fresh.get(), static_cast<int32_t>(kSize));
      }

      start = Seconds();
      updater(reused);
      if (round > 0) best[3] = std::min(best[3], Seconds() - start);
      verify(reused.Memory(), reused.GetSize());

      {
        FreshBlock fresh(kSize);
        if (!fresh.get()) throw rtl::Exception("out of memory");
        start = Seconds();
        std::memset(fresh.get(), 0, kSize);
        best[4] = std::min(best[4], Seconds() - start);
      }
    }
  } catch (const rtl::Exception& e) {
    std::printf("failed: %s\n", e.what());
    return 1;
  }

  const double megabytes = static_cast<double>(kSize) / 1e6;
  auto line = [&](const char* what, double seconds) {
    std::printf("%-62s %7.1f MB/s %7.2f ms\n", what, megabytes / seconds, seconds * 1e3);
  };
  std::printf("data %zu bytes, container body %zu bytes (%.1f%%), best of %d rounds\n", kSize, body.size(),
              100.0 * static_cast<double>(body.size()) / static_cast<double>(kSize), kRepetitions);
  line("(a)  updater: ReadZLIBHeader, new TMemoryStream, ZLIBDecompress", best[0]);
  line("(b)  zlib uncompress into a preallocated, warm buffer", best[1]);
  std::printf("ratio (a)/(b): %.3f\n", best[1] / best[0]);
  std::printf("where the difference goes:\n");
  line("(b') zlib uncompress into a preallocated block never touched", best[2]);
  line("(a') updater into a TMemoryStream sized in an earlier round", best[3]);
  line("     first touch of a new 6 MiB block (memset)", best[4]);
  std::printf("ratio (a)/(b'), both writing new memory: %.3f\n", best[2] / best[0]);
  std::printf("ratio (a')/(b), both writing warm memory: %.3f\n", best[1] / best[3]);
  return 0;
}
