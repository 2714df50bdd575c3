// Replacing a file's content so that it is never lost: the new bytes go to a file beside it and are
// flushed to disk, the old file is kept under a second name, and then the new file takes the
// target's place in one rename.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace app {

// Replaces (or creates) the file at targetPath with the given bytes. At every moment, a killed
// process or a lost machine included, the target holds its old content or the new one, whole.
// First repairs what an interrupted replacement left (RecoverInterruptedReplace). A target in use
// is retried for about two seconds, and so is the rename (a scanner holding the fresh file makes it
// fail with access denied). The target is read back afterwards: when it is missing or differs, the
// old file is put back. Raises EFCreateError naming the target when it cannot be written, and
// EWriteError when the new content cannot be written out (disk full) or was not found on reading
// it back.
void ReplaceFileContents(const std::string& targetPath, const void* data, int32_t size);

// The files a replacement keeps beside the target (same folder, so the same volume), named after it
// so that they are recognisably ours and belong to it.
std::wstring NewContentPathFor(const std::wstring& target);
std::wstring BackupPathFor(const std::wstring& target);

// After a replacement that was interrupted: when the target is missing and our backup of it is
// there, puts the backup back; removes our other files beside the target. Never raises.
void RecoverInterruptedReplace(const std::string& targetPath);

// The steps of a replacement, each done (and on disk) when the hook hears of it.
enum class ReplaceStep { NewContentWritten, BackupKept, Renamed, Verified };
// A test's view of the steps: the hook may stop the process, raise, or change the files.
void SetReplaceStepHook(std::function<void(ReplaceStep)> hook);

}  // namespace app
