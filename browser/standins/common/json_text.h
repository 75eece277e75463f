// JSON string literals built from wide text (UTF-16 code units).
#pragma once

#include <string>

namespace standins {

// Appends `text` to `out` as a quoted JSON string. Quotation marks,
// backslashes and control characters are escaped; every other unit is kept
// as it is, so the result reads naturally as message text.
void AppendJsonString(std::wstring& out, const std::wstring& text);

// `text` as a quoted JSON string in printable ASCII: every unit outside
// printable ASCII is written as \uXXXX, so any sequence of UTF-16 units,
// lone surrogates included, can be recovered exactly from the result.
std::string AsciiJsonString(const std::wstring& text);

}  // namespace standins
