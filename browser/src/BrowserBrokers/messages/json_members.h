// Readers of one member of a JSON object that fall back to a default
// instead of failing: an absent name, or a member of another kind (null
// included), gives the default. Names match exactly, case for case.
#pragma once

#include <cstdint>
#include <string>

#include "messages/json_value.h"

namespace browser_extensions {

// The member's text, or the empty string. Numbers are not turned into text.
std::wstring GetStringMember(const wmObject& object, const std::wstring& name);

// The member's integer, or 0. A stored integer outside the 32-bit range
// keeps its low 32 bits; a real such as 3.0 is not an integer.
std::int32_t GetIntMember(const wmObject& object, const std::wstring& name);

// A copy of the member's object, or an empty object.
wmObject GetObjectMember(const wmObject& object, const std::wstring& name);

// A copy of the member's array, or an empty array.
wmArray GetArrayMember(const wmObject& object, const std::wstring& name);

}  // namespace browser_extensions
