// Fuzzes the outbound frame writers with arbitrary UTF-16 text: the first
// byte picks the writer (plain, or protected text through
// WriteProtectedExtensionMessage) and how often the text is repeated, so
// that bodies around the 1 MiB limit are reached; the rest is the text, two
// bytes per code unit.
//
// Invariants: a text whose shortest JSON string form fits the limit goes
// out as exactly one frame, whose length field is its body's size; the
// body is one valid JSON string of that shortest size, at most 1,048,576
// bytes, and its value is the text up to its first NUL with every unpaired
// surrogate as U+FFFD. A text that doesn't fit writes nothing.
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

std::wstring Repeated(const std::wstring& units, uint8_t control) {
  // Most inputs are sent once; a few are repeated to 256 Ki to 1 Mi units,
  // around the size limit.
  if (control < 0xFC || units.empty()) return units;
  const size_t target = static_cast<size_t>(control - 0xFB) << 18;
  std::wstring text;
  text.reserve(target + units.size());
  while (text.size() < target) text += units;
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static CapturedOutput* output = new CapturedOutput;
  const uint8_t control = data[0];
  const std::wstring text = Repeated(UnitsFromBytes(data + 1, size - 1), control);

  if (control & 1) {
    WriteProtectedExtensionMessage(ProtectData(text));
  } else {
    WriteExtensionMessage(text);
  }

  std::vector<std::string> bodies;
  Require(SplitFrames(output->Take(), bodies));
  const std::u32string expected = ReferenceDecodeUtf16(text.substr(0, text.find(L'\0')));
  const size_t shortest = ShortestLiteralSize(expected);
  if (shortest > kMaxOutboundBodyBytes) {
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
