// The per-user data-protection service (CryptProtectData and
// CryptUnprotectData on Windows; a libsodium-based service elsewhere).
//
// Both calls return false on failure and set the last-error code
// (last_error.h). On success `out` holds a blob allocated by the service;
// give it back with FreeServiceBlob once its bytes have been copied.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

struct ServiceBlob {
  uint8_t* data = nullptr;
  uint32_t size = 0;
};

// Seals `plain` for the current user, binding `entropy` to it. Blobs made
// by the POSIX service always have an even number of bytes.
bool ProtectBytes(const uint8_t* plain, uint32_t plainSize,
                  const uint8_t* entropy, uint32_t entropySize,
                  ServiceBlob* out);

// Opens a blob made by ProtectBytes for the same user with the same entropy.
bool UnprotectBytes(const uint8_t* blob, uint32_t blobSize,
                    const uint8_t* entropy, uint32_t entropySize,
                    ServiceBlob* out);

// Gives a blob back to the service (LocalFree on Windows). Null is allowed.
void FreeServiceBlob(void* data);

}  // namespace platform
