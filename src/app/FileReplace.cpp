#include "app/FileReplace.h"

#include <windows.h>

#include "rtl/Exception.h"
#include "rtl/Sjis.h"

namespace app {

namespace {

constexpr DWORD kRetryMilliseconds = 2000;
constexpr DWORD kRetryStep = 100;

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() { Close(); }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }
  bool Close() {
    bool closed = true;
    if (Valid()) closed = CloseHandle(handle_) != 0;
    handle_ = INVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  HANDLE handle_;
};

// Deletes the temporary file on every way out unless it has been moved into place.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::wstring path) : path_(std::move(path)) {}
  ~TemporaryFile() {
    if (!path_.empty()) DeleteFileW(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  const std::wstring& path() const { return path_; }
  void Release() { path_.clear(); }

 private:
  std::wstring path_;
};

bool IsSharingError(DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION; }

// Runs attempt until it succeeds or fails for a reason other than the file being in use.
template <typename Attempt>
bool RetryWhileInUse(Attempt attempt) {
  for (DWORD waited = 0;; waited += kRetryStep) {
    if (attempt()) return true;
    if (!IsSharingError(GetLastError()) || waited >= kRetryMilliseconds) return false;
    Sleep(kRetryStep);
  }
}

std::wstring FolderOf(const std::wstring& path) {
  std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash + 1);
}

std::wstring UniqueNameBeside(const std::wstring& folder, const wchar_t* prefix) {
  wchar_t name[MAX_PATH + 1];
  // Creates the (empty) file, which reserves the name.
  if (GetTempFileNameW(folder.c_str(), prefix, 0, name) == 0) return {};
  return name;
}

void WriteAllAndFlush(HANDLE file, const void* data, int32_t size) {
  const char* next = static_cast<const char*>(data);
  int32_t left = size;
  while (left > 0) {
    DWORD written = 0;
    if (!WriteFile(file, next, static_cast<DWORD>(left), &written, nullptr) || written == 0) throw rtl::EWriteError();
    next += written;
    left -= static_cast<int32_t>(written);
  }
  if (!FlushFileBuffers(file)) throw rtl::EWriteError();
}

}  // namespace

void ReplaceFileContents(const std::string& targetPath, const void* data, int32_t size) {
  std::wstring target = rtl::SjisToWide(targetPath);

  // The target must be writable by us before anything else is touched.
  bool exists = GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES;
  if (exists) {
    bool writable = RetryWhileInUse([&] {
      FileHandle probe(CreateFileW(target.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
      return probe.Valid();
    });
    if (!writable) throw rtl::EFCreateError(targetPath);
  }

  std::wstring folder = FolderOf(target);
  TemporaryFile temporary(UniqueNameBeside(folder, L"peu"));
  if (temporary.path().empty()) throw rtl::EFCreateError(targetPath);
  {
    FileHandle file(CreateFileW(temporary.path().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) throw rtl::EFCreateError(targetPath);
    WriteAllAndFlush(file.get(), data, size);
    if (!file.Close()) throw rtl::EWriteError();
  }

  if (!exists) {
    if (!MoveFileExW(temporary.path().c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
      throw rtl::EFCreateError(targetPath);
    }
    temporary.Release();
    return;
  }

  // The old file is kept under a backup name until the new one stands in its place.
  TemporaryFile backup(UniqueNameBeside(folder, L"peb"));
  if (backup.path().empty()) throw rtl::EFCreateError(targetPath);
  bool replaced = RetryWhileInUse([&] {
    return ReplaceFileW(target.c_str(), temporary.path().c_str(), backup.path().c_str(),
                        REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0;
  });
  if (!replaced) {
    DWORD error = GetLastError();
    // The old file may already have gone to the backup name: put it back.
    if (GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES &&
        GetFileAttributesW(backup.path().c_str()) != INVALID_FILE_ATTRIBUTES) {
      MoveFileExW(backup.path().c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
      backup.Release();  // whether or not it went back, the only copy of the old file is never deleted
    }
    SetLastError(error);
    throw rtl::EFCreateError(targetPath);
  }
  temporary.Release();  // it is the target now
}

}  // namespace app
