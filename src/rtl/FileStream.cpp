#include "rtl/FileStream.h"

#include "rtl/Exception.h"
#include "rtl/Sjis.h"

namespace rtl {

namespace {

DWORD ShareFlags(uint32_t mode) {
  switch (mode & 0xF0) {
    case fmShareExclusive: return 0;
    case fmShareDenyWrite: return FILE_SHARE_READ;
    case fmShareDenyRead: return FILE_SHARE_WRITE;
    default: return FILE_SHARE_READ | FILE_SHARE_WRITE;
  }
}

DWORD AccessFlags(uint32_t mode) {
  switch (mode & 0x3) {
    case fmOpenWrite: return GENERIC_WRITE;
    case fmOpenReadWrite: return GENERIC_READ | GENERIC_WRITE;
    default: return GENERIC_READ;
  }
}

}  // namespace

TFileStream::TFileStream(const std::string& fileName, uint32_t mode) : fileName_(fileName) {
  std::wstring path = SjisToWide(fileName);
  if (mode == fmCreate) {
    handle_.reset(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle_) throw EFCreateError(fileName);
  } else {
    handle_.reset(CreateFileW(path.c_str(), AccessFlags(mode), ShareFlags(mode), nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle_) throw EFOpenError(fileName);
  }
}

int32_t TFileStream::Read(void* buffer, int32_t count) {
  DWORD done = 0;
  if (count <= 0 || !ReadFile(handle_.get(), buffer, static_cast<DWORD>(count), &done, nullptr)) return 0;
  return static_cast<int32_t>(done);
}

int32_t TFileStream::Write(const void* buffer, int32_t count) {
  DWORD done = 0;
  if (count <= 0 || !WriteFile(handle_.get(), buffer, static_cast<DWORD>(count), &done, nullptr)) return 0;
  return static_cast<int32_t>(done);
}

int32_t TFileStream::Seek(int32_t offset, TSeekOrigin origin) {
  DWORD method = origin == TSeekOrigin::soBeginning ? FILE_BEGIN
                 : origin == TSeekOrigin::soCurrent ? FILE_CURRENT
                                                    : FILE_END;
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  LARGE_INTEGER position;
  if (!SetFilePointerEx(handle_.get(), distance, &position, method)) return -1;
  if (position.QuadPart > INT32_MAX) throw EIntOverflow();
  return static_cast<int32_t>(position.QuadPart);
}

void TFileStream::SetSize(int32_t newSize) {
  // A failed seek leaves the file pointer where it was: cutting there would lose data.
  if (newSize < 0) throw ERangeError();
  if (Seek(newSize, TSeekOrigin::soBeginning) != newSize || !SetEndOfFile(handle_.get())) throw EWriteError();
}

// --- The memory streams' files

void TCustomMemoryStream::SaveToFile(const char* fileName) {
  TFileStream file(fileName, fmCreate);
  SaveToStream(file);
}

void TMemoryStream::LoadFromFile(const char* fileName) {
  TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(file);
}

}  // namespace rtl
