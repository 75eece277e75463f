// Escaping of UTF-8 text for the inside of a JSON string literal.
#pragma once

#include <string>

// Puts a backslash before every quotation mark and backslash, and escapes
// every byte below 0x20: \b \f \n \r \t for those five, \u00XX (upper-case
// hex) for the others. All other bytes, multi-byte UTF-8 sequences
// included, are copied unchanged, so the text in quotation marks is a JSON
// string whose value is exactly the text.
std::string EscapeForJsonString(const std::string& text);
