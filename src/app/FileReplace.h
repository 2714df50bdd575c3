// Replacing a file's content so that it is never lost, in a folder that others may be able to write
// to: the new bytes go to a file made new beside it and flushed to disk, the old file is kept under
// a second name, and then the new file takes the target's place in one rename. No name in the folder
// is followed through a link: each file is opened by its name in the folder, used only when it is
// that name itself (no symbolic link, junction or mount point on the way), and renamed or deleted
// through the handle that was checked.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace app {

// Replaces (or creates) the file at targetPath with the given bytes. At every moment, a killed
// process or a lost machine included, the target holds its old content or the new one, whole, and
// the old content keeps a name until the new one has been read back. First mends what an
// interrupted replacement left (RecoverInterruptedReplace). A file held by another program is
// waited for (see kPatience) with this thread's windows painted and answering meanwhile. When the
// target is missing or differs on reading it back, the old file is put back. Raises EFCreateError
// naming the target when it cannot be written or is not a plain file of its folder, and EWriteError
// when the new content cannot be written out (disk full) or was not found on reading it back.
void ReplaceFileContents(const std::string& targetPath, const void* data, int32_t size);

// The files a replacement keeps beside the target (same folder, so the same volume), named after it
// so that they are recognisably ours and belong to it. Where such a name is held by something that
// must be left alone (a link), the replacement takes the same name with "2", "3" or "4" appended.
std::wstring NewContentPathFor(const std::wstring& target);
std::wstring BackupPathFor(const std::wstring& target);

// After a replacement that was interrupted: puts our backup back in the target's place unless it is
// a second name of the target itself, and removes our new-content files. A rollback is never undone:
// a backup is removed only when it is the same file as the target. Raises EFCreateError naming the
// target when a backup cannot be put back; it is kept then, for the next attempt.
void RecoverInterruptedReplace(const std::string& targetPath);

// The file whose content the target will hold once an interrupted replacement is mended: our backup
// of it when there is one, else the target itself; empty when neither is a file. Opens nothing for
// writing and changes nothing.
std::string InstalledCopyPath(const std::string& targetPath);

// True when the target is a plain file of its folder, or missing: no link, junction or mount point
// leads it elsewhere. Changes nothing.
bool IsPlainOrMissing(const std::string& targetPath);

// The path in the form no length limit applies to: "\\?\" and the full path ("\\?\UNC\" for a share).
std::wstring ExtendedPath(const std::string& path);

// The steps of a replacement, each done (and on disk) when the hook hears of it.
enum class ReplaceStep { NewContentWritten, BackupKept, Renamed, Verified };
// A test's view of the steps: the hook may stop the process, raise, or change the files.
void SetReplaceStepHook(std::function<void(ReplaceStep)> hook);

// The calls made on the folder's files. The hook hears of each with the path of the file it acts on
// (for a hard link, the existing file; for a rename, the file renamed); a non-zero answer makes the
// call fail with that error code, as the system would.
enum class FileCall { Open, HardLink, Rename, Delete };
void SetFileCallHook(std::function<DWORD(FileCall, const std::wstring& path)> hook);
// The reparse tag a file opened in the folder is to be taken to have, as Windows reports for a
// link (Wine never does); 0 leaves the system's answer.
void SetReparseTagHook(std::function<DWORD(const std::wstring& path)> hook);

// How long a file held by another program (a scanner, a backup agent, the application itself) is
// waited for, in growing pauses, before the replacement gives up. Tests may shorten it.
constexpr DWORD kPatience = 30000;
void SetPatience(DWORD milliseconds);

}  // namespace app
