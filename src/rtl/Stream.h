// The byte stream and its memory-backed forms.
#pragma once

#include <cstdint>

namespace rtl {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
 public:
  virtual ~TStream() = default;
  TStream() = default;
  TStream(const TStream&) = delete;
  TStream& operator=(const TStream&) = delete;

  // Reads or writes up to count bytes and returns how many moved.
  virtual int32_t Read(void* buffer, int32_t count) = 0;
  virtual int32_t Write(const void* buffer, int32_t count) = 0;
  virtual int32_t Seek(int32_t offset, TSeekOrigin origin) = 0;

  int32_t GetPosition() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(int32_t position) { Seek(position, TSeekOrigin::soBeginning); }
  virtual int32_t GetSize();
  virtual void SetSize(int32_t newSize);

  // Exactly count bytes, or EReadError / EWriteError.
  void ReadBuffer(void* buffer, int32_t count);
  void WriteBuffer(const void* buffer, int32_t count);

  // Moves count bytes from source in pieces of at most 61,440 bytes, each read exactly.
  // A count of 0 copies the whole source from its position 0; a negative count raises ERangeError.
  // Returns the bytes copied.
  int32_t CopyFrom(TStream& source, int32_t count);

  static constexpr int32_t kMaxCopyPiece = 61440;
};

// Puts a stream back where it was. Normal exits call Restore, which lets a failing seek propagate;
// the destructor seeks only when an error is already on its way, and keeps that error.
class TPositionGuard {
 public:
  explicit TPositionGuard(TStream& stream) : stream_(stream), position_(stream.GetPosition()) {}
  ~TPositionGuard();
  TPositionGuard(const TPositionGuard&) = delete;
  TPositionGuard& operator=(const TPositionGuard&) = delete;

  void Restore();
  // Leaves the stream where it is now.
  void Dismiss() { restored_ = true; }

 private:
  TStream& stream_;  // not owned
  int32_t position_;
  bool restored_ = false;
};

// A stream over one contiguous block of memory; the block is provided by the derived class.
class TCustomMemoryStream : public TStream {
 public:
  int32_t Read(void* buffer, int32_t count) override;
  int32_t Seek(int32_t offset, TSeekOrigin origin) override;
  int32_t GetSize() override { return size_; }

  void* Memory() const { return memory_; }
  void SaveToStream(TStream& stream);
  // Defined in FileStream.cpp, beside the file stream it writes through.
  void SaveToFile(const char* fileName);

 protected:
  void SetPointer(void* memory, int32_t size);
  int32_t position_ = 0;

 private:
  void* memory_ = nullptr;
  int32_t size_ = 0;
};

// Where growable memory streams keep their bytes. Null, the default: a movable global memory
// block, as below. A test may give them storage of exactly the capacity asked for, ending right
// before a page that may not be read, so that reading past a stream's end faults: the function
// returns new storage holding the first min(capacity, newCapacity) bytes of memory and releases
// memory (newCapacity 0: only releases). Switch it only while no memory stream holds storage.
using TMemoryStorage = void* (*)(void* memory, int32_t capacity, int32_t newCapacity);
TMemoryStorage& MemoryStreamStorage();

// A growable memory stream. Its storage is a movable global memory block, locked while in use,
// with the capacity rounded up to 8,192 bytes; Realloc is the one place that touches it.
class TMemoryStream : public TCustomMemoryStream {
 public:
  ~TMemoryStream() override;

  int32_t Write(const void* buffer, int32_t count) override;
  void SetSize(int32_t newSize) override;
  void Clear();
  void LoadFromStream(TStream& stream);
  // Defined in FileStream.cpp, beside the file stream it reads through.
  void LoadFromFile(const char* fileName);
  int32_t Capacity() const { return capacity_; }
  // Exchanges contents, size, capacity and position with other; both must be plain memory streams.
  void Swap(TMemoryStream& other);

 protected:
  // Returns storage for newCapacity bytes (which it may round up), keeping the current contents.
  // A capacity of 0 releases the storage and returns nullptr.
  virtual void* Realloc(int32_t& newCapacity);
  void SetCapacity(int32_t newCapacity);

 private:
  int32_t capacity_ = 0;
};

}  // namespace rtl
