#include "common/script_json.h"

#include <climits>
#include <stdexcept>

namespace standins {
namespace {

using browser_extensions::Value_type;

void Expect(const ScriptValue& value, Value_type type, const char* name, const char* kind) {
  if (value.type() != type)
    throw std::invalid_argument(std::string(name) + " must be " + kind);
}

std::wstring Widened(const char* name) { return std::wstring(name, name + std::char_traits<char>::length(name)); }

}  // namespace

const ScriptValue* FindMember(const ScriptValue& object, const char* name) {
  Expect(object, browser_extensions::obj_type, "the script and its entries", "objects");
  const auto& members = object.get_obj();
  const auto found = members.find(Widened(name));
  return found == members.end() ? nullptr : &found->second;
}

const browser_extensions::wmArray& AsList(const ScriptValue& value, const char* name) {
  Expect(value, browser_extensions::array_type, name, "a list");
  return value.get_array();
}

const std::wstring& AsText(const ScriptValue& value, const char* name) {
  Expect(value, browser_extensions::str_type, name, "a string");
  return value.get_str();
}

bool AsFlag(const ScriptValue& value, const char* name) {
  Expect(value, browser_extensions::bool_type, name, "true or false");
  return value.get_bool();
}

int AsInt(const ScriptValue& value, const char* name) {
  Expect(value, browser_extensions::int_type, name, "an integer");
  const long long number = value.get_int64();
  if (value.is_uint64() || number < INT_MIN || number > INT_MAX)
    throw std::invalid_argument(std::string(name) + " is out of range");
  return static_cast<int>(number);
}

unsigned long long AsCount(const ScriptValue& value, const char* name) {
  Expect(value, browser_extensions::int_type, name, "a non-negative integer");
  if (value.is_uint64()) return value.get_uint64();
  const long long number = value.get_int64();
  if (number < 0) throw std::invalid_argument(std::string(name) + " must be a non-negative integer");
  return static_cast<unsigned long long>(number);
}

}  // namespace standins
