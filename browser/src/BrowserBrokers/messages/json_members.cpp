#include "messages/json_members.h"

#include <stdexcept>

namespace browser_extensions {

namespace {

// Looks the member up and applies the typed read `get`; only the type
// error of that read is turned into the default, anything else propagates.
template <typename Result, typename Get>
Result ReadMember(const wmObject& object, const std::wstring& name, Get get) {
  const auto member = object.find(name);
  if (member == object.end()) return Result();
  try {
    return get(member->second);
  } catch (const std::runtime_error&) {
    return Result();
  }
}

}  // namespace

std::wstring GetStringMember(const wmObject& object, const std::wstring& name) {
  return ReadMember<std::wstring>(
      object, name, [](const wmValue& value) { return value.get_str(); });
}

std::int32_t GetIntMember(const wmObject& object, const std::wstring& name) {
  return ReadMember<std::int32_t>(
      object, name, [](const wmValue& value) { return value.get_int(); });
}

wmObject GetObjectMember(const wmObject& object, const std::wstring& name) {
  return ReadMember<wmObject>(
      object, name, [](const wmValue& value) { return value.get_obj(); });
}

wmArray GetArrayMember(const wmObject& object, const std::wstring& name) {
  return ReadMember<wmArray>(
      object, name, [](const wmValue& value) { return value.get_array(); });
}

}  // namespace browser_extensions
