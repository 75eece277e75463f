#include "messages/json_value.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace browser_extensions {

namespace {

constexpr std::size_t kUnsignedIndex = 7;

std::uint32_t UnitValue(wchar_t unit) {
  return static_cast<std::uint32_t>(unit);
}

}  // namespace

bool CodeUnitLess::operator()(std::wstring_view left,
                              std::wstring_view right) const {
  // The first unit that differs decides; UnitValue is one-to-one, so equal
  // units are equal values.
  const std::size_t common = std::min(left.size(), right.size());
  for (std::size_t i = 0; i < common; ++i) {
    if (left[i] != right[i]) return UnitValue(left[i]) < UnitValue(right[i]);
  }
  return left.size() < right.size();
}

wmValue::wmValue(wmObject object)
    : content_(OwnedContainer<wmObject>(std::move(object))) {}
wmValue::wmValue(wmArray array)
    : content_(OwnedContainer<wmArray>(std::move(array))) {}
wmValue::wmValue(std::wstring text)
    : content_(OwnedContainer<std::wstring>(std::move(text))) {}
wmValue::wmValue(const wchar_t* text)
    : content_(OwnedContainer<std::wstring>(std::wstring(text))) {}
wmValue::wmValue(bool flag) : content_(flag) {}
wmValue::wmValue(double real) : content_(real) {}

wmValue::wmValue(wmValue&& other) noexcept
    : content_(std::move(other.content_)) {
  other.content_ = std::monostate();
}

wmValue& wmValue::operator=(const wmValue& other) {
  wmValue copy(other);
  return *this = std::move(copy);
}

wmValue& wmValue::operator=(wmValue&& other) noexcept {
  Content taken = std::move(other.content_);
  other.content_ = std::monostate();
  content_ = std::move(taken);
  return *this;
}

wmValue::Content wmValue::MakeUnsigned(std::uint64_t integer) {
  if (integer <= static_cast<std::uint64_t>(
                     std::numeric_limits<std::int64_t>::max())) {
    return static_cast<std::int64_t>(integer);
  }
  return integer;
}

Value_type wmValue::type() const {
  if (content_.index() == kUnsignedIndex) return int_type;
  return static_cast<Value_type>(content_.index());
}

bool wmValue::is_uint64() const {
  return content_.index() == kUnsignedIndex;
}

void wmValue::CheckType(Value_type expected) const {
  const Value_type actual = type();
  if (actual != expected) {
    throw std::runtime_error("value type is " + std::to_string(actual) +
                             " not " + std::to_string(expected));
  }
}

const wmObject& wmValue::get_obj() const {
  CheckType(obj_type);
  return std::get<OwnedContainer<wmObject>>(content_).get();
}

wmObject& wmValue::get_obj() {
  CheckType(obj_type);
  return std::get<OwnedContainer<wmObject>>(content_).get();
}

const wmArray& wmValue::get_array() const {
  CheckType(array_type);
  return std::get<OwnedContainer<wmArray>>(content_).get();
}

wmArray& wmValue::get_array() {
  CheckType(array_type);
  return std::get<OwnedContainer<wmArray>>(content_).get();
}

const std::wstring& wmValue::get_str() const {
  CheckType(str_type);
  return std::get<OwnedContainer<std::wstring>>(content_).get();
}

bool wmValue::get_bool() const {
  CheckType(bool_type);
  return std::get<bool>(content_);
}

std::int64_t wmValue::get_int64() const {
  CheckType(int_type);
  if (is_uint64()) {
    return static_cast<std::int64_t>(std::get<std::uint64_t>(content_));
  }
  return std::get<std::int64_t>(content_);
}

std::uint64_t wmValue::get_uint64() const {
  CheckType(int_type);
  if (is_uint64()) return std::get<std::uint64_t>(content_);
  return static_cast<std::uint64_t>(std::get<std::int64_t>(content_));
}

int wmValue::get_int() const {
  return static_cast<int>(static_cast<std::uint32_t>(get_uint64()));
}

double wmValue::get_real() const {
  CheckType(real_type);
  return std::get<double>(content_);
}

bool operator==(const wmValue& left, const wmValue& right) {
  if (left.content_.index() != right.content_.index()) return false;
  switch (left.type()) {
    case obj_type:
      return left.get_obj() == right.get_obj();
    case array_type:
      return left.get_array() == right.get_array();
    case str_type:
      return left.get_str() == right.get_str();
    case bool_type:
      return left.get_bool() == right.get_bool();
    case int_type:
      return left.get_uint64() == right.get_uint64();
    case real_type:
      return left.get_real() == right.get_real();
    case null_type:
      return true;
  }
  return false;
}

}  // namespace browser_extensions
