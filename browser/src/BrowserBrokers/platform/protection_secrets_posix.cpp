#include "platform/protection_secrets_posix.h"

#include <sodium.h>

#include <cstddef>

#include "platform/protection_key_posix.h"

namespace platform {
namespace {

constexpr size_t kSlots = static_cast<size_t>(SecretSlot::kOpeningSubkey) + 1;

}  // namespace

uint8_t* SecretSlotBytes(SecretSlot slot) {
  static uint8_t* const block =
      static_cast<uint8_t*>(sodium_malloc(kSlots * kProtectionKeyBytes));
  if (block == nullptr) return nullptr;
  return block + static_cast<size_t>(slot) * kProtectionKeyBytes;
}

}  // namespace platform
