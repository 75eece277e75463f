#include "protection/local_blob_guard.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "platform/data_protection.h"

namespace browser_extensions {
namespace {

platform::ServiceBlob SealSomething() {
  const uint8_t plain[] = {1, 2, 3, 4};
  platform::ServiceBlob blob;
  EXPECT_TRUE(platform::ProtectBytes(plain, sizeof(plain), nullptr, 0, &blob));
  return blob;
}

// A blob the guard did not give back shows up as a leak, and one it gives
// back twice as a double free, under the sanitizer builds.
TEST(LocalBlobGuardTest, GivesTheBlobBackOnceOnRelease) {
  LocalBlobGuard guard(SealSomething());
  ASSERT_NE(guard.data(), nullptr);
  EXPECT_GT(guard.size(), 0u);

  guard.Release();
  EXPECT_EQ(guard.data(), nullptr);
  EXPECT_EQ(guard.size(), 0u);
  guard.Release();
}

TEST(LocalBlobGuardTest, GivesTheBlobBackOnDestruction) {
  { LocalBlobGuard guard(SealSomething()); }
  { LocalBlobGuard empty; }
}

}  // namespace
}  // namespace browser_extensions
