// Ownership of a blob that the data-protection service allocated.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/data_protection.h"

namespace browser_extensions {

// Zero-fills the blob's bytes and gives it back to the service on Release()
// or destruction, so neither the sealed nor the opened bytes outlive their
// copy. An empty guard does nothing.
class LocalBlobGuard {
 public:
  LocalBlobGuard() = default;
  explicit LocalBlobGuard(platform::ServiceBlob blob) : blob_(blob) {}
  ~LocalBlobGuard() { Release(); }

  LocalBlobGuard(const LocalBlobGuard&) = delete;
  LocalBlobGuard& operator=(const LocalBlobGuard&) = delete;

  const uint8_t* data() const { return blob_.data; }
  std::size_t size() const { return blob_.size; }

  void Release();
  // Releases the blob held so far and takes `blob` instead.
  void Reset(platform::ServiceBlob blob) {
    Release();
    blob_ = blob;
  }

 private:
  platform::ServiceBlob blob_;
};

}  // namespace browser_extensions
