#include "data/UGMEMStream.h"
#include "support/MessageOf.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

const char kReallocText[] = "should not realloc Global Handle";

UINT LockCount(HGLOBAL block) { return GlobalFlags(block) & GMEM_LOCKCOUNT; }

std::vector<unsigned char> BlockBytes(HGLOBAL block, std::size_t count) {
  auto* memory = static_cast<const unsigned char*>(GlobalLock(block));
  std::vector<unsigned char> bytes(memory, memory + count);
  GlobalUnlock(block);
  return bytes;
}

std::vector<unsigned char> Pattern(std::size_t count, unsigned char seed) {
  std::vector<unsigned char> bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<unsigned char>(seed + i * 7);
  return bytes;
}

// A movable block of 100 bytes holding a known pattern, freed at the end of each test.
class AttachedStream : public ::testing::Test {
 protected:
  void SetUp() override {
    block_ = GlobalAlloc(GMEM_MOVEABLE, 100);
    ASSERT_NE(block_, nullptr);
    std::memcpy(GlobalLock(block_), pattern_.data(), pattern_.size());
    GlobalUnlock(block_);
  }
  void TearDown() override {
    if (block_) {
      EXPECT_EQ(GlobalFree(block_), nullptr);
    }
  }

  // Runs action on an attached stream and expects it to raise the realloc error, leaving the
  // stream's memory, size, position, attachment and the block's bytes as they were.
  template <typename Action>
  void ExpectRefused(data::TGMEMStream& stream, Action action) {
    void* memory = stream.Memory();
    int32_t size = stream.GetSize();
    int32_t position = stream.GetPosition();
    EXPECT_EQ(testing_support::MessageOf<data::EGMEMStream>(action), kReallocText);
    EXPECT_EQ(stream.Memory(), memory);
    EXPECT_EQ(stream.GetSize(), size);
    EXPECT_EQ(stream.GetPosition(), position);
    EXPECT_TRUE(stream.Attached());
    EXPECT_EQ(LockCount(block_), 1u);
    EXPECT_EQ(std::memcmp(memory, pattern_.data(), pattern_.size()), 0);
  }

  HGLOBAL block_ = nullptr;
  std::vector<unsigned char> pattern_ = Pattern(100, 3);
};

TEST_F(AttachedStream, ShowsTheBlockFromPositionZero) {
  data::TGMEMStream stream(block_);
  EXPECT_TRUE(stream.Attached());
  EXPECT_GE(stream.GetSize(), 100);
  EXPECT_EQ(stream.GetSize(), static_cast<int32_t>(GlobalSize(block_)));
  EXPECT_EQ(stream.GetPosition(), 0);
  EXPECT_EQ(LockCount(block_), 1u);
  std::vector<unsigned char> read(100);
  EXPECT_EQ(stream.Read(read.data(), 100), 100);
  EXPECT_EQ(read, pattern_);
}

TEST_F(AttachedStream, WritesWithinTheSizeChangeTheBlockInPlace) {
  const std::vector<unsigned char> ten = Pattern(10, 200);
  {
    data::TGMEMStream stream(block_);
    stream.WriteBuffer(ten.data(), 10);
    EXPECT_EQ(stream.GetPosition(), 10);
    // A write that ends exactly at the end still fits.
    int32_t size = stream.GetSize();
    stream.SetPosition(size - 10);
    stream.WriteBuffer(ten.data(), 10);
    EXPECT_EQ(stream.GetSize(), size);
  }
  std::vector<unsigned char> expected = pattern_;
  std::copy(ten.begin(), ten.end(), expected.begin());
  if (GlobalSize(block_) == 100) std::copy(ten.begin(), ten.end(), expected.end() - 10);
  EXPECT_EQ(BlockBytes(block_, 100), expected);
}

TEST_F(AttachedStream, WritingOneBytePastTheEndIsRefused) {
  data::TGMEMStream stream(block_);
  stream.SetPosition(stream.GetSize() - 9);
  ExpectRefused(stream, [&] { stream.Write(pattern_.data(), 10); });
}

TEST_F(AttachedStream, EveryChangeOfSizeIsRefused) {
  data::TGMEMStream stream(block_);
  stream.SetPosition(40);
  const int32_t size = stream.GetSize();
  ExpectRefused(stream, [&] { stream.SetSize(size); });
  ExpectRefused(stream, [&] { stream.SetSize(size - 1); });
  ExpectRefused(stream, [&] { stream.SetSize(size + 1); });
  ExpectRefused(stream, [&] { stream.SetSize(0); });
  ExpectRefused(stream, [&] { stream.Clear(); });
  data::TGMEMStream source;
  source.WriteBuffer("abc", 3);
  ExpectRefused(stream, [&] { stream.LoadFromStream(source); });
}

