#include "platform/protection_key_cache_posix.h"

#include <sodium.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/last_error.h"
#include "platform/protection_secrets_posix.h"

namespace platform {
namespace {

struct KeyStore {
  std::mutex mutex;
  // Both lie in the service's protected memory (protection_secrets_posix.h).
  // `incoming` holds a key while it is being read.
  uint8_t* current = nullptr;
  uint8_t* incoming = nullptr;
  bool loaded = false;   // `current` holds the key of `dataHome`
  std::string dataHome;  // XDG_DATA_HOME as it was when the key was read
  uint64_t version = 0;  // counts the different keys that this process has held
};

// Never destroyed: agent threads may protect and unprotect until the very
// end of the process.
KeyStore& Store() {
  static KeyStore* store = new KeyStore;
  return *store;
}

const char* DataHome() {
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  return dataHome != nullptr ? dataHome : "";
}

void Forget(KeyStore& store) {
  if (store.current != nullptr) {
    sodium_memzero(store.current, kProtectionKeyBytes);
    sodium_memzero(store.incoming, kProtectionKeyBytes);
  }
  store.loaded = false;
}

void WipeAtExit() {
  KeyStore& store = Store();
  std::lock_guard<std::mutex> hold(store.mutex);
  Forget(store);
}

bool HaveSlots(KeyStore& store) {
  if (store.current != nullptr) return true;
  uint8_t* current = SecretSlotBytes(SecretSlot::kKey);
  if (current == nullptr) {
    SetLastErrorCode(kErrorNotEnoughMemory);
    return false;
  }
  store.current = current;
  store.incoming = SecretSlotBytes(SecretSlot::kIncomingKey);
  std::atexit(WipeAtExit);
  return true;
}

// Reads the key file; the key read becomes the current one. On failure the
// current key stays as it was.
bool ReadKeyFile(KeyStore& store) {
  if (!HaveSlots(store)) return false;
  if (!LoadProtectionKey(store.incoming)) return false;  // `incoming` is zeroed
  if (!store.loaded ||
      sodium_memcmp(store.incoming, store.current, kProtectionKeyBytes) != 0)
    ++store.version;
  std::memcpy(store.current, store.incoming, kProtectionKeyBytes);
  sodium_memzero(store.incoming, kProtectionKeyBytes);
  store.loaded = true;
  return true;
}

void CopyCurrent(const KeyStore& store, ProtectionKeyCopy* key) {
  std::memcpy(key->bytes, store.current, kProtectionKeyBytes);
  key->version = store.version;
}

}  // namespace

ProtectionKeyCopy::~ProtectionKeyCopy() { sodium_memzero(bytes, sizeof(bytes)); }

bool CopyProtectionKey(ProtectionKeyCopy* key) {
  KeyStore& store = Store();
  std::lock_guard<std::mutex> hold(store.mutex);
  const char* dataHome = DataHome();
  if (!store.loaded || store.dataHome != dataHome) {
    Forget(store);  // another folder's key is no key for this one
    if (!ReadKeyFile(store)) return false;
    store.dataHome = dataHome;
  }
  CopyCurrent(store, key);
  return true;
}

bool RenewProtectionKey(ProtectionKeyCopy* key) {
  KeyStore& store = Store();
  std::lock_guard<std::mutex> hold(store.mutex);
  if (!store.loaded || store.dataHome != DataHome()) return false;
  if (store.version == key->version) ReadKeyFile(store);
  if (store.version == key->version) return false;
  CopyCurrent(store, key);
  return true;
}

}  // namespace platform
