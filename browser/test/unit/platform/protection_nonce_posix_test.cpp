// Nonces of the POSIX data-protection service: never the same twice, from
// any thread, and not in a forked child either.
#include <sodium.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "platform/protection_nonce_posix.h"

namespace {

using Nonce = std::array<uint8_t, platform::kProtectionNonceBytes>;
constexpr size_t kRandomPartBytes = 16;

Nonce NextNonce(uint8_t fill = 0) {
  Nonce nonce;
  nonce.fill(fill);
  platform::FillProtectionNonce(nonce.data());
  return nonce;
}

uint64_t CountOf(const Nonce& nonce) {
  uint64_t count = 0;
  for (size_t i = nonce.size(); i-- > kRandomPartBytes;) count = count << 8 | nonce[i];
  return count;
}

bool SamePrefix(const Nonce& a, const Nonce& b) {
  return std::equal(a.begin(), a.begin() + kRandomPartBytes, b.begin());
}

// A process seals every blob under one 16-byte prefix (its subkey is kept)
// and tells blobs apart by the 64-bit count after it, which must not wrap
// within any realistic run: past 65,536 nonces here. Every byte is written,
// whatever the buffer held before.
TEST(ProtectionNoncePosixTest, EachNonceIsTheProcessPrefixAndTheNextCount) {
  ASSERT_GE(sodium_init(), 0);
  const Nonce first = NextNonce();
  for (uint64_t drawn = 1; drawn <= 70000; ++drawn) {
    const Nonce next = NextNonce(drawn % 2 == 0 ? 0x00 : 0xFF);
    ASSERT_TRUE(SamePrefix(next, first)) << drawn;
    ASSERT_EQ(CountOf(next), CountOf(first) + drawn) << drawn;
  }
}

TEST(ProtectionNoncePosixTest, ThreadsNeverGetTheSameNonce) {
  ASSERT_GE(sodium_init(), 0);
  constexpr int kThreads = 4;
  constexpr int kEach = 50000;
  std::set<Nonce> seen;
  std::mutex seenMutex;
  std::atomic<int> ready{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      // All draw at the same time, so the counter is contended.
      ready.fetch_add(1);
      while (ready.load() < kThreads) std::this_thread::yield();
      std::vector<Nonce> mine;
      for (int i = 0; i < kEach; ++i) mine.push_back(NextNonce());
      std::lock_guard<std::mutex> lock(seenMutex);
      seen.insert(mine.begin(), mine.end());
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(seen.size(), size_t{kThreads * kEach});
}

// The three nonces that a forked child draws first; none if it fails.
std::vector<Nonce> NoncesOfAChild() {
  std::array<Nonce, 3> nonces;
  constexpr auto kSize = static_cast<ssize_t>(sizeof(nonces));
  int ends[2];
  if (pipe(ends) != 0) return {};
  const pid_t child = fork();
  if (child == 0) {
    for (Nonce& nonce : nonces) nonce = NextNonce();
    _exit(write(ends[1], nonces.data(), kSize) == kSize ? 0 : 1);
  }
  close(ends[1]);
  const bool received = read(ends[0], nonces.data(), kSize) == kSize;
  close(ends[0]);
  int status = -1;
  if (child > 0) waitpid(child, &status, 0);
  if (!received || status != 0) return {};
  return {nonces.begin(), nonces.end()};
}

// A child inherits the parent's memory; it must not hand out the nonces
// that the parent hands out next, and draws a random part of its own, all
// 16 bytes of it.
TEST(ProtectionNoncePosixTest, ForkedChildrenDrawTheirOwnRandomPart) {
  ASSERT_GE(sodium_init(), 0);
  std::vector<Nonce> all{NextNonce()};  // the parent's state exists before the forks
  std::vector<Nonce> firstOfEachProcess = all;
  for (int child = 0; child < 3; ++child) {
    const std::vector<Nonce> nonces = NoncesOfAChild();
    ASSERT_EQ(nonces.size(), 3u) << "child " << child;
    all.insert(all.end(), nonces.begin(), nonces.end());
    firstOfEachProcess.push_back(nonces.front());
  }
  for (int i = 0; i < 3; ++i) all.push_back(NextNonce());
  EXPECT_EQ(std::set<Nonce>(all.begin(), all.end()).size(), all.size());
  // Four processes share a random byte only by chance (2^-24 a byte).
  for (size_t byte = 0; byte < kRandomPartBytes; ++byte) {
    std::set<uint8_t> values;
    for (const Nonce& nonce : firstOfEachProcess) values.insert(nonce[byte]);
    EXPECT_GT(values.size(), 1u) << "byte " << byte << " is the same in every process";
  }
}

}  // namespace
