// Fuzzes UnProtectData with blobs it must refuse. The first byte picks how
// the protected text is made, the rest supplies text and edits:
//   0  arbitrary units, never made by ProtectData;
//   1  a genuine protected text with fuzz-chosen edits (flipped, dropped or
//      added units, truncation);
//   2  a blob of the same service for the same user, but sealed with other
//      entropy than the host's;
//   3  a genuine protected text made under another user's key.
// Invariant: UnProtectData opens exactly the unedited protected text of
// this user and this entropy (the empty text's included); everything else
// comes back unchanged.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_environment.h"
#include "fuzz_input.h"
#include "platform/data_protection.h"
#include "protection/protected_text.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

// The host's entropy text, as the service sees it: UTF-16 little-endian.
std::string HostEntropyBytes() {
  const std::wstring text = L"3F9A1C52-7B0D-4E86-A1C4-58D2E07B9F13";
  std::string bytes;
  for (const wchar_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>((unit >> 8) & 0xFF);
  }
  return bytes;
}

std::wstring PackBlob(const uint8_t* blob, size_t size) { return UnitsFromBytes(blob, size); }

// Applies edits, three bytes each: what to do, where, and a value.
std::wstring Edited(std::wstring text, const uint8_t* edits, size_t size) {
  for (size_t i = 0; i + 2 < size; i += 3) {
    const size_t at = text.empty() ? 0 : edits[i + 1] % text.size();
    const auto value = static_cast<wchar_t>(edits[i + 2] | (edits[i] & 0xF0) << 4);
    switch (edits[i] % 4) {
      case 0: if (!text.empty()) text[at] = static_cast<wchar_t>(text[at] ^ (value | 1)); break;
      case 1: text.resize(at); break;
      case 2: text.insert(text.begin() + static_cast<std::ptrdiff_t>(at), value); break;
      default: if (!text.empty()) text.erase(at, 1); break;
    }
  }
  return text;
}

void RequireRefused(const std::wstring& protectedText) {
  Require(UnProtectData(protectedText) == protectedText);
}

void WithOtherEntropy(const std::string& plain, const std::string& entropy) {
  if (entropy == HostEntropyBytes()) return;
  platform::ServiceBlob blob;
  Require(platform::ProtectBytes(reinterpret_cast<const uint8_t*>(plain.data()),
                                 static_cast<uint32_t>(plain.size()),
                                 reinterpret_cast<const uint8_t*>(entropy.data()),
                                 static_cast<uint32_t>(entropy.size()), &blob));
  const std::wstring packed = PackBlob(blob.data, blob.size);
  platform::FreeServiceBlob(blob.data);
  RequireRefused(packed);
}

void UnderAnotherUser(const std::wstring& plain) {
  static const std::string otherData = FuzzFolder() + "/other-user";
  const std::string ownData = FuzzFolder() + "/data";
  setenv("XDG_DATA_HOME", otherData.c_str(), 1);
  const std::wstring foreign = ProtectData(plain);
  setenv("XDG_DATA_HOME", ownData.c_str(), 1);
  RequireRefused(foreign);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[0] % 4;
  const size_t half = (size - 1) / 2;
  const uint8_t* first = data + 1;
  const uint8_t* second = data + 1 + half;
  const size_t secondSize = size - 1 - half;

  switch (mode) {
    case 0:
      RequireRefused(UnitsFromBytes(first, size - 1));
      break;
    case 1: {
      const std::wstring plain = UnitsFromBytes(first, half);
      const std::wstring genuine = ProtectData(plain);
      const std::wstring edited = Edited(genuine, second, secondSize);
      if (edited == genuine) {
        Require(UnProtectData(edited) == plain);
      } else {
        RequireRefused(edited);
      }
      break;
    }
    case 2:
      WithOtherEntropy(BytesFrom(first, half), BytesFrom(second, secondSize));
      break;
    default:
      UnderAnotherUser(UnitsFromBytes(first, size - 1));
      break;
  }
  return 0;
}
