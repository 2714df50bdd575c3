#include "app/FileReplace.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "rtl/Exception.h"
#include "rtl/Handles.h"
#include "rtl/Sjis.h"

namespace app {

namespace {

constexpr DWORD kCompareChunk = 1 << 16;
constexpr DWORD kFirstPause = 50;
constexpr DWORD kLongestPause = 1000;
constexpr int kNameChoices = 4;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
const wchar_t kNewSuffix[] = L".PeUpdate-new";
const wchar_t kBackupSuffix[] = L".PeUpdate-old";

std::function<void(ReplaceStep)>& StepHook() {
  static std::function<void(ReplaceStep)> hook;
  return hook;
}

std::function<DWORD(FileCall, const std::wstring&)>& CallHook() {
  static std::function<DWORD(FileCall, const std::wstring&)> hook;
  return hook;
}

std::function<DWORD(const std::wstring&)>& ReparseHook() {
  static std::function<DWORD(const std::wstring&)> hook;
  return hook;
}

DWORD& Patience() {
  static DWORD patience = kPatience;
  return patience;
}

void Reached(ReplaceStep step) {
  if (StepHook()) StepHook()(step);
}

// True (with the last error set) when a test's hook answers the call in the system's place.
bool Refused(FileCall call, const std::wstring& path) {
  DWORD error = CallHook() ? CallHook()(call, path) : 0;
  if (error != 0) SetLastError(error);
  return error != 0;
}

bool IsInput(UINT message) {
  return (message >= WM_KEYFIRST && message <= WM_KEYLAST) || (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
         (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK);
}

// Waits while this thread's windows go on painting and answering other programs, so that Windows
// never shows them as not responding. Input is dropped: the windows take none while the work goes
// on. A quit request is kept for the loop it was meant for.
void WaitAnswering(DWORD milliseconds) {
  const ULONGLONG until = GetTickCount64() + milliseconds;
  bool quit = false;
  WPARAM exitCode = 0;
  for (;;) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        quit = true;
        exitCode = message.wParam;
      } else if (!IsInput(message.message)) {
        DispatchMessageW(&message);
      }
    }
    ULONGLONG now = GetTickCount64();
    if (now >= until) break;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(until - now), QS_ALLINPUT);
  }
  if (quit) PostQuitMessage(static_cast<int>(exitCode));
}

// Another program has the file open: an application, or a scanner looking at a fresh executable.
// Its handle makes an open fail with a sharing or lock violation, and a rename or delete of the file
// (or a rename over it) with access denied.
enum class Busy { InUse, InUseOrDenied };

bool IsBusy(DWORD error, Busy busy) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
         (busy == Busy::InUseOrDenied && error == ERROR_ACCESS_DENIED);
}

// Runs attempt until it succeeds, fails for another reason than the file being busy, or the
// patience is spent; the pauses between attempts grow.
template <typename Attempt>
bool Patiently(Busy busy, Attempt attempt) {
  const ULONGLONG started = GetTickCount64();
  for (DWORD pause = kFirstPause;; pause = std::min(pause * 2, kLongestPause)) {
    if (attempt()) return true;
    DWORD error = GetLastError();
    ULONGLONG waited = GetTickCount64() - started;
    if (!IsBusy(error, busy) || waited >= Patience()) return false;
    WaitAnswering(static_cast<DWORD>(std::min<ULONGLONG>(pause, Patience() - waited)));
    SetLastError(error);
  }
}

// The path by which the file was reached in the end, from its volume's root ("\\" for the root
// itself), links and junctions on the way resolved. GetFinalPathNameByHandleW would tell the same,
// but under Wine it fails for a path of MAX_PATH characters or more.
std::wstring ReachedPath(HANDLE file) {
  std::vector<char> buffer(sizeof(FILE_NAME_INFO) + 32768 * sizeof(wchar_t));
  auto* info = reinterpret_cast<FILE_NAME_INFO*>(buffer.data());
  if (!GetFileInformationByHandleEx(file, FileNameInfo, info, static_cast<DWORD>(buffer.size()))) return L"";
  return std::wstring(info->FileName, info->FileNameLength / sizeof(wchar_t));
}

