// Fuzzes the host's text conversions against the reference codec. The first
// byte picks the direction and the piece size that the piecewise
// conversions are held to; the rest is the text: UTF-8 bytes as they are,
// or UTF-16 units two bytes each.
//
// Invariants: each conversion agrees with the reference, including its
// U+FFFD replacements; converting in pieces of any size gives the same
// result as converting whole; and UTF-16 that went out as UTF-8 comes back
// with only its unpaired surrogates replaced.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_input.h"
#include "messages/text_conversion.h"
#include "reference_utf.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

void CheckDecoding(const std::string& bytes, size_t pieceBytes) {
  const std::wstring expected = ReferenceEncodeUtf16(ReferenceDecodeUtf8(bytes));
  Require(Utf8ToWide(bytes) == expected);
  Require(Utf8ToWideInPieces(bytes, pieceBytes) == expected);
}

void CheckEncoding(const std::wstring& units, size_t pieceUnits) {
  const std::u32string codePoints = ReferenceDecodeUtf16(units);
  const std::string expected = ReferenceEncodeUtf8(codePoints);
  const std::string utf8 = WideToUtf8(units);
  Require(utf8 == expected);
  Require(WideToUtf8InPieces(units, pieceUnits) == expected);
  Require(Utf8ToWide(utf8) == ReferenceEncodeUtf16(codePoints));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t control = data[0];
  const size_t pieceSize = 1 + (control >> 1) % 16;
  if (control & 1) {
    CheckEncoding(UnitsFromBytes(data + 1, size - 1), pieceSize);
  } else {
    CheckDecoding(BytesFrom(data + 1, size - 1), pieceSize);
  }
  return 0;
}
