// XChaCha20-Poly1305, the seal of the POSIX data-protection service, is
// ChaCha20-Poly1305 under a subkey that HChaCha20 derives from the key and
// the nonce's first 16 bytes. A process seals all its blobs under one such
// prefix (protection_nonce_posix.h) and mostly opens blobs of one sealer,
// so a cache keeps the last subkey instead of deriving it for every blob.
//
// The subkey opens every blob of its prefix, so it is kept like the key:
// in the service's protected memory, wiped at exit. Safe to call from any
// thread; libsodium must be initialised.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>

#include "platform/protection_key_cache_posix.h"
#include "platform/protection_secrets_posix.h"

namespace platform {

inline constexpr size_t kSubkeyPrefixBytes = 16;

// Remembers one subkey, the last one derived, in `slot`.
class ProtectionSubkeyCache {
 public:
  explicit ProtectionSubkeyCache(SecretSlot slot) : slot_(slot) {}

  // Puts into `subkey` the subkey of `key` for nonces that begin with the
  // kSubkeyPrefixBytes at `prefix`, and key.version into subkey->version.
  void Derive(const ProtectionKeyCopy& key, const uint8_t* prefix,
              ProtectionKeyCopy* subkey);
  // Forgets the subkey and zero-fills its slot.
  void Wipe();

 private:
  std::mutex mutex_;
  const SecretSlot slot_;
  uint8_t prefix_[kSubkeyPrefixBytes] = {};
  uint64_t version_ = 0;
  bool valid_ = false;
};

// The caches of the sealing side and of the opening side, apart so that a
// process that does both keeps both subkeys. Never destroyed.
ProtectionSubkeyCache& SealingSubkeys();
ProtectionSubkeyCache& OpeningSubkeys();

}  // namespace platform
