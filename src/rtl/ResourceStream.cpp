#include "rtl/ResourceStream.h"

#include "rtl/Exception.h"
#include "rtl/Sjis.h"

namespace rtl {

TResourceStream::TResourceStream(HMODULE module, const std::string& name, LPCWSTR type) {
  std::wstring wide = SjisToWide(name);
  Open(module, wide.c_str(), type, name);
}

TResourceStream::TResourceStream(HMODULE module, int id, LPCWSTR type) {
  Open(module, MAKEINTRESOURCEW(id), type, std::to_string(id));
}

TResourceStream::TResourceStream(const void* data, int32_t size) { SetPointer(const_cast<void*>(data), size); }

void TResourceStream::Open(HMODULE module, LPCWSTR name, LPCWSTR type, const std::string& shownName) {
  HRSRC info = FindResourceW(module, name, type);
  if (info == nullptr) throw EResNotFound(shownName);
  HGLOBAL loaded = LoadResource(module, info);
  if (loaded == nullptr) throw EResNotFound(shownName);
  // Resource memory lives as long as the module and is never freed by us.
  SetPointer(LockResource(loaded), static_cast<int32_t>(SizeofResource(module, info)));
}

int32_t TResourceStream::Write(const void*, int32_t) { throw EStreamError(texts::CantWriteResourceStream()); }

}  // namespace rtl
