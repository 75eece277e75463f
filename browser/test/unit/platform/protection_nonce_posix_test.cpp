// Nonces of the POSIX data-protection service: never the same twice, from
// any thread, and not in a forked child either.
#include <sodium.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "platform/protection_nonce_posix.h"

namespace {

using Nonce = std::array<uint8_t, platform::kProtectionNonceBytes>;

Nonce NextNonce() {
  Nonce nonce;
  platform::FillProtectionNonce(nonce.data());
  return nonce;
}

TEST(ProtectionNoncePosixTest, ThreadsNeverGetTheSameNonce) {
  ASSERT_GE(sodium_init(), 0);
  std::set<Nonce> seen;
  std::mutex seenMutex;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      std::vector<Nonce> mine;
      for (int i = 0; i < 2000; ++i) mine.push_back(NextNonce());
      std::lock_guard<std::mutex> lock(seenMutex);
      seen.insert(mine.begin(), mine.end());
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(seen.size(), 8000u);
}

// A child inherits the parent's memory; it must not hand out the nonces
// that the parent hands out next.
TEST(ProtectionNoncePosixTest, ForkedChildDoesNotRepeatParentNonces) {
  ASSERT_GE(sodium_init(), 0);
  NextNonce();  // the parent's state exists before the fork
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(pipeEnds[0]);
    bool written = true;
    for (int i = 0; i < 3; ++i) {
      const Nonce nonce = NextNonce();
      written = written && write(pipeEnds[1], nonce.data(), nonce.size()) ==
                               static_cast<ssize_t>(nonce.size());
    }
    _exit(written ? 0 : 1);
  }
  close(pipeEnds[1]);
  std::set<Nonce> seen;
  Nonce fromChild;
  while (read(pipeEnds[0], fromChild.data(), fromChild.size()) ==
         static_cast<ssize_t>(fromChild.size())) {
    seen.insert(fromChild);
  }
  close(pipeEnds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  for (int i = 0; i < 3; ++i) seen.insert(NextNonce());
  EXPECT_EQ(seen.size(), 6u);
}

}  // namespace
