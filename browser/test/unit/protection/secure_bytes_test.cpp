#include "protection/secure_bytes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

// This test program's array allocations go through the replacements below,
// so a test can look at a block SecureBytes gives back while it is still
// allocated, just before it is freed.
namespace {

struct WatchedBlock {
  const void* address = nullptr;
  std::size_t size = 0;
  bool released = false;
  bool zeroWhenReleased = false;
};

WatchedBlock g_watched;

void Watch(const void* address, std::size_t size) {
  g_watched = WatchedBlock{address, size, false, false};
}

void InspectBeforeFree(void* block) {
  if (block == nullptr || block != g_watched.address) return;
  const auto* bytes = static_cast<const unsigned char*>(block);
  bool zero = true;
  for (std::size_t i = 0; i < g_watched.size; ++i) zero = zero && bytes[i] == 0;
  g_watched.address = nullptr;  // its address may be handed out again
  g_watched.released = true;
  g_watched.zeroWhenReleased = zero;
}

}  // namespace

void* operator new[](std::size_t size) {
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}
void operator delete[](void* block) noexcept {
  InspectBeforeFree(block);
  std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
  InspectBeforeFree(block);
  std::free(block);
}

namespace browser_extensions {
namespace {

TEST(SecureBytesTest, GrowsToOneAndAHalfTimesOrToTheSizeNeeded) {
  SecureBytes bytes;
  std::vector<std::size_t> capacities;
  for (int i = 0; i < 40; ++i) {
    bytes.PushBack(static_cast<uint8_t>(i));
    if (capacities.empty() || capacities.back() != bytes.capacity()) {
      capacities.push_back(bytes.capacity());
    }
  }
  EXPECT_EQ(capacities, (std::vector<std::size_t>{1, 2, 3, 4, 6, 9, 13, 19, 28, 42}));
  for (int i = 0; i < 40; ++i) EXPECT_EQ(bytes.data()[i], i);

  const std::vector<uint8_t> many(100, 0xEE);
  bytes.Append(many.data(), many.size());
  EXPECT_EQ(bytes.capacity(), 140u);
  // Extend grows like Append and hands out the new bytes in place.
  uint8_t* added = bytes.Extend(3);
  EXPECT_EQ(added, bytes.data() + 140);
  EXPECT_EQ(bytes.size(), 143u);
  EXPECT_EQ(bytes.capacity(), 210u);
  // 1.5 times a huge capacity must not wrap around to something small.
  EXPECT_EQ(SecureBytes::GrownCapacity(SIZE_MAX / 4 * 3, SIZE_MAX / 4 * 3 + 1), SIZE_MAX);
}

TEST(SecureBytesTest, ZeroFillsTheWholeOldStorageWhenItGrows) {
  SecureBytes bytes;
  bytes.Reserve(16);
  const std::vector<uint8_t> secret(10, 0xA5);
  bytes.Append(secret.data(), secret.size());
  Watch(bytes.data(), bytes.capacity());

  const std::vector<uint8_t> more(20, 0x5A);
  bytes.Append(more.data(), more.size());

  EXPECT_TRUE(g_watched.released);
  EXPECT_TRUE(g_watched.zeroWhenReleased);
  EXPECT_EQ(bytes.size(), 30u);
  EXPECT_EQ(bytes.data()[9], 0xA5);
  EXPECT_EQ(bytes.data()[10], 0x5A);
}

TEST(SecureBytesTest, ZeroFillsTheWholeStorageOnDestruction) {
  {
    SecureBytes bytes;
    const std::vector<uint8_t> secret(7, 0xFF);
    bytes.Append(secret.data(), secret.size());
    bytes.Reserve(12);  // capacity beyond the size is wiped too
    Watch(bytes.data(), bytes.capacity());
  }
  EXPECT_TRUE(g_watched.released);
  EXPECT_TRUE(g_watched.zeroWhenReleased);
}

}  // namespace
}  // namespace browser_extensions
