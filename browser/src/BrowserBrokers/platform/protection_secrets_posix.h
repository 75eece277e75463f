// Where the POSIX protection service keeps its secrets: the key, the key
// being read, and the two cached subkeys (protection_key_cache_posix.h,
// protection_subkey_cache_posix.h). All of them lie in one block from
// sodium_malloc, which is locked in memory and left out of core dumps where
// the system allows, and fenced by guard pages. One block and not one per
// secret, because each block costs six system calls, and the first ones are
// taken on the way to the first answer.
#pragma once

#include <cstdint>

namespace platform {

enum class SecretSlot { kKey, kIncomingKey, kSealingSubkey, kOpeningSubkey };

// The slot's kProtectionKeyBytes bytes, or null when no protected memory
// could be had. The block is taken on first use and never freed, so that
// threads may use their slots until the very end of the process; each slot
// is wiped by its owner. libsodium must be initialised.
uint8_t* SecretSlotBytes(SecretSlot slot);

}  // namespace platform