TEST_F(AttachedStream, DestroyingLeavesTheBlockAllocatedAndUnlocked) {
  { data::TGMEMStream stream(block_); }
  EXPECT_EQ(LockCount(block_), 0u);
  EXPECT_NE(GlobalFlags(block_), static_cast<UINT>(GMEM_INVALID_HANDLE));
  EXPECT_GE(GlobalSize(block_), 100u);
  EXPECT_EQ(BlockBytes(block_, 100), pattern_);
}

TEST_F(AttachedStream, DetachReturnsTheGivenBlockUnlocked) {
  data::TGMEMStream stream(block_);
  EXPECT_EQ(stream.Detach(), block_);
  EXPECT_FALSE(stream.Attached());
  EXPECT_EQ(stream.GetSize(), 0);
  EXPECT_EQ(stream.GetPosition(), 0);
  EXPECT_EQ(stream.Memory(), nullptr);
  EXPECT_EQ(LockCount(block_), 0u);
  // Once detached it is an ordinary stream again, with storage of its own.
  stream.WriteBuffer("xyz", 3);
  EXPECT_EQ(stream.GetSize(), 3);
  EXPECT_NE(GlobalHandle(stream.Memory()), block_);
}

// No handle, and a movable block of no bytes (a discarded one), which the system refuses to lock.
TEST(AttachFailure, AHandleThatCannotBeLockedIsRefused) {
  EXPECT_THROW(data::TGMEMStream stream(nullptr), data::EGMEMStream);
  HGLOBAL discarded = GlobalAlloc(GMEM_MOVEABLE, 0);
  ASSERT_NE(discarded, nullptr);
  EXPECT_THROW(data::TGMEMStream stream(discarded), data::EGMEMStream);
  EXPECT_EQ(GlobalFlags(discarded) & GMEM_DISCARDED, static_cast<UINT>(GMEM_DISCARDED)) << "left as it was";
  EXPECT_EQ(GlobalFree(discarded), nullptr);
}

TEST(PlainStream, GrowsInItsOwnBlockLikeAnyMemoryStream) {
  data::TGMEMStream stream;
  EXPECT_FALSE(stream.Attached());
  const std::vector<unsigned char> bytes = Pattern(8193, 1);
  stream.WriteBuffer(bytes.data(), 8193);
  EXPECT_EQ(stream.GetSize(), 8193);
  EXPECT_EQ(stream.Capacity(), 16384);
  stream.SetSize(5);
  EXPECT_EQ(stream.GetSize(), 5);
  stream.Clear();
  EXPECT_EQ(stream.GetSize(), 0);
  EXPECT_EQ(stream.Memory(), nullptr);
}

TEST(PlainStream, DetachHandsOverTheWrittenBlock) {
  const std::vector<unsigned char> bytes = Pattern(10, 50);
  HGLOBAL block;
  {
    data::TGMEMStream stream;
    EXPECT_EQ(stream.Detach(), nullptr) << "nothing written, no block";
    stream.WriteBuffer(bytes.data(), 10);
    block = stream.Detach();
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(stream.GetSize(), 0);
    EXPECT_EQ(stream.GetPosition(), 0);
    EXPECT_EQ(stream.Capacity(), 0);
    EXPECT_EQ(stream.Memory(), nullptr);
    EXPECT_FALSE(stream.Attached());
  }
  // The stream's destruction freed nothing: the block is ours, intact and unlocked.
  EXPECT_NE(GlobalFlags(block), static_cast<UINT>(GMEM_INVALID_HANDLE));
  EXPECT_EQ(LockCount(block), 0u);
  EXPECT_GE(GlobalSize(block), 10u);
  EXPECT_EQ(BlockBytes(block, 10), bytes);
  EXPECT_EQ(GlobalFree(block), nullptr);
}

TEST(PlainStream, ABlockHandedOverCanBeAttachedAgain) {
  data::TGMEMStream writer;
  writer.WriteBuffer("payload", 7);
  HGLOBAL block = writer.Detach();
  {
    data::TGMEMStream reader(block);
    EXPECT_GE(reader.GetSize(), 7);
    char text[7];
    reader.ReadBuffer(text, 7);
    EXPECT_EQ(std::string(text, 7), "payload");
  }
  EXPECT_EQ(LockCount(block), 0u);
  EXPECT_EQ(GlobalFree(block), nullptr);
}

}  // namespace
