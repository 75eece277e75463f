// Helpers shared by the message-model tests.
#pragma once

#include <ostream>
#include <string>

#include "messages/json_reader.h"
#include "messages/json_value.h"
#include "messages/json_writer.h"

namespace browser_extensions {

// Shows values in test failures as their JSON text, non-ASCII as \u.
inline void PrintTo(const wmValue& value, std::ostream* os) {
  for (const wchar_t unit : write(value)) {
    const auto code = static_cast<unsigned>(unit);
    if (code < 0x80) {
      *os << static_cast<char>(code);
    } else {
      static const char kHex[] = "0123456789ABCDEF";
      *os << "\\u" << kHex[(code >> 12) & 0xF] << kHex[(code >> 8) & 0xF]
          << kHex[(code >> 4) & 0xF] << kHex[code & 0xF];
    }
  }
}

}  // namespace browser_extensions

namespace messages_test {

// What the reader leaves in the value, whether or not it reached the end.
inline browser_extensions::wmValue ReadText(const std::wstring& text) {
  browser_extensions::wmValue value;
  browser_extensions::read(text, value);
  return value;
}

inline browser_extensions::wmObject ReadObject(const std::wstring& text) {
  return ReadText(text).get_obj();
}

}  // namespace messages_test
