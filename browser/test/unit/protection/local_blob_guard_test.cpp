#include "protection/local_blob_guard.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "platform/data_protection.h"

namespace browser_extensions {
namespace {

// A blob not given back shows as a leak, one given back twice as a double
// free, in the sanitizer builds.
TEST(LocalBlobGuardTest, GivesTheBlobBackExactlyOnce) {
  const uint8_t plain[] = {1, 2, 3, 4};
  platform::ServiceBlob blob;
  ASSERT_TRUE(platform::ProtectBytes(plain, sizeof(plain), nullptr, 0, &blob));
  LocalBlobGuard guard(blob);
  guard.Release();
  EXPECT_EQ(guard.data(), nullptr);
  EXPECT_EQ(guard.size(), 0u);
  guard.Release();  // and the destructor: both must do nothing now
}

}  // namespace
}  // namespace browser_extensions
