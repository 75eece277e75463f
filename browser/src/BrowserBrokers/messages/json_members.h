// Readers of one member of a JSON object that fall back to a default
// instead of failing: an absent name, or a member of another kind (null
// included), gives the default. Names match exactly, case for case.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "messages/json_value.h"

namespace browser_extensions {

// The member's text, or the empty string. Numbers are not turned into text.
std::wstring GetStringMember(const wmObject& object, std::wstring_view name);

// The member's integer, or 0. A stored integer outside the 32-bit range
// keeps its low 32 bits; a real such as 3.0 is not an integer.
std::int32_t GetIntMember(const wmObject& object, std::wstring_view name);

// A copy of the member's object, or an empty object.
wmObject GetObjectMember(const wmObject& object, std::wstring_view name);

// A copy of the member's array, or an empty array.
wmArray GetArrayMember(const wmObject& object, std::wstring_view name);

// The same as GetObjectMember and GetArrayMember, without the copy: the
// member's own object or array, or an empty one. The reference lives as
// long as `object` (the empty default lives for the whole process).
const wmObject& ObjectMemberRef(const wmObject& object, std::wstring_view name);
const wmArray& ArrayMemberRef(const wmObject& object, std::wstring_view name);

}  // namespace browser_extensions
