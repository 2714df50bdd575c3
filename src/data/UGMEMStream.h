// A memory stream whose bytes live in a Win32 global memory block: attached to a block given by
// someone else (read and rewritten in place, never resized), or building a block to hand over.
#pragma once

#include <windows.h>

#include "rtl/Exception.h"
#include "rtl/Stream.h"

namespace data {

class EGMEMStream : public rtl::Exception {
 public:
  using rtl::Exception::Exception;
};

class TGMEMStream : public rtl::TMemoryStream {
 public:
  // An ordinary, empty memory stream that owns its storage.
  TGMEMStream() = default;
  // Attaches to the block: locks it for the stream's lifetime; size is the block's GlobalSize,
  // position 0. Raises EGMEMStream when the block cannot be locked.
  explicit TGMEMStream(HGLOBAL handle);
  // Detaches first when attached: the given block is unlocked, never freed.
  ~TGMEMStream() override;

  // Gives up the memory and returns the (unlocked) block that held it; the caller owns it now.
  // Afterwards the stream is empty and not attached. Returns nullptr when there was no memory.
  HGLOBAL Detach();
  bool Attached() const { return attached_; }

 protected:
  // An attached stream refuses every change of capacity, however small.
  void* Realloc(int32_t& newCapacity) override;

 private:
  bool attached_ = false;
};

}  // namespace data
