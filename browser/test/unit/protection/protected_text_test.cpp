#include "protection/protected_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "platform/data_protection.h"
#include "platform/debug_output.h"
#include "platform/last_error.h"
#include "protection/failure_line.h"
#include "support/debug_line_capture.h"

namespace {

using namespace std::chrono_literals;

const std::wstring kEntropy = L"3F9A1C52-7B0D-4E86-A1C4-58D2E07B9F13";
constexpr auto kDeadline = 20s;

std::vector<uint8_t> Utf16LeBytes(const std::wstring& text) {
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

// Runs the platform service directly, as a second opinion on what the
// host's operations do with it. Returns false and the error code on failure.
bool CallService(bool protect, const std::vector<uint8_t>& input,
                 const std::wstring& entropyText, std::vector<uint8_t>& output,
                 uint32_t& errorCode) {
  const std::vector<uint8_t> entropy = Utf16LeBytes(entropyText);
  platform::ServiceBlob blob;
  const auto call = protect ? &platform::ProtectBytes : &platform::UnprotectBytes;
  if (!call(input.data(), static_cast<uint32_t>(input.size()), entropy.data(),
            static_cast<uint32_t>(entropy.size()), &blob)) {
    errorCode = platform::LastErrorCode();
    return false;
  }
  output.assign(blob.data, blob.data + blob.size);
  platform::FreeServiceBlob(blob.data);
  return true;
}

std::string Narrow(const std::wstring& ascii) {
  return std::string(ascii.begin(), ascii.end());
}

class ProtectedTextTest : public ::testing::Test {
 protected:
  // Asserts that `text` fails to unwrap: it comes back unchanged, with the
  // failure line carrying the code the service gives for these bytes.
  void ExpectUnwrapFailsUnchanged(const std::wstring& text) {
    std::vector<uint8_t> ignored;
    uint32_t code = 0;
    ASSERT_FALSE(CallService(false, Utf16LeBytes(text), kEntropy, ignored, code));
    EXPECT_EQ(UnProtectData(text), text);
    ExpectLinesSinceLastCheck({Narrow(ProtectionFailureLine(L"UnProtectData", code))});
  }

  // Checks that exactly `expected` have been written since the last check,
  // where debug lines can be captured. Lines arrive asynchronously: a
  // marker written last shows that every earlier line has been seen.
  void ExpectLinesSinceLastCheck(const std::vector<std::string>& expected) {
    if (!capture_.Available()) return;
    const std::string marker = "protected text test marker";
    platform::OutputDebugLineW(std::wstring(marker.begin(), marker.end()));
    ASSERT_TRUE(capture_.WaitForLine(marker, kDeadline));
    std::vector<std::string> lines = capture_.Lines();
    capture_.Clear();
    lines.erase(std::remove(lines.begin(), lines.end(), marker), lines.end());
    EXPECT_EQ(lines, expected);
  }

  DebugLineCapture capture_;
};

TEST_F(ProtectedTextTest, RoundTripsEveryCodeUnitIncludingNuls) {
  const std::vector<std::wstring> texts = {
      L"x",
      L"{\"level\":3,\"type\":\"updateLogLevel\"}",
      std::wstring(L"a\0b\0", 4),
      std::wstring(1, L'\0'),
      {static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)},
      {static_cast<wchar_t>(0xDC00), L'z', static_cast<wchar_t>(0xFFFF)},
      std::wstring(100000, L'\u00E9')};
  for (const std::wstring& text : texts) {
    const std::wstring wrapped = ProtectData(text);
    EXPECT_NE(wrapped, text);
    EXPECT_EQ(UnProtectData(wrapped), text);
  }
  ExpectLinesSinceLastCheck({});
}

// Mended: an empty text wraps to a blob like any other and must come back
// empty, not as its protected form.
TEST_F(ProtectedTextTest, EmptyTextRoundTripsToEmpty) {
  const std::wstring wrapped = ProtectData(L"");
  EXPECT_FALSE(wrapped.empty());
  EXPECT_EQ(UnProtectData(wrapped), L"");
  ExpectLinesSinceLastCheck({});
}

TEST_F(ProtectedTextTest, ProtectedTextCarriesTheServiceBlobLowByteFirst) {
  const std::wstring text = L"caf\u00E9 \u20AC";
  std::vector<uint8_t> blob;
  uint32_t code = 0;
  ASSERT_TRUE(CallService(true, Utf16LeBytes(text), kEntropy, blob, code));
  EXPECT_EQ(ProtectData(text).size(), blob.size() / 2);
  EXPECT_EQ(UnProtectData(PackLowByteFirst(blob)), text);

  std::vector<uint8_t> opened;
  ASSERT_TRUE(
      CallService(false, Utf16LeBytes(ProtectData(text)), kEntropy, opened, code));
  EXPECT_EQ(opened, Utf16LeBytes(text));
}

TEST_F(ProtectedTextTest, PlainTextPassesThroughUnwrapWithTheFailureLine) {
  ExpectUnwrapFailsUnchanged(L"{\"type\":\"updateLogLevel\",\"level\":2}");
  ExpectUnwrapFailsUnchanged(L"");
}

TEST_F(ProtectedTextTest, BlobSealedWithAnotherEntropyDoesNotUnwrap) {
  const std::wstring text = L"secret";
  for (const std::wstring& entropy :
       {std::wstring(L"3F9A1C52-7B0D-4E86-A1C4-58D2E07B9F14"),
        std::wstring(L"{3F9A1C52-7B0D-4E86-A1C4-58D2E07B9F13}"), std::wstring()}) {
    std::vector<uint8_t> blob;
    uint32_t code = 0;
    ASSERT_TRUE(CallService(true, Utf16LeBytes(text), entropy, blob, code));
    ExpectUnwrapFailsUnchanged(PackLowByteFirst(blob));
  }
}

TEST_F(ProtectedTextTest, TamperedOrTruncatedTextDoesNotUnwrap) {
  const std::wstring wrapped = ProtectData(L"secret");
  ASSERT_GT(wrapped.size(), 2u);

  std::wstring tampered = wrapped;
  tampered[tampered.size() / 2] ^= 0x0100;
  ExpectUnwrapFailsUnchanged(tampered);

  ExpectUnwrapFailsUnchanged(wrapped.substr(0, wrapped.size() - 1));
  ExpectUnwrapFailsUnchanged(wrapped.substr(1));
}

TEST_F(ProtectedTextTest, FailureLineEndsInTheCodeAsLowerCaseHex) {
  EXPECT_EQ(ProtectionFailureLine(L"UnProtectData", 13),
            L"UnProtectData failed. Returning input string. GLE=0xd");
  EXPECT_EQ(ProtectionFailureLine(L"ProtectData", 0),
            L"ProtectData failed. Returning input string. GLE=0x0");
  EXPECT_EQ(ProtectionFailureLine(L"ProtectData", 0x8009000B),
            L"ProtectData failed. Returning input string. GLE=0x8009000b");
  EXPECT_EQ(ProtectionFailureLine(L"ProtectData", 0xFFFFFFFF),
            L"ProtectData failed. Returning input string. GLE=0xffffffff");
}

TEST_F(ProtectedTextTest, WrapsAndUnwrapsOnManyThreadsAtOnce) {
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &failures] {
      for (int i = 0; i < 50; ++i) {
        const std::wstring text = std::to_wstring(t) + L":" + std::to_wstring(i);
        if (UnProtectData(ProtectData(text)) != text) ++failures[t];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
}

}  // namespace
