// A strict reader of one JSON string literal, independent of the escaper
// under test: it is how the extension's side sees a frame body.
#pragma once

#include <string>

// Returns false unless `literal` is exactly one JSON string literal whose
// value has no \u escapes outside U+0000..U+007F (all the writers produce);
// on success `value` holds the value's bytes.
inline bool ReadJsonStringLiteral(const std::string& literal, std::string& value) {
  value.clear();
  if (literal.size() < 2 || literal.front() != '"' || literal.back() != '"') {
    return false;
  }
  const std::string inner = literal.substr(1, literal.size() - 2);
  for (std::size_t i = 0; i < inner.size(); ++i) {
    const auto byte = static_cast<unsigned char>(inner[i]);
    if (byte < 0x20 || byte == '"') return false;
    if (byte != '\\') {
      value += inner[i];
      continue;
    }
    if (++i == inner.size()) return false;
    switch (inner[i]) {
      case '"': value += '"'; break;
      case '\\': value += '\\'; break;
      case '/': value += '/'; break;
      case 'b': value += '\b'; break;
      case 'f': value += '\f'; break;
      case 'n': value += '\n'; break;
      case 'r': value += '\r'; break;
      case 't': value += '\t'; break;
      case 'u': {
        if (inner.size() - i < 5) return false;
        unsigned code = 0;
        for (std::size_t k = 1; k <= 4; ++k) {
          const char c = inner[i + k];
          code <<= 4;
          if (c >= '0' && c <= '9') code |= static_cast<unsigned>(c - '0');
          else if (c >= 'a' && c <= 'f') code |= static_cast<unsigned>(c - 'a' + 10);
          else if (c >= 'A' && c <= 'F') code |= static_cast<unsigned>(c - 'A' + 10);
          else return false;
        }
        if (code > 0x7F) return false;
        value += static_cast<char>(code);
        i += 4;
        break;
      }
      default:
        return false;
    }
  }
  return true;
}
