// Nonces for the POSIX data-protection service without a system call each.
//
// A nonce is 16 random bytes drawn once per process, then a 64-bit counter,
// so no two blobs sealed by one process share a nonce, and two processes
// share one only if their random parts meet (odds of 2^-128 per pair). The
// state lives in a page that a forked child gets zeroed
// (MADV_WIPEONFORK), so the child draws its own random part instead of
// repeating the parent's nonces.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

inline constexpr size_t kProtectionNonceBytes = 24;

// Fills `nonce` with kProtectionNonceBytes bytes that this process has
// never handed out before. Where the state page can't be had (no
// MADV_WIPEONFORK), every nonce is drawn from the system at random instead.
// Safe to call from any thread. libsodium must be initialised.
void FillProtectionNonce(uint8_t* nonce);

}  // namespace platform
