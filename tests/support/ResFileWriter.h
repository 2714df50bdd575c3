// Builds compiled 32-bit resource files (.RES) byte by byte for the tests, including malformed ones.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace testing_support {

// A TYPE or NAME field: an ordinal (0xFFFF, number) or a zero-terminated UTF-16LE name.
struct Field {
  static Field Ordinal(uint16_t number) { return Field{true, number, {}}; }
  static Field Name(std::u16string text) { return Field{false, 0, std::move(text)}; }
  bool isOrdinal;
  uint16_t number;
  std::u16string text;
};

struct EntryOptions {
  // Pads the header to a multiple of 4 and counts the padding in HeaderSize, as resource compilers
  // do; when false HeaderSize is the exact unpadded length and the padding lies outside it.
  bool alignedHeader = true;
  // Replace the sizes written into the entry (the bytes laid out stay those of the real entry).
  int64_t dataSizeField = -1;
  int64_t headerSizeField = -1;
};

class ResFileWriter {
 public:
  // The customary 32-byte empty entry that opens every .RES file.
  ResFileWriter& EmptyEntry() { return Entry(Field::Ordinal(0), Field::Ordinal(0), std::string()); }

  ResFileWriter& Entry(const Field& type, const Field& name, const std::string& data, EntryOptions options = {}) {
    std::string header;
    AppendField(header, type);
    AppendField(header, name);
    if (options.alignedHeader) Pad(header, 8);
    AppendU32(header, 0);  // data version
    AppendU16(header, 0x1030);  // memory flags
    AppendU16(header, 0x0411);  // language
    AppendU32(header, 0);  // version
    AppendU32(header, 0);  // characteristics
    uint32_t headerSize = static_cast<uint32_t>(header.size() + 8);
    AppendU32(bytes_, options.dataSizeField >= 0 ? static_cast<uint32_t>(options.dataSizeField)
                                                 : static_cast<uint32_t>(data.size()));
    AppendU32(bytes_, options.headerSizeField >= 0 ? static_cast<uint32_t>(options.headerSizeField) : headerSize);
    bytes_ += header;
    Pad(bytes_, 0);
    bytes_ += data;
    Pad(bytes_, 0);
    return *this;
  }

  // Raw bytes, for entries no compiler writes.
  ResFileWriter& Raw(const std::string& raw) {
    bytes_ += raw;
    return *this;
  }
  ResFileWriter& U32(uint32_t value) {
    AppendU32(bytes_, value);
    return *this;
  }

  const std::string& Bytes() const { return bytes_; }

  static void AppendU16(std::string& out, uint16_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
  }
  static void AppendU32(std::string& out, uint32_t value) {
    AppendU16(out, static_cast<uint16_t>(value & 0xFFFF));
    AppendU16(out, static_cast<uint16_t>(value >> 16));
  }

 private:
  static void AppendField(std::string& out, const Field& field) {
    if (field.isOrdinal) {
      AppendU16(out, 0xFFFF);
      AppendU16(out, field.number);
      return;
    }
    for (char16_t unit : field.text) AppendU16(out, static_cast<uint16_t>(unit));
    AppendU16(out, 0);
  }
  // Pads to a multiple of 4 counted from offset `base` with a filler that no field would hold.
  static void Pad(std::string& out, std::size_t base) {
    while ((out.size() + base) % 4 != 0) out += '\xCC';
  }

  std::string bytes_;
};

}  // namespace testing_support