DWORD VolumeOf(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info;
  return GetFileInformationByHandle(file, &info) ? info.dwVolumeSerialNumber : 0;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

struct TFileId {
  DWORD volume = 0;
  DWORD high = 0;
  DWORD low = 0;
  bool operator==(const TFileId&) const = default;
};

bool IdOf(HANDLE file, TFileId& id) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file, &info)) return false;
  id = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
  return true;
}

// True when the open file is the file of that id.
bool HasId(HANDLE file, const TFileId& id) {
  TFileId found;
  return IdOf(file, found) && found == id;
}

bool SameFile(HANDLE a, HANDLE b) {
  TFileId first;
  return IdOf(a, first) && HasId(b, first);
}

// True when the open file is a plain file, not a link. Opened with FILE_FLAG_OPEN_REPARSE_POINT, a
// link on Windows is the link itself, a reparse point of a name-surrogate tag (symbolic link,
// junction, mount point); other tags, such as those of compressed system files, mark plain files.
bool IsPlainFile(HANDLE file, const std::wstring& path) {
  FILE_ATTRIBUTE_TAG_INFO info{};
  if (!GetFileInformationByHandleEx(file, FileAttributeTagInfo, &info, sizeof info)) return false;
  DWORD tag = ReparseHook() ? ReparseHook()(path) : 0;
  if (tag == 0 && (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) tag = info.ReparseTag;
  return !IsReparseTagNameSurrogate(tag) && (info.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// What a name of the folder holds for us.
enum class Entry {
  Plain,    // a plain file of that name itself, now open
  Missing,  // nothing
  Taken,    // something that must be left alone: a link, a folder, or (making a file new) any file
  Failed,   // a file that could not be opened: held beyond the patience, or denied
};

// The folder of a target, held open while we work in it: without delete sharing it can be neither
// renamed nor replaced (by a junction, say) meanwhile. Its files are opened by their names in it and
// used only when they are those names themselves: plain files, reached in this folder and under
// that name. A link to elsewhere (a Unix link under Wine, an object-manager link behind a junction
// on Windows) is opened as the file it leads to, which was reached by another path.
class TFolder {
 public:
  explicit TFolder(const std::string& targetPath) {
    std::wstring full = ExtendedPath(targetPath);
    std::size_t slash = full.find_last_of(L'\\');
    name_ = full.substr(slash + 1);
    path_ = full.substr(0, slash);
    std::wstring folder = path_.back() == L':' ? path_ + L'\\' : path_;  // a drive's root
    Patiently(Busy::InUse, [&] {
      if (Refused(FileCall::Open, folder)) return false;
      handle_.reset(CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
      return bool(handle_);
    });
    if (!handle_) return;
    reached_ = ReachedPath(handle_.get());
    volume_ = VolumeOf(handle_.get());
    if (reached_ == L"\\") reached_.clear();
  }

  explicit operator bool() const { return bool(handle_); }
  // The target's name in the folder.
  const std::wstring& Name() const { return name_; }
  std::wstring PathOf(const std::wstring& name) const { return path_ + L"\\" + name; }

  // Opens the file of that name, waiting while it is busy.
  Entry Open(const std::wstring& name, DWORD access, DWORD share, DWORD disposition, rtl::TFileHandle& file) const {
    const std::wstring path = PathOf(name);
    bool opened = Patiently(Busy::InUse, [&] {
      if (Refused(FileCall::Open, path)) return false;
      file.reset(CreateFileW(path.c_str(), access, share, nullptr, disposition,
                             FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
      return bool(file);
    });
    if (!opened) {
      DWORD error = GetLastError();
      if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return Entry::Missing;
      return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? Entry::Taken : Entry::Failed;
    }
    if (IsPlainFile(file.get(), path) && VolumeOf(file.get()) == volume_ &&
        SamePath(ReachedPath(file.get()), reached_ + L"\\" + name)) {
      return Entry::Plain;
    }
    file.reset();
    return Entry::Taken;
  }

  // Gives the open file of that name another name in the folder, waiting while it or the file it
  // replaces is busy.
  bool Rename(HANDLE file, const std::wstring& name, const std::wstring& newName, bool replace) const {
    const std::wstring destination = PathOf(newName);
    std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + destination.size() * sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = replace;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(destination.size() * sizeof(wchar_t));
    std::memcpy(info->FileName, destination.data(), info->FileNameLength);
    return Patiently(Busy::InUseOrDenied, [&] {
      return !Refused(FileCall::Rename, PathOf(name)) &&
             SetFileInformationByHandle(file, FileRenameInfo, info, static_cast<DWORD>(buffer.size()));
    });
  }

  // Deletes the open file of that name (once every handle to it is closed).
  bool Delete(HANDLE file, const std::wstring& name) const {
    FILE_DISPOSITION_INFO disposition{TRUE};
    return Patiently(Busy::InUseOrDenied, [&] {
      return !Refused(FileCall::Delete, PathOf(name)) &&
             SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
    });
  }

  // Deletes the file of that name when it is a plain file; leaves anything else alone.
  void DeleteIfPlain(const std::wstring& name) const {
    rtl::TFileHandle file;
    if (Open(name, DELETE | FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING, file) == Entry::Plain) Delete(file.get(), name);
  }

  // Makes a second name for the target.
  bool HardLink(const std::wstring& name) const {
    return Patiently(Busy::InUse, [&] {
      return !Refused(FileCall::HardLink, PathOf(name_)) &&
             CreateHardLinkW(PathOf(name).c_str(), PathOf(name_).c_str(), nullptr);
    });
  }

 private:
  rtl::TFileHandle handle_;
  std::wstring path_;     // the folder as named, in the extended form, without a trailing backslash
  std::wstring reached_;  // the folder as reached from its volume's root, without a trailing backslash
  DWORD volume_ = 0;
  std::wstring name_;
};

std::wstring OurName(const std::wstring& target, const wchar_t* suffix, int choice) {
  return target + suffix + (choice == 0 ? std::wstring() : std::to_wstring(choice + 1));
}

// A file of ours made new in the folder, open with no sharing and deleted on every way out unless it
// has been put in place.
class TNewFile {
 public:
  TNewFile(const TFolder& folder, const std::string& targetPath) : folder_(folder) {
    for (int choice = 0; choice < kNameChoices; ++choice) {
      name_ = OurName(folder.Name(), kNewSuffix, choice);
      // A name held by what must be left alone, or still being deleted, is passed over.
      if (folder.Open(name_, GENERIC_READ | GENERIC_WRITE | DELETE, 0, CREATE_NEW, file_) == Entry::Plain) return;
    }
    throw rtl::EFCreateError(targetPath, GetLastError());
  }
  ~TNewFile() {
    if (file_) folder_.Delete(file_.get(), name_);
  }
  TNewFile(const TNewFile&) = delete;
  TNewFile& operator=(const TNewFile&) = delete;

  HANDLE get() const { return file_.get(); }
  // Renames the file to newName, flushed, and lets it go; false when that failed (it is still ours
  // then).
  bool MoveTo(const std::wstring& newName, bool replace) {
    if (!folder_.Rename(file_.get(), name_, newName, replace)) return false;
    FlushFileBuffers(file_.get());
    file_.reset();
    return true;
  }

 private:
  const TFolder& folder_;
  std::wstring name_;
  rtl::TFileHandle file_;
};

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

bool CopyAndFlush(HANDLE from, HANDLE to) {
  std::vector<char> chunk(kCompareChunk);
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(from, chunk.data(), kCompareChunk, &read, nullptr)) return false;
    if (read == 0) return FlushFileBuffers(to) != 0;
    DWORD written = 0;
    if (!WriteFile(to, chunk.data(), read, &written, nullptr) || written != read) return false;
  }
}

// Our backup of the old content: a second name of the target. Deleted on every way out while the
// target still holds the old content; once the new content has taken the target's place, kept until
// that has been confirmed, as the only name of the old content.
class TBackup {
 public:
  explicit TBackup(const TFolder& folder) : folder_(folder) {}
  ~TBackup() {
    if (!name_.empty() && !onlyName_) folder_.DeleteIfPlain(name_);
  }
  TBackup(const TBackup&) = delete;
  TBackup& operator=(const TBackup&) = delete;

  // A hard link costs nothing and writes nothing; where none can be made, a copy, written under a
  // new-content name and renamed once it is whole and on disk, so that no half-made copy is ever
  // taken for the old content. The target must still be the file of id old.
  void Keep(const TFileId& old, const std::string& targetPath) {
    for (int choice = 0; choice < kNameChoices; ++choice) {
      std::wstring name = OurName(folder_.Name(), kBackupSuffix, choice);
      if (folder_.HardLink(name)) {
        name_ = name;
        rtl::TFileHandle linked;
        if (folder_.Open(name, FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING, linked) == Entry::Plain &&
            HasId(linked.get(), old)) {
          return;
        }
        throw rtl::EFCreateError(targetPath);  // the target changed under us
      }
      DWORD error = GetLastError();
      if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) continue;
      if (!KeepCopy(old, targetPath)) throw rtl::EFCreateError(targetPath, GetLastError());
      return;
    }
    throw rtl::EFCreateError(targetPath, ERROR_ALREADY_EXISTS);  // every name of ours is taken
  }

  // The target's old content has no other name now.
  void OnlyName() { onlyName_ = true; }
  // The new content has been confirmed.
  void Drop() {
    if (!name_.empty()) folder_.DeleteIfPlain(std::exchange(name_, std::wstring()));
  }

  // Puts the old content back in the target's place; the backup is let go either way: it is the
  // target again, or the only copy of the old content, kept for the next run.
  void PutBack() {
    std::wstring name = std::exchange(name_, std::wstring());
    rtl::TFileHandle old;
    if (folder_.Open(name, DELETE | FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING, old) == Entry::Plain) {
      folder_.Rename(old.get(), name, folder_.Name(), true);
    }
  }

 private:
  bool KeepCopy(const TFileId& old, const std::string& targetPath) {
    rtl::TFileHandle target;
    if (folder_.Open(folder_.Name(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_EXISTING, target) !=
            Entry::Plain ||
        !HasId(target.get(), old)) {
      return false;
    }
    TNewFile copy(folder_, targetPath);
    if (!CopyAndFlush(target.get(), copy.get())) return false;
    target.reset();
    for (int choice = 0; choice < kNameChoices; ++choice) {
      std::wstring name = OurName(folder_.Name(), kBackupSuffix, choice);
      if (copy.MoveTo(name, false)) {
        name_ = name;
        return true;
      }
      if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS) return false;
    }
    return false;
  }

  const TFolder& folder_;
  std::wstring name_;
  bool onlyName_ = false;
};

// True when the target holds exactly these bytes.
bool HoldsExactly(const TFolder& folder, const void* data, int32_t size) {
  rtl::TFileHandle file;
  if (folder.Open(folder.Name(), GENERIC_READ, kShareAll, OPEN_EXISTING, file) != Entry::Plain) return false;
  LARGE_INTEGER length{};
  if (!GetFileSizeEx(file.get(), &length) || length.QuadPart != size) return false;
  std::vector<char> chunk(kCompareChunk);
  const char* expected = static_cast<const char*>(data);
  for (int32_t done = 0; done < size;) {
    DWORD wanted = static_cast<DWORD>(std::min<int32_t>(size - done, kCompareChunk));
    DWORD read = 0;
    if (!ReadFile(file.get(), chunk.data(), wanted, &read, nullptr) || read != wanted) return false;
    if (std::memcmp(chunk.data(), expected + done, read) != 0) return false;
    done += static_cast<int32_t>(read);
  }
  return true;
}

void Recover(const TFolder& folder, const std::string& targetPath) {
  for (int choice = 0; choice < kNameChoices; ++choice) folder.DeleteIfPlain(OurName(folder.Name(), kNewSuffix, choice));
  for (int choice = 0; choice < kNameChoices; ++choice) {
    const std::wstring name = OurName(folder.Name(), kBackupSuffix, choice);
    rtl::TFileHandle backup;
    if (folder.Open(name, DELETE | FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING, backup) != Entry::Plain) continue;
    rtl::TFileHandle target;
    Entry found = folder.Open(folder.Name(), FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING, target);
    if (found == Entry::Plain && SameFile(target.get(), backup.get())) {
      // A second name of the target: the old content never left its place.
      target.reset();
      folder.Delete(backup.get(), name);
      continue;
    }
    target.reset();
    // The old content: the target is missing, or holds what a replacement left unconfirmed, or the
    // rollback of a failed one could not put the old content back.
    if (!folder.Rename(backup.get(), name, folder.Name(), found != Entry::Missing)) {
      throw rtl::EFCreateError(targetPath, GetLastError());
    }
  }
}

}  // namespace

std::wstring NewContentPathFor(const std::wstring& target) { return OurName(target, kNewSuffix, 0); }
std::wstring BackupPathFor(const std::wstring& target) { return OurName(target, kBackupSuffix, 0); }

void SetReplaceStepHook(std::function<void(ReplaceStep)> hook) { StepHook() = std::move(hook); }
void SetFileCallHook(std::function<DWORD(FileCall, const std::wstring&)> hook) { CallHook() = std::move(hook); }
void SetReparseTagHook(std::function<DWORD(const std::wstring&)> hook) { ReparseHook() = std::move(hook); }
void SetPatience(DWORD milliseconds) { Patience() = milliseconds; }

std::wstring ExtendedPath(const std::string& path) {
  std::wstring wide = rtl::SjisToWide(path);
  if (wide.rfind(L"\\\\?\\", 0) == 0) return wide;
  DWORD length = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (length == 0) return wide;
  std::wstring full(length, L'\0');
  full.resize(GetFullPathNameW(wide.c_str(), length, full.data(), nullptr));
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

void RecoverInterruptedReplace(const std::string& targetPath) {
  TFolder folder(targetPath);
  if (!folder) return;
  Recover(folder, targetPath);
}

std::string InstalledCopyPath(const std::string& targetPath) {
  TFolder folder(targetPath);
  if (folder) {
    for (int choice = 0; choice < kNameChoices; ++choice) {
      const std::wstring name = OurName(folder.Name(), kBackupSuffix, choice);
      rtl::TFileHandle backup;
      if (folder.Open(name, FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING, backup) == Entry::Plain) {
        return targetPath + rtl::WideToSjis(name.substr(folder.Name().size()));
      }
    }
  }
  DWORD attributes = GetFileAttributesW(ExtendedPath(targetPath).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ? targetPath
                                                                                               : std::string();
}

bool IsPlainOrMissing(const std::string& targetPath) {
  TFolder folder(targetPath);
  rtl::TFileHandle target;
  if (!folder) return false;
  Entry found = folder.Open(folder.Name(), FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING, target);
  return found == Entry::Plain || found == Entry::Missing;
}

void ReplaceFileContents(const std::string& targetPath, const void* data, int32_t size) {
  TFolder folder(targetPath);
  if (!folder) throw rtl::EFCreateError(targetPath, GetLastError());
  Recover(folder, targetPath);

  // The target must be a plain file of the folder that we may write before anything else is touched.
  TFileId old;
  bool exists = false;
  {
    rtl::TFileHandle probe;
    Entry found = folder.Open(folder.Name(), GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, probe);
    if (found == Entry::Plain) exists = IdOf(probe.get(), old);
    // In use or denied: the system's code; a link or other non-plain file: none.
    if (found == Entry::Failed) throw rtl::EFCreateError(targetPath, GetLastError());
    if (found != Entry::Missing && !exists) throw rtl::EFCreateError(targetPath);
  }

  TNewFile fresh(folder, targetPath);
  WriteAllAndFlush(fresh.get(), data, size);
  Reached(ReplaceStep::NewContentWritten);

  TBackup backup(folder);
  if (exists) {
    backup.Keep(old, targetPath);
    Reached(ReplaceStep::BackupKept);
  }

  // The one step that changes the target: it names the old file or the new one, never neither.
  if (!fresh.MoveTo(folder.Name(), true)) throw rtl::EFCreateError(targetPath, GetLastError());
  backup.OnlyName();
  Reached(ReplaceStep::Renamed);

  if (!HoldsExactly(folder, data, size)) {
    DWORD error = GetLastError();
    if (exists) {
      backup.PutBack();
    } else {
      folder.DeleteIfPlain(folder.Name());
    }
    throw rtl::EWriteError(error);
  }
  Reached(ReplaceStep::Verified);
  backup.Drop();
}

}  // namespace app
