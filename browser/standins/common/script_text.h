// A text given in a script entry, as UTF-16 units. The entry says it as:
//   "text": "..."             UTF-8 in the file
//   "text": [55357, 56832]    UTF-16 code units, so lone surrogates can be sent
//   "textBytes": n            n 'x' characters (for big texts)
// and optionally "repeat": n, the text n times over (default 1).
#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace standins {

// Throws (a std::exception) when the entry is malformed.
std::wstring ScriptText(const nlohmann::json& entry);

// A non-negative integer member of `entry`, or `fallback` when absent.
// Throws when present with another kind of value.
unsigned long long CountMember(const nlohmann::json& entry, const char* name,
                               unsigned long long fallback);

}  // namespace standins
