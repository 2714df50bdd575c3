// Replacing a file's content so that it is never lost: the new bytes go to a temporary file beside
// it, are flushed to disk, and then take the target's place in one step.
#pragma once

#include <cstdint>
#include <string>

namespace app {

// Replaces (or creates) the file at targetPath with the given bytes. At every moment the target
// holds either its old content or the new one, whole, and no temporary file is left behind.
// A target that is in use is retried for about two seconds. Raises EFCreateError naming the target
// when it cannot be written, EWriteError when the new content cannot be written out (disk full).
void ReplaceFileContents(const std::string& targetPath, const void* data, int32_t size);

}  // namespace app
