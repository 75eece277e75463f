// A strict reader of one JSON string literal (RFC 8259), for judging the
// frame bodies the host writes.
#pragma once

#include <string>

// True when `literal` is exactly one JSON string: quotation marks at both
// ends, no raw control character or unescaped quotation mark or backslash
// inside, only the escapes JSON allows, and well-formed UTF-8 throughout.
// `value` receives the string's value as code points; an escaped surrogate
// pair counts as one code point, an escaped lone surrogate as U+FFFD.
bool ReadJsonStringLiteral(const std::string& literal, std::u32string& value);
