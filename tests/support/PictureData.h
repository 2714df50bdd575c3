// The pictures that make_pictures.py and make_jpegs.sh put into the test program, and ways to read
// them back: resources as bytes, PPM pixels, files beside the program.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "rtl/Sjis.h"
#include "support/Folders.h"
#include "support/ScratchFolder.h"

namespace testing_support {

// Keep in step with pack_colour() in make_pictures.py (the 400 x 360 "PACK" bitmap).
inline uint32_t PackColour(int x, int y) {
  const uint32_t r = static_cast<uint32_t>(x % 256);
  const uint32_t g = static_cast<uint32_t>(y % 256);
  const uint32_t b = static_cast<uint32_t>((x / 256) * 100 + (y / 256) * 50 + 7);
  return (r << 16) | (g << 8) | b;
}

// The bytes of a resource of the test program.
inline std::vector<uint8_t> ResourceBytes(const wchar_t* name, const wchar_t* type) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC info = FindResourceW(module, name, type);
  if (info == nullptr) return {};
  const auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(module, info)));
  return std::vector<uint8_t>(data, data + SizeofResource(module, info));
}

// Pixels of a binary PPM (P6, maxval 255) as 0x00RRGGBB, top row first.
struct PpmImage {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
};

inline PpmImage ParsePpm(const std::vector<uint8_t>& bytes) {
  PpmImage image;
  std::size_t at = 0;
  auto token = [&]() {
    while (at < bytes.size() && (bytes[at] == ' ' || bytes[at] == '\n' || bytes[at] == '\r' || bytes[at] == '\t')) ++at;
    std::string text;
    while (at < bytes.size() && bytes[at] > ' ') text += static_cast<char>(bytes[at++]);
    return text;
  };
  if (token() != "P6") return image;
  const int width = std::stoi(token());
  const int height = std::stoi(token());
  if (token() != "255") return image;
  ++at;  // the one whitespace byte before the pixels
  const std::size_t count = static_cast<std::size_t>(width) * height;
  if (bytes.size() - at < count * 3) return image;
  image.width = width;
  image.height = height;
  for (std::size_t i = 0; i < count; ++i, at += 3) {
    image.pixels.push_back((uint32_t{bytes[at]} << 16) | (uint32_t{bytes[at + 1]} << 8) | bytes[at + 2]);
  }
  return image;
}

// The largest difference of one colour channel between two pixel lists of the same length.
inline int LargestChannelDifference(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  int largest = 0;
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
    for (int shift = 0; shift < 24; shift += 8) {
      const int d = static_cast<int>((a[i] >> shift) & 0xFF) - static_cast<int>((b[i] >> shift) & 0xFF);
      largest = std::max(largest, d < 0 ? -d : d);
    }
  }
  return largest;
}

// A file beside the test program for the length of a test, named uniquely for this process.
class FileBesideProgram {
 public:
  FileBesideProgram(const std::string& stem, const std::string& bytes)
      : name_(stem + "-" + std::to_string(GetCurrentProcessId()) + ".res"),
        path_(rtl::SjisToWide(ProgramFolder() + name_)) {
    WriteWholeFile(path_, std::vector<char>(bytes.begin(), bytes.end()));
  }
  ~FileBesideProgram() { DeleteFileW(path_.c_str()); }
  FileBesideProgram(const FileBesideProgram&) = delete;
  FileBesideProgram& operator=(const FileBesideProgram&) = delete;

  // The name relative to the program's folder.
  const std::string& Name() const { return name_; }

 private:
  std::string name_;
  std::wstring path_;
};

inline std::string AsString(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

}  // namespace testing_support
