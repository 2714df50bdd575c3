// A read-only stream over a resource of a loaded module.
#pragma once

#include <windows.h>

#include <string>

#include "rtl/Stream.h"

namespace rtl {

class TResourceStream : public TCustomMemoryStream {
 public:
  // Raises EResNotFound naming the resource when the module has no such resource.
  TResourceStream(HMODULE module, const std::string& name, LPCWSTR type);
  TResourceStream(HMODULE module, int id, LPCWSTR type);
  // A resource its caller has found in a loaded module: size bytes at data, which live as long as
  // the module.
  TResourceStream(const void* data, int32_t size);

  // Always raises EStreamError: a resource cannot be written.
  int32_t Write(const void* buffer, int32_t count) override;

 private:
  void Open(HMODULE module, LPCWSTR name, LPCWSTR type, const std::string& shownName);
};

}  // namespace rtl
