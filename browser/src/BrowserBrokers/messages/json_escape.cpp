#include "messages/json_escape.h"

#include <cstring>

char* EscapeJsonBytes(const char* source, std::size_t count, char* destination) {
  char* out = destination;
  for (std::size_t i = 0; i < count; ++i) {
    // Read before writing: the two may share memory.
    const char c = source[i];
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != '"' && byte != '\\') {
      *out++ = c;
      continue;
    }
    // Agent answers are JSON themselves, so quotation marks are common.
    if (byte >= 0x20) {
      *out++ = '\\';
      *out++ = c;
      continue;
    }
    const JsonEscape escape = EscapeJsonUnit(byte, kJsonEscapeMinimal);
    if (escape.length == 0) {
      *out++ = c;
      continue;
    }
    std::memcpy(out, escape.text, escape.length);
    out += escape.length;
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
