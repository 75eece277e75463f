#include "platform/protection_nonce_posix.h"

#include <sched.h>
#include <sodium.h>
#include <sys/mman.h>

#include <atomic>
#include <cstring>
#include <new>

namespace platform {
namespace {

constexpr size_t kRandomPartBytes = 16;
static_assert(kRandomPartBytes + sizeof(uint64_t) == kProtectionNonceBytes);

enum Readiness : uint32_t { kUnseeded = 0, kSeeding = 1, kReady = 2 };

// All zero bytes mean "unseeded", which is what a forked child finds.
struct NonceState {
  std::atomic<uint32_t> readiness;
  std::atomic<uint64_t> counter;
  uint8_t randomPart[kRandomPartBytes];
};
static_assert(std::atomic<uint32_t>::is_always_lock_free &&
              std::atomic<uint64_t>::is_always_lock_free);

// The page that holds the state, or null where the system can't wipe it on
// fork: sharing the state with a child would repeat nonces.
NonceState* StatePage() {
  static NonceState* const page = [] () -> NonceState* {
#ifdef MADV_WIPEONFORK
    void* mapped = mmap(nullptr, sizeof(NonceState), PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return nullptr;
    if (madvise(mapped, sizeof(NonceState), MADV_WIPEONFORK) != 0) {
      munmap(mapped, sizeof(NonceState));
      return nullptr;
    }
    return new (mapped) NonceState{};
#else
    return nullptr;
#endif
  }();
  return page;
}

// Draws the random part once per process (again in a forked child).
void Seed(NonceState& state) {
  uint32_t expected = kUnseeded;
  if (state.readiness.compare_exchange_strong(expected, kSeeding,
                                              std::memory_order_acquire)) {
    randombytes_buf(state.randomPart, sizeof(state.randomPart));
    state.counter.store(0, std::memory_order_relaxed);
    state.readiness.store(kReady, std::memory_order_release);
    return;
  }
  while (state.readiness.load(std::memory_order_acquire) != kReady) sched_yield();
}

}  // namespace

void FillProtectionNonce(uint8_t* nonce) {
  NonceState* state = StatePage();
  if (state == nullptr) {
    randombytes_buf(nonce, kProtectionNonceBytes);
    return;
  }
  if (state->readiness.load(std::memory_order_acquire) != kReady) Seed(*state);
  const uint64_t count = state->counter.fetch_add(1, std::memory_order_relaxed);
  std::memcpy(nonce, state->randomPart, kRandomPartBytes);
  for (size_t i = 0; i < sizeof(count); ++i)
    nonce[kRandomPartBytes + i] = static_cast<uint8_t>(count >> (8 * i));
}

}  // namespace platform
