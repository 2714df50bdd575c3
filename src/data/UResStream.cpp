#include "data/UResStream.h"

#include <vector>

#include "rtl/Checked.h"
#include "rtl/Exception.h"
#include "rtl/FileStream.h"
#include "rtl/ResourceStream.h"
#include "rtl/Sjis.h"

namespace data {

// --- TResType

TResType::TResType(int ordinal) : isOrdinal_(true), ordinal_(0) {
  rtl::RangeCheck(ordinal, 0, 0xFFFF);
  ordinal_ = static_cast<uint16_t>(ordinal);
}

TResType::TResType(const char* nameOrOrdinal)
    : isOrdinal_(IS_INTRESOURCE(nameOrOrdinal)),
      ordinal_(isOrdinal_ ? static_cast<uint16_t>(reinterpret_cast<uintptr_t>(nameOrOrdinal)) : 0),
      name_(isOrdinal_ ? std::string() : std::string(nameOrOrdinal)) {}

TResType::TResType(std::string name) : isOrdinal_(false), ordinal_(0), name_(std::move(name)) {}

// --- reading a .RES file

namespace {

// (value + 3) with the two low bits cleared.
int32_t Align4(uint32_t value) {
  if (value >= 0x7FFFFFFDu) throw rtl::EIntOverflow();
  return static_cast<int32_t>((value + 3) & ~3u);
}

uint32_t ReadU32(rtl::TStream& file) {
  unsigned char bytes[4];
  file.ReadBuffer(bytes, 4);
  return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

// An ordinal field: 0xFFFF followed by the number.
bool MatchOrdinal(rtl::TStream& file, uint16_t key) {
  uint32_t field = ReadU32(file);
  return (field & 0xFFFF) == 0xFFFF && (field >> 16) == key;
}

// A name field: exactly the key's characters, in any letter case, then the terminator. Reads
// exactly the field when it matches.
bool MatchName(rtl::TStream& file, const std::wstring& key) {
  const std::size_t length = key.size();
  std::vector<unsigned char> bytes((length + 1) * 2);
  const auto count = static_cast<int32_t>(bytes.size());
  if (file.Read(bytes.data(), count) != count) return false;
  std::wstring name(length + 1, L'\0');
  for (std::size_t i = 0; i <= length; ++i) name[i] = static_cast<wchar_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  if (name[length] != 0) return false;  // a longer name
  if (length == 0) return true;
  // A shorter name or an ordinal (0xFFFF) differs within the first `length` units.
  return CompareStringOrdinal(name.data(), static_cast<int>(length), key.data(), static_cast<int>(length), TRUE) ==
         CSTR_EQUAL;
}

std::wstring TextKey(const std::string& text) {
  std::wstring key = rtl::SjisToWide(text);
  if (key.size() > static_cast<std::size_t>(TResStream::kMaxKeyLength)) throw rtl::ERangeError();
  return key;
}

std::unique_ptr<rtl::TStream> ReadFromFile(const std::string& fileName, const std::string& resName,
                                           const TResType& resType) {
  const std::wstring nameKey = TextKey(resName);
  const std::wstring typeKey = resType.IsOrdinal() ? std::wstring() : TextKey(resType.Name());

  rtl::TFileStream file(fileName, rtl::fmOpenRead | rtl::fmShareExclusive);
  const int32_t fileSize = file.GetSize();
  int32_t entry = 0;
  while (entry < fileSize) {
    const uint32_t dataSize = ReadU32(file);
    const uint32_t headerSize = ReadU32(file);
    const int32_t dataStart = rtl::CheckedAdd(entry, Align4(headerSize));
    const int32_t next = rtl::CheckedAdd(dataStart, Align4(dataSize));
    if (next == entry) break;  // an entry of no size would never let the scan advance

    const bool typeMatches = resType.IsOrdinal() ? MatchOrdinal(file, resType.Ordinal()) : MatchName(file, typeKey);
    if (typeMatches && MatchName(file, nameKey)) {
      // The entry claims more data than the file holds: a truncated file.
      if (dataStart > fileSize || static_cast<uint32_t>(fileSize - dataStart) < dataSize) throw rtl::EReadError();
      auto memory = std::make_unique<rtl::TMemoryStream>();
      file.SetPosition(dataStart);
      // CopyFrom reads a count of 0 as "the whole file": an empty resource copies nothing.
      if (dataSize != 0) memory->CopyFrom(file, static_cast<int32_t>(dataSize));
      memory->SetPosition(0);
      return memory;
    }
    entry = next;
    file.SetPosition(entry);
  }
  throw rtl::EResNotFound(resName);
}

bool FileExists(const std::string& fileName) {
  DWORD attributes = GetFileAttributesW(rtl::SjisToWide(fileName).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace

// --- TResStream

TResStream::TResStream(const std::string& fileName, const std::string& resName, const TResType& resType) {
  if (!fileName.empty() && FileExists(fileName)) {
    inner_ = ReadFromFile(fileName, resName, resType);
    fromFile_ = true;
    return;
  }
  HMODULE module = GetModuleHandleW(nullptr);
  if (resType.IsOrdinal()) {
    inner_ = std::make_unique<rtl::TResourceStream>(module, resName, MAKEINTRESOURCEW(resType.Ordinal()));
  } else {
    std::wstring type = rtl::SjisToWide(resType.Name());
    inner_ = std::make_unique<rtl::TResourceStream>(module, resName, type.c_str());
  }
}

int32_t TResStream::Read(void* buffer, int32_t count) { return inner_->Read(buffer, count); }
int32_t TResStream::Write(const void* buffer, int32_t count) { return inner_->Write(buffer, count); }
int32_t TResStream::Seek(int32_t offset, rtl::TSeekOrigin origin) { return inner_->Seek(offset, origin); }
int32_t TResStream::GetSize() { return inner_->GetSize(); }
void TResStream::SetSize(int32_t newSize) { inner_->SetSize(newSize); }

}  // namespace data
