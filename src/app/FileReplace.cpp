#include "app/FileReplace.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "rtl/Handles.h"
#include "rtl/Exception.h"
#include "rtl/Sjis.h"

namespace app {

namespace {

constexpr DWORD kRetryMilliseconds = 2000;
constexpr DWORD kRetryStep = 100;
constexpr DWORD kCompareChunk = 1 << 16;

std::function<void(ReplaceStep)>& StepHook() {
  static std::function<void(ReplaceStep)> hook;
  return hook;
}

void Reached(ReplaceStep step) {
  if (StepHook()) StepHook()(step);
}

// Deletes the file on every way out unless it has been released (moved into place, or the only
// copy of the old content).
class TemporaryFile {
 public:
  TemporaryFile() = default;
  explicit TemporaryFile(std::wstring path) : path_(std::move(path)) {}
  ~TemporaryFile() {
    if (!path_.empty()) DeleteFileW(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  void Own(std::wstring path) { path_ = std::move(path); }
  void Release() { path_.clear(); }

 private:
  std::wstring path_;
};

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Another process has the file open: an application, or a scanner looking at a fresh executable.
// A scanner's open handle makes a rename over the file fail with access denied rather than with a
// sharing violation, so the rename also retries that.
enum class Busy { InUse, InUseOrDenied };

bool IsBusy(DWORD error, Busy busy) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
         (busy == Busy::InUseOrDenied && error == ERROR_ACCESS_DENIED);
}

// Runs attempt until it succeeds or fails for another reason than the file being busy, for about
// two seconds in all.
template <typename Attempt>
bool RetryWhileBusy(Busy busy, Attempt attempt) {
  for (DWORD waited = 0;; waited += kRetryStep) {
    if (attempt()) return true;
    if (!IsBusy(GetLastError(), busy) || waited >= kRetryMilliseconds) return false;
    Sleep(kRetryStep);
  }
}

bool MoveOver(const std::wstring& from, const std::wstring& to) {
  return RetryWhileBusy(Busy::InUseOrDenied, [&] {
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  });
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

void WriteNewContent(const std::wstring& path, const std::string& targetPath, const void* data, int32_t size) {
  rtl::TFileHandle file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) throw rtl::EFCreateError(targetPath);
  WriteAllAndFlush(file.get(), data, size);
  if (!file.close()) throw rtl::EWriteError();
}

// A second name for the old file's content: a hard link costs nothing and writes nothing; a volume
// without links gets a copy, flushed before the target is touched.
bool KeepBackup(const std::wstring& target, const std::wstring& backup) {
  DeleteFileW(backup.c_str());
  if (CreateHardLinkW(backup.c_str(), target.c_str(), nullptr)) return true;
  if (!CopyFileW(target.c_str(), backup.c_str(), FALSE)) return false;
  rtl::TFileHandle copy(CreateFileW(backup.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  return copy && FlushFileBuffers(copy.get());
}

// True when the file holds exactly these bytes.
bool HoldsExactly(const std::wstring& path, const void* data, int32_t size) {
  rtl::TFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  LARGE_INTEGER length{};
  if (!file || !GetFileSizeEx(file.get(), &length) || length.QuadPart != size) return false;
  std::vector<char> chunk(kCompareChunk);
  const char* expected = static_cast<const char*>(data);
  for (int32_t done = 0; done < size;) {
    DWORD wanted = static_cast<DWORD>(std::min<int32_t>(size - done, kCompareChunk));
    DWORD read = 0;
    if (!ReadFile(file.get(), chunk.data(), wanted, &read, nullptr) || read != wanted) return false;
    if (memcmp(chunk.data(), expected + done, read) != 0) return false;
    done += static_cast<int32_t>(read);
  }
  return true;
}

}  // namespace

std::wstring NewContentPathFor(const std::wstring& target) { return target + L".PeUpdate-new"; }
std::wstring BackupPathFor(const std::wstring& target) { return target + L".PeUpdate-old"; }

void SetReplaceStepHook(std::function<void(ReplaceStep)> hook) { StepHook() = std::move(hook); }

void RecoverInterruptedReplace(const std::string& targetPath) {
  std::wstring target = rtl::SjisToWide(targetPath);
  std::wstring backup = BackupPathFor(target);
  if (!Exists(target) && Exists(backup)) {
    MoveFileExW(backup.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
  }
  // With the target whole, the backup is a second name of the old content or of the new one; and a
  // new-content file never took the target's place.
  if (Exists(target)) DeleteFileW(backup.c_str());
  DeleteFileW(NewContentPathFor(target).c_str());
}

void ReplaceFileContents(const std::string& targetPath, const void* data, int32_t size) {
  RecoverInterruptedReplace(targetPath);
  std::wstring target = rtl::SjisToWide(targetPath);

  // The target must be writable by us before anything else is touched.
  bool exists = Exists(target);
  if (exists) {
    bool writable = RetryWhileBusy(Busy::InUse, [&] {
      rtl::TFileHandle probe(CreateFileW(target.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
      return bool(probe);
    });
    if (!writable) throw rtl::EFCreateError(targetPath);
  }

  std::wstring fresh = NewContentPathFor(target);
  TemporaryFile freshOwner(fresh);
  WriteNewContent(fresh, targetPath, data, size);
  Reached(ReplaceStep::NewContentWritten);

  std::wstring backup = BackupPathFor(target);
  TemporaryFile backupOwner;
  if (exists) {
    if (!KeepBackup(target, backup)) throw rtl::EFCreateError(targetPath);
    backupOwner.Own(backup);
    Reached(ReplaceStep::BackupKept);
  }

  // The one step that changes the target: it names the old file or the new one, never neither.
  if (!MoveOver(fresh, target)) throw rtl::EFCreateError(targetPath);
  freshOwner.Release();
  Reached(ReplaceStep::Renamed);

  if (!HoldsExactly(target, data, size)) {
    DWORD error = GetLastError();
    if (exists) {
      MoveOver(backup, target);
      backupOwner.Release();  // the target again, or else the only copy of the old content: kept
    } else {
      DeleteFileW(target.c_str());
    }
    SetLastError(error);
    throw rtl::EWriteError();
  }
  Reached(ReplaceStep::Verified);
}

}  // namespace app
