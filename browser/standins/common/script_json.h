// Typed access to a parsed script document, which is read with the host's
// own JSON reader, so a "\uD800" escape gives the lone surrogate it names.
// Every accessor throws std::invalid_argument, naming the member, when a
// value has the wrong kind.
#pragma once

#include <string>

#include "messages/json_value.h"

namespace standins {

using ScriptValue = browser_extensions::wmValue;

// The member `name` of `object`, or null when it has none. Throws when
// `object` is not an object.
const ScriptValue* FindMember(const ScriptValue& object, const char* name);

const browser_extensions::wmArray& AsList(const ScriptValue& value, const char* name);
const std::wstring& AsText(const ScriptValue& value, const char* name);
bool AsFlag(const ScriptValue& value, const char* name);
int AsInt(const ScriptValue& value, const char* name);
// A non-negative integer.
unsigned long long AsCount(const ScriptValue& value, const char* name);

}  // namespace standins
