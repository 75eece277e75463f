// A text given in a script entry, as UTF-16 units. The entry says it as:
//   "text": "..."             the string's UTF-16 units; a \uXXXX escape
//                             gives its unit as it is, lone surrogates too
//   "text": [55357, 56832]    UTF-16 code units, so lone surrogates can be sent
//   "textBytes": n            n 'x' characters (for big texts)
// and optionally "repeat": n, the text n times over (default 1).
#pragma once

#include <string>

#include "common/script_json.h"

namespace standins {

// Throws (a std::exception) when the entry is malformed.
std::wstring ScriptText(const ScriptValue& entry);

// A non-negative integer member of `entry`, or `fallback` when absent.
// Throws when present with another kind of value.
unsigned long long CountMember(const ScriptValue& entry, const char* name,
                               unsigned long long fallback);

}  // namespace standins
