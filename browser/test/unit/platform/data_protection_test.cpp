#include "platform/data_protection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/last_error.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes BytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

// Runs one service call and copies its result out, freeing the blob.
template <typename ServiceCall>
bool Call(ServiceCall call, const Bytes& input, const Bytes& entropy, Bytes* result) {
  platform::ServiceBlob blob;
  bool ok = call(input.data(), static_cast<uint32_t>(input.size()),
                 entropy.empty() ? nullptr : entropy.data(),
                 static_cast<uint32_t>(entropy.size()), &blob);
  result->assign(blob.data, blob.data + blob.size);
  platform::FreeServiceBlob(blob.data);
  return ok;
}

class DataProtectionTest : public ::testing::Test {
 protected:
  Bytes Protect(const Bytes& plain, const Bytes& entropy) {
    Bytes blob;
    EXPECT_TRUE(Call(platform::ProtectBytes, plain, entropy, &blob))
        << "error " << platform::LastErrorCode();
    return blob;
  }

  // Expects the blob not to open, and returns the error code.
  uint32_t FailureOf(const Bytes& blob, const Bytes& entropy) {
    Bytes plain;
    platform::SetLastErrorCode(0);
    EXPECT_FALSE(Call(platform::UnprotectBytes, blob, entropy, &plain));
    return platform::LastErrorCode();
  }

  const Bytes entropy_ = BytesOf("3\0F\0-\0e\0n\0t\0r\0o\0p\0y\0");
};

TEST_F(DataProtectionTest, RoundTripKeepsEveryByte) {
  Bytes plain;
  for (int i = 0; i < 512; ++i) plain.push_back(static_cast<uint8_t>(i));  // NULs included
  for (const Bytes& entropy : {entropy_, Bytes{}}) {
    Bytes blob = Protect(plain, entropy);
    EXPECT_NE(blob, plain);
    Bytes opened;
    ASSERT_TRUE(Call(platform::UnprotectBytes, blob, entropy, &opened));
    EXPECT_EQ(opened, plain);
  }
}

TEST_F(DataProtectionTest, SameTextSealsDifferentlyEachTime) {
  Bytes plain = BytesOf("a\0b\0c\0");
  EXPECT_NE(Protect(plain, entropy_), Protect(plain, entropy_));
}

TEST_F(DataProtectionTest, OtherEntropyDoesNotOpen) {
  Bytes blob = Protect(BytesOf("secret"), entropy_);
  Bytes other = entropy_;
  other.back() ^= 1;
  EXPECT_EQ(FailureOf(blob, other), platform::kErrorInvalidData);
  EXPECT_EQ(FailureOf(blob, Bytes{}), platform::kErrorInvalidData);
}

TEST_F(DataProtectionTest, ChangedOrTruncatedBlobDoesNotOpen) {
  Bytes blob = Protect(BytesOf("a somewhat longer secret text"), entropy_);
  Bytes changed = blob;
  changed[changed.size() - 4] ^= 0x40;
  EXPECT_EQ(FailureOf(changed, entropy_), platform::kErrorInvalidData);
  Bytes truncated(blob.begin(), blob.end() - 2);
  EXPECT_EQ(FailureOf(truncated, entropy_), platform::kErrorInvalidData);
}

}  // namespace
