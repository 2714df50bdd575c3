#include "rtl/Stream.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "rtl/Checked.h"
#include "rtl/Exception.h"
#include "rtl/Handles.h"

namespace rtl {

int32_t TStream::GetSize() {
  int32_t position = Seek(0, TSeekOrigin::soCurrent);
  int32_t size = Seek(0, TSeekOrigin::soEnd);
  Seek(position, TSeekOrigin::soBeginning);
  return size;
}

void TStream::SetSize(int32_t) {}

void TStream::ReadBuffer(void* buffer, int32_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError();
}

void TStream::WriteBuffer(const void* buffer, int32_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EWriteError();
}

int32_t TStream::CopyFrom(TStream& source, int32_t count) {
  // A negative count would copy nothing and still look like success.
  if (count < 0) throw ERangeError();
  if (count == 0) {
    source.SetPosition(0);
    count = source.GetSize();
  }
  int32_t result = count;
  std::vector<unsigned char> buffer(static_cast<std::size_t>(std::min(count, kMaxCopyPiece)));
  while (count > 0) {
    int32_t piece = std::min(count, kMaxCopyPiece);
    source.ReadBuffer(buffer.data(), piece);
    WriteBuffer(buffer.data(), piece);
    count -= piece;
  }
  return result;
}

// --- TPositionGuard

TPositionGuard::~TPositionGuard() {
  if (restored_) return;
  try {
    stream_.SetPosition(position_);
  } catch (...) {
    // The error already on its way is the one the caller needs to see.
  }
}

void TPositionGuard::Restore() {
  restored_ = true;
  stream_.SetPosition(position_);
}

// --- TCustomMemoryStream

void TCustomMemoryStream::SetPointer(void* memory, int32_t size) {
  memory_ = memory;
  size_ = size;
}

int32_t TCustomMemoryStream::Read(void* buffer, int32_t count) {
  if (position_ < 0 || count <= 0 || position_ >= size_) return 0;
  int32_t available = std::min(size_ - position_, count);
  std::memcpy(buffer, static_cast<const char*>(memory_) + position_, static_cast<std::size_t>(available));
  position_ += available;
  return available;
}

int32_t TCustomMemoryStream::Seek(int32_t offset, TSeekOrigin origin) {
  switch (origin) {
    case TSeekOrigin::soBeginning: position_ = offset; break;
    case TSeekOrigin::soCurrent: position_ = CheckedAdd(position_, offset); break;
    case TSeekOrigin::soEnd: position_ = CheckedAdd(size_, offset); break;
  }
  return position_;
}

void TCustomMemoryStream::SaveToStream(TStream& stream) { stream.WriteBuffer(memory_, size_); }

// --- TMemoryStream

namespace {
constexpr int32_t kMemoryDelta = 8192;
}

TMemoryStream::~TMemoryStream() {
  try {
    Clear();
  } catch (...) {
    // A derived stream that refuses to release has already let go of its storage.
  }
}

TMemoryStorage& MemoryStreamStorage() {
  static TMemoryStorage storage = nullptr;
  return storage;
}

void* TMemoryStream::Realloc(int32_t& newCapacity) {
  if (TMemoryStorage storage = MemoryStreamStorage()) {
    if (newCapacity == capacity_) return Memory();
    void* memory = storage(Memory(), capacity_, newCapacity);
    if (memory == nullptr && newCapacity > 0) throw EStreamError(texts::MemoryStreamError());
    return memory;
  }
  if (newCapacity > 0 && newCapacity != GetSize()) {
    if (newCapacity > INT32_MAX - (kMemoryDelta - 1)) throw EOutOfMemory(texts::MemoryStreamError());
    newCapacity = (newCapacity + (kMemoryDelta - 1)) & ~(kMemoryDelta - 1);
  }
  void* memory = Memory();
  if (newCapacity == capacity_) return memory;
  // The stream holds its block by the block's locked address; GlobalHandle finds the block again.
  if (newCapacity == 0) {
    if (memory) {
      TGlobalHandle block(GlobalHandle(memory));
      GlobalUnlock(block.get());
    }
    return nullptr;
  }
  if (memory == nullptr) {
    TGlobalHandle block(GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(newCapacity)));
    void* locked = block ? GlobalLock(block.get()) : nullptr;
    if (locked == nullptr) throw EStreamError(texts::MemoryStreamError());
    block.release();  // held from now on by its locked address
    return locked;
  }
  HGLOBAL old = GlobalHandle(memory);
  GlobalUnlock(old);
  HGLOBAL grown = GlobalReAlloc(old, static_cast<SIZE_T>(newCapacity), GMEM_MOVEABLE);
  // When the block cannot grow, the old one stays ours and in use.
  void* locked = GlobalLock(grown != nullptr ? grown : old);
  if (grown == nullptr || locked == nullptr) throw EStreamError(texts::MemoryStreamError());
  return locked;
}

void TMemoryStream::SetCapacity(int32_t newCapacity) {
  void* memory = Realloc(newCapacity);
  SetPointer(memory, GetSize());
  capacity_ = newCapacity;
}

void TMemoryStream::SetSize(int32_t newSize) {
  if (newSize < 0) throw ERangeError();
  int32_t oldPosition = position_;
  SetCapacity(newSize);
  SetPointer(Memory(), newSize);
  if (oldPosition > newSize) Seek(0, TSeekOrigin::soEnd);
}

void TMemoryStream::Clear() {
  SetCapacity(0);
  SetPointer(Memory(), 0);
  position_ = 0;
}

int32_t TMemoryStream::Write(const void* buffer, int32_t count) {
  if (position_ < 0 || count <= 0) return 0;
  int32_t end = CheckedAdd(position_, count);
  if (end > GetSize()) {
    if (end > capacity_) SetCapacity(end);
    SetPointer(Memory(), end);
  }
  std::memcpy(static_cast<char*>(Memory()) + position_, buffer, static_cast<std::size_t>(count));
  position_ = end;
  return count;
}

void TMemoryStream::Swap(TMemoryStream& other) {
  void* memory = Memory();
  int32_t size = GetSize();
  SetPointer(other.Memory(), other.GetSize());
  other.SetPointer(memory, size);
  std::swap(capacity_, other.capacity_);
  std::swap(position_, other.position_);
}

void TMemoryStream::LoadFromStream(TStream& stream) {
  stream.SetPosition(0);
  int32_t count = stream.GetSize();
  SetSize(count);
  if (count != 0) stream.ReadBuffer(Memory(), count);
}

}  // namespace rtl
