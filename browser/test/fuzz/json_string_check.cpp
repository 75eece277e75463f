#include "json_string_check.h"

#include <cstdint>

#include "reference_utf.h"

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ReadHex4(const std::string& s, size_t at, char32_t& unit) {
  if (at + 4 > s.size()) return false;
  unit = 0;
  for (size_t i = at; i < at + 4; ++i) {
    const int digit = HexDigit(s[i]);
    if (digit < 0) return false;
    unit = (unit << 4) | static_cast<char32_t>(digit);
  }
  return true;
}

bool SimpleEscape(char c, char32_t& out) {
  switch (c) {
    case '"': out = '"'; return true;
    case '\\': out = '\\'; return true;
    case '/': out = '/'; return true;
    case 'b': out = '\b'; return true;
    case 'f': out = '\f'; return true;
    case 'n': out = '\n'; return true;
    case 'r': out = '\r'; return true;
    case 't': out = '\t'; return true;
    default: return false;
  }
}

// Raw bytes between escapes must be well-formed UTF-8: decoding and
// encoding again gives the same bytes only then.
bool AppendRaw(const std::string& raw, std::u32string& value) {
  const std::u32string decoded = ReferenceDecodeUtf8(raw);
  if (ReferenceEncodeUtf8(decoded) != raw) return false;
  for (const char32_t c : decoded)
    if (c < 0x20) return false;
  value += decoded;
  return true;
}

}  // namespace

bool ReadJsonStringLiteral(const std::string& literal, std::u32string& value) {
  value.clear();
  if (literal.size() < 2 || literal.front() != '"' || literal.back() != '"') return false;
  const size_t end = literal.size() - 1;
  std::wstring escapedUnits;  // a run of \u escapes, joined as UTF-16
  std::string raw;
  auto flushUnits = [&] {
    value += ReferenceDecodeUtf16(escapedUnits);
    escapedUnits.clear();
  };
  for (size_t i = 1; i < end;) {
    const char c = literal[i];
    if (c == '"') return false;
    if (c != '\\') {
      flushUnits();
      raw += c;
      ++i;
      continue;
    }
    if (!AppendRaw(raw, value)) return false;
    raw.clear();
    if (i + 1 >= end) return false;  // a backslash that escapes the closing mark
    char32_t unit;
    if (literal[i + 1] == 'u') {
      if (!ReadHex4(literal, i + 2, unit) || i + 6 > end) return false;
      escapedUnits += static_cast<wchar_t>(unit);
      i += 6;
      continue;
    }
    if (!SimpleEscape(literal[i + 1], unit)) return false;
    flushUnits();
    value += unit;
    i += 2;
  }
  flushUnits();
  return AppendRaw(raw, value);
}
