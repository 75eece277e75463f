// The user's protection key as this process keeps it: read from its file
// (protection_key_posix.h) on first use, then held in memory that is locked
// against swapping and left out of core dumps where the system allows, and
// wiped at exit. The key belongs to the data folder it was read from: when
// XDG_DATA_HOME names another one, the key is read again.
//
// Safe to call from any thread at the same time (the watcher protects while
// agent threads unprotect). libsodium must be initialised.
#pragma once

#include <cstdint>

#include "platform/protection_key_posix.h"

namespace platform {

// A copy of the key for one operation, wiped when it goes out of scope.
struct ProtectionKeyCopy {
  uint8_t bytes[kProtectionKeyBytes];
  uint64_t version = 0;  // which of the keys this process has held

  ProtectionKeyCopy() = default;
  ~ProtectionKeyCopy();
  ProtectionKeyCopy(const ProtectionKeyCopy&) = delete;
  ProtectionKeyCopy& operator=(const ProtectionKeyCopy&) = delete;
};

// Copies the key into `key`, reading its file first when this process holds
// no key for the current data folder. On failure returns false with the
// last-error code set (kErrorAccessDenied: no trustworthy key file).
bool CopyProtectionKey(ProtectionKeyCopy* key);

// `key` did not open a blob. Reads the key file again, unless another thread
// has done so since `key` was copied, so that a key that another process
// created in the meantime is honoured. True when `key` now holds another key
// that is worth a second try; false when the file holds the same key or
// can't be read (the key held so far is then kept).
bool RenewProtectionKey(ProtectionKeyCopy* key);

}  // namespace platform
