#include "protection/protected_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/data_protection.h"
#include "platform/debug_output.h"
#include "platform/last_error.h"
#include "protection/failure_line.h"
#include "support/debug_line_capture.h"

namespace {

const std::wstring kEntropy = L"3F9A1C52-7B0D-4E86-A1C4-58D2E07B9F13";

std::vector<uint8_t> Utf16Le(const std::wstring& text) {
  std::vector<uint8_t> bytes;
  for (const wchar_t unit : text) {
    bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<uint8_t>((unit >> 8) & 0xFF));
  }
  return bytes;
}

std::wstring PackLowByteFirst(const std::vector<uint8_t>& bytes) {
  std::wstring text;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    text += static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8));
  }
  return text;
}

// The platform service called directly, as a second opinion on the host's
// operations. Returns the last-error code on failure, 0 on success.
uint32_t CallService(decltype(&platform::ProtectBytes) call,
                     const std::vector<uint8_t>& input, const std::wstring& entropyText,
                     std::vector<uint8_t>* output = nullptr) {
  const std::vector<uint8_t> entropy = Utf16Le(entropyText);
  platform::ServiceBlob blob;
  if (!call(input.data(), static_cast<uint32_t>(input.size()), entropy.data(),
            static_cast<uint32_t>(entropy.size()), &blob)) {
    return platform::LastErrorCode();
  }
  if (output != nullptr) output->assign(blob.data, blob.data + blob.size);
  platform::FreeServiceBlob(blob.data);
  return 0;
}

class ProtectedTextTest : public ::testing::Test {
 protected:
  // Checks that exactly `expected` have been written since the last check,
  // where debug lines can be captured. Lines arrive asynchronously: a
  // marker written last shows that every earlier line has been seen.
  void ExpectLinesSinceLastCheck(const std::vector<std::string>& expected) {
    if (!capture_.Available()) return;
    const std::string marker = "protected text test marker";
    platform::OutputDebugLineW(std::wstring(marker.begin(), marker.end()));
    ASSERT_TRUE(capture_.WaitForLine(marker, std::chrono::seconds(20)));
    std::vector<std::string> lines = capture_.Lines();
    capture_.Clear();
    lines.erase(std::remove(lines.begin(), lines.end(), marker), lines.end());
    EXPECT_EQ(lines, expected);
  }

  // `text` must come back unchanged, with the failure line carrying the
  // code the service gives for these bytes.
  void ExpectUnwrapFallsBack(const std::wstring& text) {
    const uint32_t code = CallService(&platform::UnprotectBytes, Utf16Le(text), kEntropy);
    ASSERT_NE(code, 0u) << "the service opened it";
    EXPECT_EQ(UnProtectData(text), text);
    const std::wstring line = ProtectionFailureLine(L"UnProtectData", code);
    ExpectLinesSinceLastCheck({std::string(line.begin(), line.end())});
  }

  DebugLineCapture capture_;
};

// Includes the mended case: an empty text must come back empty, not as
// its protected form.
TEST_F(ProtectedTextTest, RoundTripsEveryCodeUnit) {
  const std::vector<std::wstring> texts = {
      L"",
      L"{\"level\":3,\"type\":\"updateLogLevel\"}",
      std::wstring(L"a\0b\0", 4),
      {static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00), static_cast<wchar_t>(0xDC00)},
      std::wstring(100000, static_cast<wchar_t>(0xFFFF))};
  for (const std::wstring& text : texts) {
    const std::wstring wrapped = ProtectData(text);
    EXPECT_FALSE(wrapped.empty());
    EXPECT_EQ(UnProtectData(wrapped), text);
  }
  ExpectLinesSinceLastCheck({});
}

TEST_F(ProtectedTextTest, CarriesTheServiceBlobLowByteFirst) {
  const std::wstring text = L"caf\u00E9 \u20AC";
  std::vector<uint8_t> blob;
  ASSERT_EQ(CallService(&platform::ProtectBytes, Utf16Le(text), kEntropy, &blob), 0u);
  EXPECT_EQ(UnProtectData(PackLowByteFirst(blob)), text);
  EXPECT_EQ(ProtectData(text).size(), blob.size() / 2);

  std::vector<uint8_t> opened;
  ASSERT_EQ(CallService(&platform::UnprotectBytes, Utf16Le(ProtectData(text)), kEntropy,
                        &opened), 0u);
  EXPECT_EQ(opened, Utf16Le(text));
}

TEST_F(ProtectedTextTest, TextThatDoesNotOpenPassesThroughUnchanged) {
  ExpectUnwrapFallsBack(L"{\"type\":\"updateLogLevel\",\"level\":2}");

  const std::wstring wrapped = ProtectData(L"secret");
  std::wstring tampered = wrapped;
  tampered.back() ^= 0x0101;
  ExpectUnwrapFallsBack(tampered);
  ExpectUnwrapFallsBack(wrapped.substr(0, wrapped.size() - 1));

  for (const std::wstring entropy : {L"3F9A1C52-7B0D-4E86-A1C4-58D2E07B9F14", L""}) {
    std::vector<uint8_t> blob;
    ASSERT_EQ(CallService(&platform::ProtectBytes, Utf16Le(L"secret"), entropy, &blob), 0u);
    ExpectUnwrapFallsBack(PackLowByteFirst(blob));
  }
}

TEST_F(ProtectedTextTest, FailureLineEndsInTheCodeAsLowerCaseHex) {
  EXPECT_EQ(ProtectionFailureLine(L"UnProtectData", 13),
            L"UnProtectData failed. Returning input string. GLE=0xd");
  EXPECT_EQ(ProtectionFailureLine(L"ProtectData", 0),
            L"ProtectData failed. Returning input string. GLE=0x0");
  EXPECT_EQ(ProtectionFailureLine(L"ProtectData", 0x8009000B),
            L"ProtectData failed. Returning input string. GLE=0x8009000b");
}

}  // namespace
