// A per-user data-protection service with the contract of CryptProtectData:
// bytes plus optional entropy become an opaque blob that only the same user
// can open, and only with the same entropy.
//
// Blob layout (every blob has an even number of bytes, because protected
// text carries byte pairs only):
//   offset  size  content
//   0       4     magic "CVPB"
//   4       1     format version, 1
//   5       1     flags: bit 0 set when one zero byte of padding ends the blob
//   6       24    nonce, never repeated under one key (protection_nonce_posix.h)
//   30      n+16  the n plain bytes sealed with XChaCha20-Poly1305 under the
//                 user's key, the entropy bound as associated data
//   [46+n   1     padding]
#include "platform/data_protection.h"

#include <sodium.h>

#include <cstdlib>
#include <cstring>

#include "platform/last_error.h"
#include "platform/protection_key_cache_posix.h"
#include "platform/protection_nonce_posix.h"
#include "platform/protection_subkey_cache_posix.h"

namespace platform {
namespace {

constexpr uint8_t kMagic[4] = {'C', 'V', 'P', 'B'};
constexpr uint8_t kFormatVersion = 1;
constexpr uint8_t kFlagPadded = 0x01;
constexpr size_t kNonceBytes = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
static_assert(kNonceBytes == kProtectionNonceBytes);
constexpr size_t kTagBytes = crypto_aead_xchacha20poly1305_ietf_ABYTES;
constexpr size_t kHeaderBytes = sizeof(kMagic) + 2 + kNonceBytes;
static_assert(kProtectionKeyBytes == crypto_aead_xchacha20poly1305_ietf_KEYBYTES);
static_assert(kSubkeyPrefixBytes == crypto_core_hchacha20_INPUTBYTES);
constexpr size_t kInnerNonceBytes = crypto_aead_chacha20poly1305_ietf_NPUBBYTES;
// What follows the subkey's prefix in a nonce.
constexpr size_t kNonceTailBytes = kNonceBytes - kSubkeyPrefixBytes;

// Handed-out blobs carry their size in front so that FreeServiceBlob,
// which only gets the address, can wipe them.
constexpr size_t kSizePrefixBytes = alignof(std::max_align_t);

bool SodiumReady() {
  static const bool ready = sodium_init() >= 0;
  return ready;
}

uint8_t* AllocateBlob(size_t size) {
  auto* base = static_cast<uint8_t*>(std::malloc(kSizePrefixBytes + size));
  if (base == nullptr) return nullptr;
  std::memcpy(base, &size, sizeof(size));
  return base + kSizePrefixBytes;
}

bool Fail(uint32_t code) {
  SetLastErrorCode(code);
  return false;
}

// XChaCha20-Poly1305 done as its definition says, so that the subkey can be
// kept (protection_subkey_cache_posix.h): ChaCha20-Poly1305 under the
// subkey of the nonce's first 16 bytes, with a nonce of four zero bytes and
// the nonce's last 8.
void InnerNonce(const uint8_t* nonce, uint8_t* inner) {
  constexpr size_t kZeroBytes = kInnerNonceBytes - kNonceTailBytes;
  std::memset(inner, 0, kZeroBytes);
  std::memcpy(inner + kZeroBytes, nonce + kSubkeyPrefixBytes, kNonceTailBytes);
}

// libsodium wants an address even for no bytes.
const uint8_t* OrEmpty(const uint8_t* bytes) {
  static const uint8_t kNothing = 0;
  return bytes != nullptr ? bytes : &kNothing;
}

bool ValidArguments(const uint8_t* input, uint32_t inputSize, const uint8_t* entropy,
                    uint32_t entropySize, ServiceBlob* out) {
  if (out != nullptr) *out = ServiceBlob{};
  return out != nullptr && (input != nullptr || inputSize == 0) &&
         (entropy != nullptr || entropySize == 0);
}

// Checks everything but the seal; returns the sealed part's size, or 0.
size_t SealedSize(const uint8_t* blob, uint32_t blobSize) {
  if (blobSize % 2 != 0 || blobSize < kHeaderBytes + kTagBytes) return 0;
  if (std::memcmp(blob, kMagic, sizeof(kMagic)) != 0 || blob[4] != kFormatVersion) return 0;
  uint8_t flags = blob[5];
  if ((flags & ~kFlagPadded) != 0) return 0;
  size_t padding = (flags & kFlagPadded) ? 1 : 0;
  if (padding == 1 && blob[blobSize - 1] != 0) return 0;
  size_t sealed = blobSize - kHeaderBytes - padding;
  return sealed >= kTagBytes ? sealed : 0;
}

}  // namespace

bool ProtectBytes(const uint8_t* plain, uint32_t plainSize, const uint8_t* entropy,
                  uint32_t entropySize, ServiceBlob* out) {
  if (!ValidArguments(plain, plainSize, entropy, entropySize, out))
    return Fail(kErrorInvalidParameter);
  if (!SodiumReady()) return Fail(kErrorNotEnoughMemory);

  uint64_t sealed = uint64_t{plainSize} + kTagBytes;
  uint64_t padding = (kHeaderBytes + sealed) % 2;
  uint64_t total = kHeaderBytes + sealed + padding;
  if (total > UINT32_MAX) return Fail(kErrorNotEnoughMemory);

  ProtectionKeyCopy key;
  if (!CopyProtectionKey(&key)) return false;
  uint8_t* blob = AllocateBlob(total);
  if (blob == nullptr) return Fail(kErrorNotEnoughMemory);

  std::memcpy(blob, kMagic, sizeof(kMagic));
  blob[4] = kFormatVersion;
  blob[5] = padding ? kFlagPadded : 0;
  uint8_t* nonce = blob + 6;
  FillProtectionNonce(nonce);
  ProtectionKeyCopy subkey;
  SealingSubkeys().Derive(key, nonce, &subkey);
  uint8_t inner[kInnerNonceBytes];
  InnerNonce(nonce, inner);
  crypto_aead_chacha20poly1305_ietf_encrypt(blob + kHeaderBytes, nullptr, OrEmpty(plain),
                                            plainSize, OrEmpty(entropy), entropySize, nullptr,
                                            inner, subkey.bytes);
  if (padding) blob[total - 1] = 0;
  out->data = blob;
  out->size = static_cast<uint32_t>(total);
  return true;
}

bool UnprotectBytes(const uint8_t* blob, uint32_t blobSize, const uint8_t* entropy,
                    uint32_t entropySize, ServiceBlob* out) {
  if (!ValidArguments(blob, blobSize, entropy, entropySize, out))
    return Fail(kErrorInvalidParameter);
  if (!SodiumReady()) return Fail(kErrorNotEnoughMemory);
  size_t sealed = SealedSize(OrEmpty(blob), blobSize);
  if (sealed == 0) return Fail(kErrorInvalidData);

  ProtectionKeyCopy key;
  if (!CopyProtectionKey(&key)) return false;
  size_t plainSize = sealed - kTagBytes;
  uint8_t* plain = AllocateBlob(plainSize);
  if (plain == nullptr) return Fail(kErrorNotEnoughMemory);
  const uint8_t* nonce = blob + 6;
  uint8_t inner[kInnerNonceBytes];
  InnerNonce(nonce, inner);
  auto open = [&] {
    ProtectionKeyCopy subkey;
    OpeningSubkeys().Derive(key, nonce, &subkey);
    return crypto_aead_chacha20poly1305_ietf_decrypt(plain, nullptr, nullptr,
                                                     blob + kHeaderBytes, sealed,
                                                     OrEmpty(entropy), entropySize, inner,
                                                     subkey.bytes) == 0;
  };
  // A blob sealed by a process that made a new key after ours was read
  // opens with the key now in the file.
  if (!open() && !(RenewProtectionKey(&key) && open())) {
    FreeServiceBlob(plain);
    return Fail(kErrorInvalidData);
  }
  out->data = plain;
  out->size = static_cast<uint32_t>(plainSize);
  return true;
}

void FreeServiceBlob(void* data) {
  if (data == nullptr) return;
  uint8_t* base = static_cast<uint8_t*>(data) - kSizePrefixBytes;
  size_t size;
  std::memcpy(&size, base, sizeof(size));
  sodium_memzero(base, kSizePrefixBytes + size);
  std::free(base);
}

}  // namespace platform
