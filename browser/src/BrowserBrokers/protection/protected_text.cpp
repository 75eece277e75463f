#include "protection/protected_text.h"

#include <cstdint>

#include "platform/data_protection.h"
#include "platform/debug_output.h"
#include "platform/last_error.h"
#include "protection/failure_line.h"
#include "protection/local_blob_guard.h"
#include "protection/secure_bytes.h"

using browser_extensions::LocalBlobGuard;
using browser_extensions::SecureBytes;

namespace {

// Bound to every blob, so only this host's own protected texts open.
constexpr wchar_t kEntropyText[] = L"3F9A1C52-7B0D-4E86-A1C4-58D2E07B9F13";

// The service takes 32-bit lengths; a text is two bytes per unit.
constexpr std::size_t kMaxServiceBytes = UINT32_MAX;
constexpr std::size_t kMaxServiceUnits = kMaxServiceBytes / 2;

using ServiceCall = bool (*)(const uint8_t*, uint32_t, const uint8_t*,
                             uint32_t, platform::ServiceBlob*);

// Two bytes per code unit, low byte first. Each wchar_t holds one UTF-16
// unit, also where wchar_t is wider.
void AppendUtf16Le(const wchar_t* units, std::size_t count, SecureBytes& out) {
  if (count == 0) return;
  uint8_t* bytes = out.Extend(2 * count);
  for (std::size_t i = 0; i < count; ++i) {
    const auto unit = static_cast<uint16_t>(units[i]);
    bytes[2 * i] = static_cast<uint8_t>(unit & 0xFF);
    bytes[2 * i + 1] = static_cast<uint8_t>(unit >> 8);
  }
}

// The reverse of AppendUtf16Le; a final odd byte is not carried.
std::wstring PackIntoText(const uint8_t* bytes, std::size_t size) {
  std::wstring text(size / 2, L'\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<wchar_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  }
  return text;
}

std::wstring ReportFailure(const wchar_t* operation, uint32_t errorCode,
                           const std::wstring& text) {
  platform::OutputDebugLineW(ProtectionFailureLine(operation, errorCode));
  return text;
}

// The entropy as the service takes it, UTF-16LE: the same for every call.
struct EntropyBytes {
  static constexpr std::size_t kUnits = sizeof(kEntropyText) / sizeof(wchar_t) - 1;
  uint8_t bytes[2 * kUnits];

  constexpr EntropyBytes() : bytes() {
    for (std::size_t i = 0; i < kUnits; ++i) {
      bytes[2 * i] = static_cast<uint8_t>(kEntropyText[i] & 0xFF);
      bytes[2 * i + 1] = static_cast<uint8_t>((kEntropyText[i] >> 8) & 0xFF);
    }
  }
};
constexpr EntropyBytes kEntropy;

// Runs one service call over the UTF-16LE bytes of `text` with the entropy.
// Returns false when the text is too long for the service (which is then
// not called) or the service fails; otherwise `output` owns the blob the
// service returned. On failure `errorCode` is the thread's last-error code
// read right after the call, or 87 (invalid parameter) for a text the
// service can't take.
bool CallService(ServiceCall call, const std::wstring& text,
                 LocalBlobGuard& output, uint32_t& errorCode) {
  if (text.size() > kMaxServiceUnits) {
    errorCode = platform::kErrorInvalidParameter;
    return false;
  }
  SecureBytes input;
  AppendUtf16Le(text.data(), text.size(), input);
  // The Windows service refuses a null address even with no bytes, which
  // is what an empty buffer holds; an empty text must still wrap.
  static const uint8_t kNoBytes = 0;
  const uint8_t* inputBytes = input.empty() ? &kNoBytes : input.data();
  platform::ServiceBlob blob;
  if (!call(inputBytes, static_cast<uint32_t>(input.size()), kEntropy.bytes,
            static_cast<uint32_t>(sizeof(kEntropy.bytes)), &blob)) {
    errorCode = platform::LastErrorCode();
    return false;
  }
  output.Reset(blob);
  return true;
}

}  // namespace

std::wstring ProtectData(const std::wstring& text) {
  LocalBlobGuard sealed;
  uint32_t errorCode = 0;
  // A service that claims success without a blob has produced nothing to
  // carry, and a blob of odd length can't be carried whole in text (its last
  // byte would be lost and it would never open): both count as failures, so
  // the text travels plain instead.
  if (!CallService(&platform::ProtectBytes, text, sealed, errorCode) ||
      sealed.size() == 0 || sealed.size() % 2 != 0) {
    return ReportFailure(L"ProtectData", errorCode, text);
  }
  return PackIntoText(sealed.data(), sealed.size());
}

std::wstring UnProtectData(const std::wstring& text) {
  LocalBlobGuard plain;
  uint32_t errorCode = 0;
  // An opened blob may rightly hold nothing: the protected form of an
  // empty text. Only a refusal by the service falls back to the input.
  if (!CallService(&platform::UnprotectBytes, text, plain, errorCode)) {
    return ReportFailure(L"UnProtectData", errorCode, text);
  }
  return PackIntoText(plain.data(), plain.size());
}
