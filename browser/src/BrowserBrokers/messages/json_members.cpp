#include "messages/json_members.h"

namespace browser_extensions {

namespace {

// The member of kind `kind`, or nothing: absent or of another kind. This
// is the same test as the typed read's, without raising and catching it.
const wmValue* MemberOfKind(const wmObject& object, std::wstring_view name,
                            Value_type kind) {
  const auto member = object.find(name);
  if (member == object.end() || member->second.type() != kind) return nullptr;
  return &member->second;
}

}  // namespace

std::wstring GetStringMember(const wmObject& object, std::wstring_view name) {
  const wmValue* member = MemberOfKind(object, name, str_type);
  return member != nullptr ? member->get_str() : std::wstring();
}

std::int32_t GetIntMember(const wmObject& object, std::wstring_view name) {
  const wmValue* member = MemberOfKind(object, name, int_type);
  return member != nullptr ? member->get_int() : 0;
}

wmObject GetObjectMember(const wmObject& object, std::wstring_view name) {
  return ObjectMemberRef(object, name);
}

wmArray GetArrayMember(const wmObject& object, std::wstring_view name) {
  return ArrayMemberRef(object, name);
}

const wmObject& ObjectMemberRef(const wmObject& object,
                                std::wstring_view name) {
  static const wmObject* const empty = new wmObject();
  const wmValue* member = MemberOfKind(object, name, obj_type);
  return member != nullptr ? member->get_obj() : *empty;
}

const wmArray& ArrayMemberRef(const wmObject& object, std::wstring_view name) {
  static const wmArray* const empty = new wmArray();
  const wmValue* member = MemberOfKind(object, name, array_type);
  return member != nullptr ? member->get_array() : *empty;
}

}  // namespace browser_extensions
