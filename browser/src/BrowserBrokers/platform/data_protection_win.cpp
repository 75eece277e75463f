#include "platform/data_protection.h"

#include <windows.h>
#include <dpapi.h>

#include "platform/last_error.h"

namespace platform {
namespace {

DATA_BLOB AsDataBlob(const uint8_t* bytes, uint32_t size) {
  // The service reads input blobs only; its structure is not const-correct.
  return DATA_BLOB{size, const_cast<BYTE*>(bytes)};
}

bool TakeResult(BOOL succeeded, const DATA_BLOB& result, ServiceBlob* out) {
  if (!succeeded) return false;
  out->data = result.pbData;
  out->size = result.cbData;
  return true;
}

}  // namespace

// Protection for the current user (flags 0), no prompt; the entropy is
// passed on as given, null when there is none.

bool ProtectBytes(const uint8_t* plain, uint32_t plainSize, const uint8_t* entropy,
                  uint32_t entropySize, ServiceBlob* out) {
  if (out == nullptr) {
    SetLastErrorCode(kErrorInvalidParameter);
    return false;
  }
  *out = ServiceBlob{};
  DATA_BLOB input = AsDataBlob(plain, plainSize);
  DATA_BLOB extra = AsDataBlob(entropy, entropySize);
  DATA_BLOB result{};
  BOOL ok = CryptProtectData(&input, L"", entropy != nullptr ? &extra : nullptr, nullptr,
                             nullptr, 0, &result);
  return TakeResult(ok, result, out);
}

bool UnprotectBytes(const uint8_t* blob, uint32_t blobSize, const uint8_t* entropy,
                    uint32_t entropySize, ServiceBlob* out) {
  if (out == nullptr) {
    SetLastErrorCode(kErrorInvalidParameter);
    return false;
  }
  *out = ServiceBlob{};
  DATA_BLOB input = AsDataBlob(blob, blobSize);
  DATA_BLOB extra = AsDataBlob(entropy, entropySize);
  DATA_BLOB result{};
  BOOL ok = CryptUnprotectData(&input, nullptr, entropy != nullptr ? &extra : nullptr,
                               nullptr, nullptr, 0, &result);
  return TakeResult(ok, result, out);
}

void FreeServiceBlob(void* data) {
  if (data != nullptr) LocalFree(data);
}

}  // namespace platform
