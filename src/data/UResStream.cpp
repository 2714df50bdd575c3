#include "data/UResStream.h"

#include <vector>

#include "rtl/Bytes.h"
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
  return rtl::ReadLE32(bytes);
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
  for (std::size_t i = 0; i <= length; ++i) name[i] = static_cast<wchar_t>(rtl::ReadLE16(&bytes[2 * i]));
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

// --- the program's own resources

// A key of the module's resource directory: an ordinal, or a name compared in any letter case.
struct TDirectoryKey {
  bool isOrdinal;
  uint16_t ordinal;
  std::wstring name;
};

bool EntryMatches(const BYTE* root, const IMAGE_RESOURCE_DIRECTORY_ENTRY& entry, const TDirectoryKey& key) {
  if (!entry.NameIsString) return key.isOrdinal && entry.Id == key.ordinal;
  if (key.isOrdinal) return false;
  const auto* name = reinterpret_cast<const IMAGE_RESOURCE_DIR_STRING_U*>(root + entry.NameOffset);
  return name->Length == key.name.size() &&
         CompareStringOrdinal(name->NameString, name->Length, key.name.data(), static_cast<int>(key.name.size()),
                              TRUE) == CSTR_EQUAL;
}

// The subdirectory or data entry under the directory at offset that matches the key (any one when
// the key is null), as an offset from the root; -1 when there is none.
int64_t FindEntry(const BYTE* root, uint32_t offset, const TDirectoryKey* key) {
  const auto* directory = reinterpret_cast<const IMAGE_RESOURCE_DIRECTORY*>(root + offset);
  const auto* entries = reinterpret_cast<const IMAGE_RESOURCE_DIRECTORY_ENTRY*>(directory + 1);
  const int count = directory->NumberOfNamedEntries + directory->NumberOfIdEntries;
  for (int i = 0; i < count; ++i) {
    if (key == nullptr || EntryMatches(root, entries[i], *key)) return entries[i].OffsetToDirectory;
  }
  return -1;
}

// Looks the resource up in the resource directory of the running program's image. The platform's
// own lookup takes a text such as "#5" for the number 5; here a text is always a name. Of several
// languages the first is taken (the program carries each resource in one).
std::unique_ptr<rtl::TStream> ReadFromModule(const std::string& resName, const TResType& resType) {
  const auto* base = reinterpret_cast<const BYTE*>(GetModuleHandleW(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& resources = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_RESOURCE];
  if (resources.VirtualAddress != 0 && resources.Size != 0) {
    const BYTE* root = base + resources.VirtualAddress;
    const TDirectoryKey type = resType.IsOrdinal() ? TDirectoryKey{true, resType.Ordinal(), {}}
                                                  : TDirectoryKey{false, 0, rtl::SjisToWide(resType.Name())};
    const TDirectoryKey name{false, 0, rtl::SjisToWide(resName)};
    int64_t names = FindEntry(root, 0, &type);
    int64_t languages = names < 0 ? -1 : FindEntry(root, static_cast<uint32_t>(names), &name);
    int64_t data = languages < 0 ? -1 : FindEntry(root, static_cast<uint32_t>(languages), nullptr);
    if (data >= 0) {
      const auto* entry = reinterpret_cast<const IMAGE_RESOURCE_DATA_ENTRY*>(root + data);
      return std::make_unique<rtl::TResourceStream>(base + entry->OffsetToData, static_cast<int32_t>(entry->Size));
    }
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
    return;
  }
  inner_ = ReadFromModule(resName, resType);
}

int32_t TResStream::Read(void* buffer, int32_t count) { return inner_->Read(buffer, count); }
int32_t TResStream::Write(const void* buffer, int32_t count) { return inner_->Write(buffer, count); }
int32_t TResStream::Seek(int32_t offset, rtl::TSeekOrigin origin) { return inner_->Seek(offset, origin); }
int32_t TResStream::GetSize() { return inner_->GetSize(); }
void TResStream::SetSize(int32_t newSize) { inner_->SetSize(newSize); }

}  // namespace data
