#include "platform/protection_subkey_cache_posix.h"

#include <sodium.h>

#include <cstdlib>
#include <cstring>

namespace platform {
namespace {

ProtectionSubkeyCache& Sealing() {
  static auto* const cache = new ProtectionSubkeyCache(SecretSlot::kSealingSubkey);
  return *cache;
}

ProtectionSubkeyCache& Opening() {
  static auto* const cache = new ProtectionSubkeyCache(SecretSlot::kOpeningSubkey);
  return *cache;
}

void WipeBothAtExit() {
  Sealing().Wipe();
  Opening().Wipe();
}

void WipeAtExitOnce() {
  static const bool registered = std::atexit(WipeBothAtExit) == 0;
  (void)registered;
}

}  // namespace

void ProtectionSubkeyCache::Derive(const ProtectionKeyCopy& key, const uint8_t* prefix,
                                   ProtectionKeyCopy* subkey) {
  subkey->version = key.version;
  std::lock_guard<std::mutex> hold(mutex_);
  if (valid_ && version_ == key.version &&
      std::memcmp(prefix_, prefix, kSubkeyPrefixBytes) == 0) {
    std::memcpy(subkey->bytes, SecretSlotBytes(slot_), kProtectionKeyBytes);
    return;
  }
  crypto_core_hchacha20(subkey->bytes, prefix, key.bytes, nullptr);
  // Without protected memory the subkey is not kept.
  uint8_t* kept = SecretSlotBytes(slot_);
  if (kept == nullptr) return;
  std::memcpy(kept, subkey->bytes, kProtectionKeyBytes);
  std::memcpy(prefix_, prefix, kSubkeyPrefixBytes);
  version_ = key.version;
  valid_ = true;
}

void ProtectionSubkeyCache::Wipe() {
  std::lock_guard<std::mutex> hold(mutex_);
  // Only a valid subkey has a slot to wipe.
  if (valid_) sodium_memzero(SecretSlotBytes(slot_), kProtectionKeyBytes);
  valid_ = false;
}

ProtectionSubkeyCache& SealingSubkeys() {
  WipeAtExitOnce();
  return Sealing();
}

ProtectionSubkeyCache& OpeningSubkeys() {
  WipeAtExitOnce();
  return Opening();
}

}  // namespace platform
