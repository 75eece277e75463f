// Fuzzes the outbound frame writers with arbitrary UTF-16 text. The first
// byte picks the writer (bit 0: protected text through
// WriteProtectedExtensionMessage); the next two set the body limit in force,
// 2 + their value in bytes, so that texts of a few units reach the limit and
// inputs stay cheap; 0xFFFF keeps the real 1,048,576-byte limit. The rest is
// the text, two bytes per code unit.
//
// Invariants: a text whose shortest JSON string form fits the limit goes
// out as exactly one frame, whose length field is its body's size; the
// body is one valid JSON string of that shortest size, and its value is the
// text up to its first NUL with every unpaired surrogate as U+FFFD. A text
// that doesn't fit writes nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "captured_output.h"
#include "channel/extension_writer.h"
#include "fuzz_input.h"
#include "json_string_check.h"
#include "protection/protected_text.h"
#include "reference_utf.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

// Bytes of the shortest JSON string literal with these code points.
size_t ShortestLiteralSize(const std::u32string& codePoints) {
  size_t size = 2;
  for (const char32_t c : codePoints) {
    if (c == '"' || c == '\\' || c == '\b' || c == '\f' || c == '\n' || c == '\r' ||
        c == '\t') {
      size += 2;
    } else if (c < 0x20) {
      size += 6;
    } else {
      size += c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    }
  }
  return size;
}

// The body limit that an input asks for.
size_t LimitOf(const uint8_t* data) {
  const size_t chosen = data[0] | data[1] << 8;
  return chosen == 0xFFFF ? kMaxOutboundBodyBytes : chosen + 2;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  static CapturedOutput* output = new CapturedOutput;
  const uint8_t control = data[0];
  const size_t limit = LimitOf(data + 1);
  const std::wstring text = UnitsFromBytes(data + 3, size - 3);
  SetOutboundBodyLimitForTesting(limit);

  if (control & 1) {
    WriteProtectedExtensionMessage(ProtectData(text));
  } else {
    WriteExtensionMessage(text);
  }

  std::vector<std::string> bodies;
  Require(SplitFrames(output->Take(), bodies));
  const std::u32string expected = ReferenceDecodeUtf16(text.substr(0, text.find(L'\0')));
  const size_t shortest = ShortestLiteralSize(expected);
  if (shortest > limit) {
    Require(bodies.empty());
    return 0;
  }
  Require(bodies.size() == 1);
  Require(bodies[0].size() == shortest);
  std::u32string value;
  Require(ReadJsonStringLiteral(bodies[0], value));
  Require(value == expected);
  return 0;
}
