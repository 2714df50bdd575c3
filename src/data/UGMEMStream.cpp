#include "data/UGMEMStream.h"

#include <cstdint>

namespace data {

namespace {
const char kShouldNotRealloc[] = "should not realloc Global Handle";
const char kCannotLock[] = "cannot lock Global Handle";
}  // namespace

TGMEMStream::TGMEMStream(HGLOBAL handle) {
  // The size first, so that a block too large for a stream is refused before it is locked.
  SIZE_T size = handle ? GlobalSize(handle) : 0;
  if (size > static_cast<SIZE_T>(INT32_MAX)) throw rtl::EIntOverflow();
  void* memory = handle ? GlobalLock(handle) : nullptr;
  if (memory == nullptr) throw EGMEMStream(kCannotLock);
  SetPointer(memory, static_cast<int32_t>(size));
  attached_ = true;
}

TGMEMStream::~TGMEMStream() {
  if (attached_) Detach();
}

HGLOBAL TGMEMStream::Detach() {
  attached_ = false;
  void* memory = Memory();
  HGLOBAL handle = memory ? GlobalHandle(memory) : nullptr;
  if (handle) GlobalUnlock(handle);
  SetPointer(nullptr, 0);
  Clear();  // no memory left, so nothing is freed: the block now belongs to the caller
  return handle;
}

void* TGMEMStream::Realloc(int32_t& newCapacity) {
  if (attached_) throw EGMEMStream(kShouldNotRealloc);
  return TMemoryStream::Realloc(newCapacity);
}

}  // namespace data
