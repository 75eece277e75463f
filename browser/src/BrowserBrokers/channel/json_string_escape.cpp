#include "channel/json_string_escape.h"

namespace {

void AppendControlEscape(unsigned char byte, std::string& out) {
  switch (byte) {
    case '\b': out += "\\b"; return;
    case '\f': out += "\\f"; return;
    case '\n': out += "\\n"; return;
    case '\r': out += "\\r"; return;
    case '\t': out += "\\t"; return;
    default: break;
  }
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  out += "\\u00";
  out += kHexDigits[byte >> 4];
  out += kHexDigits[byte & 0xF];
}

}  // namespace

std::string EscapeForJsonString(const std::string& text) {
  std::string escaped;
  escaped.reserve(text.size() + 4);
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20) {
      AppendControlEscape(byte, escaped);
      continue;
    }
    if (c == '"' || c == '\\') escaped += '\\';
    escaped += c;
  }
  return escaped;
}
