// Escaping of UTF-8 text for the inside of a JSON string literal.
#pragma once

#include <cstddef>
#include <string>

#include "messages/json_escape.h"

// The host's outbound escaping (the minimal style of the shared escaper).
// Puts a backslash before every quotation mark and backslash, and escapes
// every byte below 0x20: \b \f \n \r \t for those five, \u00XX (upper-case
// hex) for the others. All other bytes, multi-byte UTF-8 sequences
// included, are copied unchanged, so the text in quotation marks is a JSON
// string whose value is exactly the text.
std::string EscapeForJsonString(const std::string& text);

// How many bytes escaping adds to a text holding this unit (a byte of
// UTF-8, or a UTF-16 unit, which gives one byte when it is below 0x80):
// 1 for a quotation mark, a backslash or one of \b \f \n \r \t, 5 for
// another control character, 0 for anything else.
inline std::size_t EscapeGrowth(unsigned long unit) {
  // Nearly every unit goes as it is; only the rest asks the escaper.
  if (unit >= 0x20 && unit <= 0xFFFF && unit != '"' && unit != '\\') return 0;
  const std::size_t length = EscapeJsonUnit(unit, kJsonEscapeMinimal).length;
  return length == 0 ? 0 : length - 1;
}

// Escapes the `count` bytes at `source` into `destination`, which has room
// for them plus their growth, and returns the end of what it wrote.
// `source` may lie inside `destination` at or after the place where the
// escaped text starts, as long as it lies exactly the growth further on:
// the writing never overtakes the reading.
char* EscapeJsonBytes(const char* source, std::size_t count, char* destination);
