#include "channel/json_string_escape.h"

namespace {

char* PutControlEscape(unsigned char byte, char* out) {
  *out++ = '\\';
  switch (byte) {
    case '\b': *out++ = 'b'; return out;
    case '\f': *out++ = 'f'; return out;
    case '\n': *out++ = 'n'; return out;
    case '\r': *out++ = 'r'; return out;
    case '\t': *out++ = 't'; return out;
    default: break;
  }
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  *out++ = 'u';
  *out++ = '0';
  *out++ = '0';
  *out++ = kHexDigits[byte >> 4];
  *out++ = kHexDigits[byte & 0xF];
  return out;
}

}  // namespace

char* EscapeJsonBytes(const char* source, std::size_t count, char* destination) {
  char* out = destination;
  for (std::size_t i = 0; i < count; ++i) {
    // Read before writing: the two may share memory.
    const char c = source[i];
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20) {
      out = PutControlEscape(byte, out);
      continue;
    }
    if (c == '"' || c == '\\') *out++ = '\\';
    *out++ = c;
  }
  return out;
}

std::string EscapeForJsonString(const std::string& text) {
  std::size_t growth = 0;
  for (const char c : text) growth += EscapeGrowth(static_cast<unsigned char>(c));
  std::string escaped(text.size() + growth, '\0');
  EscapeJsonBytes(text.data(), text.size(), escaped.data());
  return escaped;
}
