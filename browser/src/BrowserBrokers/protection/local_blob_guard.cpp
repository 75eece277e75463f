#include "protection/local_blob_guard.h"

#include "protection/secure_zero.h"

namespace browser_extensions {

void LocalBlobGuard::Release() {
  if (blob_.data == nullptr) return;
  SecureZero(blob_.data, blob_.size);
  platform::FreeServiceBlob(blob_.data);
  blob_ = platform::ServiceBlob{};
}

}  // namespace browser_extensions
