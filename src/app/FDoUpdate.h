// The update window: inflates the embedded payload and writes it over the installed executable.
#pragma once

#include <windows.h>

#include <string>

#include "rtl/Exception.h"
#include "rtl/Stream.h"

namespace app {

// The target is read-only; the message is the target's path.
class EReadOnly : public rtl::Exception {
 public:
  using rtl::Exception::Exception;
};

// Copies the uncompressed content of the named resource of the program's module into dest: a
// payload container is inflated, anything else is copied unchanged.
void ReadPayload(rtl::TStream& dest, const std::string& name, LPCWSTR type);

// Raises EReadOnly when TargetPath names a read-only file; a missing target passes.
void CheckNotReadOnly();

}  // namespace app
